// The "Types" page: one button per type name of a helper kind, made when the page opens; check
// boxes (one 0/1 slot per name) for a multi-choice list, radio buttons (the chosen position in the
// helper-type slot) otherwise.
#include "params/panel_pages.h"
#include "params/resources.h"

namespace zeq {
namespace {

void openTypesPage(DialogWindow* dlg, PanelPage* page, const HelperTypeList& list) {
    const int count = static_cast<int>(list.names.size());
    dlg->Resize(108, 15 * count + 10);
    for (int i = 0; i < count; ++i) {
        DialogControl button;
        button.id = i;
        button.kind = list.multiChoice ? ControlKind::CheckBox : ControlKind::RadioButton;
        button.text = list.names[static_cast<size_t>(i)].c_str();
        button.x = 5;
        button.y = 5 + 15 * i;
        button.width = 100;
        button.height = 10;
        dlg->AddControl(button);
    }
    if (page) {
        page->multiChoice = list.multiChoice;
        page->entries = count;
    }
}

void fillTypesPage(DialogWindow* dlg, PanelPage& page) {
    EngineParamStore& store = page.panels->store();
    const std::vector<INode*>& nodes = page.fillNodes;
    if (nodes.empty()) return;
    if (page.multiChoice) {
        for (int i = 0; i < page.entries; ++i)
            showCheck(dlg, i, commonValue(nodes, [&](INode* n) { return store.flag(n, static_cast<uint32_t>(i)); }));
        return;
    }
    const std::optional<int> chosen = commonValue(nodes, [&](INode* n) { return store.helperType(n); });
    for (int i = 0; i < page.entries; ++i) dlg->CheckButton(i, chosen && *chosen == i);
}

void typesCommand(DialogWindow* dlg, PanelPage& page, int id) {
    if (id < 0 || id >= page.entries) return;
    EngineParamStore& store = page.panels->store();
    if (page.multiChoice) {
        if (auto value = clickedCheck(dlg, id)) store.writeInt(static_cast<uint32_t>(id), *value);
        return;
    }
    if (!dlg->IsButtonChecked(id)) return;
    store.writeInt(HELPER_TYPE, id);
    store.setLastChosenHelperType(id);
}

}  // namespace

intptr_t TypesPageProc(DialogWindow* dlg, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == WM_INITDIALOG) {
        PanelPage* page = ParamPanels::openingPage();
        dlg->SetUserData(reinterpret_cast<intptr_t>(page));
        if (const auto* list = reinterpret_cast<const HelperTypeList*>(lParam)) {
            openTypesPage(dlg, page, *list);
            if (page) fillTypesPage(dlg, *page);
        }
        return 1;
    }
    if (handleCommonMessage(dlg, message, wParam, lParam)) return 1;
    PanelPage* page = pageOf(dlg);
    if (!page || message != WM_COMMAND) return 0;
    typesCommand(dlg, *page, commandId(wParam));
    return 1;
}

}  // namespace zeq
