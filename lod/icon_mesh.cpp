// The LOD object's icon and distance circles.
#include "lod/icon_mesh.h"

#include <cmath>

namespace zeq {

namespace {

constexpr float kPi = 3.14159265358979f;

// The double pyramid: a square outline at z = 0 with its edge midpoints, and two apexes.
constexpr Point3 kPyramid[10] = {
    {-0.707107f, 0.707107f, 0.0f},  {0.0f, 0.707107f, 0.0f},  {0.707107f, 0.707107f, 0.0f},
    {-0.707107f, -0.707107f, 0.0f}, {0.0f, -0.707107f, 0.0f}, {0.707107f, -0.707107f, 0.0f},
    {0.707107f, 0.0f, 0.0f},        {0.0f, 0.0f, -0.669281f}, {-0.707107f, 0.0f, 0.0f},
    {0.0f, 0.0f, 0.669281f},
};
// The square's outline in order around +z, and the two apexes.
constexpr uint32_t kOutline[8] = {0, 1, 2, 6, 5, 4, 3, 8};
constexpr uint32_t kTop = 9, kBottom = 7;

// The ring: a thin torus around the z axis.
constexpr int kRingSegments = 17, kRingSides = 4;
constexpr float kRingRadius = 1.0f, kRingThickness = 0.06f;
// The pennant: a pentagon fan standing above the top apex in the XZ plane.
constexpr int kPennantCorners = 5;
constexpr Point3 kPennantCentre{0.0f, 0.0f, 0.85f};
constexpr float kPennantRadius = 0.15f;

}  // namespace

void buildIconMesh(Mesh& mesh, float s) {
    std::vector<Point3> verts;
    std::vector<std::array<uint32_t, 3>> faces;
    verts.reserve(kIconVertexCount);
    faces.reserve(kIconFaceCount);

    verts.assign(std::begin(kPyramid), std::end(kPyramid));
    for (int i = 0; i < 8; ++i) {
        const uint32_t a = kOutline[i], b = kOutline[(i + 1) % 8];
        faces.push_back({b, a, kTop});
        faces.push_back({a, b, kBottom});
    }

    const uint32_t ring = static_cast<uint32_t>(verts.size());
    for (int i = 0; i < kRingSegments; ++i) {
        const float around = 2 * kPi * float(i) / kRingSegments;
        for (int j = 0; j < kRingSides; ++j) {
            const float across = 2 * kPi * float(j) / kRingSides;
            const float radius = kRingRadius + kRingThickness * std::cos(across);
            verts.push_back({radius * std::cos(around), radius * std::sin(around), kRingThickness * std::sin(across)});
        }
    }
    auto ringVertex = [ring](int i, int j) {
        return ring + static_cast<uint32_t>((i % kRingSegments) * kRingSides + (j % kRingSides));
    };
    for (int i = 0; i < kRingSegments; ++i) {
        for (int j = 0; j < kRingSides; ++j) {
            faces.push_back({ringVertex(i, j), ringVertex(i + 1, j), ringVertex(i + 1, j + 1)});
            faces.push_back({ringVertex(i, j), ringVertex(i + 1, j + 1), ringVertex(i, j + 1)});
        }
    }

    const uint32_t pennant = static_cast<uint32_t>(verts.size());
    verts.push_back(kPennantCentre);
    for (int k = 0; k < kPennantCorners; ++k) {
        const float a = 2 * kPi * float(k) / kPennantCorners;
        verts.push_back(
            {kPennantCentre.x + kPennantRadius * std::cos(a), 0.0f, kPennantCentre.z + kPennantRadius * std::sin(a)});
    }
    for (int k = 0; k < kPennantCorners; ++k)
        faces.push_back({pennant, pennant + 1 + uint32_t(k), pennant + 1 + uint32_t((k + 1) % kPennantCorners)});

    mesh.setNumVerts(static_cast<int>(verts.size()));
    for (size_t i = 0; i < verts.size(); ++i) mesh.verts[i] = verts[i] * s;
    mesh.setNumFaces(static_cast<int>(faces.size()));
    for (size_t f = 0; f < faces.size(); ++f) {
        mesh.faces[f].setVerts(faces[f][0], faces[f][1], faces[f][2]);
        mesh.faces[f].setEdgeVisFlags(true, true, true);
        mesh.faces[f].setSmGroup(0);
    }
    mesh.InvalidateGeomCache();
    mesh.InvalidateTopologyCache();
    mesh.buildBoundingBox();
}

DistanceCircles distanceCircles(float r) {
    DistanceCircles circles;
    constexpr float kStep = 0.19634955f;  // π / 16
    for (int k = 0; k < kCirclePoints; ++k) {
        const float c = r * std::cos(kStep * float(k)), s = r * std::sin(kStep * float(k));
        circles[0][k] = {c, 0.0f, s};
        circles[1][k] = {0.0f, c, s};
        circles[2][k] = {c, s, 0.0f};
    }
    return circles;
}

}  // namespace zeq
