// The host mesh: face flags, map channels, bounds and edges, and explicit normals built from
// smoothing groups.
#include "host/mesh.h"
#include "host/mesh_normals.h"

#include <gtest/gtest.h>

#include <set>

namespace {

// A unit cube: 8 vertices, 12 triangles, two per side, sides in order -Z, +Z, -Y, +X, +Y, -X.
Mesh Cube(uint32_t (*smoothing)(int side)) {
    Mesh mesh;
    mesh.setNumVerts(8);
    for (int i = 0; i < 8; ++i) mesh.verts[i] = Point3((i & 1) ? 1.0f : 0.0f, (i & 2) ? 1.0f : 0.0f, (i & 4) ? 1.0f : 0.0f);
    const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {1, 3, 7, 5}, {3, 2, 6, 7}, {2, 0, 4, 6}};
    mesh.setNumFaces(12);
    for (int side = 0; side < 6; ++side) {
        const int* q = quads[side];
        mesh.faces[side * 2].setVerts(q[0], q[1], q[2]);
        mesh.faces[side * 2 + 1].setVerts(q[0], q[2], q[3]);
        mesh.faces[side * 2].setSmGroup(smoothing(side));
        mesh.faces[side * 2 + 1].setSmGroup(smoothing(side));
    }
    return mesh;
}

int DistinctNormalIds(const MeshNormalSpec& normalSpec) {
    std::set<int> ids;
    for (int f = 0; f < normalSpec.GetNumFaces(); ++f)
        for (int k = 0; k < 3; ++k) ids.insert(normalSpec.Face(f).GetNormalID(k));
    return static_cast<int>(ids.size());
}

TEST(MeshFace, MaterialIdLivesInUpperBitsBesideOtherFlags) {
    Face f;
    f.setEdgeVisFlags(true, false, true);
    f.flags |= FACE_HIDDEN;
    f.setMatID(0xBEEF);
    EXPECT_EQ(f.getMatID(), 0xBEEF);
    EXPECT_EQ(f.flags >> FACE_MATID_SHIFT, 0xBEEFu);
    EXPECT_TRUE(f.getEdgeVis(0));
    EXPECT_FALSE(f.getEdgeVis(1));
    EXPECT_TRUE(f.getEdgeVis(2));
    EXPECT_TRUE(f.Hidden());
    f.setMatID(3);
    EXPECT_EQ(f.getMatID(), 3);
    EXPECT_EQ(f.flags & 0xFFFFu, EDGE_A | EDGE_C | FACE_HIDDEN);
}

TEST(MeshMaps, ChannelsResizeAndReportUse) {
    Mesh mesh;
    EXPECT_EQ(mesh.getNumMaps(), 2);
    EXPECT_FALSE(mesh.mapSupport(1));
    mesh.setNumFaces(4);
    mesh.setNumTVFaces(4);
    EXPECT_TRUE(mesh.mapSupport(1));
    EXPECT_EQ(mesh.getNumTVerts(), 0);  // faces without vertices are possible; readers must check

    mesh.setNumMaps(3, true);
    mesh.Map(2).setNumVerts(5);
    mesh.Map(2).setNumFaces(4);
    mesh.Map(2).SetFlag(MESHMAP_TEXTURE);
    mesh.Map(2).tv[4] = {0.5f, 0.25f, 0.0f};
    EXPECT_TRUE(mesh.mapSupport(2));
    EXPECT_TRUE(mesh.mapSupport(1));

    // Synchronised face resizing follows the used channels; keep preserves their entries.
    mesh.Map(2).tf[1].setTVerts(4, 3, 2);
    mesh.setNumFaces(6, true, true);
    EXPECT_EQ(mesh.Map(2).getNumFaces(), 6);
    EXPECT_EQ(mesh.Map(1).getNumFaces(), 6);
    EXPECT_EQ(mesh.Map(2).tf[1].getTVert(0), 4u);

    // Without keep, setNumMaps discards every channel's content.
    mesh.setNumMaps(3);
    EXPECT_FALSE(mesh.mapSupport(2));
    EXPECT_EQ(mesh.Map(2).getNumVerts(), 0);
    EXPECT_THROW(mesh.Map(3), std::out_of_range);
    EXPECT_FALSE(mesh.mapSupport(-1));
}

TEST(MeshMaps, CheckIndicesFindsReferencesOutsideTheArrays) {
    Mesh mesh = Cube([](int) { return 1u; });
    EXPECT_TRUE(mesh.CheckIndices());
    mesh.setMapSupport(1);
    EXPECT_FALSE(mesh.CheckIndices());  // channel faces name vertex 0 of an empty channel
    mesh.Map(1).setNumVerts(1);
    EXPECT_TRUE(mesh.CheckIndices());
    mesh.faces[3].v[2] = 8;
    EXPECT_FALSE(mesh.CheckIndices());
}

