#pragma once
// Shared helpers of the sprite tests: a headless host per test, sprites on nodes, and views.
#include "headless/host.h"
#include "host/plugin_classes.h"
#include "sprite/resources.h"
#include "sprite/sprite.h"
#include "sprite/sprite_class_desc.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zeq::spritetest {

inline constexpr float kQuarterTurn = 1.5707963f;

class SpriteTest : public ::testing::Test {
protected:
    SpriteTest() {
        // Every test starts as the library does when it is loaded.
        spriteLibrary().Attach();
        host.ui().setProgressStream(nullptr);
        view.setPerspective(false);
    }

    // A sprite (owned by the scene) on a new node with the given object transform.
    Sprite* addSprite(const Matrix3& tm = Matrix3(), const std::string& name = "Sprite01") {
        auto* sprite = new Sprite();
        node = host.scene().createNode(name);
        node->SetObjectRef(sprite);
        node->setLocalTM(tm);
        return sprite;
    }

    static void setParam(Sprite* sprite, ParamID id, float value) { sprite->pblock2->SetValue(id, 0, value); }
    static void setParam(Sprite* sprite, ParamID id, int value) { sprite->pblock2->SetValue(id, 0, value); }

    // The corner in world space.
    Point3 worldCorner(const Sprite* sprite, int i) const {
        return sprite->corners().corner[i] * node->GetObjectTM(0);
    }
    // Width and height of the quad in world space (corner 0 is right top, 3 left bottom).
    float worldWidth(const Sprite* sprite) const { return (worldCorner(sprite, 0) - worldCorner(sprite, 2)).Length(); }
    float worldHeight(const Sprite* sprite) const { return (worldCorner(sprite, 0) - worldCorner(sprite, 1)).Length(); }

    static bool finite(const Mesh& mesh) {
        for (const Point3& p : mesh.verts)
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return false;
        return true;
    }

    headless::Host host;
    headless::Viewport view;
    headless::Node* node = nullptr;
};

}  // namespace zeq::spritetest
