#pragma once
// Rollup pages of the headless command panel. An object's parameters are shown in pages that the
// object (or its class descriptor) adds while it is being edited (IObjParam::AddRollupPage) and
// takes down when editing ends; utilities and global plug-ins add pages of their own. A page is a
// dialog model made from the plug-in's template: when it shows a parameter block, the controls the
// block's description names start with the block's values (check boxes checked, spinner edit fields
// holding the number, list boxes holding a string table) and follow the block when it is refreshed
// (IObjParam::InvalidateRollupPages).
//
// Tests operate a page like a user through its driver calls: click, selectItem, enterValue,
// enterText and pick. Controls bound to a block parameter write the block first (its validators and
// accessors run), then the page's procedure receives the message the platform would send.
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
        // Check boxes: the state (BST_*) and whether clicks cycle through three states.
        int checkState = BST_UNCHECKED;
        bool threeState = false;
        // List and combo boxes.
        std::vector<std::string> items;
        int selection = -1;
        int listHeight = 0;
        // Spinners and sliders.
        float value = 0.0f, low = 0.0f, high = 0.0f;
        int editId = 0;    // the linked edit field (0: none)
        int decimals = -1; // digits shown in the edit field (-1: shortest form)
        bool dragNotify = false;  // spinners: notices while dragging too
        // How many times the procedure holds the control (TakeControl less ReleaseControl).
        int held = 0;
    };

    // A page from a template; block (may be null) fills the controls its description names.
    RollupPage(const DialogTemplate& dialog, std::string title, IParamBlock2* block, DialogProc proc);

    int templateId() const { return templateId_; }
    const std::string& title() const { return title_; }
    IParamBlock2* block() const { return block_; }
    bool isOpen() const { return open_; }
    void setClosed() { open_ = false; }
    // Where the page was added: the rollup flags and the category given with it.
    uint32_t rollupFlags() const { return rollupFlags_; }
    int category() const { return category_; }
    void setPlacement(uint32_t rollupFlags, int category) {
        rollupFlags_ = rollupFlags;
        category_ = category;
    }
    int width() const { return width_; }
    int height() const { return height_; }
    const std::vector<Control>& controls() const { return controls_; }
    // The control with that id; null when the page has none.
    const Control* control(int id) const;
    // Sends a message to the page's procedure (none: 0).
    intptr_t send(uint32_t message, uintptr_t wParam, intptr_t lParam);
    // Reads the block's values into the controls bound to it again.
    void refresh();
    // Controls the procedure still holds (taken and not released); none once a page that cleans up
    // after itself is closed.
    int heldControls() const;

    // ---- Driver: what a user does. Each returns false, doing nothing, for a missing or disabled
    // control or a closed page. ----
    // A check box changes state (three-state ones cycle), a radio button becomes the checked one of
    // its group (the radio buttons next to it in the template), a list's delete button deletes the
    // list's selected entry from the block; then WM_COMMAND (BN_CLICKED).
    bool click(int controlId);
    // Selects an item of a list or combo box, then WM_COMMAND (LBN_SELCHANGE / CBN_SELCHANGE).
    bool selectItem(int controlId, int index);
    // Sets a spinner or slider (or the edit field linked to one) to value, clamped to its limits;
    // then CC_SPINNER_CHANGE / CC_SLIDER_CHANGE (not dragging), or WM_CUSTEDIT_ENTER for the field.
    bool enterValue(int controlId, float value);
    // Drags a spinner to value, clamped to its limits: while the drag lasts the procedure hears
    // CC_SPINNER_CHANGE with lParam 1 if the spinner notifies while dragging, then with lParam 0 as
    // it ends. False for anything but a spinner.
    bool drag(int spinnerId, float value);
    // Types text into an edit field and presses enter (WM_CUSTEDIT_ENTER).
    bool enterText(int controlId, const std::string& text);
    // Picks a node with a pick button: the bound node parameter is set (its validator may refuse,
    // then false). The page is refreshed.
    bool pick(int controlId, INode* node);

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

    void ResetList(int controlId) override;
    int AddListItem(int controlId, const std::string& text) override;
    int GetListCount(int controlId) override;
    std::string GetListItem(int controlId, int index) override;
    int GetListSelection(int controlId) override;
    void SetListSelection(int controlId, int index) override;
    void SetListHeight(int controlId, int pixels) override;
    void SetThreeState(int controlId, bool threeState) override;
    bool IsThreeState(int controlId) override;
    void SetCheckState(int controlId, int state) override;
    int GetCheckState(int controlId) override;
    void SetupNumeric(int controlId, int editId, float low, float high, float value, int decimals = -1) override;
    void SetNumericValue(int controlId, float value) override;
    float GetNumericValue(int controlId) override;
    bool TakeControl(int controlId) override;
    void ReleaseControl(int controlId) override;
    void SetSpinnerDragNotify(int controlId, bool notify) override;
    void AddControl(const DialogControl& control) override;
    void Resize(int width, int height) override;

private:
    Control* find(int id);
    bool isList(const Control* c) const;
    // The block parameter whose control (edit field, spinner, check box, list, pick button or
    // list delete button) has this id; null when none.
    const ParamDef* boundParam(int controlId) const;
    // The spinner or slider an edit field is linked to.
    Control* numericFor(int editId);
    void showNumeric(Control& numeric);
    // Sets a spinner's or slider's value as the user does (clamped, shown in its field) and writes
    // the block parameter bound to it.
    void setNumericByUser(Control& numeric, float value);
    TimeValue now() const;

    int templateId_;
    std::string title_;
    IParamBlock2* block_;
    DialogProc proc_;
    std::vector<Control> controls_;
    int width_ = 0, height_ = 0;
    bool open_ = true;
    intptr_t userData_ = 0;
    uint32_t rollupFlags_ = 0;
    int category_ = 0;
};

}  // namespace headless