TEST(MeshGeometry, BoundsAndEdges) {
    Mesh mesh;
    mesh.setNumVerts(4);
    mesh.verts = {{-1, 0, 2}, {3, 0, 2}, {3, 5, 2}, {-1, 5, -4}};
    mesh.setNumFaces(2);
    mesh.faces[0].setVerts(0, 1, 2);
    mesh.faces[1].setVerts(0, 2, 3);
    mesh.faces[0].setEdgeVisFlags(true, true, false);
    mesh.buildBoundingBox();
    Box3 box = mesh.getBoundingBox();
    EXPECT_EQ(box.Min(), Point3(-1, 0, -4));
    EXPECT_EQ(box.Max(), Point3(3, 5, 2));
    Matrix3 shift = TransMatrix({10, 0, 0});
    EXPECT_EQ(mesh.getBoundingBox(&shift).Min(), Point3(9, 0, -4));

    mesh.BuildStripsAndEdges();
    ASSERT_EQ(mesh.GetEdges().size(), 5u);
    int shared = 0;
    for (const auto& e : mesh.GetEdges()) {
        if (e.f[1] >= 0) {
            ++shared;
            EXPECT_EQ(e.v[0], 0u);
            EXPECT_EQ(e.v[1], 2u);
            EXPECT_FALSE(e.visible);  // the diagonal is hidden on the first face
        }
    }
    EXPECT_EQ(shared, 1);
}

TEST(MeshGeometry, EdgesInFirstUseOrder) {
    // Edges come in the order of their first corner; the second face using an edge is its other
    // face, a third is ignored. Faces may name vertices the mesh does not have.
    Mesh mesh;
    mesh.setNumVerts(4);
    mesh.setNumFaces(4);
    mesh.faces[0].setVerts(2, 1, 0);
    mesh.faces[1].setVerts(0, 2, 3);
    mesh.faces[2].setVerts(3, 0, 1);
    mesh.faces[3].setVerts(4000000000u, 2, 4000000000u);
    for (Face& f : mesh.faces) f.setEdgeVisFlags(false, false, false);
    mesh.faces[0].setEdgeVisFlags(true, false, true);
    mesh.BuildStripsAndEdges();
    struct Want {
        uint32_t v0, v1;
        int f0, f1;
        bool visible;
    };
    const Want want[] = {{1, 2, 0, -1, true},  {0, 1, 0, 2, false}, {0, 2, 0, 1, true},
                         {2, 3, 1, -1, false}, {0, 3, 1, 2, false}, {1, 3, 2, -1, false}, {2, 4000000000u, 3, 3, false},
                         {4000000000u, 4000000000u, 3, -1, false}};
    ASSERT_EQ(mesh.GetEdges().size(), std::size(want));
    for (size_t i = 0; i < std::size(want); ++i) {
        const MeshEdge& e = mesh.GetEdges()[i];
        EXPECT_EQ(e.v[0], want[i].v0) << i;
        EXPECT_EQ(e.v[1], want[i].v1) << i;
        EXPECT_EQ(e.f[0], want[i].f0) << i;
        EXPECT_EQ(e.f[1], want[i].f1) << i;
        EXPECT_EQ(e.visible, want[i].visible) << i;
    }

    // A fan of many faces around one vertex: every spoke is shared by two neighbours.
    Mesh fan;
    const int n = 300;
    fan.setNumVerts(n + 1);
    fan.setNumFaces(n);
    for (int i = 0; i < n; ++i) fan.faces[i].setVerts(0, 1 + i, 1 + (i + 1) % n);
    fan.BuildStripsAndEdges();
    ASSERT_EQ(fan.GetEdges().size(), size_t(2 * n));
    EXPECT_EQ(fan.GetEdges()[0].v[1], 1u);
    EXPECT_EQ(fan.GetEdges()[0].f[1], n - 1);
    for (const MeshEdge& e : fan.GetEdges()) EXPECT_EQ(e.f[1] >= 0, e.v[0] == 0);
}

TEST(MeshGeometry, EdgeListLifetime) {
    // No edges before they are asked for; a copy carries them; changing the face count or the
    // topology drops them until the next BuildStripsAndEdges, which sees the faces of that time.
    Mesh mesh;
    mesh.setNumVerts(4);
    mesh.setNumFaces(1);
    mesh.faces[0].setVerts(0, 1, 2);
    EXPECT_TRUE(mesh.GetEdges().empty());
    mesh.BuildStripsAndEdges();
    const Mesh copy = mesh;
    EXPECT_EQ(copy.GetEdges().size(), 3u);
    EXPECT_EQ(mesh.GetEdges().size(), 3u);

    mesh.setNumFaces(2, true);
    EXPECT_TRUE(mesh.GetEdges().empty());
    mesh.faces[1].setVerts(0, 2, 3);
    mesh.BuildStripsAndEdges();
    EXPECT_EQ(mesh.GetEdges().size(), 5u);
    mesh.InvalidateTopologyCache();
    EXPECT_TRUE(mesh.GetEdges().empty());
    EXPECT_EQ(copy.GetEdges().size(), 3u);
}

