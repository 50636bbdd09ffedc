// The headless rollup page: a dialog model with list, combo, three-state, spinner and slider
// controls, bound to a parameter block, and the driver calls tests use to operate it.
#include "headless/rollup_page.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace headless {

namespace {

// Numbers as an edit field shows them: shortest form, or with a fixed number of decimals.
std::string numberText(float value, int decimals) {
    char text[48];
    if (decimals < 0) std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    else std::snprintf(text, sizeof text, "%.*f", decimals, static_cast<double>(value));
    return text;
}

bool isNumeric(ControlKind kind) { return kind == ControlKind::Spinner || kind == ControlKind::Slider; }

}  // namespace

RollupPage::RollupPage(const DialogTemplate& dialog, std::string title, IParamBlock2* block, DialogProc proc)
    : templateId_(dialog.id), title_(std::move(title)), block_(block), proc_(proc), width_(dialog.width),
      height_(dialog.height) {
    for (const auto& c : dialog.controls) AddControl(c);
    refresh();
}

TimeValue RollupPage::now() const {
    Interface* ip = GetCOREInterface();
    return ip ? ip->GetTime() : 0;
}

void RollupPage::refresh() {
    const ParamBlockDesc2* desc = block_ ? block_->GetDesc() : nullptr;
    if (!desc) return;
    const TimeValue t = now();
    for (const ParamDef& def : desc->params) {
        Control* field = find(def.editId);
        if (!field) continue;
        switch (def.control) {
        case ParamControlKind::CheckBox:
            field->checked = block_->GetInt(def.id, t) != 0;
            field->checkState = field->checked ? BST_CHECKED : BST_UNCHECKED;
            break;
        case ParamControlKind::FloatSpinner:
        case ParamControlKind::IntSpinner: {
            const bool isFloat = def.control == ParamControlKind::FloatSpinner;
            const float value = isFloat ? block_->GetFloat(def.id, t) : float(block_->GetInt(def.id, t));
            if (Control* spinner = find(def.spinnerId)) {
                spinner->editId = def.editId;
                spinner->low = def.rangeLow;
                spinner->high = def.rangeHigh;
                spinner->value = value;
                spinner->decimals = isFloat ? -1 : 0;
            }
            field->text = isFloat ? numberText(value, -1) : std::to_string(block_->GetInt(def.id, t));
            break;
        }
        case ParamControlKind::ListBox: {
            field->items.clear();
            const int count = block_->Count(def.id);
            for (int i = 0; i < count; ++i) {
                const char* entry = block_->GetStr(def.id, t, i);
                field->items.push_back(entry ? entry : "");
            }
            if (field->selection >= count) field->selection = -1;
            break;
        }
        case ParamControlKind::PickButton:
        case ParamControlKind::None: break;
        }
    }
}

const RollupPage::Control* RollupPage::control(int id) const { return const_cast<RollupPage*>(this)->find(id); }

RollupPage::Control* RollupPage::find(int id) {
    if (id == IDC_STATIC) return nullptr;
    for (auto& c : controls_)
        if (c.id == id) return &c;
    return nullptr;
}

bool RollupPage::isList(const Control* c) const {
    return c && (c->kind == ControlKind::ListBox || c->kind == ControlKind::ComboBox);
}

const ParamDef* RollupPage::boundParam(int controlId) const {
    const ParamBlockDesc2* desc = block_ ? block_->GetDesc() : nullptr;
    if (!desc || controlId == IDC_STATIC || controlId == 0) return nullptr;
    for (const ParamDef& def : desc->params) {
        if (def.control == ParamControlKind::None) continue;
        if (def.editId == controlId || def.spinnerId == controlId || def.buttonId == controlId) return &def;
    }
    return nullptr;
}

RollupPage::Control* RollupPage::numericFor(int editId) {
    for (auto& c : controls_)
        if (isNumeric(c.kind) && c.editId == editId && editId != 0) return &c;
    return nullptr;
}

void RollupPage::showNumeric(Control& numeric) {
    if (Control* edit = find(numeric.editId)) edit->text = numberText(numeric.value, numeric.decimals);
}

intptr_t RollupPage::send(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return proc_ ? proc_(this, message, wParam, lParam) : 0;
}

// ---- Driver ----

