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
