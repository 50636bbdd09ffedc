// Transform tracks: sampling per frame, keyframes only on change, times in seconds, parent-relative
// transforms and which tracks are kept.
#include "export/animation.h"
#include "export/transformation.h"
#include "walk_support.h"

namespace zeq::walktest {
namespace {

using AnimationTest = ExportTest;

std::vector<float> timesOf(const Zeq2Track& track) {
    std::vector<float> times;
    for (const Zeq2Keyframe& key : track.keyframes) times.push_back(key.time);
    return times;
}

// A node that never moves gives no track; one that leaves the identity once, after the range's
// start, keeps its one keyframe (else the file would hold it still).
TEST_F(AnimationTest, NodeThatNeverMovesGivesNoTrack) {
    headless::Node* still = helperNode("Still");
    still->setLocalTM(TransMatrix({1, 2, 3}));
    EXPECT_EQ(sampleTrack(still, Interval(0, 1600), 160).keyframes.size(), 1u);
    headless::Node* origin = helperNode("Origin");
    EXPECT_TRUE(sampleTrack(origin, Interval(0, 1600), 160).keyframes.empty());
    headless::Node* jump = helperNode("Jump");
    jump->addKey(160, Matrix3());
    jump->addKey(320, TransMatrix({0, 0, 4}));

    exportOptions().animation = true;
    host.SetAnimRange(Interval(0, 1600));
    const Roots roots = convert();
    ASSERT_TRUE(roots.root.tracks);
    ASSERT_EQ(roots.root.tracks->size(), 1u);
    EXPECT_EQ(roots.root.tracks->get(0).objectName, "Jump");
    EXPECT_EQ(timesOf(roots.root.tracks->get(0)), std::vector<float>{320 * kSecondsPerTick});
}

TEST_F(AnimationTest, FirstKeyframeIsWhereTheNodeFirstLeavesTheIdentity) {
    headless::Node* node = helperNode("Late");
    node->addKey(0, Matrix3());
    node->addKey(320, Matrix3());
    node->addKey(640, TransMatrix({0, 0, 4}));
    const Zeq2Track track = sampleTrack(node, Interval(0, 800), 160);
    // Frames at 0, 160 and 320 are the identity; 480 is half way; 640 and 800 are at the end key.
    EXPECT_EQ(timesOf(track), (std::vector<float>{480 * kSecondsPerTick, 640 * kSecondsPerTick}));
    EXPECT_EQ(track.objectName, "Late");
    EXPECT_EQ(track.keyframes.get(1).transform, TransformationFactory::createTransformation(TransMatrix({0, 0, 4})));
}

TEST_F(AnimationTest, ShortRangeSamplesOnlyItsStart) {
    headless::Node* node = helperNode("Quick");
    node->addKey(0, TransMatrix({1, 0, 0}));
    node->addKey(100, TransMatrix({2, 0, 0}));
    const Zeq2Track track = sampleTrack(node, Interval(0, 100), 160);
    EXPECT_EQ(timesOf(track), std::vector<float>{0.0f});
    // An empty range samples nothing.
    EXPECT_TRUE(sampleTrack(node, Interval(100, 99), 160).keyframes.empty());
    EXPECT_EQ(sampleTrack(node, Interval(100, 100), 160).keyframes.size(), 1u);
    // A range of more frames than the exporter samples is refused at once.
    EXPECT_THROW(sampleTrack(node, Interval(0, kMaxSampledFrames), 1), std::length_error);
    EXPECT_THROW(sampleTrack(node, Interval(INT32_MIN, INT32_MAX), 1), std::length_error);
}

TEST_F(AnimationTest, RangeBeforeZeroGivesNegativeTimes) {
    headless::Node* node = helperNode("Early");
    node->addKey(-4800, TransMatrix({1, 0, 0}));
    node->addKey(0, TransMatrix({2, 0, 0}));
    const Zeq2Track track = sampleTrack(node, Interval(-4800, 0), 2400);
    EXPECT_EQ(timesOf(track), (std::vector<float>{-1.0f, -0.5f, 0.0f}));
}

TEST_F(AnimationTest, KeyframesAreRelativeToTheParent) {
    headless::Node* parent = helperNode("Parent");
    parent->addKey(0, TransMatrix({10, 0, 0}));
    parent->addKey(160, TransMatrix({20, 0, 0}));
    headless::Node* child = helperNode("Child", parent);
    child->setLocalTM(TransMatrix({0, 1, 0}));
    const Zeq2Track track = sampleTrack(child, Interval(0, 160), 160);
    ASSERT_EQ(track.keyframes.size(), 2u);
    for (const Zeq2Keyframe& key : track.keyframes) {
        EXPECT_NEAR(key.transform.matrix.d, 0.0f, 1e-5f);
        EXPECT_NEAR(key.transform.matrix.h, 1.0f, 1e-5f);
    }
    // A child that moves against its parent stays still in the world, but its keys, relative to
    // the parent, change: it keeps them.
    headless::Node* steady = helperNode("Steady", parent);
    steady->addKey(0, TransMatrix({0, 1, 0}));
    steady->addKey(160, TransMatrix({-10, 1, 0}));
    const Zeq2Track steadyTrack = sampleTrack(steady, Interval(0, 160), 160);
    ASSERT_EQ(steadyTrack.keyframes.size(), 2u);
    EXPECT_NEAR(steadyTrack.keyframes.get(1).transform.matrix.d, -10.0f, 1e-5f);
}

TEST_F(AnimationTest, TrackIdsCountOnlyKeptTracksInVisitingOrder) {
    headless::Node* still = helperNode("Still");
    still->setLocalTM(TransMatrix({1, 0, 0}));
    for (const char* name : {"First", "Second"}) {
        headless::Node* moving = helperNode(name, still);
        moving->addKey(0, TransMatrix({0, 0, 0}));
        moving->addKey(160, TransMatrix({0, 1, 0}));
    }
    host.SetAnimRange(Interval(0, 160));
    exportOptions().animation = true;
    const Roots roots = convert();
    ASSERT_EQ(roots.root.tracks->size(), 2u);
    EXPECT_EQ(roots.root.tracks->get(0).objectName, "First");
    EXPECT_EQ(roots.root.tracks->get(0).id, 0);
    EXPECT_EQ(roots.root.tracks->get(1).objectName, "Second");
    EXPECT_EQ(roots.root.tracks->get(1).id, 1);
    EXPECT_EQ(roots.root.objects->size(), 3u);
}

TEST_F(AnimationTest, AnimationOnlyWritesTracksAndNothingElse) {
    headless::Node* box = meshNode("Box");
    box->addKey(0, TransMatrix({0, 0, 1}));
    box->addKey(160, TransMatrix({0, 0, 2}));
    host.SetAnimRange(Interval(0, 160));
    exportOptions().animation = true;
    exportOptions().animationOnly = true;
    const Roots roots = convert();
    Zeq2 expected;
    expected.tracks = roots.root.tracks;
    EXPECT_EQ(roots.root, expected);
    ASSERT_EQ(roots.root.tracks->size(), 1u);
    EXPECT_EQ(roots.extra1, Zeq2Extra1{});
    EXPECT_EQ(roots.extra2, Zeq2Extra2{});
}

TEST_F(AnimationTest, BonesGetTracksBeforeEverythingElse) {
    headless::Node* bone = helperNode("Bone");
    bone->addKey(0, TransMatrix({0, 0, 1}));
    bone->addKey(160, TransMatrix({0, 0, 2}));
    headless::SkinModifier* skin = scene().newSkin();
    skin->addBone(bone, Matrix3());
    auto* stack = scene().newDerivedObject(scene().newTriObject(triangleMesh()));
    stack->AddModifier(skin);
    headless::Node* body = scene().createNode("Body");
    body->SetObjectRef(stack);
    host.SetAnimRange(Interval(0, 160));
    exportOptions().animation = true;
    exportOptions().animationOnly = true;
    const Roots roots = convert();
    ASSERT_EQ(roots.root.tracks->size(), 1u);
    EXPECT_EQ(roots.root.tracks->get(0).objectName, "Bone");
}

}  // namespace
}  // namespace zeq::walktest
