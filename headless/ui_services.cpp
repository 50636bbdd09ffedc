#include "headless/ui_services.h"

#include <algorithm>
#include <unistd.h>

namespace headless {

namespace {

struct ControlState {
    int id = IDC_STATIC;
    ControlKind kind = ControlKind::StaticText;
    std::string text;
    bool checked = false;
    bool enabled = true;
};

// The dialog model: the procedure changes it through DialogWindow, the driver through DialogSession.
class DialogModel : public DialogWindow, public DialogSession {
public:
    DialogModel(const DialogTemplate& dialog, DialogProc proc, DialogRecord& record)
        : templateId_(dialog.id), caption_(dialog.caption ? dialog.caption : ""), proc_(proc), record_(record) {
        for (const auto& c : dialog.controls)
            controls_.push_back({c.id, c.kind, c.text ? c.text : "", c.checked, c.enabled});
    }

    // Sends a message to the procedure and returns its answer.
    intptr_t send(uint32_t message, uintptr_t wParam, intptr_t lParam) {
        record_.messages.push_back(message);
        return proc_(this, message, wParam, lParam);
    }

    // ---- DialogWindow (the procedure's side) ----
    int TemplateID() override { return templateId_; }
    const char* Caption() override { return caption_.c_str(); }
    void CheckButton(int controlId, bool checked) override {
        if (ControlState* c = find(controlId)) c->checked = checked;
    }
    bool IsButtonChecked(int controlId) override { return isChecked(controlId); }
    void EnableControl(int controlId, bool enabled) override {
        if (ControlState* c = find(controlId)) c->enabled = enabled;
    }
    bool IsControlEnabled(int controlId) override { return isEnabled(controlId); }
    void SetControlText(int controlId, const std::string& text) override {
        if (ControlState* c = find(controlId)) c->text = text;
    }
    std::string GetControlText(int controlId) override { return text(controlId); }
    void EndDialog(intptr_t result) override {
        if (ended_) return;
        ended_ = true;
        result_ = result;
    }
    void CenterOnParent() override { centered_ = true; }
    void SetUserData(intptr_t data) override { userData_ = data; }
    intptr_t GetUserData() override { return userData_; }
    WindowHandle Handle() override { return static_cast<DialogWindow*>(this); }

    // ---- DialogSession (the driver's side) ----
    bool click(int controlId) override {
        ControlState* c = find(controlId);
        if (ended_ || !c || !c->enabled) return false;
        if (c->kind == ControlKind::StaticText || c->kind == ControlKind::Group) return false;
        if (c->kind == ControlKind::CheckBox) c->checked = !c->checked;
        if (c->kind == ControlKind::RadioButton) c->checked = true;
        send(WM_COMMAND, static_cast<uintptr_t>(controlId), 0);
        return true;
    }
    bool clickText(const std::string& text) override {
        for (const auto& c : controls_)
            if (c.text == text && c.id != IDC_STATIC) return click(c.id);
        return false;
    }
    bool command(int id) override {
        if (ended_) return false;
        send(WM_COMMAND, static_cast<uintptr_t>(id), 0);
        return true;
    }
    bool close() override {
        if (ended_) return false;
        // A procedure that leaves WM_CLOSE alone gets the cancel command, as the platform's default
        // dialog handling sends it.
        if (!send(WM_CLOSE, 0, 0) && !ended_) send(WM_COMMAND, IDCANCEL, 0);
        return true;
    }
    bool ended() const override { return ended_; }
    intptr_t result() const override { return result_; }
    int templateId() const override { return templateId_; }
    std::string caption() const override { return caption_; }
    bool isChecked(int controlId) const override {
        const ControlState* c = find(controlId);
        return c && c->checked;
    }
    bool isEnabled(int controlId) const override {
        const ControlState* c = find(controlId);
        return c && c->enabled;
    }
    bool hasControl(int controlId) const override { return find(controlId) != nullptr; }
    std::string text(int controlId) const override {
        const ControlState* c = find(controlId);
        return c ? c->text : std::string();
    }
    void noteRefusedStep() override { record_.refusedSteps = true; }

private:
    ControlState* find(int id) {
        if (id == IDC_STATIC) return nullptr;
        for (auto& c : controls_)
            if (c.id == id) return &c;
        return nullptr;
    }
    const ControlState* find(int id) const { return const_cast<DialogModel*>(this)->find(id); }

