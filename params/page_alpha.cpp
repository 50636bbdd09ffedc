// The "Zeq Parameters" page: the alpha slider with its edit field and the blend-mode combo box.
#include "params/panel_pages.h"
#include "params/resources.h"

#include <bit>
#include <cstdint>

namespace zeq {
namespace {

void openAlphaPage(DialogWindow* dlg) {
    dlg->ResetList(IDC_BLEND_MODE);
    for (const char* name : BlendModeNames) dlg->AddListItem(IDC_BLEND_MODE, name);
    dlg->SetListSelection(IDC_BLEND_MODE, kDefaultBlendMode);
    dlg->SetListHeight(IDC_BLEND_MODE, 300);
    dlg->SetupNumeric(IDC_ALPHA_SLIDER, IDC_ALPHA_EDIT, 0.0f, 1.0f, kDefaultAlpha);
}

void fillAlphaPage(DialogWindow* dlg, PanelPage& page) {
    EngineParamStore& store = page.panels->store();
    const std::vector<INode*>& nodes = page.fillNodes;
    if (nodes.empty()) return;
    dlg->SetNumericValue(IDC_ALPHA_SLIDER, store.alpha(nodes.front()));
    // Compared by bits: a damaged NaN alpha agrees with itself.
    const uint32_t first = std::bit_cast<uint32_t>(store.alpha(nodes.front()));
    for (INode* node : nodes)
        if (std::bit_cast<uint32_t>(store.alpha(node)) != first) dlg->EnableControl(IDC_ALPHA_SLIDER, false);
    dlg->SetListSelection(IDC_BLEND_MODE, store.blendMode(nodes.front()));
    if (!commonValue(nodes, [&](INode* n) { return store.blendMode(n); })) dlg->EnableControl(IDC_BLEND_MODE, false);
}

}  // namespace

intptr_t AlphaPageProc(DialogWindow* dlg, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == WM_INITDIALOG) {
        initPage(dlg, openAlphaPage, fillAlphaPage);
        return 1;
    }
    if (handleCommonMessage(dlg, message, wParam, lParam)) return 1;
    PanelPage* page = pageOf(dlg);
    if (!page) return 0;
    EngineParamStore& store = page->panels->store();
    switch (message) {
    case WM_COMMAND:
        if (commandId(wParam) == IDC_BLEND_MODE) {
            // Nothing is written while no name is selected.
            const int index = dlg->GetListSelection(IDC_BLEND_MODE);
            if (index >= 0) store.writeInt(BLEND_MODE, index);
            return 1;
        }
        if (commandId(wParam) == IDC_ALPHA_EDIT) {
            if (auto alpha = takeEditedValue(dlg, IDC_ALPHA_SLIDER, IDC_ALPHA_EDIT, 0.0f, 1.0f, false))
                applyAlpha(store, *alpha);
            return 1;
        }
        return 0;
    case CC_SLIDER_CHANGE:
        if (static_cast<int>(wParam) != IDC_ALPHA_SLIDER) return 0;
        applyAlpha(store, dlg->GetNumericValue(IDC_ALPHA_SLIDER));
        return 1;
    case WM_CUSTEDIT_ENTER:
        if (static_cast<int>(wParam) != IDC_ALPHA_EDIT) return 0;
        if (auto alpha = takeEditedValue(dlg, IDC_ALPHA_SLIDER, IDC_ALPHA_EDIT, 0.0f, 1.0f, true))
            applyAlpha(store, *alpha);
        return 1;
    default: return 0;
    }
}

}  // namespace zeq
