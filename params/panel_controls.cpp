// Control helpers shared by the pages: values several nodes may disagree on, clicked check boxes,
// typed numbers, and the messages every page handles alike.
#include "params/panel_pages.h"
#include "params/resources.h"

#include "host/obj_param.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace zeq {

std::optional<int> commonValue(const std::vector<INode*>& nodes, const std::function<int(INode*)>& valueOf) {
    if (nodes.empty()) return std::nullopt;
    const int first = valueOf(nodes.front());
    for (size_t i = 1; i < nodes.size(); ++i)
        if (valueOf(nodes[i]) != first) return std::nullopt;
    return first;
}

void showRadio(DialogWindow* dlg, std::span<const RadioChoice> group, std::optional<int> value) {
    for (const RadioChoice& choice : group) dlg->CheckButton(choice.controlId, value && *value == choice.value);
}

std::optional<int> checkedRadio(DialogWindow* dlg, std::span<const RadioChoice> group) {
    for (const RadioChoice& choice : group)
        if (dlg->IsButtonChecked(choice.controlId)) return choice.value;
    return std::nullopt;
}

std::optional<int> radioValue(std::span<const RadioChoice> group, int controlId) {
    for (const RadioChoice& choice : group)
        if (choice.controlId == controlId) return choice.value;
    return std::nullopt;
}

void enableRadios(DialogWindow* dlg, std::span<const RadioChoice> group, bool enabled) {
    for (const RadioChoice& choice : group) dlg->EnableControl(choice.controlId, enabled);
}

void showCheck(DialogWindow* dlg, int controlId, std::optional<int> value) {
    if (!value) {
        dlg->SetThreeState(controlId, true);
        dlg->SetCheckState(controlId, BST_INDETERMINATE);
        return;
    }
    dlg->SetThreeState(controlId, false);
    dlg->SetCheckState(controlId, *value ? BST_CHECKED : BST_UNCHECKED);
}

std::optional<int> clickedCheck(DialogWindow* dlg, int controlId) {
    const int state = dlg->GetCheckState(controlId);
    if (state == BST_INDETERMINATE) return std::nullopt;
    dlg->SetThreeState(controlId, false);
    return state == BST_CHECKED ? 1 : 0;
}

bool isChecked(DialogWindow* dlg, int controlId) { return dlg->GetCheckState(controlId) == BST_CHECKED; }

std::optional<float> takeEditedValue(DialogWindow* dlg, int numericId, int editId, float low, float high,
                                     bool entered) {
    const std::string text = dlg->GetControlText(editId);
    // Showing the control's value again tells whether the field still shows it.
    const float shown = dlg->GetNumericValue(numericId);
    dlg->SetNumericValue(numericId, shown);
    if (dlg->GetControlText(editId) == text) return entered ? std::optional<float>(shown) : std::nullopt;
    char* end = nullptr;
    const float typed = std::strtof(text.c_str(), &end);
    if (end == text.c_str() || std::isnan(typed)) {
        dlg->SetNumericValue(numericId, dlg->GetNumericValue(numericId));
        return std::nullopt;
    }
    dlg->SetNumericValue(numericId, std::clamp(typed, low, high));
    return dlg->GetNumericValue(numericId);
}

namespace {

constexpr float kThresholdLow = 0.0f;
constexpr float kThresholdHigh = 1000000.0f;

}  // namespace

void setupThreshold(DialogWindow* dlg) {
    dlg->SetupNumeric(IDC_THRESHOLD_SPIN, IDC_THRESHOLD_EDIT, kThresholdLow, kThresholdHigh, kDefaultThreshold, 3);
    dlg->SetSpinnerDragNotify(IDC_THRESHOLD_SPIN, true);
}

bool thresholdMessage(DialogWindow* dlg, EngineParamStore& store, uint32_t message, uintptr_t wParam) {
    if (message == CC_SPINNER_CHANGE && static_cast<int>(wParam) == IDC_THRESHOLD_SPIN) {
        store.writeFloat(THRESHOLD, dlg->GetNumericValue(IDC_THRESHOLD_SPIN));
        return true;
    }
    const bool entered = message == WM_CUSTEDIT_ENTER && static_cast<int>(wParam) == IDC_THRESHOLD_EDIT;
    if (!entered && !(message == WM_COMMAND && commandId(wParam) == IDC_THRESHOLD_EDIT)) return false;
    if (auto value =
            takeEditedValue(dlg, IDC_THRESHOLD_SPIN, IDC_THRESHOLD_EDIT, kThresholdLow, kThresholdHigh, entered))
        store.writeFloat(THRESHOLD, *value);
    return true;
}

void initPage(DialogWindow* dlg, void (*setup)(DialogWindow*), void (*fill)(DialogWindow*, PanelPage&)) {
    PanelPage* page = ParamPanels::openingPage();
    dlg->SetUserData(reinterpret_cast<intptr_t>(page));
    setup(dlg);
    if (page) fill(dlg, *page);
}

PanelPage* pageOf(DialogWindow* dlg) { return dlg ? reinterpret_cast<PanelPage*>(dlg->GetUserData()) : nullptr; }

bool handleCommonMessage(DialogWindow* dlg, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    switch (message) {
    case WM_CLOSE:
    case WM_DESTROY:
        if (PanelPage* page = pageOf(dlg)) page->handle = nullptr;
        dlg->SetUserData(0);
        return true;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        if (IObjParam* ip = panelInterface()) ip->RollupMouseMessage(dlg->Handle(), message, wParam, lParam);
        return true;
    default: return false;
    }
}

}  // namespace zeq
