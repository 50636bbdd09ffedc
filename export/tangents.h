#pragma once
// Per-vertex tangent frames accumulated from the faces around each vertex.
#include "host/point3.h"

#include <cstdint>

namespace zeq {

struct TangentSum {
    Point3 sum{0, 0, 0};
    int32_t count = 0;
};

// The face's tangent from positions p0..p2 and texture coordinates (s, t) after the v flip,
// normalised; false when the coordinates span no area (no tangent direction exists).
bool faceTangent(const Point3 p[3], const Point2 st[3], Point3& tangent);

// Adds the face tangent, made orthogonal to the vertex normal, to the vertex's sum.
void addTangent(TangentSum& vertex, const Point3& normal, const Point3& faceTangent);

// The tangent and handedness written for a vertex: the averaged, normalised sum, with
// handedness -1 when (N x A) . (S x N) < 0 and +1 otherwise. A vertex without contribution (or
// whose contributions cancel out) gets a zero tangent and handedness +1.
void finishTangent(const TangentSum& vertex, const Point3& normal, Point3& tangent, float& handedness);

}  // namespace zeq
