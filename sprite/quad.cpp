// Corner math of the camera-facing quad: focal length, node scale and the four corners in object space.
#include "sprite/quad.h"

#include <cmath>
#include <cstdint>

namespace zeq {

float FocalLength(float fov, int renderWidth, int renderHeight) {
    const int64_t w = renderWidth, h = renderHeight;
    const float diagonal = std::sqrt(static_cast<float>(w * w + h * h));
    return diagonal * 0.5f / std::tan(fov * 0.5f);
}

float NodeScale(const Matrix3& objectTM) {
    // The lengths of the axes, not the diagonal: a turn leaves them as they are (the diagonal of a
    // node turned 120° about z sums to zero, which drew the sprite as a point).
    return (Length(objectTM.GetRow(0)) + Length(objectTM.GetRow(1)) + Length(objectTM.GetRow(2))) * 0.33333334f;
}

SpriteCorners ComputeSpriteCorners(const Matrix3& objectTM, const QuadView& view, const QuadSettings& settings) {
    const Matrix3 worldToCamera = Inverse(view.inverseView);
    // The node's origin in camera space.
    const Point3 p = objectTM.GetTrans() * worldToCamera;

    const float s = NodeScale(objectTM);
    float w = s * settings.width;
    float h = s * settings.height;
    const float f = view.focalLength;
    if (view.perspective && !settings.perspectiveScale && p.z != 0.0f && std::isfinite(f) && f > 0.0f) {
        w *= -p.z / f;
        h *= -p.z / f;
    }

    const float theta = -static_cast<float>(settings.rotation) * 0.017453292f;
    const float c = std::cos(theta), sn = std::sin(theta);
    const float ox = settings.originX, oy = settings.originY;
    const float u[4] = {(1 - ox) * w, (1 - ox) * w, -ox * w, -ox * w};
    const float v[4] = {oy * h, (oy - 1) * h, oy * h, (oy - 1) * h};

    const Matrix3 toObject = view.inverseView * Inverse(objectTM);
    SpriteCorners corners;
    bool finite = true;
    for (int i = 0; i < 4; ++i) {
        const Point3 camera(p.x + u[i] * c - v[i] * sn, p.y + u[i] * sn + v[i] * c, p.z);
        corners.corner[i] = camera * toObject;
        const Point3& q = corners.corner[i];
        finite = finite && std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z);
    }
    if (!finite) corners = SpriteCorners{};
    return corners;
}

}  // namespace zeq
