// Mesh reconstruction: layouts and strides, texture channels, faces, normals, shared triangle
// objects, half-precision data, and meshes whose buffers cannot be read.
#include "host/mesh_normals.h"
#include "import/mesh_builder.h"
#include "import/vertex_layout.h"
#include "support.h"

#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <random>

namespace zeq::test {
namespace {

class MeshImport : public ImportTest {
protected:
    // Imports mesh "M" over `buffers` and index buffer 1 holding `indices`; null when it was not built.
    const Mesh* importMesh(const std::vector<Zeq2VertexBuffer>& buffers, std::initializer_list<uint16_t> indices,
                           uint16_t minorVersion = kMinorVersionFloat32) {
        Zeq2 root = emptyRoot();
        std::vector<int32_t> ids;
        for (const Zeq2VertexBuffer& buffer : buffers) {
            root.vertexBuffers->add(buffer);
            ids.push_back(buffer.id);
        }
        root.indexBuffers->add(indexBuffer(1, indices));
        root.meshes->add(meshRecord(1, "M", 1, ids));
        EXPECT_EQ(importRoot(root, minorVersion), IMPEXP_SUCCESS);
        return triOf("M") ? &triOf("M")->GetMesh() : nullptr;
    }
};

TEST_F(MeshImport, SameBuffersShareATriangleObjectAndAnotherOrderDoesNot) {
    Zeq2 root = emptyRoot();
    root.vertexBuffers->add(vertexBuffer(1, {A::POSITION}, 3, floatBytes({0, 0, 0, 1, 0, 0, 0, 1, 0})));
    root.vertexBuffers->add(vertexBuffer(2, {A::TEXCOORDS}, 3, floatBytes({0, 0, 1, 0, 0, 1})));
    root.indexBuffers->add(indexBuffer(1, {0, 1, 2}));
    root.meshes->add(meshRecord(1, "A", 1, {1, 2}));
    root.meshes->add(meshRecord(2, "B", 1, {1, 2}));
    root.meshes->add(meshRecord(3, "C", 1, {2, 1}));
    ASSERT_EQ(importRoot(root), IMPEXP_SUCCESS);

    ASSERT_NE(triOf("A"), nullptr);
    EXPECT_EQ(triOf("A"), triOf("B"));
    EXPECT_NE(triOf("A"), triOf("C"));
    EXPECT_EQ(triOf("C")->GetMesh().getNumVerts(), 3);
}

TEST_F(MeshImport, FortyByteStrideGivesNormalsAndTwoChannels) {
    // Vertex i: position (i, 10 + i, 20 + i), normal (0, 0, 1), channel 1 (0.25 i, 0.5), channel 2 (0.75, 0.125 i).
    ByteBuffer bytes;
    for (int i = 0; i < 3; ++i) {
        const float f = static_cast<float>(i);
        ByteBuffer vertex = floatBytes({f, 10 + f, 20 + f, 0, 0, 1, 0.25f * f, 0.5f, 0.75f, 0.125f * f});
        bytes.appendBytes(vertex.data(), vertex.length(), false);
    }
    ASSERT_EQ(bytes.length(), 3 * 40);
    const Mesh* mesh =
        importMesh({vertexBuffer(1, {A::POSITION, A::NORMAL, A::TEXCOORDS, A::TEXCOORDS}, 3, bytes)}, {0, 1, 2});
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->getNumMaps(), 3);
    for (int i = 0; i < 3; ++i) {
        const float f = static_cast<float>(i);
        EXPECT_EQ(mesh->verts[i], Point3(f, 10 + f, 20 + f));
        // v comes back as 1 - v: the file holds the engine's flipped coordinate.
        EXPECT_EQ(mesh->Map(1).tv[i], Point3(0.25f * f, 0.5f, 0.0f));
        EXPECT_EQ(mesh->Map(2).tv[i], Point3(0.75f, 1.0f - 0.125f * f, 0.0f));
    }
    for (int ch = 1; ch <= 2; ++ch) {
        EXPECT_TRUE(mesh->Map(ch).GetFlag(MESHMAP_USED));
        EXPECT_TRUE(mesh->Map(ch).GetFlag(MESHMAP_TEXTURE));
        ASSERT_EQ(mesh->Map(ch).getNumFaces(), 1);
        EXPECT_EQ(mesh->Map(ch).tf[0].t[2], 2u);
    }
    const MeshNormalSpec* normals = mesh->GetSpecifiedNormals();
    ASSERT_NE(normals, nullptr);
    EXPECT_TRUE(normals->GetFlag(MESH_NORMAL_MODIFIER_SUPPORT));
    for (int k = 0; k < 3; ++k) EXPECT_EQ(normals->GetNormal(0, k), Point3(0.0f, 0.0f, 1.0f));
}

TEST_F(MeshImport, LongerStrideSkipsTheBytesAfterTheAttributes) {
    // 16 bytes per vertex: a position and one float of padding (99).
    const Mesh* mesh =
        importMesh({vertexBuffer(1, {A::POSITION}, 3, floatBytes({0, 0, 0, 99, 1, 2, 3, 99, 4, 5, 6, 99}))}, {0, 1, 2});
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->verts[1], Point3(1.0f, 2.0f, 3.0f));
    EXPECT_EQ(mesh->verts[2], Point3(4.0f, 5.0f, 6.0f));
}

