// The "Zeq Object Parameters" page: sorting, "Optimize" and threshold, clipping, "Splitter" and
// "Base geometry" of geometry objects.
#include "params/panel_pages.h"
#include "params/resources.h"

#include "host/plugin_classes.h"

namespace zeq {
namespace {

constexpr RadioChoice kSorting[] = {
    {IDC_SORT_STATIC_BSP, static_cast<int>(Sorting::STATIC_BSP)},
    {IDC_SORT_DYNAMIC_BSP, static_cast<int>(Sorting::DYNAMIC_BSP)},
    {IDC_SORT_NONE, static_cast<int>(Sorting::NONE)},
    {IDC_SORT_AVERAGE_Z, static_cast<int>(Sorting::AVERAGE_Z)},
};
constexpr RadioChoice kClipping[] = {
    {IDC_BOUND_CULLING, static_cast<int>(Clipping::BOUND_CULLING)},
    {IDC_FACE_CULLING, static_cast<int>(Clipping::FACE_CULLING)},
    {IDC_FACE_CLIPPING, static_cast<int>(Clipping::FACE_CLIPPING)},
};
constexpr int kThresholdControls[] = {IDC_OPTIMIZE, IDC_THRESHOLD_LABEL, IDC_THRESHOLD_EDIT, IDC_THRESHOLD_SPIN};


bool isBsp(std::optional<int> sorting) {
    return sorting && (*sorting == static_cast<int>(Sorting::STATIC_BSP) || *sorting == static_cast<int>(Sorting::DYNAMIC_BSP));
}

bool isSprite(INode* node) {
    Object* base = EngineParamStore::baseObject(node);
    return base && base->ClassID() == SPRITE_CLASS_ID;
}

// "Splitter" and "Base geometry" exclude each other and, when checked, fix sorting and clipping;
// "Optimize" and the threshold need a BSP sorting, and never apply to sprites.
void updateObjectEnabling(DialogWindow* dlg, const PanelPage& page) {
    const bool splitter = isChecked(dlg, IDC_SPLITTER);
    const bool baseGeometry = isChecked(dlg, IDC_BASE_GEOMETRY);
    enableRadios(dlg, kSorting, !splitter && !baseGeometry);
    enableRadios(dlg, kClipping, !splitter && !baseGeometry);
    dlg->EnableControl(IDC_BASE_GEOMETRY, !splitter);
    dlg->EnableControl(IDC_SPLITTER, !baseGeometry);
    const bool threshold = isBsp(checkedRadio(dlg, kSorting)) && !splitter && !baseGeometry && !page.hasSprite;
    for (int id : kThresholdControls) dlg->EnableControl(id, threshold);
}

// "Optimize" and the threshold as the nodes hold them (the threshold of the first node).
void showBspSettings(DialogWindow* dlg, EngineParamStore& store, const std::vector<INode*>& nodes) {
    if (nodes.empty()) return;
    dlg->SetNumericValue(IDC_THRESHOLD_SPIN, store.threshold(nodes.front()));
    showCheck(dlg, IDC_OPTIMIZE, commonValue(nodes, [&](INode* n) { return store.flag(n, OPTIMIZE); }));
}

void fillObjectPage(DialogWindow* dlg, PanelPage& page) {
    EngineParamStore& store = page.panels->store();
    const std::vector<INode*>& nodes = page.fillNodes;
    if (nodes.empty()) return;
    page.hasSprite = false;
    for (INode* node : nodes) page.hasSprite = page.hasSprite || isSprite(node);

    const std::optional<int> sorting = commonValue(nodes, [&](INode* n) { return static_cast<int>(store.sorting(n)); });
    showRadio(dlg, kSorting, sorting);
    if (isBsp(sorting) && !page.hasSprite) showBspSettings(dlg, store, nodes);
    else showCheck(dlg, IDC_OPTIMIZE, 0);
    showRadio(dlg, kClipping, commonValue(nodes, [&](INode* n) { return static_cast<int>(store.clipping(n)); }));

    const std::optional<int> splitter = commonValue(nodes, [&](INode* n) { return store.flag(n, SPLITTER); });
    showCheck(dlg, IDC_SPLITTER, splitter);
    // A set "Splitter" leaves "Base geometry" unread: the two exclude each other.
    if (!(splitter && *splitter == 1))
        showCheck(dlg, IDC_BASE_GEOMETRY, commonValue(nodes, [&](INode* n) { return store.flag(n, BASE_GEOMETRY); }));
    updateObjectEnabling(dlg, page);
}

// "Splitter" or "Base geometry" was clicked (own: the clicked box and its slot; other: the box it
// excludes and its slot).
void clickExclusive(DialogWindow* dlg, PanelPage& page, int own, uint32_t ownSlot, int other, uint32_t otherSlot) {
    const std::optional<int> value = clickedCheck(dlg, own);
    if (!value) return;
    EngineParamStore& store = page.panels->store();
    store.writeInt(ownSlot, *value);
    if (*value == 1 && dlg->GetCheckState(other) == BST_INDETERMINATE) {
        // Some of the nodes had the other switch set: now that this one is on for all, it is off.
        dlg->SetThreeState(other, false);
        dlg->SetCheckState(other, BST_UNCHECKED);
        store.writeInt(otherSlot, 0);
    }
    updateObjectEnabling(dlg, page);
}

bool objectCommand(DialogWindow* dlg, PanelPage& page, int id) {
    EngineParamStore& store = page.panels->store();
    if (auto sorting = radioValue(kSorting, id)) {
        store.writeInt(SORTING, *sorting);
        // Left unread while the sorting was no BSP one: shown as the nodes hold them once they apply.
        if (isBsp(*sorting) && !page.hasSprite)
            showBspSettings(dlg, store, EngineParamStore::targetSet(GetCOREInterface()));
        updateObjectEnabling(dlg, page);
        return true;
    }
    if (auto clipping = radioValue(kClipping, id)) {
        store.writeInt(CLIPPING, *clipping);
        return true;
    }
    switch (id) {
    case IDC_OPTIMIZE:
        if (auto value = clickedCheck(dlg, IDC_OPTIMIZE)) store.writeInt(OPTIMIZE, *value);
        return true;
    case IDC_SPLITTER: clickExclusive(dlg, page, IDC_SPLITTER, SPLITTER, IDC_BASE_GEOMETRY, BASE_GEOMETRY); return true;
    case IDC_BASE_GEOMETRY: clickExclusive(dlg, page, IDC_BASE_GEOMETRY, BASE_GEOMETRY, IDC_SPLITTER, SPLITTER); return true;
    default: return false;
    }
}

}  // namespace

intptr_t ObjectPageProc(DialogWindow* dlg, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == WM_INITDIALOG) {
        initPage(dlg, setupThreshold, fillObjectPage);
        return 1;
    }
    if (handleCommonMessage(dlg, message, wParam, lParam)) return 1;
    PanelPage* page = pageOf(dlg);
    if (!page) return 0;
    if (thresholdMessage(dlg, page->panels->store(), message, wParam)) return 1;
    return message == WM_COMMAND && objectCommand(dlg, *page, commandId(wParam)) ? 1 : 0;
}

}  // namespace zeq
