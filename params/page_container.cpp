// The "Zeq Container Parameters" page: the container type, the order of a single container's
// children, threshold, bound boxes, clipping and "Sort by Z" of group heads.
#include "params/child_order.h"
#include "params/panel_pages.h"
#include "params/resources.h"

#include <algorithm>

namespace zeq {
namespace {

constexpr RadioChoice kContainerType[] = {
    {IDC_TYPE_OBJECT3D, static_cast<int>(ContainerType::OBJECT3D)},
    {IDC_TYPE_DISTANCE_SORT, static_cast<int>(ContainerType::DISTANCE_SORT)},
    {IDC_TYPE_KDTREE, static_cast<int>(ContainerType::KD_TREE)},
    {IDC_TYPE_BSPTREE, static_cast<int>(ContainerType::BSP_TREE)},
    {IDC_TYPE_CONFLICT, static_cast<int>(ContainerType::CONFLICT)},
};
constexpr RadioChoice kClipping[] = {
    {IDC_BOUND_CULLING, static_cast<int>(Clipping::BOUND_CULLING)},
    {IDC_FACE_CULLING, static_cast<int>(Clipping::FACE_CULLING)},
    {IDC_FACE_CLIPPING, static_cast<int>(Clipping::FACE_CLIPPING)},
};


// The shown type decides what applies: bound boxes and threshold to the tree kinds, clipping to BSP
// trees, sorting by Z to distance sorting, and the child order to a single Object3D container.
// With no type shown (the containers disagree) none of them does.
void updateContainerEnabling(DialogWindow* dlg, const PanelPage& page) {
    const int type = checkedRadio(dlg, kContainerType).value_or(-1);
    const bool tree = type == static_cast<int>(ContainerType::BSP_TREE) || type == static_cast<int>(ContainerType::KD_TREE) ||
                      type == static_cast<int>(ContainerType::CONFLICT);
    for (int id : {IDC_AXIS_ALIGNED_BOX, IDC_OBJECT_ORIENTED_BOX, IDC_THRESHOLD_LABEL, IDC_THRESHOLD_EDIT, IDC_THRESHOLD_SPIN})
        dlg->EnableControl(id, tree);
    const bool bspTree = type == static_cast<int>(ContainerType::BSP_TREE);
    dlg->EnableControl(IDC_CLIPPING_GROUP, bspTree);
    enableRadios(dlg, kClipping, bspTree);
    dlg->EnableControl(IDC_SORT_BY_Z, type == static_cast<int>(ContainerType::DISTANCE_SORT));
    const bool order = type == static_cast<int>(ContainerType::OBJECT3D) && page.singleContainer;
    for (int id : {IDC_CHILD_LIST, IDC_CHILD_UP, IDC_CHILD_DOWN}) dlg->EnableControl(id, order);
}

void showChildren(DialogWindow* dlg, const std::vector<std::string>& names) {
    dlg->ResetList(IDC_CHILD_LIST);
    for (const std::string& name : names) dlg->AddListItem(IDC_CHILD_LIST, name);
}

void fillContainerPage(DialogWindow* dlg, PanelPage& page) {
    EngineParamStore& store = page.panels->store();
    const std::vector<INode*>& nodes = page.fillNodes;
    if (nodes.empty()) return;
    showRadio(dlg, kContainerType, commonValue(nodes, [&](INode* n) { return static_cast<int>(store.containerType(n)); }));
    page.singleContainer = nodes.size() == 1;
    page.container = page.singleContainer ? nodes.front() : nullptr;
    if (page.singleContainer) showChildren(dlg, childOrderList(store, page.container));
    dlg->SetNumericValue(IDC_THRESHOLD_SPIN, store.threshold(nodes.front()));
    showCheck(dlg, IDC_AXIS_ALIGNED_BOX, commonValue(nodes, [&](INode* n) { return store.flag(n, AXIS_ALIGNED_BOUND_BOX, 1); }));
    showCheck(dlg, IDC_OBJECT_ORIENTED_BOX,
              commonValue(nodes, [&](INode* n) { return store.flag(n, OBJECT_ORIENTED_BOUND_BOX, 1); }));
    showRadio(dlg, kClipping, commonValue(nodes, [&](INode* n) { return static_cast<int>(store.clipping(n)); }));
    showCheck(dlg, IDC_SORT_BY_Z, commonValue(nodes, [&](INode* n) { return store.flag(n, SORT_BY_Z); }));
    updateContainerEnabling(dlg, page);
}

// Up (step -1) or Down (+1): the selected child swaps places with its neighbour.
void moveSelectedChild(DialogWindow* dlg, PanelPage& page, int step) {
    if (!page.singleContainer || !page.container) return;
    // The container must still be the one addressed: a node that left the selection may be gone.
    const std::vector<INode*> targets = EngineParamStore::targetSet(GetCOREInterface());
    if (targets.size() != 1 || targets.front() != page.container) return;
    const int line = dlg->GetListSelection(IDC_CHILD_LIST);
    if (line < 0) return;
    const std::optional<int> moved = moveChild(page.panels->store(), page.container, line, step);
    if (!moved) return;
    std::vector<std::string> names;
    for (int i = 0; i < dlg->GetListCount(IDC_CHILD_LIST); ++i) names.push_back(dlg->GetListItem(IDC_CHILD_LIST, i));
    if (*moved >= 0 && *moved < static_cast<int>(names.size())) {
        std::swap(names[static_cast<size_t>(line)], names[static_cast<size_t>(*moved)]);
        showChildren(dlg, names);
    }
    dlg->SetListSelection(IDC_CHILD_LIST, *moved);
}

bool containerCommand(DialogWindow* dlg, PanelPage& page, int id) {
    EngineParamStore& store = page.panels->store();
    if (auto type = radioValue(kContainerType, id)) {
        store.writeInt(CONTAINER_TYPE, *type);
        updateContainerEnabling(dlg, page);
        return true;
    }
    if (auto clipping = radioValue(kClipping, id)) {
        store.writeInt(CLIPPING, *clipping);
        return true;
    }
    switch (id) {
    case IDC_AXIS_ALIGNED_BOX:
        if (auto value = clickedCheck(dlg, id)) store.writeInt(AXIS_ALIGNED_BOUND_BOX, *value);
        return true;
    case IDC_OBJECT_ORIENTED_BOX:
        if (auto value = clickedCheck(dlg, id)) store.writeInt(OBJECT_ORIENTED_BOUND_BOX, *value);
        return true;
    case IDC_SORT_BY_Z:
        if (auto value = clickedCheck(dlg, id)) store.writeInt(SORT_BY_Z, *value);
        return true;
    case IDC_CHILD_UP: moveSelectedChild(dlg, page, -1); return true;
    case IDC_CHILD_DOWN: moveSelectedChild(dlg, page, +1); return true;
    default: return false;
    }
}

}  // namespace

intptr_t ContainerPageProc(DialogWindow* dlg, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == WM_INITDIALOG) {
        initPage(dlg, setupThreshold, fillContainerPage);
        return 1;
    }
    if (handleCommonMessage(dlg, message, wParam, lParam)) return 1;
    PanelPage* page = pageOf(dlg);
    if (!page) return 0;
    if (thresholdMessage(dlg, page->panels->store(), message, wParam)) return 1;
    return message == WM_COMMAND && containerCommand(dlg, *page, commandId(wParam)) ? 1 : 0;
}

}  // namespace zeq