TEST_F(MeshImport, AttributesSplitOverTwoBuffersReadEachWithItsOwnStride) {
    const Mesh* mesh = importMesh({vertexBuffer(1, {A::POSITION, A::NORMAL}, 3,
                                                floatBytes({0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 1})),
                                   vertexBuffer(2, {A::TEXCOORDS}, 3, floatBytes({0.5f, 0, 0.5f, 0.25f, 0.5f, 0.75f}))},
                                  {2, 1, 0});
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->verts[2], Point3(0.0f, 1.0f, 0.0f));
    EXPECT_EQ(mesh->Map(1).tv[2], Point3(0.5f, 0.25f, 0.0f));
    // Faces keep their winding; corner k of the face uses vertex k of the index triple.
    EXPECT_EQ(mesh->faces[0].v[0], 2u);
    EXPECT_EQ(mesh->GetSpecifiedNormals()->GetNormal(0, 0), Point3(0.0f, 0.0f, 1.0f));
    EXPECT_EQ(mesh->GetSpecifiedNormals()->GetNormal(0, 2), Point3(1.0f, 0.0f, 0.0f));
}

TEST_F(MeshImport, OneKindInTwoBuffersIsReadFromEachBuffer) {
    const Mesh* mesh = importMesh(
        {vertexBuffer(1, {A::POSITION, A::TEXCOORDS}, 3,
                      floatBytes({0, 0, 0, 0.1f, 0.2f, 1, 0, 0, 0.3f, 0.4f, 0, 1, 0, 0.5f, 0.6f})),
         vertexBuffer(2, {A::TEXCOORDS}, 3, floatBytes({0.7f, 0.75f, 0.8f, 0.875f, 0.9f, 1}))},
        {0, 1, 2});
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->getNumMaps(), 3);
    EXPECT_FLOAT_EQ(mesh->Map(1).tv[1].x, 0.3f);
    EXPECT_FLOAT_EQ(mesh->Map(2).tv[1].x, 0.8f);
    EXPECT_FLOAT_EQ(mesh->Map(2).tv[1].y, 0.125f);
}

TEST_F(MeshImport, IndexCountOfSevenGivesTwoFaces) {
    const Mesh* mesh = importMesh({vertexBuffer(1, {A::POSITION}, 4, floatBytes({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}))},
                                  {0, 1, 2, 0, 2, 3, 3});
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->getNumFaces(), 2);
    EXPECT_EQ(mesh->faces[1].v[2], 3u);
    EXPECT_FALSE(mesh->GetEdges().empty());
}

