#pragma once
// Mouse creation of sprites. The first point places the node on the construction plane; dragging
// to the second point sizes the sprite as a square whose side is the distance between the two
// points; a click that moves less than 3 pixels gives the 32 × 32 default.
#include "host/host.h"

namespace zeq {

class Sprite;

class SpriteCreateCallBack : public CreateMouseCallBack {
public:
    // The sprite being created (null: none; the callback then aborts).
    void SetObj(Sprite* sprite) { sprite_ = sprite; }
    Sprite* GetObj() const { return sprite_; }

    int proc(ViewExp* vpt, int msg, int point, int flags, IPoint2 m, Matrix3& mat) override;

private:
    Sprite* sprite_ = nullptr;
    IPoint2 screen_[2];
    Point3 snapped_[2];
};

// The library's one creation callback, shared by all sprites.
SpriteCreateCallBack& SpriteCreateCallBackInstance();

}  // namespace zeq
