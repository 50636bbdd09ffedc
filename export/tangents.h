#pragma once
// Per-vertex tangent frames accumulated from the faces around each vertex.
#include "host/point3.h"

#include <cstdint>

namespace zeq {

struct TangentSum {
    Point3 sum{0, 0, 0};
    Point3 bitangentSum{0, 0, 0};
    int32_t count = 0;
};

// The face's tangent (the direction of growing s) and bitangent (of growing t) from positions
// p0..p2 and texture coordinates (s, t) after the v flip, normalised; false when the coordinates
// span no area (no tangent direction exists).
bool faceTangent(const Point3 p[3], const Point2 st[3], Point3& tangent, Point3& bitangent);

// Adds the face tangent, made orthogonal to the vertex normal, and the face bitangent to the
// vertex's sums.
void addTangent(TangentSum& vertex, const Point3& normal, const Point3& faceTangent,
                const Point3& faceBitangent = Point3(0, 0, 0));

// The tangent and handedness written for a vertex: the averaged, normalised sum A, with
// handedness +1 where N x A runs along the bitangents' sum and -1 where it runs against it (as it
// does for unmirrored texture coordinates), so that the bitangent the engine makes, N x A times
// the handedness, follows the coordinates. A vertex without contribution (or whose contributions
// cancel out) gets a zero tangent and handedness +1.
void finishTangent(const TangentSum& vertex, const Point3& normal, Point3& tangent, float& handedness);

}  // namespace zeq