TEST_F(MeshImport, WithoutNormalsOrTexcoordsTheDefaultChannelsStay) {
    const Mesh* mesh = importMesh(
        {vertexBuffer(1, {A::POSITION, A::TANGENT4}, 3,
                      floatBytes({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0, 1, -1, 0, 0, 1, 0, 0, 1}))},
        {0, 1, 2});
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->GetSpecifiedNormals(), nullptr);
    EXPECT_EQ(mesh->getNumMaps(), 2);
    EXPECT_FALSE(mesh->mapSupport(1));  // no texture faces naming coordinates that do not exist
    EXPECT_EQ(mesh->verts[2], Point3(-1.0f, 0.0f, 0.0f));  // the tangent of each vertex is skipped
}

TEST_F(MeshImport, NormalsAreSharedByTheCornersOfOneVertex) {
    const Mesh* mesh = importMesh(
        {vertexBuffer(1, {A::POSITION, A::NORMAL}, 4,
                      floatBytes({0, 0, 0, 0, 0, 2, 1, 0, 0, 0, 0, 1, 1, 1, 0, 0, 0, 1, 0, 1, 0, 0, 0, 1}))},
        {0, 1, 2, 0, 2, 3});
    ASSERT_TRUE(mesh && mesh->GetSpecifiedNormals());
    const MeshNormalSpec& normals = *mesh->GetSpecifiedNormals();
    EXPECT_EQ(normals.GetNumNormals(), 4);
    EXPECT_EQ(normals.Face(0).GetNormalID(0), normals.Face(1).GetNormalID(0));
    EXPECT_EQ(normals.GetNormal(1, 0), Point3(0.0f, 0.0f, 2.0f));  // as stored, not normalised
}

TEST_F(MeshImport, HalfPrecisionFilesAreReadAsSixteenBitBigEndian) {
    auto half = [](std::initializer_list<uint16_t> values) {
        ByteBuffer bytes;
        for (uint16_t v : values) {
            bytes.appendByte(static_cast<uint8_t>(v >> 8));
            bytes.appendByte(static_cast<uint8_t>(v & 0xFF));
        }
        return bytes;
    };
    // 1.0 = 3C00, 2.0 = 4000, -0.5 = B800, 0.25 = 3400; vertex: position, texcoord (10 bytes).
    const Mesh* mesh = importMesh({vertexBuffer(1, {A::POSITION, A::TEXCOORDS}, 3,
                                                half({0x3C00, 0x4000, 0xB800, 0x3400, 0x3400,  //
                                                      0x0000, 0x0000, 0x0000, 0x0000, 0x0000,  //
                                                      0x0000, 0x3C00, 0x0000, 0x3C00, 0x3C00}))},
                                  {0, 1, 2}, kMinorVersionHalf);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->verts[0], Point3(1.0f, 2.0f, -0.5f));
    EXPECT_EQ(mesh->Map(1).tv[0], Point3(0.25f, 0.75f, 0.0f));
    EXPECT_EQ(mesh->verts[2], Point3(0.0f, 1.0f, 0.0f));
}

TEST(HalfToFloat, SpecialValues) {
    EXPECT_EQ(halfToFloat(0x3C00), 1.0f);
    EXPECT_EQ(halfToFloat(0xC000), -2.0f);
    EXPECT_EQ(halfToFloat(0x7BFF), 65504.0f);
    EXPECT_EQ(halfToFloat(0x0001), std::ldexp(1.0f, -24));  // smallest subnormal
    EXPECT_EQ(halfToFloat(0x03FF), std::ldexp(1023.0f, -24));
    EXPECT_EQ(halfToFloat(0x0400), std::ldexp(1.0f, -14));  // smallest normal
    EXPECT_TRUE(std::signbit(halfToFloat(0x8000)));
    EXPECT_EQ(halfToFloat(0x3555), 0.333251953125f);
    EXPECT_EQ(halfToFloat(0xFC00), -std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::isinf(halfToFloat(0x7C00)));
    EXPECT_TRUE(std::isnan(halfToFloat(0x7C01)));
}

