// Placing a new sprite with the mouse: a click gives 32 x 32, a drag a square as wide as the drag.
#include "sprite/sprite_create.h"

#include "host/plugin_classes.h"
#include "sprite/sprite.h"

#include <cmath>

namespace zeq {

namespace {

// Parameter writes made while creating happen at time 0.
constexpr TimeValue kCreateTime = 0;
// A second point closer than this (pixels, rounded down) to the first is a click, not a drag.
constexpr int kClickDistance = 3;
constexpr float kClickSize = 32.0f;

void setSize(Sprite& sprite, float size) {
    if (!sprite.pblock2) return;
    sprite.pblock2->SetValue(SPRITE_PARAM_WIDTH, kCreateTime, size);
    sprite.pblock2->SetValue(SPRITE_PARAM_HEIGHT, kCreateTime, size);
}

}  // namespace

int SpriteCreateCallBack::proc(ViewExp* vpt, int msg, int point, int, IPoint2 m, Matrix3& mat) {
    if (msg == MOUSE_ABORT) return CREATE_ABORT;
    if (msg != MOUSE_POINT && msg != MOUSE_MOVE) return CREATE_CONTINUE;
    // Nothing can be placed without an object or a view to place it in.
    if (!sprite_ || !vpt) return CREATE_ABORT;

    IPoint2 snappedScreen;
    switch (point) {
    case 0:
        sprite_->suspendSnap = true;
        screen_[0] = m;
        snapped_[0] = vpt->SnapPoint(m, snappedScreen, nullptr, SNAP_IN_3D);
        mat.SetTrans(snapped_[0]);
        return CREATE_CONTINUE;
    case 1: {
        screen_[1] = m;
        snapped_[1] = vpt->SnapPoint(m, snappedScreen, nullptr, SNAP_IN_3D);
        setSize(*sprite_, (snapped_[1] - snapped_[0]).Length());
        if (msg == MOUSE_MOVE) return CREATE_CONTINUE;
        const IPoint2 d = screen_[1] - screen_[0];
        const int pixels = static_cast<int>(std::sqrt(static_cast<double>(d.x) * d.x + static_cast<double>(d.y) * d.y));
        if (pixels < kClickDistance) setSize(*sprite_, kClickSize);
        sprite_->suspendSnap = false;
        return CREATE_STOP;
    }
    default: return CREATE_STOP;
    }
}

SpriteCreateCallBack& SpriteCreateCallBackInstance() {
    static SpriteCreateCallBack callback;
    return callback;
}

}  // namespace zeq
