// Tangent frames: each face adds its texture-space u direction, made orthogonal to the vertex
// normal, and its v direction to its three vertices; a vertex writes the normalised average of
// the first, and the side of the second as its handedness.
#include "export/tangents.h"

#include <cmath>

namespace zeq {

bool faceTangent(const Point3 p[3], const Point2 st[3], Point3& tangent, Point3& bitangent) {
    const float s1 = st[1].x - st[0].x, t1 = st[1].y - st[0].y;
    const float s2 = st[2].x - st[0].x, t2 = st[2].y - st[0].y;
    const float divisor = s1 * t2 - s2 * t1;
    // Coordinates spanning no area give no tangent direction (the reciprocal would be infinite
    // and the tangent NaN).
    if (divisor == 0.0f) return false;
    const float r = 1.0f / divisor;
    const Point3 t = ((p[1] - p[0]) * t2 - (p[2] - p[0]) * t1) * r;
    if (!std::isfinite(t.x) || !std::isfinite(t.y) || !std::isfinite(t.z)) return false;
    const Point3 b = ((p[2] - p[0]) * s1 - (p[1] - p[0]) * s2) * r;
    tangent = t.Normalize();
    bitangent = std::isfinite(b.x) && std::isfinite(b.y) && std::isfinite(b.z) ? b.Normalize() : Point3(0, 0, 0);
    return true;
}

void addTangent(TangentSum& vertex, const Point3& normal, const Point3& faceTangent, const Point3& faceBitangent) {
    vertex.sum += faceTangent - normal * (normal % faceTangent);
    vertex.bitangentSum += faceBitangent;
    ++vertex.count;
}

void finishTangent(const TangentSum& vertex, const Point3& normal, Point3& tangent, float& handedness) {
    if (vertex.count == 0) {
        tangent = Point3(0.0f, 0.0f, 0.0f);
        handedness = 1.0f;
        return;
    }
    const Point3 average = vertex.sum / static_cast<float>(vertex.count);
    tangent = average.Normalize();
    const bool none = tangent.x == 0.0f && tangent.y == 0.0f && tangent.z == 0.0f;
    handedness = none || ((normal ^ average) % vertex.bitangentSum) > 0.0f ? 1.0f : -1.0f;
}

}  // namespace zeq
