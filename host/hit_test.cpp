// Point hit test of a mesh projected through a graphics window.
#include "host/hit_test.h"

#include <algorithm>
#include <cmath>

namespace {

float cross(const Point2& a, const Point2& b, const Point2& p) {
    return (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
}

float distanceToSegment(const Point2& a, const Point2& b, const Point2& p) {
    const Point2 ab = b - a;
    const float lengthSquared = ab.x * ab.x + ab.y * ab.y;
    float t = 0.0f;
    if (lengthSquared > 0.0f) t = std::clamp(((p.x - a.x) * ab.x + (p.y - a.y) * ab.y) / lengthSquared, 0.0f, 1.0f);
    const Point2 closest = a + ab * t;
    return std::hypot(p.x - closest.x, p.y - closest.y);
}

// Inside test that accepts either winding, since a face may be seen from its back.
bool inside(const Point2 (&c)[3], const Point2& p) {
    const float d0 = cross(c[0], c[1], p), d1 = cross(c[1], c[2], p), d2 = cross(c[2], c[0], p);
    const bool anyNegative = d0 < 0 || d1 < 0 || d2 < 0;
    const bool anyPositive = d0 > 0 || d1 > 0 || d2 > 0;
    return !(anyNegative && anyPositive);
}

}  // namespace

bool MeshHitsPoint(const Mesh& mesh, GraphicsWindow& gw, const IPoint2& point, int radius) {
    const Point2 p(static_cast<float>(point.x), static_cast<float>(point.y));
    const auto vertexCount = mesh.verts.size();
    for (const Face& face : mesh.faces) {
        if (face.Hidden()) continue;
        Point2 corners[3];
        bool visible = true;
        for (int k = 0; k < 3 && visible; ++k) {
            if (face.v[k] >= vertexCount) {
                visible = false;
                break;
            }
            IPoint3 screen;
            visible = gw.transPoint(&mesh.verts[face.v[k]], &screen) != 0;
            corners[k] = Point2(static_cast<float>(screen.x), static_cast<float>(screen.y));
        }
        if (!visible) continue;
        if (inside(corners, p)) return true;
        for (int k = 0; k < 3; ++k)
            if (distanceToSegment(corners[k], corners[(k + 1) % 3], p) <= static_cast<float>(radius)) return true;
    }
    return false;
}
