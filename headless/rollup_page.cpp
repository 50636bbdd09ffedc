#include "headless/rollup_page.h"

#include <cstdio>

namespace headless {

namespace {

// Numbers as a spinner's edit field shows them: shortest form, no trailing zeros.
std::string spinnerText(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return text;
}

}  // namespace

RollupPage::RollupPage(const DialogTemplate& dialog, std::string title, IParamBlock2* block, DialogProc proc)
    : templateId_(dialog.id), title_(std::move(title)), block_(block), proc_(proc) {
    for (const auto& c : dialog.controls)
        controls_.push_back({c.id, c.kind, c.text ? c.text : "", c.checked, c.enabled, c.x, c.y, c.width, c.height});
    showBlock();
}

void RollupPage::showBlock() {
    const ParamBlockDesc2* desc = block_ ? block_->GetDesc() : nullptr;
    if (!desc) return;
    for (const ParamDef& def : desc->params) {
        Control* field = find(def.editId);
        if (!field) continue;
        switch (def.control) {
        case ParamControlKind::CheckBox: field->checked = block_->GetInt(def.id, 0) != 0; break;
        case ParamControlKind::FloatSpinner: field->text = spinnerText(block_->GetFloat(def.id, 0)); break;
        case ParamControlKind::IntSpinner: field->text = std::to_string(block_->GetInt(def.id, 0)); break;
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

intptr_t RollupPage::send(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return proc_ ? proc_(this, message, wParam, lParam) : 0;
}

void RollupPage::CheckButton(int controlId, bool checked) {
    if (Control* c = find(controlId)) c->checked = checked;
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

}  // namespace headless