// The search for the normal to keep finds the same vector as trying the candidates one by one in
// their order (x steps outermost, each from -2 to +2): on seeded random unit vectors, most of which
// are not their own normalisation, and on vectors of other lengths and extreme components.
TEST(NormalFor, FindsTheFirstCandidateThatNormalisesToTheStoredNormal) {
    auto plainSearch = [](const Point3& stored) {
        if (!std::isfinite(stored.x) || !std::isfinite(stored.y) || !std::isfinite(stored.z) ||
            stored.Normalize() == stored)
            return stored;
        auto step = [](float v, int steps) {
            for (int i = 0; i < std::abs(steps); ++i)
                v = std::nextafter(v, steps < 0 ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity());
            return v;
        };
        for (int dx = -2; dx <= 2; ++dx)
            for (int dy = -2; dy <= 2; ++dy)
                for (int dz = -2; dz <= 2; ++dz) {
                    const Point3 candidate(step(stored.x, dx), step(stored.y, dy), step(stored.z, dz));
                    if (candidate.Normalize() == stored) return candidate;
                }
        return stored;
    };
    std::mt19937 random(12);
    std::uniform_real_distribution<float> component(-1.0f, 1.0f);
    std::vector<Point3> normals = {Point3(), Point3(1e-30f, 0.0f, 0.0f), Point3(3e38f, 3e38f, 0.0f), Point3(0.0f, 0.0f, 2.0f),
                                   Point3(std::numeric_limits<float>::quiet_NaN(), 0.0f, 1.0f)};
    int moved = 0;
    for (int i = 0; i < 20000; ++i) {
        const Point3 p(component(random), component(random), component(random));
        normals.push_back(i % 10 ? p.Normalize() : p);
    }
    for (const Point3& stored : normals) {
        const Point3 kept = normalFor(stored);
        const Point3 expected = plainSearch(stored);
        ASSERT_TRUE(kept == expected || (std::isnan(kept.x) && std::isnan(expected.x)))
            << stored.x << " " << stored.y << " " << stored.z;
        moved += !(kept == stored);
    }
    EXPECT_GT(moved, 1000);  // the search is exercised, not only the vectors that are their own normalisation

    // The remembering search answers the same, for repeats and for normals that displace each other
    // in its table.
    NormalSearch search;
    for (int pass = 0; pass < 2; ++pass)
        for (const Point3& stored : normals) {
            const Point3 kept = search(stored), expected = normalFor(stored);
            ASSERT_TRUE(kept == expected || (std::isnan(kept.x) && std::isnan(expected.x)));
        }
}

// Normals of a 16-bit file, normalised and cut toward zero to 16 bits as the exporter does, give
// the stored normal back: one already does so, one through the middle of its steps' box, and
// some where the unit sphere only grazes that box (a negative zero among them).
TEST(HalfNormalFor, NormalisedAndCutGivesTheStoredNormalBack) {
    const std::array<uint16_t, 3> cases[] = {
        {0x0000, 0x0000, 0x3C00}, {0x3292, 0x389A, 0x3A54}, {0xA7AD, 0xB86C, 0xBAA8},
        {0x38A9, 0x8000, 0xBA7F}, {0xB529, 0xBB8C, 0xAC86}, {0x3940, 0xAFAB, 0x39F4},
    };
    for (const auto& bits : cases) {
        const Point3 stored(halfToFloat(bits[0]), halfToFloat(bits[1]), halfToFloat(bits[2]));
        const Point3 written = halfNormalFor(stored).Normalize();
        const float components[3] = {written.x, written.y, written.z};
        for (int i = 0; i < 3; ++i) {
            // Cut toward zero, the component lies from its 16-bit value up to the next one.
            const float low = halfToFloat(bits[i]), next = halfToFloat(static_cast<uint16_t>(bits[i] + 1));
            EXPECT_TRUE(std::signbit(components[i]) == std::signbit(low) && std::fabs(low) <= std::fabs(components[i]) &&
                        std::fabs(components[i]) < std::fabs(next))
                << std::hex << bits[0] << " " << bits[1] << " " << bits[2] << " component " << i << ": " << components[i];
        }
    }
    EXPECT_EQ(halfNormalFor(Point3(0.0f, 0.0f, 1.0f)), Point3(0.0f, 0.0f, 1.0f));
    EXPECT_TRUE(std::isinf(halfNormalFor(Point3(halfToFloat(0x7C00), 0.0f, 0.0f)).x));
}

