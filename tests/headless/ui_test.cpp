// The dialog driver, recorded message boxes and the progress display.
#include "headless/host.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace headless;

constexpr DialogControl kControls[] = {
    {.id = IDC_STATIC, .kind = ControlKind::Group, .text = "Geometry"},
    {.id = 1005, .kind = ControlKind::CheckBox, .text = "Normals"},
    {.id = 1006, .kind = ControlKind::CheckBox, .text = "Tangents"},
    {.id = 1007, .kind = ControlKind::CheckBox, .text = "Locked", .checked = true, .enabled = false},
    {.id = 1003, .kind = ControlKind::Button, .text = "OK"},
    {.id = 1004, .kind = ControlKind::Button, .text = "Cancel"},
};
constexpr DialogTemplate kDialogs[] = {{.id = 101, .caption = "Options", .controls = kControls}};
PluginLibrary gLibrary{{"UiTest", {}, kDialogs}};

// What the procedure saw, in order, as text.
std::vector<std::string> gSeen;
bool gIgnoreClose = false;
bool gNeverEnd = false;

intptr_t Proc(DialogWindow* dialog, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    switch (message) {
    case WM_INITDIALOG:
        gSeen.push_back("init " + std::to_string(lParam));
        dialog->CenterOnParent();
        return 1;
    case WM_COMMAND: {
        int id = static_cast<int>(wParam);
        gSeen.push_back("command " + std::to_string(id) + (dialog->IsButtonChecked(id) ? " checked" : ""));
        if (gNeverEnd) return 1;
        if (id == 1003) dialog->EndDialog(1);
        if (id == 1004 || id == IDCANCEL) dialog->EndDialog(2);
        if (id == 1006) {
            // Tangents force normals on and lock them.
            bool on = dialog->IsButtonChecked(1006);
            if (on) dialog->CheckButton(1005, true);
            dialog->EnableControl(1005, !on);
        }
        return 1;
    }
    case WM_CLOSE:
        gSeen.push_back("close");
        if (gIgnoreClose || gNeverEnd) return 0;
        dialog->EndDialog(2);
        return 1;
    default: return 0;
    }
}

class DialogDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        gLibrary.Attach();
        gSeen.clear();
        gIgnoreClose = gNeverEnd = false;
    }
    intptr_t Open() { return DialogBoxParam(gLibrary.Handle(), 101, GetActiveWindow(), Proc, 42); }
    Host host;
};

TEST_F(DialogDriverTest, ProcedureSeesInitClicksAndCloseInOrder) {
    host.ui().queueDialog({DialogStep::click(1005), DialogStep::click(1005), DialogStep::click(1006), DialogStep::close()});
    EXPECT_EQ(Open(), 2);
    std::vector<std::string> expected = {"init 42", "command 1005 checked", "command 1005", "command 1006 checked",
                                         "close"};
    EXPECT_EQ(gSeen, expected);
    ASSERT_EQ(host.ui().dialogs().size(), 1u);
    const DialogRecord& record = host.ui().dialogs()[0];
    EXPECT_EQ(record.caption, "Options");
    EXPECT_EQ(record.result, 2);
    EXPECT_FALSE(record.refusedSteps);
    EXPECT_EQ(record.messages, (std::vector<uint32_t>{WM_INITDIALOG, WM_COMMAND, WM_COMMAND, WM_COMMAND, WM_CLOSE}));
}

TEST_F(DialogDriverTest, ResultsReachTheCallerAndTheProcedureChangesControls) {
    bool normalsEnabledAfterTangents = true;
    bool normalsChecked = false;
    host.ui().queueDialog([&](DialogSession& session) {
        EXPECT_EQ(session.caption(), "Options");
        EXPECT_TRUE(session.isChecked(1007));
        EXPECT_FALSE(session.click(1007));  // disabled: nothing is sent
        EXPECT_FALSE(session.click(999));   // no such control
        EXPECT_FALSE(session.click(IDC_STATIC));
        EXPECT_TRUE(session.click(1006));
        normalsEnabledAfterTangents = session.isEnabled(1005);
        normalsChecked = session.isChecked(1005);
        EXPECT_FALSE(session.click(1005));  // now disabled by the procedure
        EXPECT_TRUE(session.clickText("OK"));
        EXPECT_TRUE(session.ended());
        EXPECT_FALSE(session.click(1004));  // the dialog is over
    });
    EXPECT_EQ(Open(), 1);
    EXPECT_FALSE(normalsEnabledAfterTangents);
    EXPECT_TRUE(normalsChecked);
    EXPECT_EQ(gSeen.back(), "command 1003");
}