bool RollupPage::click(int controlId) {
    Control* c = find(controlId);
    if (!open_ || !c || !c->enabled) return false;
    switch (c->kind) {
    case ControlKind::CheckBox:
        if (c->threeState) c->checkState = (c->checkState + 1) % 3;
        else c->checkState = c->checkState == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        c->checked = c->checkState == BST_CHECKED;
        if (const ParamDef* def = boundParam(controlId); def && def->control == ParamControlKind::CheckBox)
            block_->SetValue(def->id, now(), c->checked ? 1 : 0);
        break;
    case ControlKind::RadioButton: {
        // The group: the run of radio buttons around this one in template order.
        const auto self = controls_.begin() + (c - controls_.data());
        auto first = self, last = self + 1;
        while (first != controls_.begin() && (first - 1)->kind == ControlKind::RadioButton) --first;
        while (last != controls_.end() && last->kind == ControlKind::RadioButton) ++last;
        for (auto it = first; it != last; ++it) it->checked = false, it->checkState = BST_UNCHECKED;
        c->checked = true;
        c->checkState = BST_CHECKED;
        break;
    }
    case ControlKind::Button:
        if (const ParamDef* def = boundParam(controlId); def && def->control == ParamControlKind::ListBox) {
            Control* list = find(def->editId);
            if (list && list->selection >= 0) {
                const int line = list->selection;
                list->selection = -1;
                block_->Delete(def->id, line, 1);
                refresh();
            }
        }
        break;
    default: break;
    }
    send(WM_COMMAND, MakeCommandParam(controlId, BN_CLICKED), 0);
    return true;
}

bool RollupPage::selectItem(int controlId, int index) {
    Control* c = find(controlId);
    if (!open_ || !isList(c) || !c->enabled) return false;
    c->selection = index >= 0 && index < static_cast<int>(c->items.size()) ? index : -1;
    send(WM_COMMAND, MakeCommandParam(controlId, c->kind == ControlKind::ComboBox ? CBN_SELCHANGE : LBN_SELCHANGE), 0);
    return true;
}

void RollupPage::setNumericByUser(Control& numeric, float value) {
    if (numeric.low != 0.0f || numeric.high != 0.0f) value = std::clamp(value, numeric.low, numeric.high);
    if (numeric.decimals == 0) value = std::trunc(value);
    numeric.value = value;
    showNumeric(numeric);
    if (const ParamDef* def = boundParam(numeric.id)) {
        if (def->control == ParamControlKind::FloatSpinner) block_->SetValue(def->id, now(), value);
        else if (def->control == ParamControlKind::IntSpinner) block_->SetValue(def->id, now(), static_cast<int>(value));
    }
}

bool RollupPage::enterValue(int controlId, float value) {
    Control* c = find(controlId);
    if (!open_ || !c || !c->enabled || std::isnan(value)) return false;
    Control* numeric = isNumeric(c->kind) ? c : numericFor(controlId);
    if (!numeric) return false;
    setNumericByUser(*numeric, value);
    if (c != numeric) send(WM_CUSTEDIT_ENTER, static_cast<uintptr_t>(controlId), 0);
    else send(numeric->kind == ControlKind::Slider ? CC_SLIDER_CHANGE : CC_SPINNER_CHANGE, static_cast<uintptr_t>(numeric->id), 0);
    return true;
}

bool RollupPage::drag(int spinnerId, float value) {
    Control* c = find(spinnerId);
    if (!open_ || !c || !c->enabled || c->kind != ControlKind::Spinner || std::isnan(value)) return false;
    setNumericByUser(*c, value);
    if (c->dragNotify) send(CC_SPINNER_CHANGE, static_cast<uintptr_t>(spinnerId), 1);
    send(CC_SPINNER_CHANGE, static_cast<uintptr_t>(spinnerId), 0);
    return true;
}

bool RollupPage::enterText(int controlId, const std::string& text) {
    Control* c = find(controlId);
    if (!open_ || !c || !c->enabled) return false;
    c->text = text;
    send(WM_CUSTEDIT_ENTER, static_cast<uintptr_t>(controlId), 0);
    return true;
}

bool RollupPage::pick(int controlId, INode* node) {
    Control* c = find(controlId);
    const ParamDef* def = boundParam(controlId);
    if (!open_ || !c || !c->enabled || !def || def->control != ParamControlKind::PickButton) return false;
    const bool accepted = block_->SetValue(def->id, now(), node);
    refresh();
    return accepted;
}

// ---- DialogWindow ----

void RollupPage::CheckButton(int controlId, bool checked) {
    if (Control* c = find(controlId)) {
        c->checked = checked;
        c->checkState = checked ? BST_CHECKED : BST_UNCHECKED;
    }
}

bool RollupPage::IsButtonChecked(int controlId) {
    const Control* c = find(controlId);
    return c && c->checked;
}

void RollupPage::EnableControl(int controlId, bool enabled) {
    if (Control* c = find(controlId)) c->enabled = enabled;
}