// Each bad mesh is skipped with a line naming it, its node made empty; the good mesh beside it is built.
struct BadMesh {
    const char* label;
    std::function<void(Zeq2&)> spoil;
    const char* expected;
};

class BadMeshImport : public MeshImport, public ::testing::WithParamInterface<BadMesh> {};

TEST_P(BadMeshImport, IsSkippedAndReported) {
    Zeq2 root = emptyRoot();
    addTriangleGeometry(root);
    root.meshes->add(meshRecord(1, "Good", 1, {1}));
    Zeq2Mesh bad = meshRecord(2, "Bad", 2, {2});
    root.meshes->add(bad);
    root.objects->add(objectRecord(3, "ChildOfBad", 2));
    GetParam().spoil(root);
    ASSERT_EQ(importRoot(root), IMPEXP_SUCCESS);

    EXPECT_NE(triOf("Good"), nullptr);
    // The skipped mesh's node is made empty, so that its child stays below it.
    ASSERT_NE(node("Bad"), nullptr);
    EXPECT_EQ(triOf("Bad"), nullptr);
    ASSERT_NE(node("ChildOfBad"), nullptr);
    EXPECT_EQ(node("ChildOfBad")->GetParentNode(), node("Bad"));
    const std::string text = warnings();
    EXPECT_NE(text.find("mesh \"Bad\" (id 2) skipped"), std::string::npos) << text;
    EXPECT_NE(text.find("; imported as an empty node"), std::string::npos) << text;
    EXPECT_NE(text.find(GetParam().expected), std::string::npos) << text;
    EXPECT_EQ(boxes().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadMeshImport,
    ::testing::Values(
        BadMesh{"UnknownIndexBuffer",
                [](Zeq2& r) { r.vertexBuffers->add(vertexBuffer(2, {A::POSITION}, 3, floatBytes({0, 0, 0, 1, 0, 0, 0, 1, 0}))); },
                "index buffer 2 does not exist"},
        BadMesh{"UnknownVertexBuffer", [](Zeq2& r) { r.indexBuffers->add(indexBuffer(2, {0, 1, 2})); },
                "vertex buffer 2 does not exist"},
        BadMesh{"UnknownAttributeKind",
                [](Zeq2& r) {
                    r.indexBuffers->add(indexBuffer(2, {0, 1, 2}));
                    r.vertexBuffers->add(vertexBuffer(2, {A::POSITION, static_cast<A>(9)}, 3, ByteBuffer()));
                },
                "attribute kind outside"},
        BadMesh{"NoPosition",
                [](Zeq2& r) {
                    r.indexBuffers->add(indexBuffer(2, {0, 1, 2}));
                    r.vertexBuffers->add(vertexBuffer(2, {A::NORMAL}, 3, floatBytes({0, 0, 1, 0, 0, 1, 0, 0, 1})));
                },
                "no POSITION"},
        BadMesh{"IndexBeyondTheVertices",
                [](Zeq2& r) {
                    r.indexBuffers->add(indexBuffer(2, {0, 1, 3}));
                    r.vertexBuffers->add(vertexBuffer(2, {A::POSITION}, 3, floatBytes({0, 0, 0, 1, 0, 0, 0, 1, 0})));
                },
                "names vertex 3"},
        BadMesh{"IndexCountBeyondTheIndexBytes",
                [](Zeq2& r) {
                    Zeq2IndexBuffer indices = indexBuffer(2, {0, 1, 2});
                    indices.indexCount = 6;
                    r.indexBuffers->add(indices);
                    r.vertexBuffers->add(vertexBuffer(2, {A::POSITION}, 3, floatBytes({0, 0, 0, 1, 0, 0, 0, 1, 0})));
                },
                "fewer indices"},
        BadMesh{"NegativeIndexCount",
                [](Zeq2& r) {
                    Zeq2IndexBuffer indices = indexBuffer(2, {0, 1, 2});
                    indices.indexCount = -3;
                    r.indexBuffers->add(indices);
                    r.vertexBuffers->add(vertexBuffer(2, {A::POSITION}, 3, floatBytes({0, 0, 0, 1, 0, 0, 0, 1, 0})));
                },
                "negative index count"},
        BadMesh{"VertexBytesTooShort",
                [](Zeq2& r) {
                    r.indexBuffers->add(indexBuffer(2, {0, 1, 2}));
                    r.vertexBuffers->add(vertexBuffer(2, {A::POSITION, A::NORMAL}, 3, floatBytes({0, 0, 0, 1, 0, 0, 0, 1, 0})));
                },
                "too short for its attributes"},
        BadMesh{"VerticesThatWouldOverlap",
                [](Zeq2& r) {
                    // 48 bytes for 5 vertices of 12: the last one ends at the end, but at a stride of
                    // 9 each would overlap the next.
                    r.indexBuffers->add(indexBuffer(2, {0, 1, 2}));
                    r.vertexBuffers->add(vertexBuffer(2, {A::POSITION}, 5, floatBytes({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0})));
                },
                "too short for its attributes"},
        BadMesh{"BuffersWithFewerVertices",
                [](Zeq2& r) {
                    // The last buffer sets the mesh's vertex count (3); the positions hold only 1.
                    r.indexBuffers->add(indexBuffer(2, {0, 1, 2}));
                    r.vertexBuffers->add(vertexBuffer(2, {A::POSITION}, 1, floatBytes({0, 0, 0})));
                    r.vertexBuffers->add(vertexBuffer(3, {A::TEXCOORDS}, 3, floatBytes({0, 0, 0, 0, 0, 0})));
                    r.meshes->items[1].vertexBufferIds = TArray<int32_t>{2, 3};
                },
                "holds 1 vertices, fewer than the mesh's 3"}),
    [](const ::testing::TestParamInfo<BadMesh>& info) { return std::string(info.param.label); });

TEST_F(MeshImport, BuffersAreCheckedOncePerKey) {
    Zeq2 root = emptyRoot();
    root.vertexBuffers->add(vertexBuffer(1, {A::POSITION}, 3, floatBytes({0, 0, 0, 1, 0, 0, 0, 1, 0})));
    root.indexBuffers->add(indexBuffer(1, {0, 1, 2}));
    GeometryLibrary library(&*root.indexBuffers, &*root.vertexBuffers);
    MeshBuilder builder(library, kMinorVersionFloat32);
    const Zeq2Mesh a = meshRecord(1, "A", 1, {1});
    const Zeq2Mesh b = meshRecord(2, "B", 1, {1, 1});
    EXPECT_TRUE(builder.check(a).problem.empty());
    EXPECT_TRUE(builder.check(b).problem.empty());
    EXPECT_EQ(builder.cache().size(), 2u);
    EXPECT_EQ(builder.check(a).object, nullptr);  // checking builds nothing
}

}  // namespace
}  // namespace zeq::test
