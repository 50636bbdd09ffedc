// The options dialog: the template, the reset on opening, the enabling rules and which commands
// confirm.
#include "walk_support.h"

#include <functional>

namespace zeq::walktest {
namespace {

using headless::DialogSession;
using headless::DialogStep;

class DialogTest : public ExportTest {
protected:
    // Opens the dialog through the export command and lets `drive` operate it (then it is
    // cancelled if still open). Returns the command's result.
    int runDialog(std::function<void(DialogSession&)> drive) {
        host.ui().queueDialog([drive](DialogSession& session) {
            drive(session);
            if (!session.ended()) session.click(IDC_CANCEL);
        });
        return host.exportFile(GetExportClassDesc(), path("dialog.zeq"), false, 0);
    }
};

TEST_F(DialogTest, OpensWithEveryBoxUncheckedAndEnabled) {
    exportOptions().normals = true;
    runDialog([](DialogSession& session) {
        EXPECT_EQ(session.templateId(), IDD_EXPORT_OPTIONS);
        for (int id : {IDC_NORMALS, IDC_TANGENTS, IDC_16BIT_BUFFERS, IDC_ATF_EXTENSIONS, IDC_ANIMATION,
                       IDC_ANIMATION_ONLY}) {
            EXPECT_TRUE(session.isEnabled(id)) << id;
            EXPECT_FALSE(session.isChecked(id)) << id;
        }
    });
}

TEST_F(DialogTest, OpeningResetsEveryFlagButSelectedOnly) {
    ExportOptions& options = exportOptions();
    options = {true, true, true, true, true, true, true, 480};
    runDialog([](DialogSession& session) {
        const ExportOptions& now = exportOptions();
        EXPECT_FALSE(now.normals || now.tangents || now.atfExtensions || now.animation || now.vertexBuffers16Bit ||
                     now.animationOnly);
        EXPECT_TRUE(now.selectedOnly);
        EXPECT_EQ(now.exportTime, 0);
        session.click(IDC_OK);
    });
}

TEST_F(DialogTest, EachCheckBoxFollowsItsFlagOnEveryClick) {
    runDialog([](DialogSession& session) {
        const ExportOptions& options = exportOptions();
        session.click(IDC_NORMALS);
        session.click(IDC_ATF_EXTENSIONS);
        session.click(IDC_ANIMATION);
        session.click(IDC_16BIT_BUFFERS);
        EXPECT_TRUE(options.normals && options.atfExtensions && options.animation && options.vertexBuffers16Bit);
        session.click(IDC_NORMALS);
        session.click(IDC_ANIMATION);
        EXPECT_FALSE(options.normals);
        EXPECT_FALSE(options.animation);
        EXPECT_TRUE(options.atfExtensions && options.vertexBuffers16Bit);
    });
}

TEST_F(DialogTest, TangentsForceAndLockNormals) {
    runDialog([](DialogSession& session) {
        const ExportOptions& options = exportOptions();
        session.click(IDC_TANGENTS);
        EXPECT_TRUE(options.tangents);
        EXPECT_TRUE(options.normals);
        EXPECT_TRUE(session.isChecked(IDC_NORMALS));
        EXPECT_FALSE(session.isEnabled(IDC_NORMALS));
        EXPECT_FALSE(session.click(IDC_NORMALS)) << "a disabled box cannot be clicked";

        // Unchecked: Normals is free again but keeps its check and flag.
        session.click(IDC_TANGENTS);
        EXPECT_FALSE(options.tangents);
        EXPECT_TRUE(session.isEnabled(IDC_NORMALS));
        EXPECT_TRUE(session.isChecked(IDC_NORMALS));
        EXPECT_TRUE(options.normals);
    });
}

TEST_F(DialogTest, AnimationOnlyLocksGeometryAndTextureSettings) {
    runDialog([](DialogSession& session) {
        const ExportOptions& options = exportOptions();
        session.click(IDC_ANIMATION_ONLY);
        EXPECT_TRUE(options.animationOnly);
        EXPECT_TRUE(options.animation);
        EXPECT_TRUE(session.isChecked(IDC_ANIMATION));
        for (int id : {IDC_TANGENTS, IDC_NORMALS, IDC_ATF_EXTENSIONS}) EXPECT_FALSE(session.isEnabled(id)) << id;
        for (int id : {IDC_ANIMATION, IDC_16BIT_BUFFERS}) EXPECT_TRUE(session.isEnabled(id)) << id;

        session.click(IDC_ANIMATION_ONLY);
        EXPECT_FALSE(options.animationOnly);
        for (int id : {IDC_TANGENTS, IDC_NORMALS, IDC_ATF_EXTENSIONS, IDC_ANIMATION, IDC_16BIT_BUFFERS})
            EXPECT_TRUE(session.isEnabled(id)) << id;
    });
}

TEST_F(DialogTest, LeavingAnimationOnlyKeepsNormalsLockedWhileTangentsAreOn) {
    runDialog([](DialogSession& session) {
        session.click(IDC_TANGENTS);
        session.click(IDC_ANIMATION_ONLY);
        session.click(IDC_ANIMATION_ONLY);
        EXPECT_TRUE(session.isEnabled(IDC_TANGENTS));
        EXPECT_FALSE(session.isEnabled(IDC_NORMALS));
        EXPECT_TRUE(session.isEnabled(IDC_ATF_EXTENSIONS));
    });
}

TEST_F(DialogTest, OnlyTheOkButtonConfirms) {
    meshNode("Box");
    struct Case {
        std::vector<DialogStep> steps;
        int expected;
    };
    const Case cases[] = {
        {{DialogStep::click(IDC_OK)}, IMPEXP_SUCCESS},
        {{DialogStep::clickText("OK")}, IMPEXP_SUCCESS},
        {{DialogStep::click(IDC_CANCEL)}, IMPEXP_CANCEL},
        {{DialogStep::confirm()}, IMPEXP_CANCEL},
        {{DialogStep::escape()}, IMPEXP_CANCEL},
        {{DialogStep::command(4242)}, IMPEXP_CANCEL},
        {{DialogStep::close()}, IMPEXP_CANCEL},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(exportThroughPlugin(path("ok.zeq"), c.steps), c.expected);
        EXPECT_EQ(host.ui().dialogs().back().result, c.expected == IMPEXP_SUCCESS ? 1 : 2);
    }
}

}  // namespace
}  // namespace zeq::walktest
