// Mouse creation of sprites: a click gives the 32 × 32 default, a drag a square as wide as the drag,
// an abort removes the half-made sprite, and the node lands where the first point meets the
// construction plane.
#include "support.h"

#include "sprite/sprite_create.h"

namespace zeq::spritetest {
namespace {

using CreateTest = SpriteTest;
using headless::MouseEvent;

TEST_F(CreateTest, ASingleClickMakesA32By32Sprite) {
    auto* sprite = new Sprite();
    setParam(sprite, SPRITE_PARAM_WIDTH, 5.0f);
    const headless::CreationResult r =
        headless::createWithMouse(host, sprite, view, {MouseEvent::point(330, 250), MouseEvent::point(331, 251)});
    EXPECT_EQ(r.result, CREATE_STOP);
    EXPECT_EQ(r.eventsUsed, 2);
    ASSERT_NE(r.node, nullptr);
    EXPECT_EQ(sprite->pblock2->GetFloat(SPRITE_PARAM_WIDTH), 32.0f);
    EXPECT_EQ(sprite->pblock2->GetFloat(SPRITE_PARAM_HEIGHT), 32.0f);
    // The orthographic view looks down on the plane at one pixel per unit around the window centre.
    EXPECT_TRUE(r.node->GetNodeTM(0).GetTrans().Equals({10, -10, 0}));
    EXPECT_FALSE(sprite->suspendSnap);
    // Parameters were shown while creating and taken down at the end.
    ASSERT_EQ(host.ui().rollupPages().size(), 1u);
    EXPECT_TRUE(host.ui().openRollupPages().empty());
}

TEST_F(CreateTest, DraggingSizesTheSpriteAsASquare) {
    auto* sprite = new Sprite();
    const headless::CreationResult r = headless::createWithMouse(
        host, sprite, view,
        {MouseEvent::point(320, 240), MouseEvent::move(326, 248), MouseEvent::move(350, 280),
         MouseEvent::point(323, 244)});
    ASSERT_NE(r.node, nullptr);
    EXPECT_EQ(r.result, CREATE_STOP);
    // The last point decides: a 3-4-5 drag of 5 pixels, which is no click.
    EXPECT_FLOAT_EQ(sprite->pblock2->GetFloat(SPRITE_PARAM_WIDTH), 5.0f);
    EXPECT_FLOAT_EQ(sprite->pblock2->GetFloat(SPRITE_PARAM_HEIGHT), 5.0f);
    EXPECT_TRUE(r.node->GetNodeTM(0).GetTrans().Equals({0, 0, 0}));
}

TEST_F(CreateTest, WhileDraggingTheSizeFollowsTheMouse) {
    auto* sprite = new Sprite();
    const headless::CreationResult r = headless::createWithMouse(
        host, sprite, view, {MouseEvent::point(320, 240), MouseEvent::move(320, 300)});
    ASSERT_NE(r.node, nullptr);
    EXPECT_EQ(r.result, CREATE_CONTINUE);
    EXPECT_FLOAT_EQ(sprite->pblock2->GetFloat(SPRITE_PARAM_WIDTH), 60.0f);
    EXPECT_TRUE(sprite->suspendSnap);
}

TEST_F(CreateTest, AbortRemovesTheSprite) {
    auto* sprite = new Sprite();
    const size_t before = host.scene().nodes().size();
    const headless::CreationResult r = headless::createWithMouse(
        host, sprite, view, {MouseEvent::point(320, 240), MouseEvent::abort(), MouseEvent::point(330, 240)});
    EXPECT_EQ(r.result, CREATE_ABORT);
    EXPECT_EQ(r.eventsUsed, 2);
    EXPECT_EQ(r.node, nullptr);
    EXPECT_EQ(host.scene().nodes().size(), before);
    // The shared callback forgot the deleted sprite.
    EXPECT_EQ(SpriteCreateCallBackInstance().GetObj(), nullptr);
}

TEST_F(CreateTest, PerspectiveFirstPointLandsOnTheConstructionPlane) {
    // Looking straight down from 100 units above the plane.
    view.setCameraTM(TransMatrix({0, 0, 100}));
    view.setPerspective(true);
    view.setFOV(kQuarterTurn);  // 320 pixels of focal length in the 640-pixel window
    auto* sprite = new Sprite();
    const headless::CreationResult r = headless::createWithMouse(
        host, sprite, view, {MouseEvent::point(480, 240), MouseEvent::point(480, 80)});
    ASSERT_NE(r.node, nullptr);
    EXPECT_TRUE(r.node->GetNodeTM(0).GetTrans().Equals({50, 0, 0}, 1e-4f));
    EXPECT_NEAR(sprite->pblock2->GetFloat(SPRITE_PARAM_WIDTH), 50.0f, 1e-3f);
}

TEST_F(CreateTest, CallbackWithoutViewportOrSpriteAborts) {
    Sprite* sprite = addSprite();
    CreateMouseCallBack* callback = sprite->GetCreateMouseCallBack();
    ASSERT_EQ(callback, &SpriteCreateCallBackInstance());
    Matrix3 mat;
    EXPECT_EQ(callback->proc(nullptr, MOUSE_POINT, 0, 0, IPoint2(1, 1), mat), CREATE_ABORT);
    EXPECT_EQ(callback->proc(&view, MOUSE_FREEMOVE, 0, 0, IPoint2(1, 1), mat), CREATE_CONTINUE);
    SpriteCreateCallBackInstance().SetObj(nullptr);
    EXPECT_EQ(callback->proc(&view, MOUSE_POINT, 0, 0, IPoint2(1, 1), mat), CREATE_ABORT);
    EXPECT_TRUE(mat.IsIdentity());
}

}  // namespace
}  // namespace zeq::spritetest
