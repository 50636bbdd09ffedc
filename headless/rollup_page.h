#pragma once
// Rollup pages of the headless command panel. An object's parameters are shown in pages that the
// object (or its class descriptor) adds while it is being edited (IObjParam::AddRollupPage) and
// takes down when editing ends. A page is a dialog model made from the plug-in's template: when it
// shows a parameter block, the controls the block's description names start with the block's values
// (check boxes checked, spinner edit fields holding the number). Tests read the pages the host keeps.
#include "host/host.h"

#include <string>
#include <vector>

namespace headless {

class RollupPage : public DialogWindow {
public:
    struct Control {
        int id = IDC_STATIC;
        ControlKind kind = ControlKind::StaticText;
        std::string text;
        bool checked = false;
        bool enabled = true;
        int x = 0, y = 0, width = 0, height = 0;
    };

    // A page from a template; block (may be null) fills the controls its description names. The
    // block is read only here: the page keeps its address to tell which block it shows, nothing more.
    RollupPage(const DialogTemplate& dialog, std::string title, IParamBlock2* block, DialogProc proc);

    int templateId() const { return templateId_; }
    const std::string& title() const { return title_; }
    IParamBlock2* block() const { return block_; }
    bool isOpen() const { return open_; }
    void setClosed() { open_ = false; }
    const std::vector<Control>& controls() const { return controls_; }
    // The control with that id; null when the page has none.
    const Control* control(int id) const;
    // Sends a message to the page's procedure (none: 0).
    intptr_t send(uint32_t message, uintptr_t wParam, intptr_t lParam);

    // ---- DialogWindow ----
    int TemplateID() override { return templateId_; }
    const char* Caption() override { return title_.c_str(); }
    void CheckButton(int controlId, bool checked) override;
    bool IsButtonChecked(int controlId) override;
    void EnableControl(int controlId, bool enabled) override;
    bool IsControlEnabled(int controlId) override;
    void SetControlText(int controlId, const std::string& text) override;
    std::string GetControlText(int controlId) override;
    // A rollup page is not modal: ending it does nothing.
    void EndDialog(intptr_t) override {}
    void CenterOnParent() override {}
    void SetUserData(intptr_t data) override { userData_ = data; }
    intptr_t GetUserData() override { return userData_; }
    WindowHandle Handle() override { return static_cast<DialogWindow*>(this); }

private:
    Control* find(int id);
    void showBlock();

    int templateId_;
    std::string title_;
    IParamBlock2* block_;
    DialogProc proc_;
    std::vector<Control> controls_;
    bool open_ = true;
    intptr_t userData_ = 0;
};

}  // namespace headless
