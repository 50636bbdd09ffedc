// Sprite records: the rectangle settings read from the sprite object's parameter block and its
// material.
#include "walk_support.h"

namespace zeq::walktest {
namespace {

using SpriteTest = ExportTest;

class SpriteScene : public SpriteTest {
protected:
    headless::Node* spriteNode(const std::string& name, int rotation) {
        headless::GenericObject* sprite = scene().newObject(GEOMOBJECT_CLASS_ID, SPRITE_CLASS_ID, "Sprite");
        headless::ParamBlock* block = sprite->addParamBlock(SPRITE_PARAM_BLOCK_ID, "params");
        block->addParam(SPRITE_PARAM_ORIGIN_X, "originX", TYPE_FLOAT);
        block->addParam(SPRITE_PARAM_ORIGIN_Y, "originY", TYPE_FLOAT);
        block->addParam(SPRITE_PARAM_ROTATION, "rotation", TYPE_INT);
        block->addParam(SPRITE_PARAM_PERSPECTIVE_SCALE, "perspectiveScale", TYPE_BOOL);
        block->addParam(SPRITE_PARAM_WIDTH, "width", TYPE_FLOAT);
        block->addParam(SPRITE_PARAM_HEIGHT, "height", TYPE_FLOAT);
        block->addParam(SPRITE_PARAM_AUTOSIZE, "autosize", TYPE_BOOL);
        block->SetValue(SPRITE_PARAM_ORIGIN_X, 0, 0.25f);
        block->SetValue(SPRITE_PARAM_ORIGIN_Y, 0, 0.75f);
        block->SetValue(SPRITE_PARAM_ROTATION, 0, rotation);
        block->SetValue(SPRITE_PARAM_PERSPECTIVE_SCALE, 0, 1);
        block->SetValue(SPRITE_PARAM_WIDTH, 0, 64.0f);
        block->SetValue(SPRITE_PARAM_HEIGHT, 0, 16.0f);
        headless::Node* node = scene().createNode(name);
        node->SetObjectRef(sprite);
        return node;
    }
};

TEST_F(SpriteScene, ParametersAreReadByIdAndRotationBecomesRadians) {
    spriteNode("Flare", 90);
    const Roots roots = convert();
    ASSERT_EQ(roots.root.sprites->size(), 1u);
    const Zeq2Sprite& sprite = roots.root.sprites->get(0);
    EXPECT_NEAR(sprite.rotation, 1.5707963, 1e-7);
    EXPECT_EQ(sprite.width, 64.0f);
    EXPECT_EQ(sprite.height, 16.0f);
    EXPECT_EQ(sprite.originX, 0.25f);
    EXPECT_EQ(sprite.originY, 0.75f);
    EXPECT_TRUE(sprite.perspectiveScale);
    EXPECT_FALSE(sprite.spriteFlag);
    EXPECT_FALSE(sprite.materialId);
    EXPECT_EQ(sprite.name, "Flare");
}

TEST_F(SpriteScene, OnlyAPlainStandardMaterialIsWritten) {
    headless::Node* plain = spriteNode("Plain", 0);
    plain->SetMtl(scene().newStdMat("Glow"));
    headless::Node* multi = spriteNode("Multi", -45);
    multi->SetMtl(scene().newMultiMtl("Multi", 2));
    const Roots roots = convert();
    const Zeq2Sprite* withMaterial = findByName(roots.root.sprites, "Plain");
    ASSERT_TRUE(withMaterial->materialId);
    EXPECT_EQ(*withMaterial->materialId, 0);
    EXPECT_EQ(roots.root.materials->size(), 1u);
    const Zeq2Sprite* withoutMaterial = findByName(roots.root.sprites, "Multi");
    EXPECT_FALSE(withoutMaterial->materialId);
    EXPECT_FLOAT_EQ(withoutMaterial->rotation, -45.0f * 0.017453292f);
}

TEST_F(SpriteScene, SpriteWithPivotOffsetHangsBelowItsObject) {
    headless::Node* node = spriteNode("Offset", 0);
    node->setObjectOffset(TransMatrix({2, 0, 0}));
    const Roots roots = convert();
    const Zeq2Object* holder = findByName(roots.root.objects, "Offset");
    ASSERT_TRUE(holder);
    EXPECT_EQ(roots.root.sprites->get(0).parentId, holder->id);
}

}  // namespace
}  // namespace zeq::walktest
