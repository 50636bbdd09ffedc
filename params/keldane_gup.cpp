// The global utility: start-up and shut-down, and the host events it follows.
#include "params/keldane_gup.h"

#include "host/core_interface.h"
#include "host/plugin_classes.h"
#include "params/fp_helper.h"
#include "params/keldane_gup_class_desc.h"

namespace zeq {
namespace {

constexpr int kNotifications[] = {NOTIFY_SELECTIONSET_CHANGED, NOTIFY_NODE_CREATED, NOTIFY_NODE_NOTICE_58,
                                  NOTIFY_NODE_TABLE};

bool holdsLod(INode* node) {
    Object* base = EngineParamStore::baseObject(node);
    return base && base->ClassID() == LOD_OBJECT_CLASS_ID;
}

}  // namespace

void GUPCommandModeChangedCallBack::ModeChanged(CommandMode* oldMode, CommandMode* newMode) {
    panels_.commandModeChanged(oldMode ? oldMode->ID() : 0, newMode ? newMode->ID() : 0);
}

KeldaneGUP::KeldaneGUP()
    : store_(*GetKeldaneGUPClassDesc()), watch_(store_), references_(watch_), panels_(store_, references_, helperTypeLists()),
      modeCallback_(panels_) {}

KeldaneGUP::~KeldaneGUP() {
    // Destroyed without Stop: nothing registered may keep pointing at it.
    if (started_) Stop();
}

uint32_t KeldaneGUP::Start() {
    RegisterCommandModeChangedCallback(&modeCallback_);
    for (int code : kNotifications) RegisterNotification(&onNotify, this, code);
    started_ = true;
    return GUPRESULT_KEEP;
}

void KeldaneGUP::Stop() {
    UnRegisterCommandModeChangedCallback(&modeCallback_);
    references_.DeleteAllRefs();
    for (int code : kNotifications) UnRegisterNotification(&onNotify, this, code);
    // Every page goes, not only the selection's: an open page would point at this object.
    panels_.removeSelectionPages();
    panels_.removeCreationPages();
    started_ = false;
}

void KeldaneGUP::onNotify(void* param, NotifyInfo* info) {
    auto* gup = static_cast<KeldaneGUP*>(param);
    if (!gup || !info) return;
    switch (info->intcode) {
    case NOTIFY_SELECTIONSET_CHANGED: gup->panels_.selectionChanged(); break;
    case NOTIFY_NODE_CREATED: gup->panels_.nodeCreated(static_cast<INode*>(info->callParam)); break;
    case NOTIFY_NODE_TABLE: passLodNodes(static_cast<const INodeTab*>(info->callParam)); break;
    default: break;
    }
}

void passLodNodes(const INodeTab* nodes) {
    if (!nodes || nodes->empty()) return;
    FPInterface* lod = GetCOREInterface(LOD_NODES_CORE_INTERFACE_ID);
    if (!lod) return;
    const int forChildren = lod->FunctionIdAt(0);
    const int forLodNodes = lod->FunctionIdAt(1);
    for (INode* node : *nodes) {
        if (!node) continue;
        int fid = -1;
        if (holdsLod(node)) fid = forLodNodes;
        else if (holdsLod(node->GetParentNode())) fid = forChildren;
        if (fid < 0) continue;
        FPValue result;
        lod->Invoke(fid, result, {FPValue(node)});
    }
}

}  // namespace zeq
