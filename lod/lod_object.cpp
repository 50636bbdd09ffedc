// The LOD object's class descriptor, parameter block description and accessors, identity,
// parameter editing and cloning.
#include "lod/lod_object.h"

#include "host/node.h"
#include "host/plugin_classes.h"
#include "host/remap.h"
#include "lod/resources.h"

#include <functional>
#include <string>

namespace zeq {

namespace {

// "Pick node": a picked node is valid only outside the owner's subtree; a valid one becomes a level.
class NodePBValidator : public PBValidator {
public:
    bool Validate(PB2Value& v, ReferenceMaker* owner, ParamID, int) override {
        auto* lod = dynamic_cast<LODObject*>(owner);
        return lod && lod->isValidPick(v.node);
    }
};

class NodePBAccessor : public PBAccessor {
public:
    void Set(PB2Value& v, ReferenceMaker* owner, ParamID, int, TimeValue t) override {
        if (auto* lod = dynamic_cast<LODObject*>(owner); lod && v.node) lod->addLevel(v.node, t);
    }
};

// "Current distance": an edit by the artist (not by the object itself) moves the selected level.
class DistPBAccessor : public PBAccessor {
public:
    void Set(PB2Value& v, ReferenceMaker* owner, ParamID, int, TimeValue) override {
        if (LODObject::updatingView()) return;
        if (auto* lod = dynamic_cast<LODObject*>(owner)) lod->setSelectedDistance(v.f);
    }
};

// "Nodes view": a line deleted by the artist (the "Delete" button) removes its level.
class ViewPBAccessor : public PBAccessor {
public:
    void TabChanged(TabChangeCode code, ReferenceMaker* owner, ParamID, int tabIndex, int count) override {
        if (LODObject::updatingView() || code != TabChangeCode::Delete) return;
        auto* lod = dynamic_cast<LODObject*>(owner);
        if (!lod) return;
        for (int i = 0; i < count; ++i) lod->removeLevel(tabIndex);
    }
};

NodePBValidator gNodeValidator;
NodePBAccessor gNodeAccessor;
DistPBAccessor gDistAccessor;
ViewPBAccessor gViewAccessor;

// LodDialogHandler: list-box selection and the "Select" button of the object's page.
intptr_t LodDialogHandler(DialogWindow* dialog, uint32_t message, uintptr_t wParam, intptr_t) {
    auto* lod = dynamic_cast<LODObject*>(SimpleObject::editOb);
    if (!lod) return 0;
    const int control = static_cast<int>(wParam & 0xFFFF);
    // A distance edit re-sorts the levels: the list box highlights the edited level where it went,
    // so that "Select" and "Delete" act on the line the artist sees highlighted.
    if ((message == CC_SPINNER_CHANGE || message == WM_CUSTEDIT_ENTER) &&
        (control == IDC_DISTANCE_SPIN || control == IDC_DISTANCE_EDIT)) {
        dialog->SetListSelection(IDC_LEVEL_LIST, lod->selectedLine());
        return 0;
    }
    if (message != WM_COMMAND) return 0;
    const int notification = static_cast<int>(wParam >> 16);
    if (control == IDC_LEVEL_LIST && notification == LBN_SELCHANGE) {
        lod->selectLine(dialog->GetListSelection(IDC_LEVEL_LIST));
        return 1;
    }
    if (control == IDC_SELECT_LEVEL) {
        const int line = lod->selectedLine();
        lod->showSelectedLevel();
        dialog->SetListSelection(IDC_LEVEL_LIST, line);
        return 1;
    }
    return 0;
}

ParamBlockDesc2 makeBlockDesc(ClassDesc2* owner) {
    ParamBlockDesc2 desc;
    desc.id = LOD_PARAM_BLOCK_ID;
    desc.internalName = "LODObjectParamBlock";
    desc.localNameId = 0;
    desc.classDesc = owner;
    desc.flags = P_AUTO_CONSTRUCT | P_AUTO_UI;
    desc.ref = 0;
    desc.dialogTemplateId = IDD_LOD_PANEL;
    desc.titleStringId = IDS_LOD_ROLLUP_TITLE;
    desc.dialogProc = LodDialogHandler;

    ParamDef pick;
    pick.id = LOD_PARAM_PICK_NODE;
    pick.internalName = "Pick node";
    pick.type = TYPE_INODE;
    pick.flags = P_TRANSIENT | P_NO_REF;
    pick.control = ParamControlKind::PickButton;
    pick.editId = IDC_PICK_NODE;
    pick.accessor = &gNodeAccessor;
    pick.validator = &gNodeValidator;

    ParamDef list;
    list.id = LOD_PARAM_NODES_LIST;
    list.internalName = "Nodes list";
    list.type = TYPE_INODE_TAB;
    list.flags = P_VARIABLE_SIZE | P_NO_REF;

    ParamDef view;
    view.id = LOD_PARAM_NODES_VIEW;
    view.internalName = "Nodes view";
    view.type = TYPE_STRING_TAB;
    view.flags = P_VARIABLE_SIZE | P_TRANSIENT;
    view.control = ParamControlKind::ListBox;
    view.editId = IDC_LEVEL_LIST;
    view.buttonId = IDC_DELETE_LEVEL;
    view.accessor = &gViewAccessor;

    ParamDef distance;
    distance.id = LOD_PARAM_CURRENT_DISTANCE;
    distance.internalName = "Current distance";
    distance.type = TYPE_FLOAT;
    distance.flags = P_TRANSIENT;
    distance.rangeLow = 0.0f;
    distance.rangeHigh = 1000000.0f;
    distance.control = ParamControlKind::FloatSpinner;
    distance.editId = IDC_DISTANCE_EDIT;
    distance.spinnerId = IDC_DISTANCE_SPIN;
    distance.spinnerStep = 1.0f;
    distance.accessor = &gDistAccessor;

    ParamDef center;
    center.id = LOD_PARAM_CENTER_ALIGN;
    center.internalName = "Center align child";
    center.type = TYPE_BOOL;
    center.control = ParamControlKind::CheckBox;
    center.editId = IDC_CENTER_ALIGN;

    ParamDef icon;
    icon.id = LOD_PARAM_ICON_SIZE;
    icon.internalName = "Icon size";
    icon.type = TYPE_FLOAT;
    icon.rangeLow = 0.0f;
    icon.rangeHigh = 10000.0f;
    icon.control = ParamControlKind::FloatSpinner;
    icon.editId = IDC_ICON_SIZE_EDIT;
    icon.spinnerId = IDC_ICON_SIZE_SPIN;
    icon.spinnerStep = 1.0f;

    desc.params = {pick, list, view, distance, center, icon};
    return desc;
}

ParamBlockDesc2& blockDesc() {
    static ParamBlockDesc2 desc = makeBlockDesc(GetZeqLODClassDesc());
    return desc;
}

}  // namespace

// ---- Class descriptor ----

ZeqLODClassDesc::ZeqLODClassDesc() = default;

void* ZeqLODClassDesc::Create(bool) { return static_cast<Object*>(new LODObject()); }
const char* ZeqLODClassDesc::ClassName() { return GetString(IDS_CLASS_NAME); }
SClass_ID ZeqLODClassDesc::SuperClassID() { return LOD_OBJECT_SUPER_CLASS_ID; }
Class_ID ZeqLODClassDesc::ClassID() { return LOD_OBJECT_CLASS_ID; }
const char* ZeqLODClassDesc::Category() { return GetString(IDS_CATEGORY); }
ModuleHandle ZeqLODClassDesc::HInstance() { return lodLibrary().Handle(); }

ZeqLODClassDesc* GetZeqLODClassDesc() {
    static ZeqLODClassDesc desc;
    static bool described = false;
    if (!described) {
        described = true;
        desc.AddParamBlockDesc(&blockDesc());
    }
    return &desc;
}

const ParamBlockDesc2& LODObjectParamBlockDesc() {
    GetZeqLODClassDesc();
    return blockDesc();
}

// ---- The object ----

bool LODObject::guard_ = false;

LODObject::LODObject() { GetZeqLODClassDesc()->MakeAutoParamBlocks(this); }

LODObject::~LODObject() = default;

RefResult LODObject::OwnerLink::NotifyRefChanged(const Interval&, ReferenceTarget* target, PartID, RefMessage message) {
    // The host drops its record of this reference itself; the node's address is only compared.
    if (message == REFMSG_TARGET_DELETED && node_ && target == static_cast<ReferenceTarget*>(node_)) node_ = nullptr;
    return REF_SUCCEED;
}

void LODObject::OwnerLink::SetReference(int i, ReferenceTarget* target) {
    if (i == 0) node_ = dynamic_cast<INode*>(target);
}

Class_ID LODObject::ClassID() { return LOD_OBJECT_CLASS_ID; }

void LODObject::GetClassName(std::string& name) {
    const char* text = GetString(IDS_CLASS_NAME);
    name = text ? text : "";
}

const char* LODObject::GetObjectName() {
    const char* text = GetString(IDS_CLASS_NAME);
    return text ? text : "";
}

void LODObject::BeginEditParams(IObjParam* ip, uint32_t flags, Animatable* prev) {
    ip_ = ip;
    SimpleObject2::BeginEditParams(ip, flags, prev);
    GetZeqLODClassDesc()->BeginEditParams(ip, this, flags, prev);
}

void LODObject::EndEditParams(IObjParam* ip, uint32_t flags, Animatable* next) {
    SimpleObject2::EndEditParams(ip, flags, next);
    GetZeqLODClassDesc()->EndEditParams(ip, this, flags, next);
    ip_ = nullptr;
}

void LODObject::refreshRollup() {
    if (ip_ && pblock2) ip_->InvalidateRollupPages(pblock2);
}

ReferenceTarget* LODObject::Clone(RemapDir& remap) {
    auto* clone = new LODObject();
    if (pblock2) clone->ReplaceReference(0, remap.CloneRef(pblock2));
    if (clone->pblock2) clone->pblock2->SetCount(LOD_PARAM_NODES_LIST, 0);
    clone->reparentAfterClone_ = true;
    clone->adoptVisibleLevel_ = false;  // the clone's current level is the copy of this one's
    clone->currentLevel_ = -1;          // none, unless this one shows a level

    Interface* ip = GetCOREInterface();
    INode* owner = ownerNode();
    INode* current = levelNode(currentLevel_);
    if (owner && ip && clone->pblock2) {
        const TimeValue t = ip->GetTime();
        const Matrix3 toOwner = Inverse(owner->GetNodeTM(t));
        // Every node below the owner gets a copy showing the same object with the same material and
        // user properties, placed relative to the owner; direct children become the clone's levels,
        // deeper ones hang under their parent's copy.
        std::function<void(INode*, INode*)> copyChildren = [&](INode* source, INode* copyParent) {
            for (int i = 0; i < source->NumberOfChildren(); ++i) {
                INode* child = source->GetChildNode(i);
                if (!child) continue;
                INode* copy = ip->CreateObjectNode(child->GetObjectRef());
                if (!copy) continue;
                copy->SetName(child->GetName());
                copy->SetMtl(child->GetMtl());
                std::string userProperties;
                child->GetUserPropBuffer(userProperties);
                copy->SetUserPropBuffer(userProperties);
                copy->SetNodeTM(t, child->GetNodeTM(t) * toOwner);
                copy->SetGroupHead(child->IsGroupHead());
                copy->SetGroupMember(child->IsGroupMember());
                if (!copyParent) {
                    copy->SetUserPropFloat(LOD_DISTANCE_PROPERTY, levelDistance(child));
                    INode* entry = copy;
                    if (child == current) clone->currentLevel_ = clone->levelCount();
                    clone->pblock2->Append(LOD_PARAM_NODES_LIST, 1, &entry);
                } else {
                    copyParent->AttachChild(copy, true);
                }
                copyChildren(child, copy);
            }
        };
        copyChildren(owner, nullptr);
    }
    // The copies were listed in child order: sort them by distance like any level list, the copy of
    // the current level staying current.
    clone->resortLevels();
    BaseClone(this, clone, remap);
    return clone;
}

}  // namespace zeq
