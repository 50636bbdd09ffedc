// The sprite as a host object: its mesh, what it draws, hit tests, bounds, evaluation, conversion,
// cloning and parameter blocks, and calls that come without a viewport or node.
#include "support.h"

namespace zeq::spritetest {
namespace {

using ObjectTest = SpriteTest;

TEST_F(ObjectTest, QuadMeshHasTwoTexturedFacesTowardsTheViewer) {
    // A camera off to the side and above, so that "towards the viewer" is no axis of the world.
    Matrix3 camera = RotateXMatrix(1.0f) * RotateZMatrix(0.5f);
    camera.SetTrans(Point3(0, 0, 0) - camera.GetRow(2) * -150.0f);  // 150 units behind its view direction
    view.setCameraTM(camera);
    view.setPerspective(true);
    Sprite* sprite = addSprite(TransMatrix({0, 0, 0}));
    ASSERT_TRUE(sprite->updateQuad(0, node, &view));

    const Mesh& mesh = sprite->mesh;
    ASSERT_EQ(mesh.getNumVerts(), 4);
    ASSERT_EQ(mesh.getNumFaces(), 2);
    EXPECT_EQ(mesh.faces[0].v[0], 2u);
    EXPECT_EQ(mesh.faces[0].v[1], 1u);
    EXPECT_EQ(mesh.faces[0].v[2], 0u);
    EXPECT_EQ(mesh.faces[1].v[0], 3u);
    EXPECT_EQ(mesh.faces[1].v[1], 1u);
    EXPECT_EQ(mesh.faces[1].v[2], 2u);
    for (const Face& face : mesh.faces) {
        EXPECT_EQ(face.flags & EDGE_ALL, EDGE_ALL);
        EXPECT_EQ(face.getSmGroup(), 1u);
    }
    ASSERT_EQ(mesh.getNumTVerts(), 4);
    EXPECT_TRUE(mesh.Map(1).tv[0].Equals({1, 1, 0}));
    EXPECT_TRUE(mesh.Map(1).tv[1].Equals({1, 0, 0}));
    EXPECT_TRUE(mesh.Map(1).tv[2].Equals({0, 1, 0}));
    EXPECT_TRUE(mesh.Map(1).tv[3].Equals({0, 0, 0}));
    ASSERT_EQ(mesh.getNumTVFaces(), 2);
    EXPECT_EQ(mesh.Map(1).tf[1].t[0], 3u);
    EXPECT_TRUE(mesh.CheckIndices());

    const Point3 toViewer = (camera.GetTrans() - node->GetObjectTM(0).GetTrans()).Normalize();
    for (int f = 0; f < 2; ++f) EXPECT_NEAR(mesh.FaceNormal(f) % toViewer, 1.0f, 1e-3f) << "face " << f;
    for (int v = 0; v < 4; ++v) EXPECT_NEAR(mesh.getNormal(v) % toViewer, 1.0f, 1e-3f) << "vertex " << v;
}

TEST_F(ObjectTest, DisplayDrawsTheQuadWithTheNodesMaterialAndTransform) {
    Sprite* sprite = addSprite(TransMatrix({1, 2, -30}));
    headless::StandardMaterial* mat = host.scene().newStdMat("Red");
    mat->SetDiffuse(Color(1, 0, 0), 0);
    node->SetMtl(mat);
    EXPECT_EQ(sprite->Display(0, node, &view, 0), 0);

    const auto& draws = view.window().draws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_TRUE(draws[0].transform.Equals(node->GetObjectTM(0)));
    EXPECT_EQ(draws[0].mesh.getNumFaces(), 2);
    EXPECT_EQ(draws[0].components, COMP_ALL);
    ASSERT_EQ(draws[0].materials.size(), 1u);
    ASSERT_TRUE(draws[0].material);
    EXPECT_EQ(draws[0].material->Kd.r, 1.0f);
    EXPECT_EQ(draws[0].material->Kd.g, 0.0f);

    // Without a material the node's wire colour is drawn with.
    node->SetMtl(nullptr);
    sprite->Display(0, node, &view, 0);
    ASSERT_EQ(view.window().draws().size(), 2u);
    EXPECT_EQ(view.window().draws()[1].materials.size(), 1u);
}

TEST_F(ObjectTest, HitTestFindsTheQuadUnderThePoint) {
    view.setPerspective(true);
    view.setFOV(kQuarterTurn);
    Sprite* sprite = addSprite(TransMatrix({0, 0, -100}));
    setParam(sprite, SPRITE_PARAM_WIDTH, 100.0f);
    setParam(sprite, SPRITE_PARAM_HEIGHT, 100.0f);
    // 100 units at 100 units' distance with a 320-pixel focal length: 320 pixels square around the
    // window's centre (320, 240).
    IPoint2 centre(320, 240), inside(450, 100), outside(600, 240);
    EXPECT_EQ(sprite->HitTest(0, node, HITTYPE_POINT, 0, 0, &centre, &view), 1);
    EXPECT_EQ(sprite->HitTest(0, node, HITTYPE_POINT, 0, 0, &inside, &view), 1);
    EXPECT_EQ(sprite->HitTest(0, node, HITTYPE_POINT, 0, 0, &outside, &view), 0);
    // Behind the camera nothing can be hit.
    node->setLocalTM(TransMatrix({0, 0, 100}));
    EXPECT_EQ(sprite->HitTest(0, node, HITTYPE_POINT, 0, 0, &centre, &view), 0);
}

TEST_F(ObjectTest, BoundsFollowTheViewInTheWorldAndTheMeshLocally) {
    Sprite* sprite = addSprite(TransMatrix({10, 0, 0}));
    setParam(sprite, SPRITE_PARAM_WIDTH, 4.0f);
    setParam(sprite, SPRITE_PARAM_HEIGHT, 2.0f);
    Box3 world;
    sprite->GetWorldBoundBox(0, node, &view, world);
    EXPECT_TRUE(world.pmin.Equals({8, -1, 0}, 1e-4f));
    EXPECT_TRUE(world.pmax.Equals({12, 1, 0}, 1e-4f));

    // The local box is the mesh as the last update left it; changing the size alone does not
    // change it.
    setParam(sprite, SPRITE_PARAM_WIDTH, 40.0f);
    Box3 local;
    sprite->GetLocalBoundBox(0, node, &view, local);
    EXPECT_TRUE(local.pmin.Equals({-2, -1, 0}, 1e-4f));
    EXPECT_TRUE(local.pmax.Equals({2, 1, 0}, 1e-4f));
}

TEST_F(ObjectTest, EvaluationConversionAndParameterBlocks) {
    Sprite* sprite = addSprite();
    EXPECT_EQ(sprite->Eval(0).obj, sprite);
    EXPECT_EQ(sprite->ObjectValidity(4800), FOREVER);
    EXPECT_EQ(sprite->CanConvertToType(DEFOBJECT_CLASS_ID), 1);
    EXPECT_EQ(sprite->CanConvertToType(TRIOBJ_CLASS_ID), 1);
    EXPECT_EQ(sprite->CanConvertToType(SPRITE_CLASS_ID), 1);
    EXPECT_EQ(sprite->CanConvertToType(POLYOBJ_CLASS_ID), 0);

    sprite->updateQuad(0, node, &view);
    auto* tri = static_cast<TriObject*>(sprite->ConvertToType(0, TRIOBJ_CLASS_ID));
    ASSERT_NE(tri, nullptr);
    EXPECT_EQ(tri->mesh.getNumFaces(), 2);
    EXPECT_EQ(tri->mesh.verts[0], sprite->mesh.verts[0]);

    EXPECT_EQ(sprite->NumParamBlocks(), 1);
    EXPECT_EQ(sprite->GetParamBlock(0), sprite->pblock2);
    EXPECT_EQ(sprite->GetParamBlock(1), nullptr);
    EXPECT_EQ(sprite->GetParamBlockByID(SPRITE_PARAM_BLOCK_ID), sprite->pblock2);
    EXPECT_EQ(sprite->GetParamBlockByID(0), nullptr);
    EXPECT_EQ(sprite->GetReference(0), sprite->pblock2);
    EXPECT_STREQ(sprite->GetObjectName(), "Sprite");
}

TEST_F(ObjectTest, CloneCopiesTheBlockAndStartsWithConstructionCaches) {
    Sprite* sprite = addSprite();
    setParam(sprite, SPRITE_PARAM_WIDTH, 77.0f);
    setParam(sprite, SPRITE_PARAM_ROTATION, 45);
    sprite->updateQuad(0, node, &view);
    ASSERT_EQ(sprite->widthCache(), 77.0f);

    headless::RemapTable remap;
    auto* clone = dynamic_cast<Sprite*>(sprite->Clone(remap));
    ASSERT_NE(clone, nullptr);
    host.scene().adopt(clone);
    ASSERT_NE(clone->pblock2, nullptr);
    EXPECT_NE(clone->pblock2, sprite->pblock2);
    EXPECT_EQ(remap.FindMapping(sprite->pblock2), clone->pblock2);
    EXPECT_EQ(clone->pblock2->GetFloat(SPRITE_PARAM_WIDTH), 77.0f);
    EXPECT_EQ(clone->pblock2->GetInt(SPRITE_PARAM_ROTATION), 45);
    EXPECT_EQ(clone->pblock2->GetDesc(), &SpriteParamBlockDesc());
    EXPECT_EQ(clone->widthCache(), 32.0f);
    EXPECT_EQ(clone->heightCache(), 32.0f);
    EXPECT_EQ(clone->autosizeCache(), 0);
    for (const Point3& corner : clone->corners().corner) EXPECT_TRUE(corner.Equals({0, 0, 0}));

    // The copy is independent of the original.
    setParam(sprite, SPRITE_PARAM_WIDTH, 5.0f);
    EXPECT_EQ(clone->pblock2->GetFloat(SPRITE_PARAM_WIDTH), 77.0f);
}

TEST_F(ObjectTest, CallsWithoutViewportOrNodeChangeNothing) {
    Sprite* sprite = addSprite();
    setParam(sprite, SPRITE_PARAM_WIDTH, 10.0f);
    ASSERT_TRUE(sprite->updateQuad(0, node, &view));
    const Mesh before = sprite->mesh;
    setParam(sprite, SPRITE_PARAM_WIDTH, 50.0f);

    IPoint2 centre(320, 240);
    EXPECT_FALSE(sprite->updateQuad(0, node, nullptr));
    EXPECT_FALSE(sprite->updateQuad(0, nullptr, &view));
    EXPECT_EQ(sprite->Display(0, node, nullptr, 0), 0);
    EXPECT_EQ(sprite->Display(0, nullptr, &view, 0), 0);
    EXPECT_EQ(sprite->HitTest(0, node, HITTYPE_POINT, 0, 0, &centre, nullptr), 0);
    Box3 box;
    sprite->GetWorldBoundBox(0, nullptr, nullptr, box);
    EXPECT_TRUE(box.pmax.Equals({5, 16, 0}, 1e-4f));
    EXPECT_TRUE(view.window().draws().empty());
    EXPECT_EQ(sprite->widthCache(), 10.0f);
    EXPECT_EQ(sprite->mesh.verts, before.verts);

    // A hit test without a point updates the quad but hits nothing.
    EXPECT_EQ(sprite->HitTest(0, node, HITTYPE_POINT, 0, 0, nullptr, &view), 0);
    EXPECT_EQ(sprite->widthCache(), 50.0f);
}

}  // namespace
}  // namespace zeq::spritetest