bool RollupPage::IsControlEnabled(int controlId) {
    const Control* c = find(controlId);
    return c && c->enabled;
}

void RollupPage::SetControlText(int controlId, const std::string& text) {
    if (Control* c = find(controlId)) c->text = text;
}

std::string RollupPage::GetControlText(int controlId) {
    const Control* c = find(controlId);
    return c ? c->text : std::string();
}

void RollupPage::ResetList(int controlId) {
    if (Control* c = find(controlId); isList(c)) {
        c->items.clear();
        c->selection = -1;
    }
}

int RollupPage::AddListItem(int controlId, const std::string& text) {
    Control* c = find(controlId);
    if (!isList(c)) return -1;
    c->items.push_back(text);
    return static_cast<int>(c->items.size()) - 1;
}

int RollupPage::GetListCount(int controlId) {
    const Control* c = find(controlId);
    return isList(c) ? static_cast<int>(c->items.size()) : 0;
}

std::string RollupPage::GetListItem(int controlId, int index) {
    const Control* c = find(controlId);
    if (!isList(c) || index < 0 || index >= static_cast<int>(c->items.size())) return {};
    return c->items[index];
}

int RollupPage::GetListSelection(int controlId) {
    const Control* c = find(controlId);
    return isList(c) ? c->selection : -1;
}

void RollupPage::SetListSelection(int controlId, int index) {
    if (Control* c = find(controlId); isList(c))
        c->selection = index >= 0 && index < static_cast<int>(c->items.size()) ? index : -1;
}

void RollupPage::SetListHeight(int controlId, int pixels) {
    if (Control* c = find(controlId); isList(c)) c->listHeight = pixels;
}

void RollupPage::SetThreeState(int controlId, bool threeState) {
    if (Control* c = find(controlId)) {
        c->threeState = threeState;
        if (!threeState && c->checkState == BST_INDETERMINATE) c->checkState = BST_UNCHECKED;
    }
}

bool RollupPage::IsThreeState(int controlId) {
    const Control* c = find(controlId);
    return c && c->threeState;
}

void RollupPage::SetCheckState(int controlId, int state) {
    if (Control* c = find(controlId)) {
        c->checkState = state == BST_INDETERMINATE && !c->threeState ? BST_UNCHECKED : state;
        c->checked = c->checkState == BST_CHECKED;
    }
}

int RollupPage::GetCheckState(int controlId) {
    const Control* c = find(controlId);
    return c ? c->checkState : BST_UNCHECKED;
}

void RollupPage::SetupNumeric(int controlId, int editId, float low, float high, float value, int decimals) {
    Control* c = find(controlId);
    if (!c || !isNumeric(c->kind)) return;
    c->editId = editId;
    c->low = std::min(low, high);
    c->high = std::max(low, high);
    c->decimals = decimals;
    SetNumericValue(controlId, value);
}

void RollupPage::SetNumericValue(int controlId, float value) {
    Control* c = find(controlId);
    if (!c || !isNumeric(c->kind) || std::isnan(value)) return;
    if (c->low != 0.0f || c->high != 0.0f) value = std::clamp(value, c->low, c->high);
    c->value = value;
    showNumeric(*c);
}

float RollupPage::GetNumericValue(int controlId) {
    const Control* c = find(controlId);
    return c && isNumeric(c->kind) ? c->value : 0.0f;
}

bool RollupPage::TakeControl(int controlId) {
    Control* c = find(controlId);
    if (!c) return false;
    ++c->held;
    return true;
}

void RollupPage::ReleaseControl(int controlId) {
    if (Control* c = find(controlId); c && c->held > 0) --c->held;
}

void RollupPage::SetSpinnerDragNotify(int controlId, bool notify) {
    if (Control* c = find(controlId); c && c->kind == ControlKind::Spinner) c->dragNotify = notify;
}

int RollupPage::heldControls() const {
    int held = 0;
    for (const auto& c : controls_) held += c.held;
    return held;
}

void RollupPage::AddControl(const DialogControl& c) {
    Control control;
    control.id = c.id;
    control.kind = c.kind;
    control.text = c.text ? c.text : "";
    control.checked = c.checked;
    control.checkState = c.checked ? BST_CHECKED : BST_UNCHECKED;
    control.enabled = c.enabled;
    control.x = c.x, control.y = c.y, control.width = c.width, control.height = c.height;
    controls_.push_back(std::move(control));
}

void RollupPage::Resize(int width, int height) {
    width_ = width;
    height_ = height;
}

}  // namespace headless
