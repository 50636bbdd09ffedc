#pragma once
// The headless host's user interface: modal dialogs run as models operated by a driver, message
// boxes recorded (and optionally echoed to a stream), and a progress display that draws a bar on
// stderr when stderr is a terminal.
//
// Dialogs: before code opens a modal dialog, a test (or the zeq command) queues a driver for it.
// When the dialog opens, its procedure receives WM_INITDIALOG; then the driver operates the dialog
// (click controls by id or by text, send commands, close it); DialogBoxParam returns the result the
// procedure passed to EndDialog. If the driver leaves the dialog open, the host closes it
// (WM_CLOSE, then the cancel command when the procedure ignores that, as the platform does); a
// dialog still open after that fails with -1. A dialog opened with no driver queued cannot be shown
// by the headless host and fails with -1.
#include "headless/rollup_page.h"
#include "host/host.h"

#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace headless {

// The open dialog as the driver operates it.
class DialogSession {
public:
    virtual ~DialogSession() = default;
    // Clicks a control: an enabled check box flips its check state (a radio button becomes checked)
    // and the procedure receives WM_COMMAND with the id. False, and nothing sent, when the control
    // does not exist, is disabled, or the dialog has ended.
    virtual bool click(int controlId) = 0;
    // Clicks the first control whose text is exactly text (for example "OK").
    virtual bool clickText(const std::string& text) = 0;
    // Sends WM_COMMAND with any id (IDOK and IDCANCEL are the keyboard's confirm and escape).
    virtual bool command(int id) = 0;
    // Closes the window (WM_CLOSE).
    virtual bool close() = 0;
    virtual bool ended() const = 0;
    virtual intptr_t result() const = 0;
    virtual int templateId() const = 0;
    virtual std::string caption() const = 0;
    virtual bool isChecked(int controlId) const = 0;
    virtual bool isEnabled(int controlId) const = 0;
    virtual bool hasControl(int controlId) const = 0;
    virtual std::string text(int controlId) const = 0;
    // Notes in the dialog's record that a step of the driver could not be carried out.
    virtual void noteRefusedStep() = 0;
};

// One scripted step of a dialog driver.
struct DialogStep {
    enum class Kind { Click, ClickText, Command, Close };
    Kind kind = Kind::Click;
    int id = 0;
    std::string text;

    static DialogStep click(int controlId) { return {Kind::Click, controlId, {}}; }
    static DialogStep clickText(std::string text) { return {Kind::ClickText, 0, std::move(text)}; }
    static DialogStep command(int id) { return {Kind::Command, id, {}}; }
    static DialogStep confirm() { return command(IDOK); }
    static DialogStep escape() { return command(IDCANCEL); }
    static DialogStep close() { return {Kind::Close, 0, {}}; }
};

using DialogDriver = std::function<void(DialogSession&)>;

// What happened to one dialog, for tests to read.
struct DialogRecord {
    int templateId = 0;
    std::string caption;
    intptr_t result = -1;
    bool driven = false;           // a driver operated it
    bool refusedSteps = false;     // a scripted step could not be carried out
    std::vector<uint32_t> messages;  // messages sent to the procedure, in order
};

struct MessageBoxRecord {
    std::string caption;
    std::string text;
    uint32_t type = 0;
};

struct ProgressEvent {
    enum class Kind { Start, Update, End };
    Kind kind = Kind::Start;
    int percent = 0;
    std::string title;
};

class UiServices {
public:
    UiServices();

    // ---- Dialogs ----
    // Queues a driver for the next modal dialog that opens (drivers are used in queue order).
    void queueDialog(DialogDriver driver);
    // Queues a scripted driver: the steps run in order; a step that cannot be carried out is
    // skipped and the dialog record says so.
    void queueDialog(std::vector<DialogStep> steps);
    size_t pendingDialogs() const { return drivers_.size(); }
    const std::vector<DialogRecord>& dialogs() const { return dialogs_; }
    intptr_t runDialog(const DialogTemplate& dialog, WindowHandle parent, DialogProc proc, intptr_t initParam);
    // Handle of the dialog being run, or null.
    WindowHandle activeDialog() const { return activeDialog_; }

    // ---- Rollup pages of the command panel ----
    // Shows a page made from a template (see RollupPage); its procedure, if any, receives
    // WM_INITDIALOG with param as lParam. Returns the page's handle.
    WindowHandle openRollupPage(const DialogTemplate& dialog, const std::string& title, IParamBlock2* block,
                                DialogProc proc, intptr_t param = 0, uint32_t rollupFlags = 0, int category = 0);
    // Takes an open page down (its procedure receives WM_CLOSE); false for an unknown or closed one.
    bool closeRollupPage(WindowHandle page);
    // Every page shown so far, in order (closed ones say so), and the ones still open.
    const std::vector<std::unique_ptr<RollupPage>>& rollupPages() const { return rollups_; }
    std::vector<const RollupPage*> openRollupPages() const;
    // The page with that handle (open or closed), for a driver to operate; null when none.
    RollupPage* rollupPage(WindowHandle handle) const;
    // The open page with that title; null when none is open.
    RollupPage* findOpenRollupPage(const std::string& title) const;

    // ---- Message boxes ----
    // Records the box and returns the answer: the one set with setMessageBoxAnswer, otherwise IDOK
    // (IDYES for a yes/no box).
    int messageBox(const char* text, const char* caption, uint32_t type);
    const std::vector<MessageBoxRecord>& messageBoxes() const { return messageBoxes_; }
    void clearMessageBoxes() { messageBoxes_.clear(); }
    void setMessageBoxAnswer(int answer) { answer_ = answer; }
    // Also writes every box as "<caption>: <text>" to out (null: do not echo).
    void setMessageBoxEcho(std::ostream* out) { echo_ = out; }

    // ---- Progress display ----
    void progressStart(const char* title, bool showBar);
    void progressUpdate(int percent, bool showPercent, const char* title);
    void progressEnd();
    bool progressActive() const { return progressActive_; }
    const std::vector<ProgressEvent>& progressEvents() const { return progress_; }
    // Draws the bar on stream (null: never). By default stderr, when it is a terminal.
    void setProgressStream(std::FILE* stream) { progressStream_ = stream; }

private:
    void drawProgress();

    std::deque<DialogDriver> drivers_;
    std::vector<DialogRecord> dialogs_;
    WindowHandle activeDialog_ = nullptr;
    std::vector<std::unique_ptr<RollupPage>> rollups_;
    std::vector<MessageBoxRecord> messageBoxes_;
    int answer_ = 0;
    std::ostream* echo_ = nullptr;
    std::vector<ProgressEvent> progress_;
    bool progressActive_ = false;
    bool progressBar_ = false;
    int progressPercent_ = 0;
    std::string progressTitle_;
    std::FILE* progressStream_ = nullptr;
};

}  // namespace headless