TEST_F(DialogDriverTest, KeyboardCommandsAndRefusedSteps) {
    host.ui().queueDialog({DialogStep::confirm(), DialogStep::click(1007), DialogStep::escape(), DialogStep::click(1005)});
    // IDOK is not the OK button here: the procedure ignores it; escape cancels; the last step finds
    // the dialog ended.
    EXPECT_EQ(Open(), 2);
    EXPECT_TRUE(host.ui().dialogs()[0].refusedSteps);
    EXPECT_EQ(gSeen, (std::vector<std::string>{"init 42", "command 1", "command 2"}));
}

TEST_F(DialogDriverTest, DialogsTheDriverLeavesOpenAreClosed) {
    // The driver does nothing; the host closes the window.
    host.ui().queueDialog(std::vector<DialogStep>{});
    EXPECT_EQ(Open(), 2);
    EXPECT_EQ(gSeen.back(), "close");

    // A procedure that ignores WM_CLOSE gets the cancel command.
    gSeen.clear();
    gIgnoreClose = true;
    host.ui().queueDialog(std::vector<DialogStep>{});
    EXPECT_EQ(Open(), 2);
    EXPECT_EQ(gSeen, (std::vector<std::string>{"init 42", "close", "command 2"}));

    // One that never ends fails.
    gNeverEnd = true;
    host.ui().queueDialog(std::vector<DialogStep>{});
    EXPECT_EQ(Open(), -1);
}

TEST_F(DialogDriverTest, DialogsThatCannotRun) {
    EXPECT_EQ(Open(), -1);  // no driver queued
    EXPECT_TRUE(gSeen.empty());
    host.ui().queueDialog({DialogStep::click(1003)});
    EXPECT_EQ(DialogBoxParam(gLibrary.Handle(), 555, nullptr, Proc, 0), -1);  // no such template
    EXPECT_EQ(host.ui().pendingDialogs(), 1u);                                  // the driver waits
    EXPECT_EQ(Open(), 1);
    EXPECT_EQ(host.ui().pendingDialogs(), 0u);
}

TEST(MessageBoxes, AreRecordedEchoedAndAnswered) {
    Host host;
    std::ostringstream echo;
    host.ui().setMessageBoxEcho(&echo);
    EXPECT_EQ(MessageBox(GetActiveWindow(), "EXPORT FAILED", "Error", MB_OK), IDOK);
    EXPECT_EQ(MessageBox(nullptr, "Replace?", "Question", MB_YESNO | MB_ICONQUESTION), IDYES);
    host.ui().setMessageBoxAnswer(IDNO);
    EXPECT_EQ(MessageBox(nullptr, "Again?", "Question", MB_YESNO), IDNO);
    ASSERT_EQ(host.ui().messageBoxes().size(), 3u);
    EXPECT_EQ(host.ui().messageBoxes()[0].caption, "Error");
    EXPECT_EQ(host.ui().messageBoxes()[0].text, "EXPORT FAILED");
    EXPECT_EQ(host.ui().messageBoxes()[1].type, MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(echo.str(), "Error: EXPORT FAILED\nQuestion: Replace?\nQuestion: Again?\n");
}

TEST(Progress, EventsAreRecordedAndTheWorkFunctionRunsOnce) {
    Host host;
    host.ui().setProgressStream(nullptr);
    static int calls = 0;
    calls = 0;
    host.ProgressStart("Exporting scene to Zeq", true, [](void*) -> uint32_t { return ++calls, 0u; }, nullptr);
    EXPECT_TRUE(host.ui().progressActive());
    host.ProgressUpdate(25, true, "Encoding...");
    host.ProgressEnd();
    EXPECT_FALSE(host.ui().progressActive());
    EXPECT_EQ(calls, 1);
    const auto& events = host.ui().progressEvents();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, ProgressEvent::Kind::Start);
    EXPECT_EQ(events[0].title, "Exporting scene to Zeq");
    EXPECT_EQ(events[1].percent, 25);
    EXPECT_EQ(events[1].title, "Encoding...");
    EXPECT_EQ(events[2].kind, ProgressEvent::Kind::End);
}

TEST(Progress, BarIsDrawnOnlyOnTheGivenStream) {
    Host host;
    char* text = nullptr;
    size_t size = 0;
    std::FILE* stream = open_memstream(&text, &size);
    host.ui().setProgressStream(stream);
    host.ProgressStart("Work", true, nullptr, nullptr);
    host.ProgressUpdate(50);
    host.ProgressEnd();
    std::fclose(stream);
    std::string drawn(text, size);
    std::free(text);
    EXPECT_NE(drawn.find("Work ["), std::string::npos);
    EXPECT_NE(drawn.find(" 50%"), std::string::npos);
    EXPECT_EQ(drawn.back(), '\n');
}

}  // namespace
