#pragma once
// The camera-facing rectangle of a sprite as plain computation: from the node's object transform,
// the view and the sprite's settings to the four corners in object space.
#include "host/matrix3.h"

namespace zeq {

// The rectangle's corners in object space: 0 right top, 1 right bottom, 2 left top, 3 left bottom
// (as seen in the view).
struct SpriteCorners {
    Point3 corner[4];
};

// What the view contributes.
struct QuadView {
    Matrix3 inverseView;       // camera space → world (the graphics window's inverse view matrix)
    bool perspective = false;
    float focalLength = 0.0f;  // pixels; see FocalLength
};

// What the sprite contributes (its parameters at the time, sizes from its caches).
struct QuadSettings {
    float width = 32.0f;
    float height = 32.0f;
    float originX = 0.5f;
    float originY = 0.5f;
    int rotation = 0;              // degrees; positive turns clockwise on screen
    bool perspectiveScale = true;  // off: the size is in render pixels in a perspective view
};

// Focal length in pixels of a field of view (radians) for a render output of width × height
// pixels: √(W² + H²) × 0.5 ÷ tan(fov × 0.5). The squares are added as integers (in 64 bits, so that
// no render size overflows), the root is taken in single precision.
float FocalLength(float fov, int renderWidth, int renderHeight);

// The mean length of the X, Y and Z axes: the sprite's scale under a node transform, whatever it turns.
float NodeScale(const Matrix3& objectTM);

// The corners for a node whose object transform is objectTM. The size is scaled by NodeScale; in a
// perspective view with perspectiveScale off it is also scaled by the depth over the focal length,
// so that it keeps its size in render pixels — unless the node lies in the camera plane or the
// focal length is not a positive finite number (a zero field of view or an empty render size), when
// the size stays in world units. Corners that come out non-finite (a node transform too close to
// singular to invert) collapse to the object's origin.
SpriteCorners ComputeSpriteCorners(const Matrix3& objectTM, const QuadView& view, const QuadSettings& settings);

}  // namespace zeq
