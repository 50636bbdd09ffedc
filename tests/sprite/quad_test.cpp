// The quad update: where the corners land for the anchor, rotation, size, node transform, view and
// autosize, and what happens with views, nodes and materials that give nothing sound to work with.
#include "support.h"

namespace zeq::spritetest {
namespace {

using QuadTest = SpriteTest;

// Expects corner i of the quad, relative to the node origin in camera space (identity camera).
void expectCorner(const Sprite* sprite, int i, float x, float y) {
    EXPECT_NEAR(sprite->corners().corner[i].x, x, 1e-4f) << "corner " << i;
    EXPECT_NEAR(sprite->corners().corner[i].y, y, 1e-4f) << "corner " << i;
    EXPECT_NEAR(sprite->corners().corner[i].z, 0.0f, 1e-4f) << "corner " << i;
}

TEST_F(QuadTest, TopLeftAnchorHangsTheRectangleBelowAndRightOfTheNode) {
    Sprite* sprite = addSprite(TransMatrix({5, 7, -50}));
    setParam(sprite, SPRITE_PARAM_ORIGIN_X, 0.0f);
    setParam(sprite, SPRITE_PARAM_ORIGIN_Y, 0.0f);
    setParam(sprite, SPRITE_PARAM_WIDTH, 10.0f);
    setParam(sprite, SPRITE_PARAM_HEIGHT, 20.0f);
    ASSERT_TRUE(sprite->updateQuad(0, node, &view));
    expectCorner(sprite, 0, 10, 0);
    expectCorner(sprite, 1, 10, -20);
    expectCorner(sprite, 2, 0, 0);
    expectCorner(sprite, 3, 0, -20);
    EXPECT_EQ(sprite->widthCache(), 10.0f);
    EXPECT_EQ(sprite->heightCache(), 20.0f);
}

TEST_F(QuadTest, AnchorAtCentreAndBottomRight) {
    Sprite* sprite = addSprite();
    setParam(sprite, SPRITE_PARAM_WIDTH, 10.0f);
    setParam(sprite, SPRITE_PARAM_HEIGHT, 20.0f);
    sprite->updateQuad(0, node, &view);
    expectCorner(sprite, 0, 5, 10);
    expectCorner(sprite, 3, -5, -10);

    setParam(sprite, SPRITE_PARAM_ORIGIN_X, 1.0f);
    setParam(sprite, SPRITE_PARAM_ORIGIN_Y, 1.0f);
    sprite->updateQuad(0, node, &view);
    expectCorner(sprite, 0, 0, 20);
    expectCorner(sprite, 3, -10, 0);
}

TEST_F(QuadTest, PositiveRotationTurnsClockwiseOnScreen) {
    Sprite* sprite = addSprite();
    setParam(sprite, SPRITE_PARAM_WIDTH, 10.0f);
    setParam(sprite, SPRITE_PARAM_HEIGHT, 20.0f);
    setParam(sprite, SPRITE_PARAM_ROTATION, 90);
    sprite->updateQuad(0, node, &view);
    // The right-top corner (5, 10) goes a quarter turn clockwise, to the right-bottom (10, -5).
    expectCorner(sprite, 0, 10, -5);
    expectCorner(sprite, 3, -10, 5);

    setParam(sprite, SPRITE_PARAM_ROTATION, -90);
    sprite->updateQuad(0, node, &view);
    expectCorner(sprite, 0, -10, 5);
}

TEST_F(QuadTest, CornersFaceTheCameraWhereverItLooksFrom) {
    // A camera south of the node, looking north (+y) with world z up.
    view.setCameraTM(Matrix3({1, 0, 0}, {0, 0, 1}, {0, -1, 0}, {0, -100, 0}));
    Sprite* sprite = addSprite(TransMatrix({0, 0, 0}));
    sprite->updateQuad(0, node, &view);
    // The quad stands in the plane y = 0: right along world x, up along world z.
    EXPECT_TRUE(worldCorner(sprite, 0).Equals({16, 0, 16}, 1e-4f));
    EXPECT_TRUE(worldCorner(sprite, 3).Equals({-16, 0, -16}, 1e-4f));
}

TEST_F(QuadTest, PerspectiveScaleDecidesBetweenWorldAndPixelSize) {
    view.setPerspective(true);
    view.setFOV(kQuarterTurn);  // 90°: with the 640 × 480 render size, f = 800 / 2 / 1 = 400 pixels
    Sprite* sprite = addSprite(TransMatrix({0, 0, -100}));

    // Off: the size is in render pixels, so the world size grows with the distance.
    setParam(sprite, SPRITE_PARAM_PERSPECTIVE_SCALE, 0);
    sprite->updateQuad(0, node, &view);
    EXPECT_NEAR(worldWidth(sprite), 32.0f * 100 / 400, 1e-4f);
    node->setLocalTM(TransMatrix({0, 0, -200}));
    sprite->updateQuad(0, node, &view);
    EXPECT_NEAR(worldWidth(sprite), 32.0f * 200 / 400, 1e-4f);

    // On: the world size stays and the size on screen halves with twice the distance.
    setParam(sprite, SPRITE_PARAM_PERSPECTIVE_SCALE, 1);
    auto screenWidth = [&] {
        IPoint3 right, left;
        EXPECT_TRUE(view.project(worldCorner(sprite, 0), right));
        EXPECT_TRUE(view.project(worldCorner(sprite, 2), left));
        return right.x - left.x;
    };
    node->setLocalTM(TransMatrix({0, 0, -100}));
    sprite->updateQuad(0, node, &view);
    EXPECT_NEAR(worldWidth(sprite), 32.0f, 1e-4f);
    const int nearPixels = screenWidth();
    node->setLocalTM(TransMatrix({0, 0, -200}));
    sprite->updateQuad(0, node, &view);
    EXPECT_NEAR(worldWidth(sprite), 32.0f, 1e-4f);
    EXPECT_NEAR(screenWidth(), nearPixels / 2, 1);
}

TEST_F(QuadTest, TheFieldOfViewComesFromTheCameraTheViewLooksThrough) {
    view.setPerspective(true);
    view.setFOV(kQuarterTurn);
    headless::Node* cameraNode = host.scene().createNode("Camera01");
    cameraNode->SetObjectRef(host.scene().newCamera(2.0f * std::atan(0.5f)));  // tan(fov / 2) = 0.5
    view.setCameraNode(cameraNode);
    Sprite* sprite = addSprite(TransMatrix({0, 0, -100}));
    setParam(sprite, SPRITE_PARAM_PERSPECTIVE_SCALE, 0);
    sprite->updateQuad(0, node, &view);
    EXPECT_NEAR(worldWidth(sprite), 32.0f * 100 / 800, 1e-4f);

    // A camera node showing something else has no field of view: the view's own is used.
    cameraNode->SetObjectRef(host.scene().newTriObject());
    sprite->updateQuad(0, node, &view);
    EXPECT_NEAR(worldWidth(sprite), 32.0f * 100 / 400, 1e-4f);
}

TEST_F(QuadTest, ANodeInTheCameraPlaneOrAnUnusableFocalLengthIsNotScaledByDepth) {
    view.setPerspective(true);
    Sprite* sprite = addSprite(TransMatrix({3, 4, 0}));
    setParam(sprite, SPRITE_PARAM_PERSPECTIVE_SCALE, 0);
    sprite->updateQuad(0, node, &view);
    EXPECT_NEAR(worldWidth(sprite), 32.0f, 1e-4f);

    // A zero field of view, or no render size, gives no focal length to scale by.
    node->setLocalTM(TransMatrix({0, 0, -100}));
    view.setFOV(0.0f);
    sprite->updateQuad(0, node, &view);
    EXPECT_NEAR(worldWidth(sprite), 32.0f, 1e-4f);
    view.setFOV(kQuarterTurn);
    host.SetRendWidth(0);
    host.SetRendHeight(0);
    sprite->updateQuad(0, node, &view);
    EXPECT_NEAR(worldWidth(sprite), 32.0f, 1e-4f);
    EXPECT_TRUE(finite(sprite->mesh));
}

TEST_F(QuadTest, NodeScaleIsTheMeanAxisLength) {
    Sprite* sprite = addSprite(ScaleMatrix({2, 2, 2}));
    sprite->updateQuad(0, node, &view);
    EXPECT_NEAR(worldWidth(sprite), 64.0f, 1e-4f);
    EXPECT_NEAR(worldHeight(sprite), 64.0f, 1e-4f);

    // Turns keep the size (the matrix diagonal would shrink it to a third at a quarter turn, and to
    // nothing at a third of a turn); uneven scales count by their mean.
    for (const Matrix3& tm : {RotateZMatrix(kQuarterTurn), RotateZMatrix(kQuarterTurn * 4 / 3),
                              ScaleMatrix({1, 2, 3}) * RotateXMatrix(1.0f)}) {
        node->setLocalTM(tm);
        sprite->updateQuad(0, node, &view);
        const float scale = (Length(tm.GetRow(0)) + Length(tm.GetRow(1)) + Length(tm.GetRow(2))) / 3;
        EXPECT_NEAR(worldWidth(sprite), 32.0f * scale, 1e-3f);
    }
}

TEST_F(QuadTest, SingularNodeTransformCollapsesTheQuadWithoutNaN) {
    Sprite* sprite = addSprite(ScaleMatrix({1, 1, 0}));
    ASSERT_TRUE(sprite->updateQuad(0, node, &view));
    EXPECT_TRUE(finite(sprite->mesh));
    for (const Point3& corner : sprite->corners().corner) EXPECT_TRUE(corner.Equals({0, 0, 0}));
}

class Autosize : public SpriteTest {
protected:
    Sprite* texturedSprite(std::optional<std::pair<uint16_t, uint16_t>> size) {
        Sprite* sprite = addSprite();
        setParam(sprite, SPRITE_PARAM_AUTOSIZE, 1);
        setParam(sprite, SPRITE_PARAM_WIDTH, 10.0f);
        setParam(sprite, SPRITE_PARAM_HEIGHT, 12.0f);
        headless::StandardMaterial* mat = host.scene().newStdMat("Flare");
        headless::BitmapTexture* map = host.scene().newBitmapTex("flare.png");
        if (size) map->setBitmapSize(size->first, size->second);
        mat->SetSubTexmap(ID_DI, map);
        node->SetMtl(mat);
        return sprite;
    }
};

TEST_F(Autosize, BitmapSizeBecomesWidthAndHeightAtTheNextDisplay) {
    Sprite* sprite = texturedSprite(std::make_pair(uint16_t{256}, uint16_t{128}));
    EXPECT_EQ(sprite->Display(0, node, &view, 0), 0);
    EXPECT_EQ(sprite->autosizeCache(), 1);
    EXPECT_EQ(sprite->pblock2->GetFloat(SPRITE_PARAM_WIDTH), 256.0f);
    EXPECT_EQ(sprite->pblock2->GetFloat(SPRITE_PARAM_HEIGHT), 128.0f);
    EXPECT_NEAR(worldWidth(sprite), 256.0f, 1e-3f);
    EXPECT_NEAR(worldHeight(sprite), 128.0f, 1e-3f);
}

TEST_F(Autosize, WithoutABitmapDiffuseMapTheSizeStays) {
    Sprite* sprite = texturedSprite(std::make_pair(uint16_t{256}, uint16_t{128}));
    // Off: the bitmap is not asked.
    setParam(sprite, SPRITE_PARAM_AUTOSIZE, 0);
    sprite->updateQuad(0, node, &view);
    EXPECT_EQ(sprite->widthCache(), 10.0f);

    setParam(sprite, SPRITE_PARAM_AUTOSIZE, 1);
    node->SetMtl(nullptr);  // no material at all
    sprite->updateQuad(0, node, &view);
    EXPECT_EQ(sprite->pblock2->GetFloat(SPRITE_PARAM_WIDTH), 10.0f);

    headless::StandardMaterial* plain = host.scene().newStdMat("Plain");  // no diffuse map
    node->SetMtl(plain);
    sprite->updateQuad(0, node, &view);
    plain->SetSubTexmap(ID_DI, host.scene().newTexmap(CHECKER_CLASS_ID, "Checker"));  // not a bitmap
    sprite->updateQuad(0, node, &view);
    headless::MultiMaterial* multi = host.scene().newMultiMtl("Multi", 1);  // not a standard material
    multi->SetSubMtl(0, plain);
    node->SetMtl(multi);
    sprite->updateQuad(0, node, &view);
    EXPECT_EQ(sprite->pblock2->GetFloat(SPRITE_PARAM_WIDTH), 10.0f);
    EXPECT_EQ(sprite->pblock2->GetFloat(SPRITE_PARAM_HEIGHT), 12.0f);
    EXPECT_EQ(sprite->heightCache(), 12.0f);
}

TEST_F(Autosize, ABitmapThatCouldNotBeReadKeepsTheSize) {
    Sprite* sprite = texturedSprite(std::nullopt);
    sprite->updateQuad(0, node, &view);
    EXPECT_EQ(sprite->pblock2->GetFloat(SPRITE_PARAM_WIDTH), 10.0f);
    EXPECT_EQ(sprite->pblock2->GetFloat(SPRITE_PARAM_HEIGHT), 12.0f);
    EXPECT_NEAR(worldWidth(sprite), 10.0f, 1e-4f);
}

}  // namespace
}  // namespace zeq::spritetest