    int templateId_;
    std::string caption_;
    DialogProc proc_;
    DialogRecord& record_;
    std::vector<ControlState> controls_;
    bool ended_ = false;
    intptr_t result_ = -1;
    bool centered_ = false;
    intptr_t userData_ = 0;
};

}  // namespace

UiServices::UiServices() { progressStream_ = isatty(STDERR_FILENO) ? stderr : nullptr; }

void UiServices::queueDialog(DialogDriver driver) { drivers_.push_back(std::move(driver)); }

void UiServices::queueDialog(std::vector<DialogStep> steps) {
    drivers_.push_back([steps = std::move(steps)](DialogSession& session) {
        for (const auto& step : steps) {
            if (session.ended()) {
                // Steps left after the dialog ended cannot be carried out.
                session.noteRefusedStep();
                return;
            }
            bool done = false;
            switch (step.kind) {
            case DialogStep::Kind::Click: done = session.click(step.id); break;
            case DialogStep::Kind::ClickText: done = session.clickText(step.text); break;
            case DialogStep::Kind::Command: done = session.command(step.id); break;
            case DialogStep::Kind::Close: done = session.close(); break;
            }
            if (!done) session.noteRefusedStep();
        }
    });
}

intptr_t UiServices::runDialog(const DialogTemplate& dialog, WindowHandle, DialogProc proc, intptr_t initParam) {
    dialogs_.push_back({});
    DialogRecord& record = dialogs_.back();
    record.templateId = dialog.id;
    record.caption = dialog.caption ? dialog.caption : "";
    if (drivers_.empty() || !proc) {
        // Nobody can operate the dialog: it cannot be shown.
        record.result = -1;
        return -1;
    }
    DialogDriver driver = std::move(drivers_.front());
    drivers_.pop_front();
    record.driven = true;

    // The record vector may grow while the dialog runs (a procedure can open another dialog), so the
    // model reports into its own record that is copied back at the end.
    DialogRecord local = record;
    size_t recordIndex = dialogs_.size() - 1;
    DialogModel model(dialog, proc, local);
    WindowHandle previousActive = activeDialog_;
    activeDialog_ = model.Handle();

    model.send(WM_INITDIALOG, 0, initParam);
    if (!model.ended()) driver(model);
    if (!model.ended()) model.close();

    activeDialog_ = previousActive;
    local.result = model.ended() ? model.result() : -1;
    dialogs_[recordIndex] = local;
    return local.result;
}

int UiServices::messageBox(const char* text, const char* caption, uint32_t type) {
    messageBoxes_.push_back({caption ? caption : "", text ? text : "", type});
    if (echo_) *echo_ << messageBoxes_.back().caption << ": " << messageBoxes_.back().text << "\n";
    if (answer_) return answer_;
    return (type & 0xF) == MB_YESNO ? IDYES : IDOK;
}

void UiServices::progressStart(const char* title, bool showBar) {
    progressActive_ = true;
    progressBar_ = showBar;
    progressPercent_ = 0;
    progressTitle_ = title ? title : "";
    progress_.push_back({ProgressEvent::Kind::Start, 0, progressTitle_});
    drawProgress();
}

void UiServices::progressUpdate(int percent, bool, const char* title) {
    progressPercent_ = std::clamp(percent, 0, 100);
    if (title) progressTitle_ = title;
    progress_.push_back({ProgressEvent::Kind::Update, percent, title ? title : ""});
    if (progressActive_) drawProgress();
}

void UiServices::progressEnd() {
    progress_.push_back({ProgressEvent::Kind::End, progressPercent_, progressTitle_});
    if (progressActive_ && progressBar_ && progressStream_) {
        std::fputs("\n", progressStream_);
        std::fflush(progressStream_);
    }
    progressActive_ = false;
}

void UiServices::drawProgress() {
    if (!progressBar_ || !progressStream_) return;
    constexpr int kWidth = 30;
    int filled = progressPercent_ * kWidth / 100;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kWidth - filled), '.');
    // \r redraws the same line; \033[K clears what a longer previous title left behind.
    std::fprintf(progressStream_, "\r%s [%s] %3d%%\033[K", progressTitle_.c_str(), bar.c_str(), progressPercent_);
    std::fflush(progressStream_);
}

// ---- Rollup pages ----

WindowHandle UiServices::openRollupPage(const DialogTemplate& dialog, const std::string& title, IParamBlock2* block,
                                        DialogProc proc, intptr_t param, uint32_t rollupFlags, int category) {
    rollups_.push_back(std::make_unique<RollupPage>(dialog, title, block, proc));
    RollupPage& page = *rollups_.back();
    page.setPlacement(rollupFlags, category);
    page.send(WM_INITDIALOG, 0, param);
    return page.Handle();
}

bool UiServices::closeRollupPage(WindowHandle handle) {
    for (auto& page : rollups_) {
        if (page->Handle() != handle || !page->isOpen()) continue;
        page->send(WM_CLOSE, 0, 0);
        page->setClosed();
        return true;
    }
    return false;
}

std::vector<const RollupPage*> UiServices::openRollupPages() const {
    std::vector<const RollupPage*> open;
    for (const auto& page : rollups_)
        if (page->isOpen()) open.push_back(page.get());
    return open;
}

RollupPage* UiServices::rollupPage(WindowHandle handle) const {
    for (const auto& page : rollups_)
        if (page->Handle() == handle) return page.get();
    return nullptr;
}

RollupPage* UiServices::findOpenRollupPage(const std::string& title) const {
    for (const auto& page : rollups_)
        if (page->isOpen() && page->title() == title) return page.get();
    return nullptr;
}

}  // namespace headless
