// Which pages the selection and newly created objects get, and opening and closing them.
#include "params/param_panels.h"

#include "host/obj_param.h"
#include "params/panel_pages.h"
#include "params/resources.h"

#include <algorithm>

namespace zeq {
namespace {

// Category of the utility's pages in the command panel.
constexpr int kPageCategory = 6000;
// Rollup flag of the alpha, object and container pages (the types page is added with 0).
constexpr uint32_t kPageRollupFlag = 1;

// The page being opened: the host sends WM_INITDIALOG from within its rollup call.
PanelPage* gOpening = nullptr;

bool isHelperKind(EngineObjectKind kind) {
    return kind == EngineObjectKind::HELPER_LIST_0 || kind == EngineObjectKind::HELPER_LIST_1 ||
           kind == EngineObjectKind::HELPER_LIST_2;
}

// The helper list (scripting index 0..2) of a helper kind.
int helperListOf(EngineObjectKind kind) {
    switch (kind) {
    case EngineObjectKind::HELPER_LIST_0: return 0;
    case EngineObjectKind::HELPER_LIST_1: return 1;
    default: return 2;
    }
}

}  // namespace

IObjParam* panelInterface() { return dynamic_cast<IObjParam*>(GetCOREInterface()); }

PanelPage* ParamPanels::openingPage() { return gOpening; }

ParamPanels::ParamPanels(EngineParamStore& store, GUPReferenceMaker& references, const HelperTypeLists& lists)
    : store_(store), references_(references), lists_(lists) {
    for (PanelPage& page : pages_) page.panels = this;
}

ParamPanels::~ParamPanels() {
    // A page left open would keep pointing at this object.
    removeSelectionPages();
    removeCreationPages();
}

void ParamPanels::open(Slot slot, PageKind kind, const std::vector<INode*>& nodes, const HelperTypeList* list) {
    IObjParam* ip = panelInterface();
    if (!ip) return;
    close(slot);
    PanelPage& page = pages_[slot];
    page = PanelPage{};
    page.panels = this;
    page.kind = kind;
    page.fillNodes = nodes;

    int templateId = IDD_PARAMS_ALPHA, titleId = IDS_PARAMS_ALPHA_PAGE;
    DialogProc proc = &AlphaPageProc;
    uint32_t flags = kPageRollupFlag;
    switch (kind) {
    case PageKind::Alpha: break;
    case PageKind::Object: templateId = IDD_PARAMS_OBJECT, titleId = IDS_PARAMS_OBJECT_PAGE, proc = &ObjectPageProc; break;
    case PageKind::Container:
        templateId = IDD_PARAMS_CONTAINER, titleId = IDS_PARAMS_CONTAINER_PAGE, proc = &ContainerPageProc;
        break;
    case PageKind::Types:
        templateId = IDD_PARAMS_TYPES, titleId = IDS_PARAMS_TYPES_PAGE, proc = &TypesPageProc, flags = 0;
        break;
    }
    gOpening = &page;
    page.handle = ip->AddRollupPage(paramsLibrary().Handle(), templateId, proc, ParamsString(titleId),
                                    reinterpret_cast<intptr_t>(list), flags, kPageCategory);
    gOpening = nullptr;
    page.fillNodes.clear();
}

void ParamPanels::openTypes(Slot slot, EngineObjectKind kind, const std::vector<INode*>& nodes) {
    const HelperTypeList& list = lists_[static_cast<size_t>(helperListOf(kind))];
    if (list.names.empty()) return;
    open(slot, PageKind::Types, nodes, &list);
}

void ParamPanels::close(Slot slot) {
    PanelPage& page = pages_[slot];
    WindowHandle handle = page.handle;
    page.handle = nullptr;
    if (handle)
        if (IObjParam* ip = panelInterface()) ip->DeleteRollupPage(handle);
    page = PanelPage{};
    page.panels = this;
}

void ParamPanels::removeSelectionPages() {
    for (Slot slot : {SEL_TYPES, SEL_OBJECT, SEL_CONTAINER, SEL_ALPHA}) close(slot);
}

void ParamPanels::removeCreationPages() {
    for (Slot slot : {NEW_OBJECT, NEW_ALPHA, NEW_TYPES}) close(slot);
}

void ParamPanels::selectionChanged() {
    removeSelectionPages();
    Interface* ip = GetCOREInterface();
    if (!ip) return;
    std::vector<INode*> selected;
    for (int i = 0; i < ip->GetSelNodeCount(); ++i)
        if (INode* node = ip->GetSelNode(i)) selected.push_back(node);
    if (selected.empty()) return;

    auto isSelected = [&](INode* node) { return node && std::find(selected.begin(), selected.end(), node) != selected.end(); };
    // A node inside a selected group counts as part of that container.
    auto kindOf = [&](INode* node) {
        return isSelected(node->GetParentNode()) ? EngineObjectKind::CONTAINER : classifyNode(node);
    };

    std::vector<INode*> targets;
    const EngineObjectKind first = kindOf(selected.front());
    if (first == EngineObjectKind::NONE) return;
    bool mixed = first == EngineObjectKind::OTHER_ENGINE;
    for (INode* node : selected) {
        if (!isSelected(node->GetParentNode())) targets.push_back(node);
        const EngineObjectKind kind = kindOf(node);
        if (kind == first) continue;
        if (isHelperKind(kind) || kind == EngineObjectKind::NONE) return;
        mixed = true;
    }

    if (mixed) {
        if (!isHelperKind(first)) open(SEL_ALPHA, PageKind::Alpha, targets);
        return;
    }
    switch (first) {
    case EngineObjectKind::GEOMETRY:
        open(SEL_ALPHA, PageKind::Alpha, targets);
        open(SEL_OBJECT, PageKind::Object, targets);
        break;
    case EngineObjectKind::CONTAINER:
        open(SEL_CONTAINER, PageKind::Container, targets);
        open(SEL_ALPHA, PageKind::Alpha, targets);
        break;
    case EngineObjectKind::HELPER_LIST_0:
    case EngineObjectKind::HELPER_LIST_1:
    case EngineObjectKind::HELPER_LIST_2: openTypes(SEL_TYPES, first, targets); break;
    case EngineObjectKind::OTHER_ENGINE:
    case EngineObjectKind::NONE: break;
    }
}

void ParamPanels::commandModeChanged(int oldModeId, int newModeId) {
    creationMode_ = false;
    if (oldModeId == CREATE_COMMAND && creationPagesOpen_) {
        removeCreationPages();
        creationPagesOpen_ = false;
    }
    if (newModeId == CREATE_COMMAND) creationMode_ = true;
}

void ParamPanels::nodeCreated(INode* node) {
    if (!creationMode_) return;
    // Only the first node created after entering the create mode is served.
    creationMode_ = false;
    if (!node || node->IsGroupHead()) return;
    Object* base = EngineParamStore::baseObject(node);
    if (!base || (!base->CanConvertToType(TRIOBJ_CLASS_ID) && !base->CanConvertToType(POLYOBJ_CLASS_ID))) return;
    const EngineObjectKind kind = classifyNode(node);
    // Objects of the class that never carries engine parameters get no pages.
    if (kind == EngineObjectKind::NONE) return;
    const std::vector<INode*> nodes{node};
    if (kind == EngineObjectKind::GEOMETRY) {
        open(NEW_OBJECT, PageKind::Object, nodes);
        references_.watchNode(node);
    }
    if (isHelperKind(kind)) openTypes(NEW_TYPES, kind, nodes);
    else open(NEW_ALPHA, PageKind::Alpha, nodes);
    creationPagesOpen_ = true;
}

}  // namespace zeq
