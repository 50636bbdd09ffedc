#pragma once
// What the LOD object draws: its icon (a fixed emblem scaled by the icon size) and the three circles
// that show the current level's switching distance.
#include "host/mesh.h"

#include <array>

namespace zeq {

inline constexpr int kIconVertexCount = 84;
inline constexpr int kIconFaceCount = 157;

// Replaces mesh with the icon at size s: a double pyramid on a square, a ring around it and a small
// pennant above it, every unit coordinate multiplied by s. All edges are visible (it is drawn as a
// wire shape).
void buildIconMesh(Mesh& mesh, float s);

inline constexpr int kCirclePoints = 32;
// The three circles of radius r around the origin, in the XZ, YZ and XY planes in that order, each
// as 32 points of a closed polyline at angles k·π/16.
using DistanceCircles = std::array<std::array<Point3, kCirclePoints>, 3>;
DistanceCircles distanceCircles(float r);

}  // namespace zeq
