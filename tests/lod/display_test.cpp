// How the LOD object shows itself: the icon mesh, the distance circles, colours, render limits,
// hit testing, bounds and interactive creation.
#include "support.h"

#include "lod/icon_mesh.h"

#include <cmath>

namespace zeq::lodtest {
namespace {

using LodDisplay = LodTest;

TEST(LodIcon, FixedShapeScaledByTheIconSize) {
    Mesh mesh;
    buildIconMesh(mesh, 2.0f);
    ASSERT_EQ(mesh.getNumVerts(), kIconVertexCount);
    ASSERT_EQ(mesh.getNumFaces(), kIconFaceCount);
    const Point3 first[] = {{-0.707107f, 0.707107f, 0.0f}, {0.0f, 0.707107f, 0.0f}, {0.707107f, 0.707107f, 0.0f},
                            {-0.707107f, -0.707107f, 0.0f}, {0.0f, -0.707107f, 0.0f}, {0.707107f, -0.707107f, 0.0f},
                            {0.707107f, 0.0f, 0.0f}, {0.0f, 0.0f, -0.669281f}, {-0.707107f, 0.0f, 0.0f},
                            {0.0f, 0.0f, 0.669281f}};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(mesh.verts[i], first[i] * 2.0f) << i;
    EXPECT_TRUE(mesh.CheckIndices());

    const DistanceCircles circles = distanceCircles(50.0f);
    for (const auto& circle : circles)
        for (const Point3& p : circle) EXPECT_NEAR(p.Length(), 50.0f, 1e-3f);
    EXPECT_EQ(circles[0][0], Point3(50, 0, 0));
    EXPECT_NEAR(circles[2][8].y, 50.0f, 1e-3f);  // a quarter turn in the XY plane
}

TEST_F(LodDisplay, ZeroIconSizeDrawsNothingAndAdoptsNothing) {
    LODObject* lod = addLod("Flat", 0.0f);
    EXPECT_EQ(lod->ownerNode(), nullptr);
    EXPECT_TRUE(view.window().draws().empty());
    // Nor can it be hit where its icon would be.
    IPoint3 centre;
    ASSERT_TRUE(view.project(Point3(0, 0, 0), centre));
    IPoint2 at{centre.x, centre.y};
    EXPECT_EQ(lod->HitTest(0, lodNode, HITTYPE_POINT, 0, 0, &at, &view), 0);
    lod->pblock2->SetValue(LOD_PARAM_ICON_SIZE, 0, 1.0f);
    lod->Display(0, lodNode, &view, 0);
    EXPECT_EQ(lod->ownerNode(), lodNode);
    ASSERT_EQ(view.window().draws().size(), 1u);
    EXPECT_EQ(view.window().draws()[0].mesh.getNumFaces(), kIconFaceCount);
}

TEST_F(LodDisplay, ColoursCirclesAndRenderLimits) {
    LODObject* lod = addLod("LOD", 10.0f);
    addLevels(lod, {{meshNode("Near"), 50}, {meshNode("Far"), 200}});
    auto& gw = view.window();
    const uint32_t limits = gw.getRndLimits();
    gw.clearDraws();

    lod->Display(0, lodNode, &view, 0);
    ASSERT_EQ(gw.draws().size(), 1u);
    EXPECT_EQ(gw.draws()[0].lineColor.g, 1.0f);  // cyan when not selected
    EXPECT_EQ(gw.draws()[0].lineColor.r, 0.0f);
    EXPECT_EQ(gw.draws()[0].limits, 0x200121u);
    EXPECT_TRUE(gw.lines().empty());
    EXPECT_EQ(gw.getRndLimits(), limits);

    gw.clearDraws();
    host.SelectNode(lodNode);
    lod->Display(0, lodNode, &view, 0);
    EXPECT_EQ(gw.draws()[0].lineColor.r, 1.0f);  // white when selected
    ASSERT_EQ(gw.lines().size(), 3u);
    for (const headless::LineRecord& line : gw.lines()) {
        EXPECT_TRUE(line.closed);
        ASSERT_EQ(line.points.size(), 32u);
        EXPECT_NEAR(line.points[0].Length(), 50.0f, 1e-3f);
        EXPECT_EQ(line.color.b, 1.0f);
        EXPECT_EQ(line.color.r, 0.0f);
    }

    // A frozen, unselected node keeps the host's colour.
    gw.clearDraws();
    host.ClearNodeSelection();
    lodNode->Freeze(true);
    gw.setColor(LINE_COLOR, 0.25f, 0.25f, 0.25f);
    lod->Display(0, lodNode, &view, 0);
    EXPECT_EQ(gw.draws()[0].lineColor.r, 0.25f);
}

TEST_F(LodDisplay, HitTestAndBounds) {
    LODObject* lod = addLod("LOD", 20.0f);
    lodNode->setLocalTM(TransMatrix({0, 0, -100}));
    IPoint3 centre;
    ASSERT_TRUE(view.project(Point3(0, 0, -100), centre));
    IPoint2 at{centre.x, centre.y};
    IPoint2 away{centre.x + 200, centre.y + 200};
    EXPECT_EQ(lod->HitTest(0, lodNode, HITTYPE_POINT, 0, 0, &at, &view), 1);
    EXPECT_EQ(lod->HitTest(0, lodNode, HITTYPE_POINT, 0, 0, &away, &view), 0);

    Box3 local;
    lod->GetLocalBoundBox(0, lodNode, local);
    EXPECT_NEAR(local.Max().x, 20.0f * 1.06f, 1e-3f);

    // The world box holds the circles of the current level's distance, unless it is negative.
    headless::Node* level = meshNode("Level");
    addLevels(lod, {{level, 300}});
    Box3 world;
    lod->GetWorldBoundBox(0, lodNode, world);
    EXPECT_NEAR(world.Max().x, 300.0f, 1e-2f);
    EXPECT_NEAR(world.Min().z, -400.0f, 1e-2f);
    level->SetUserPropFloat(LOD_DISTANCE_PROPERTY, -5.0f);
    lod->GetWorldBoundBox(0, lodNode, world);
    EXPECT_NEAR(world.Max().x, 20.0f * 1.06f, 1e-3f);
}

TEST_F(LodDisplay, CreationWithTheMouse) {
    // A drag sets the icon size to the distance between the two points on the construction plane.
    view.setViewTM(TransMatrix({0, 0, -100}));
    auto* lod = new LODObject();
    headless::CreationResult made = headless::createWithMouse(
        host, lod, view,
        {headless::MouseEvent::point(320, 240), headless::MouseEvent::move(330, 240), headless::MouseEvent::point(350, 240)});
    EXPECT_EQ(made.result, CREATE_STOP);
    ASSERT_NE(made.node, nullptr);
    EXPECT_NEAR(lod->pblock2->GetFloat(LOD_PARAM_ICON_SIZE), 30.0f, 1e-3f);

    // A click without a drag creates nothing; so does the abort message.
    headless::CreationResult click = headless::createWithMouse(
        host, new LODObject(), view, {headless::MouseEvent::point(320, 240), headless::MouseEvent::point(321, 241)});
    EXPECT_EQ(click.result, CREATE_ABORT);
    EXPECT_EQ(click.node, nullptr);
    headless::CreationResult aborted =
        headless::createWithMouse(host, new LODObject(), view, {headless::MouseEvent::point(320, 240), headless::MouseEvent::abort()});
    EXPECT_EQ(aborted.result, CREATE_ABORT);
    EXPECT_EQ(host.scene().nodes().size(), 1u);
}

}  // namespace
}  // namespace zeq::lodtest