TEST(MeshNormals, SmoothingGroupsDecideSharedNormals) {
    // One smoothing group: one normal per cube corner.
    Mesh smooth = Cube([](int) { return 1u; });
    smooth.SpecifyNormals();
    MeshNormalSpec* normalSpec = smooth.GetSpecifiedNormals();
    normalSpec->CheckNormals();
    EXPECT_EQ(normalSpec->GetNumFaces(), 12);
    EXPECT_EQ(normalSpec->GetNumNormals(), 8);
    EXPECT_EQ(DistinctNormalIds(*normalSpec), 8);
    // A corner normal points away from the cube's centre, along its diagonal.
    Point3 n = normalSpec->GetNormal(0, 0);  // vertex 0 at the origin
    EXPECT_NEAR(n.x, -0.57735f, 1e-4f);
    EXPECT_NEAR(n.y, -0.57735f, 1e-4f);
    EXPECT_NEAR(n.z, -0.57735f, 1e-4f);

    // A group per side: the two triangles of a side share; 24 normals.
    Mesh sides = Cube([](int side) { return 1u << side; });
    sides.SpecifyNormals();
    sides.GetSpecifiedNormals()->CheckNormals();
    EXPECT_EQ(sides.GetSpecifiedNormals()->GetNumNormals(), 24);
    EXPECT_TRUE(sides.GetSpecifiedNormals()->GetNormal(0, 0).Equals({0, 0, -1}, 1e-5f));

    // No smoothing at all: every face corner has its own normal.
    Mesh faceted = Cube([](int) { return 0u; });
    faceted.SpecifyNormals();
    faceted.GetSpecifiedNormals()->CheckNormals();
    EXPECT_EQ(faceted.GetSpecifiedNormals()->GetNumNormals(), 36);
}

TEST(MeshNormals, ExplicitNormalsSurviveRecomputationAndCopies) {
    Mesh mesh = Cube([](int) { return 0u; });
    mesh.SpecifyNormals();
    MeshNormalSpec* normalSpec = mesh.GetSpecifiedNormals();
    normalSpec->BuildNormals();
    normalSpec->SetFlag(MESH_NORMAL_MODIFIER_SUPPORT);
    for (int f = 0; f < 12; ++f)
        for (int k = 0; k < 3; ++k) normalSpec->SetNormal(f, k, {0.0f, 0.0f, 2.0f});
    normalSpec->ComputeNormals();
    EXPECT_EQ(normalSpec->GetNormal(5, 1), Point3(0.0f, 0.0f, 2.0f));  // stored as given, not normalised
    EXPECT_EQ(normalSpec->GetNumNormals(), 36);

    Mesh copy = mesh;
    ASSERT_NE(copy.GetSpecifiedNormals(), nullptr);
    EXPECT_EQ(copy.GetSpecifiedNormals()->GetParent(), &copy);
    EXPECT_TRUE(copy.GetSpecifiedNormals()->GetFlag(MESH_NORMAL_MODIFIER_SUPPORT));
    EXPECT_EQ(copy.GetSpecifiedNormals()->GetNormal(5, 1), Point3(0.0f, 0.0f, 2.0f));

    // Reads outside the arrays give zero instead of touching memory.
    EXPECT_EQ(normalSpec->GetNormal(99, 0), Point3());
    EXPECT_EQ(normalSpec->GetNormal(0, 7), Point3());
    EXPECT_THROW(normalSpec->Normal(1000), std::out_of_range);
}

TEST(MeshNormals, CheckNormalsOnAnEmptySpecificationCoversTheMesh) {
    Mesh mesh = Cube([](int) { return 1u; });
    mesh.SpecifyNormals();
    EXPECT_EQ(mesh.GetSpecifiedNormals()->GetNumFaces(), 0);
    mesh.GetSpecifiedNormals()->CheckNormals();
    EXPECT_EQ(mesh.GetSpecifiedNormals()->GetNumFaces(), mesh.getNumFaces());
    // A face naming a vertex the mesh lacks leaves that corner without a normal.
    mesh.faces[0].v[1] = 42;
    mesh.GetSpecifiedNormals()->BuildNormals();
    EXPECT_EQ(mesh.GetSpecifiedNormals()->Face(0).GetNormalID(1), -1);
    mesh.GetSpecifiedNormals()->ComputeNormals();
    EXPECT_EQ(mesh.GetSpecifiedNormals()->GetNormal(0, 1), Point3());
}

}  // namespace
