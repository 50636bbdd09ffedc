#pragma once
// User-interface services as a model. Dialog templates and string tables are data inside each
// plug-in library (see plugin_library.h); a plug-in's dialog procedure is its own code. The host's
// dialog service opens a modal dialog from a template, sends the procedure WM_INITDIALOG, then a
// WM_COMMAND (wParam = control id) for every control the user uses and WM_CLOSE when the window is
// closed; the procedure changes controls through the DialogWindow it receives and ends the dialog
// with a result, which DialogBoxParam returns. Message boxes and the progress display are host
// services too.
#include "host/ids.h"

#include <cstdint>
#include <span>
#include <string>

struct PluginModule;
using ModuleHandle = const PluginModule*;

enum class ControlKind {
    CheckBox,
    RadioButton,
    Button,
    Group,       // a labelled frame around other controls
    StaticText,
    EditText,
    Spinner,
    ListBox,
    PickButton,  // picks a node in the viewports
    ComboBox,    // a drop-down list of items
    Slider,      // a numeric value set by dragging, linked to an edit field
};

// One control of a template. Positions are in dialog units (x, y, width, height).
struct DialogControl {
    int id = IDC_STATIC;
    ControlKind kind = ControlKind::StaticText;
    const char* text = "";
    bool checked = false;  // initial check state of check boxes and radio buttons
    bool enabled = true;   // initial enable state
    int x = 0, y = 0, width = 0, height = 0;
};

struct DialogTemplate {
    int id = 0;
    const char* caption = "";
    std::span<const DialogControl> controls;
    int width = 0, height = 0;
};

// The open dialog as its procedure sees it. Unknown control ids are ignored by the setters and read
// as unchecked / disabled / empty.
class DialogWindow {
public:
    virtual ~DialogWindow() = default;
    virtual int TemplateID() = 0;
    virtual const char* Caption() = 0;
    virtual void CheckButton(int controlId, bool checked) = 0;
    virtual bool IsButtonChecked(int controlId) = 0;
    virtual void EnableControl(int controlId, bool enabled) = 0;
    virtual bool IsControlEnabled(int controlId) = 0;
    virtual void SetControlText(int controlId, const std::string& text) = 0;
    virtual std::string GetControlText(int controlId) = 0;
    // Ends the modal dialog; DialogBoxParam returns result once the procedure returns.
    virtual void EndDialog(intptr_t result) = 0;
    // Places the dialog in the middle of its parent window.
    virtual void CenterOnParent() = 0;
    // A value the procedure keeps with the window (for example its own object).
    virtual void SetUserData(intptr_t data) = 0;
    virtual intptr_t GetUserData() = 0;
    virtual WindowHandle Handle() = 0;

    // The richer controls of rollup pages. Modal dialogs do not have them; there these calls do
    // nothing and read as empty.

    // List boxes and combo boxes: the items, and the selected one (-1: none).
    virtual void ResetList(int controlId) { (void)controlId; }
    // Appends an item; its index, or -1 when the control is not a list.
    virtual int AddListItem(int controlId, const std::string& text) {
        (void)controlId, (void)text;
        return -1;
    }
    virtual int GetListCount(int controlId) {
        (void)controlId;
        return 0;
    }
    virtual std::string GetListItem(int controlId, int index) {
        (void)controlId, (void)index;
        return {};
    }
    virtual int GetListSelection(int controlId) {
        (void)controlId;
        return -1;
    }
    // Selects an item (an index outside the items clears the selection). Sends no notification.
    virtual void SetListSelection(int controlId, int index) { (void)controlId, (void)index; }
    // Height in pixels of a combo box's drop-down list.
    virtual void SetListHeight(int controlId, int pixels) { (void)controlId, (void)pixels; }

    // Check boxes with a third, indeterminate state: a three-state box cycles through unchecked,
    // checked and indeterminate when clicked; an ordinary one between unchecked and checked.
    virtual void SetThreeState(int controlId, bool threeState) { (void)controlId, (void)threeState; }
    virtual bool IsThreeState(int controlId) {
        (void)controlId;
        return false;
    }
    // BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE.
    virtual void SetCheckState(int controlId, int state) { CheckButton(controlId, state == BST_CHECKED); }
    virtual int GetCheckState(int controlId) { return IsButtonChecked(controlId) ? BST_CHECKED : BST_UNCHECKED; }

    // Spinners and sliders: a numeric value kept within limits, shown in the linked edit field
    // (editId, 0 for none) with the given number of decimals (-1: shortest form). Setting a value
    // sends no notification.
    virtual void SetupNumeric(int controlId, int editId, float low, float high, float value, int decimals = -1) {
        (void)controlId, (void)editId, (void)low, (void)high, (void)value, (void)decimals;
    }
    virtual void SetNumericValue(int controlId, float value) { (void)controlId, (void)value; }
    virtual float GetNumericValue(int controlId) {
        (void)controlId;
        return 0.0f;
    }

    // A procedure takes the custom controls it works with (spinners, sliders, their edit fields)
    // when the page opens and releases them when it closes; the platform keeps a control's
    // resources for as long as it is held. TakeControl is false for a control the dialog lacks.
    virtual bool TakeControl(int controlId) {
        (void)controlId;
        return false;
    }
    virtual void ReleaseControl(int controlId) { (void)controlId; }
    // Whether a spinner also notifies while it is being dragged (CC_SPINNER_CHANGE with a nonzero
    // lParam), not only when the drag ends.
    virtual void SetSpinnerDragNotify(int controlId, bool notify) { (void)controlId, (void)notify; }

    // Controls made at run time, and the page's size in dialog units.
    virtual void AddControl(const DialogControl& control) { (void)control; }
    virtual void Resize(int width, int height) { (void)width, (void)height; }
};

// Returns nonzero when it handled the message.
using DialogProc = intptr_t (*)(DialogWindow* dialog, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Runs the modal dialog with the template templateId of the module and returns the result its
// procedure passed to EndDialog; -1 when the dialog cannot be run (no host, no such template).
intptr_t DialogBoxParam(ModuleHandle module, int templateId, WindowHandle parent, DialogProc proc,
                        intptr_t initParam);

// Shows a message box (type: MB_* buttons | MB_ICON*) and returns the button pressed (IDOK, ...);
// 0 when no host runs.
int MessageBox(WindowHandle parent, const char* text, const char* caption, uint32_t type);

// The window that has the focus (the host's main window when no dialog is open); null without host.
WindowHandle GetActiveWindow();

// Work function handed to the progress display; called once when the display starts.
using ProgressFn = uint32_t (*)(void* arg);
