// Every export of the embedded demo scene, with every combination of the seven options, gives a
// file that the validator accepts.
#include "walk_support.h"

#include "tools/zeq/inspect_validate.h"

#if __has_include("headless/demo_scene.h")
#include "headless/demo_scene.h"
#define ZEQ_HAVE_DEMO_SCENE 1
#endif

namespace zeq::walktest {
namespace {

using headless::DialogStep;

using DemoTest = ExportTest;

// The dialog clicks of the six check-box options in an order the enabling rules allow.
constexpr int kOptionBoxes[] = {IDC_NORMALS, IDC_TANGENTS, IDC_ATF_EXTENSIONS,
                                IDC_ANIMATION, IDC_16BIT_BUFFERS, IDC_ANIMATION_ONLY};

TEST_F(DemoTest, EveryOptionCombinationValidates) {
#ifndef ZEQ_HAVE_DEMO_SCENE
    GTEST_SKIP() << "the embedded demo scene is not part of the headless host yet";
#else
    headless::buildDemoScene(host);
    // Selected-only exports take the first two top-level nodes.
    INode* root = host.GetRootNode();
    for (int i = 0; i < std::min(2, root->NumberOfChildren()); ++i) host.SelectNode(root->GetChildNode(i), i == 0);

    int64_t recordsWritten = 0;
    for (int combination = 0; combination < 128; ++combination) {
        std::vector<DialogStep> steps;
        for (int bit = 0; bit < 6; ++bit)
            if (combination & (1 << bit)) steps.push_back(DialogStep::click(kOptionBoxes[bit]));
        steps.push_back(DialogStep::click(IDC_OK));
        const bool selected = (combination & 64) != 0;
        const std::string file = path("demo.zeq");
        host.ui().clearMessageBoxes();

        ASSERT_EQ(exportThroughPlugin(file, steps, selected ? SCENE_EXPORT_SELECTED : 0), IMPEXP_SUCCESS)
            << "combination " << combination;
        ASSERT_FALSE(host.ui().dialogs().back().refusedSteps) << "combination " << combination;
        ASSERT_TRUE(boxes("Error").empty()) << "combination " << combination << ": " << boxes("Error")[0].text;

        const SceneFile scene = readScene(file);
        EXPECT_EQ(scene.minorVersion, (combination & 16) ? 6 : 5) << "combination " << combination;
        const inspect::ValidationReport report = inspect::validateScene(scene);
        for (const inspect::Finding& finding : report.findings) {
            if (finding.severity == inspect::Severity::Error)
                ADD_FAILURE() << "combination " << combination << ": " << inspect::formatFinding(finding);
        }
        if (scene.root.objects) recordsWritten += static_cast<int64_t>(scene.root.objects->size());
        if (scene.root.meshes) recordsWritten += static_cast<int64_t>(scene.root.meshes->size());
    }
    EXPECT_GT(recordsWritten, 0) << "the demo scene exports some content";
#endif
}

}  // namespace
}  // namespace zeq::walktest
