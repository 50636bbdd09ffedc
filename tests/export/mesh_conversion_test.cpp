// Mesh conversion: welding, attributes, normals, tangents, index ranges, surfaces, limits and
// triangle-object resolution.
#include "mesh_test_support.h"

#include "export/node_kind.h"
#include "export/tangents.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace zeq::test {
namespace {

using Attr = Zeq2VertexAttributes;

class MeshConversionTest : public ExportFixture {};

TEST_F(MeshConversionTest, CubeWeldsToEightOrTwentyFourVertices) {
    Mesh smooth = cubeMesh(true);
    ConvertedGeometry plain = convertMesh(smooth, lists, exportOptions());
    EXPECT_EQ(lists.vertexBuffers.get(0).vertexCount, 8);
    EXPECT_EQ(plain.hostVertexOf.size(), 8u);

    ExportOptions withNormals;
    withNormals.normals = true;
    Mesh smoothAgain = cubeMesh(true);
    convertMesh(smoothAgain, lists, withNormals);
    EXPECT_EQ(lists.vertexBuffers.get(1).vertexCount, 8) << "one smoothing group: one normal per vertex";

    Mesh flat = cubeMesh(false);
    convertMesh(flat, lists, withNormals);
    const Zeq2VertexBuffer& buffer = lists.vertexBuffers.get(2);
    EXPECT_EQ(buffer.vertexCount, 24);
    EXPECT_EQ(buffer.attributes, (TArray<Attr>{Attr::POSITION, Attr::NORMAL}));
    EXPECT_EQ(buffer.byteBuffer.length(), 24 * 24);
    // Every written normal is a unit axis vector.
    const std::vector<float> data = floatsOf(buffer.byteBuffer);
    for (int v = 0; v < 24; ++v) {
        const Point3 n(data[v * 6 + 3], data[v * 6 + 4], data[v * 6 + 5]);
        EXPECT_NEAR(n.Length(), 1.0f, 1e-6f);
        EXPECT_NEAR(std::fabs(n.x) + std::fabs(n.y) + std::fabs(n.z), 1.0f, 1e-6f);
    }
    EXPECT_EQ(lists.nextVertexBufferId, 3);
    EXPECT_EQ(lists.nextIndexBufferId, 3);
    EXPECT_EQ(lists.indexBuffers.get(2).indexCount, 36);
}

TEST_F(MeshConversionTest, WritesInterleavedDataWithFlippedCoordinates) {
    exportOptions().normals = true;
    Mesh mesh = texturedQuad();
    mesh.Map(1).tv[3] = Point3(0.25f, 0.75f, 0.5f);
    convertMesh(mesh, lists, exportOptions());
    const Zeq2VertexBuffer& buffer = lists.vertexBuffers.get(0);
    EXPECT_EQ(buffer.attributes, (TArray<Attr>{Attr::POSITION, Attr::NORMAL, Attr::TEXCOORDS}));
    ASSERT_EQ(buffer.vertexCount, 4);
    // Output order is first appearance: face 0 gives vertices 0, 1, 2; face 1 adds host vertex 3.
    const std::vector<float> expected = {0, 0, 0, 0, 0, 1, 0,    1,     //
                                         1, 0, 0, 0, 0, 1, 1,    1,     //
                                         1, 1, 0, 0, 0, 1, 1,    0,     //
                                         0, 1, 0, 0, 0, 1, 0.25, 0.25};
    EXPECT_EQ(floatsOf(buffer.byteBuffer), expected);
    EXPECT_EQ(indicesOf(lists.indexBuffers.get(0).byteBuffer), (std::vector<uint16_t>{0, 1, 2, 0, 2, 3}));
}

TEST_F(MeshConversionTest, WeldsByTextureVertexIndexNotByValueAndSkipsChannelZero) {
    Mesh mesh = texturedQuad();
    // Face 1 names texture vertices 4 and 5, copies of 0 and 2: equal values, different keys.
    mesh.Map(1).tv.push_back(mesh.Map(1).tv[0]);
    mesh.Map(1).tv.push_back(mesh.Map(1).tv[2]);
    mesh.Map(1).tf[1].setTVerts(4, 5, 3);
    mesh.setMapSupport(2);
    mesh.Map(2).tv = {{0.5f, 0.5f, 0.0f}};
    mesh.setMapSupport(0);  // vertex colours are never exported
    mesh.Map(0).tv = {{1.0f, 0.0f, 0.0f}};
    convertMesh(mesh, lists, exportOptions());
    const Zeq2VertexBuffer& buffer = lists.vertexBuffers.get(0);
    EXPECT_EQ(buffer.attributes, (TArray<Attr>{Attr::POSITION, Attr::TEXCOORDS, Attr::TEXCOORDS}));
    EXPECT_EQ(buffer.vertexCount, 6);
    EXPECT_EQ(indicesOf(lists.indexBuffers.get(0).byteBuffer), (std::vector<uint16_t>{0, 1, 2, 3, 4, 5}));
}

// The n-th TEXCOORDS entry serves channel n: channels the mesh lacks below its highest used one
// get an entry of (0, 0) coordinates (stored v-flipped), which welds no corner apart.
TEST_F(MeshConversionTest, EveryChannelUpToTheHighestUsedOneHasItsEntry) {
    const std::vector<int> layouts[] = {{2}, {1, 3}, {1, 2}, {3, 5}};
    for (const std::vector<int>& used : layouts) {
        const int highest = used.back();
        SCOPED_TRACE("highest channel " + std::to_string(highest));
        Mesh mesh = texturedQuad();
        mesh.setNumMaps(1);
        for (int channel : used) {
            mesh.setMapSupport(channel);
            MeshMap& map = mesh.Map(channel);
            map.tv.clear();
            for (int v = 0; v < 4; ++v) map.tv.emplace_back(float(channel), 0.25f * float(v), 0.0f);
            map.tf[0].setTVerts(0, 1, 2);
            map.tf[1].setTVerts(0, 2, 3);
        }
        BufferLists out;
        const ConvertedGeometry geometry = convertMesh(mesh, out, exportOptions());
        const Zeq2VertexBuffer& buffer = out.vertexBuffers.get(0);
        TArray<Attr> attributes{Attr::POSITION};
        for (int c = 0; c < highest; ++c) attributes.add(Attr::TEXCOORDS);
        EXPECT_EQ(buffer.attributes, attributes);
        ASSERT_EQ(buffer.vertexCount, 4);
        const std::vector<float> data = floatsOf(buffer.byteBuffer);
        const std::size_t stride = 3 + 2 * std::size_t(highest);
        ASSERT_EQ(data.size(), 4 * stride);
        for (std::size_t v = 0; v < 4; ++v) {
            for (int channel = 1; channel <= highest; ++channel) {
                const bool present = std::find(used.begin(), used.end(), channel) != used.end();
                const float* uv = &data[v * stride + 3 + 2 * std::size_t(channel - 1)];
                const float host = 0.25f * float(geometry.hostVertexOf[v]);
                EXPECT_EQ(uv[0], present ? float(channel) : 0.0f) << "vertex " << v << ", channel " << channel;
                EXPECT_EQ(uv[1], present ? 1.0f - host : 1.0f) << "vertex " << v << ", channel " << channel;
            }
        }
    }
}

TEST_F(MeshConversionTest, OutOfRangeTextureVerticesReadAsZero) {
    Mesh mesh = texturedQuad();
    mesh.Map(1).tv.resize(2);  // faces name texture vertices 2 and 3, which are gone
    convertMesh(mesh, lists, exportOptions());
    const std::vector<float> data = floatsOf(lists.vertexBuffers.get(0).byteBuffer);
    ASSERT_EQ(data.size(), 4u * 5u);
    EXPECT_EQ(data[2 * 5 + 3], 0.0f);
    EXPECT_EQ(data[2 * 5 + 4], 1.0f);
}

TEST_F(MeshConversionTest, SpecifiedNormalsAreNormalisedAndMissingOnesBuilt) {
    exportOptions().normals = true;
    Mesh mesh = texturedQuad();
    mesh.SpecifyNormals();
    MeshNormalSpec* specified = mesh.GetSpecifiedNormals();
    specified->SetParent(&mesh);
    specified->CheckNormals();
    specified->SetNormal(0, 0, Point3(0.0f, 0.0f, 2.0f));
    convertMesh(mesh, lists, exportOptions());
    const std::vector<float> data = floatsOf(lists.vertexBuffers.get(0).byteBuffer);
    EXPECT_FLOAT_EQ(data[5], 1.0f);

    Mesh bare = cubeMesh(true);
    ASSERT_EQ(bare.GetSpecifiedNormals(), nullptr);
    convertMesh(bare, lists, exportOptions());
    ASSERT_NE(bare.GetSpecifiedNormals(), nullptr);
    EXPECT_EQ(bare.GetSpecifiedNormals()->GetNumFaces(), 12);
}

// The tangent follows u; the handedness is -1 where v runs as usual and +1 where the coordinates
// are mirrored, so that the engine's bitangent (N x T times the handedness) follows v either way,
// also on both sides of a mirrored seam.
TEST_F(MeshConversionTest, TangentFramesFromFirstChannel) {
    exportOptions().normals = true;
    exportOptions().tangents = true;
    for (const float mirror : {1.0f, -1.0f}) {
        SCOPED_TRACE(mirror);
        Mesh mesh = texturedQuad();
        for (UVVert& tv : mesh.Map(1).tv) tv.x = 0.5f + mirror * (tv.x - 0.5f);
        convertMesh(mesh, lists, exportOptions());
        const Zeq2VertexBuffer& buffer = lists.vertexBuffers.items.back();
        EXPECT_EQ(buffer.attributes, (TArray<Attr>{Attr::POSITION, Attr::NORMAL, Attr::TEXCOORDS, Attr::TANGENT4}));
        const std::vector<float> data = floatsOf(buffer.byteBuffer);
        for (int v = 0; v < 4; ++v) {
            const float* t = &data[v * 12 + 8];
            EXPECT_NEAR(t[0], mirror, 1e-6f);
            EXPECT_NEAR(t[1], 0.0f, 1e-6f);
            EXPECT_NEAR(t[2], 0.0f, 1e-6f);
            EXPECT_EQ(t[3], -mirror);
        }
    }
    // On the seam of a mirrored layout (the second triangle's coordinates mirrored about the shared
    // edge), the corners of the two sides are vertices of their own, each with its side's frame.
    Mesh seam = texturedQuad();
    seam.Map(1).tf[1].setTVerts(0, 2, 1);
    convertMesh(seam, lists, exportOptions());
    const Zeq2VertexBuffer& seamBuffer = lists.vertexBuffers.items.back();
    ASSERT_EQ(seamBuffer.vertexCount, 6);
    const std::vector<float> data = floatsOf(seamBuffer.byteBuffer);
    for (int v = 0; v < 6; ++v) {
        const std::vector<float> expected = v < 3 ? std::vector<float>{1, 0, 0, -1} : std::vector<float>{0, 1, 0, 1};
        for (int k = 0; k < 4; ++k) EXPECT_NEAR(data[v * 12 + 8 + k], expected[k], 1e-6f) << "vertex " << v;
    }
    EXPECT_TRUE(host.ui().messageBoxes().empty());
}

TEST_F(MeshConversionTest, DegenerateCoordinatesAndMissingChannelsGiveZeroTangents) {
    exportOptions().tangents = true;
    Mesh degenerate = texturedQuad();
    for (UVVert& tv : degenerate.Map(1).tv) tv = Point3(0.5f, 0.5f, 0.0f);
    convertMesh(degenerate, lists, exportOptions());
    std::vector<float> data = floatsOf(lists.vertexBuffers.get(0).byteBuffer);
    for (int v = 0; v < 4; ++v) {
        EXPECT_EQ(std::vector<float>(data.begin() + v * 9 + 5, data.begin() + v * 9 + 9),
                  (std::vector<float>{0.0f, 0.0f, 0.0f, 1.0f}));
    }
    EXPECT_TRUE(host.ui().messageBoxes().empty());

    // No channel: one warning per mesh, and TANGENT4 still written (zero, +1).
    Mesh cube = cubeMesh(true);
    convertMesh(cube, lists, exportOptions());
    const Zeq2VertexBuffer& buffer = lists.vertexBuffers.get(1);
    EXPECT_EQ(buffer.attributes, (TArray<Attr>{Attr::POSITION, Attr::TANGENT4}));
    data = floatsOf(buffer.byteBuffer);
    for (int v = 0; v < 8; ++v) EXPECT_EQ(data[v * 7 + 6], 1.0f);
    for (float value : data) EXPECT_FALSE(std::isnan(value));
    ASSERT_EQ(host.ui().messageBoxes().size(), 1u);
    EXPECT_EQ(host.ui().messageBoxes()[0].caption, "ZeqExport");
    EXPECT_EQ(host.ui().messageBoxes()[0].text, "Model don't have uv channel, unable to calculate TBN");
    EXPECT_EQ(host.ui().messageBoxes()[0].type, MB_OK | MB_ICONWARNING);
}

TEST(TangentMath, ContributionsCancellingOutStayFinite) {
    TangentSum sum;
    addTangent(sum, Point3(0, 0, 1), Point3(1, 0, 0));
    addTangent(sum, Point3(0, 0, 1), Point3(-1, 0, 0));
    Point3 tangent(9, 9, 9);
    float handedness = 0;
    finishTangent(sum, Point3(0, 0, 1), tangent, handedness);
    EXPECT_EQ(tangent, Point3(0, 0, 0));
    EXPECT_EQ(handedness, 1.0f);
}

TEST_F(MeshConversionTest, IndexRangesFollowAscendingMaterialIds) {
    Mesh mesh;
    mesh.setNumVerts(12);
    mesh.setNumFaces(4);
    const MtlID ids[4] = {3, 1, 3, 1};
    for (int f = 0; f < 4; ++f) {
        mesh.faces[f].setVerts(3 * f, 3 * f + 1, 3 * f + 2);
        mesh.faces[f].setMatID(ids[f]);
    }
    headless::Node* node = meshNode("Multi", mesh);
    MultiMtl* multi = scene().newMultiMtl("multi", 4);
    Mtl* one = scene().newStdMat("one");
    Mtl* three = scene().newStdMat("three");
    multi->SetSubMtl(1, one);
    multi->SetSubMtl(3, three);
    node->SetMtl(multi);

    Zeq2Mesh record;
    ASSERT_TRUE(fillMeshRecord(converter, surfaces, node, record));
    EXPECT_EQ(indicesOf(lists.indexBuffers.get(0).byteBuffer),
              (std::vector<uint16_t>{3, 4, 5, 9, 10, 11, 0, 1, 2, 6, 7, 8}));
    ASSERT_EQ(record.surfaces.size(), 2u);
    EXPECT_EQ(record.surfaces.get(0), (Zeq2Surface{0, 0, 2}));
    EXPECT_EQ(record.surfaces.get(1), (Zeq2Surface{6, 1, 2}));
    EXPECT_EQ(materials.records().size(), 2u);
}

TEST_F(MeshConversionTest, SurfacesPerMaterialKind) {
    Mesh mesh;
    mesh.setNumVerts(9);
    mesh.setNumFaces(3);
    for (int f = 0; f < 3; ++f) {
        mesh.faces[f].setVerts(3 * f, 3 * f + 1, 3 * f + 2);
        mesh.faces[f].setMatID(static_cast<MtlID>(f));
    }
    headless::Node* node = meshNode("Kinds", mesh);
    const ConvertedGeometry& geometry = *converter.geometryFor(node);

    EXPECT_EQ(surfaces.build(node, geometry), (TArray<Zeq2Surface>{{0, std::nullopt, 3}}));

    node->SetMtl(scene().newStdMat("std"));
    EXPECT_EQ(surfaces.build(node, geometry), (TArray<Zeq2Surface>{{0, 0, 3}}));

    // Every triangle is drawn: what gives no material record gives a surface without material.
    // Multi: id 0 has no sub-material, id 1 a standard one, id 2 one of another class.
    MultiMtl* multi = scene().newMultiMtl("multi", 3);
    multi->SetSubMtl(1, scene().newStdMat("sub"));
    multi->SetSubMtl(2, scene().newMaterial(Class_ID(0x1234, 0x5678), "other"));
    node->SetMtl(multi);
    EXPECT_EQ(surfaces.build(node, geometry),
              (TArray<Zeq2Surface>{{0, std::nullopt, 1}, {3, 1, 1}, {6, std::nullopt, 1}}));

    // A material of another class, and a standard-class material that reports itself multi.
    node->SetMtl(scene().newMaterial(Class_ID(0x1234, 0x5678), "other"));
    EXPECT_EQ(surfaces.build(node, geometry), (TArray<Zeq2Surface>{{0, std::nullopt, 3}}));
    headless::GenericMaterial* odd = scene().newMaterial(DMTL_CLASS_ID, "odd");
    odd->setReportsMulti(true);
    node->SetMtl(odd);
    EXPECT_EQ(surfaces.build(node, geometry), (TArray<Zeq2Surface>{{0, std::nullopt, 3}}));
}

TEST_F(MeshConversionTest, InstancesShareBuffersAndBox) {
    headless::Node* first = meshNode("A", cubeMesh(true));
    headless::Node* second = scene().createNode("B");
    second->SetObjectRef(first->GetObjectRef());
    meshNode("C", cubeMesh(true));

    Zeq2Mesh a, b, c;
    ASSERT_TRUE(fillMeshRecord(converter, surfaces, first, a));
    ASSERT_TRUE(fillMeshRecord(converter, surfaces, second, b));
    ASSERT_TRUE(fillMeshRecord(converter, surfaces, scene().findNode("C"), c));
    EXPECT_EQ(a.indexBufferId, b.indexBufferId);
    EXPECT_EQ(a.vertexBufferIds, b.vertexBufferIds);
    EXPECT_EQ(a.boundBoxId, b.boundBoxId);
    EXPECT_NE(a.indexBufferId, c.indexBufferId);
    EXPECT_EQ(lists.vertexBuffers.size(), 2u);

    const TArray<Zeq2Box> boxes = BoxFactory::instance().takeBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes.get(0), (Zeq2Box{TArray<float>{0, 0, 0, 1, 1, 1}, 0}));
    EXPECT_EQ(boxes.get(1).id, 1);
    EXPECT_TRUE(BoxFactory::instance().boxes().empty());
}

TEST_F(MeshConversionTest, VertexLimitIncludesExactly65536) {
    auto distinctVertices = [](int count) {
        Mesh mesh;
        mesh.setNumVerts(count);
        const int faces = (count + 2) / 3;
        mesh.setNumFaces(faces);
        for (int f = 0; f < faces; ++f)
            mesh.faces[f].setVerts(3 * f % count, (3 * f + 1) % count, (3 * f + 2) % count);
        return mesh;
    };
    Mesh fits = distinctVertices(65535);
    convertMesh(fits, lists, exportOptions());
    EXPECT_EQ(lists.vertexBuffers.get(0).vertexCount, 65535);

    Mesh tooMany = distinctVertices(65536);
    try {
        convertMesh(tooMany, lists, exportOptions());
        FAIL() << "65536 vertices must not fit";
    } catch (const VertexBufferException& e) {
        EXPECT_STREQ(e.what(), "Too many vertices in the mesh ");
        EXPECT_EQ(e.count(), 65536u);
    }
}

TEST_F(MeshConversionTest, IndexLimitIsTestedPerMaterial) {
    auto triangles = [](int count) {
        Mesh mesh;
        mesh.setNumVerts(3);
        mesh.setNumFaces(count);
        for (Face& face : mesh.faces) face.setVerts(0, 1, 2);
        return mesh;
    };
    Mesh fits = triangles(174762);  // 524286 indices
    EXPECT_NO_THROW(convertMesh(fits, lists, exportOptions()));
    Mesh tooMany = triangles(174763);  // 524289 indices
    for (int f = 0; f < 10; ++f) tooMany.faces[f].setMatID(7);
    EXPECT_THAT([&] { convertMesh(tooMany, lists, exportOptions()); },  // 524289 indices do not fit
                ::testing::ThrowsMessage<IndexBufferException>(::testing::StrEq("Too many faces in the mesh ")));
}

TEST_F(MeshConversionTest, FaceNamingMissingVertexIsRejected) {
    Mesh mesh = cubeMesh(true);
    mesh.faces[5].setVerts(0, 1, 99);
    EXPECT_THROW(convertMesh(mesh, lists, exportOptions()), std::out_of_range);
}

// Partially specified normals are completed before they are read: no corner is written with a
// (0, 0, 0) normal or one the host never computed, and explicit normals stay.
TEST_F(MeshConversionTest, PartiallySpecifiedNormalsAreCompletedFirst) {
    exportOptions().normals = true;
    const Point3 up(0.0f, 0.0f, 1.0f);
    const Point3 tilted = Point3(0.0f, 1.0f, 1.0f).Normalize();
    const struct {
        const char* what;
        void (*spoil)(MeshNormalSpec&);
        bool keepsTilted;  // corner 0 of face 0 holds the explicit tilted normal
    } cases[] = {
        {"specified corner without a normal id", [](MeshNormalSpec& n) { n.Face(1).SetNormalID(2, -1); }, false},
        {"normal id past the normals", [](MeshNormalSpec& n) { n.Face(1).SetNormalID(1, 99); }, false},
        {"computed normals never computed",
         [](MeshNormalSpec& n) {
             n.ClearFlag(MESH_NORMAL_NORMALS_COMPUTED);
             for (int id = 0; id < n.GetNumNormals(); ++id) n.Normal(id) = Point3(1.0f, 0.0f, 0.0f);
         },
         false},
        {"explicit corner, the others without ids",
         [](MeshNormalSpec& n) {
             n.SetNormal(0, 0, Point3(0.0f, 2.0f, 2.0f));
             for (int f = 0; f < 2; ++f)
                 for (int k = 0; k < 3; ++k)
                     if (f != 0 || k != 0) n.Face(f).SetNormalID(k, -1);
         },
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Mesh mesh = texturedQuad();
        mesh.SpecifyNormals();
        MeshNormalSpec* normals = mesh.GetSpecifiedNormals();
        normals->SetParent(&mesh);
        normals->CheckNormals();
        for (int f = 0; f < 2; ++f) normals->Face(f).SpecifyAll();
        c.spoil(*normals);

        BufferLists out;
        const ConvertedGeometry geometry = convertMesh(mesh, out, exportOptions());
        const std::vector<float> data = floatsOf(out.vertexBuffers.get(0).byteBuffer);
        const std::vector<uint16_t> indices = indicesOf(out.indexBuffers.get(0).byteBuffer);
        ASSERT_EQ(indices.size(), 6u);
        for (std::size_t corner = 0; corner < indices.size(); ++corner) {
            const float* n = &data[indices[corner] * 8 + 3];  // position, normal, one channel
            const Point3 expected = c.keepsTilted && corner == 0 ? tilted : up;
            EXPECT_NEAR(n[0], expected.x, 1e-6f) << "corner " << corner;
            EXPECT_NEAR(n[1], expected.y, 1e-6f) << "corner " << corner;
            EXPECT_NEAR(n[2], expected.z, 1e-6f) << "corner " << corner;
        }
        EXPECT_EQ(geometry.triangleCount, 2);
    }
}

// ---- Which object a node's geometry comes from ----

TEST_F(MeshConversionTest, SkinStackIsSkippedButOtherStacksAreEvaluated) {
    headless::TriMeshObject* base = scene().newTriObject(cubeMesh(true));
    headless::Node* plain = scene().createNode("Plain");
    plain->SetObjectRef(base);

    headless::DerivedObject* skinned = scene().newDerivedObject(base);
    skinned->AddModifier(scene().newModifier(Class_ID(0x55, 0x66), "below"), 0);
    skinned->AddModifier(scene().newSkin(), 0);
    headless::Node* skinNode = scene().createNode("Skinned");
    skinNode->SetObjectRef(skinned);

    headless::DerivedObject* modified = scene().newDerivedObject(base);
    modified->AddModifier(scene().newModifier(Class_ID(0x55, 0x66), "bend"), 0);
    headless::Node* modifiedNode = scene().createNode("Modified");
    modifiedNode->SetObjectRef(modified);

    EXPECT_EQ(geometrySourceObject(skinNode), base);
    ConvertedGeometry* shared = converter.geometryFor(plain);
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(converter.geometryFor(skinNode), shared);
    ConvertedGeometry* evaluated = converter.geometryFor(modifiedNode);
    ASSERT_NE(evaluated, nullptr);
    EXPECT_NE(evaluated, shared);
    EXPECT_EQ(converter.vertexBuffer(*evaluated).vertexCount, 8);
}

TEST_F(MeshConversionTest, ConversionsLeaveNoObjectsBehind) {
    headless::GenericObject* polyOnly = scene().newObject(GEOMOBJECT_CLASS_ID, Class_ID(0x77, 0x88), "poly only");
    polyOnly->setMesh(cubeMesh(true), headless::MeshConversion::PolygonOnly);
    headless::GenericObject* direct = scene().newObject(GEOMOBJECT_CLASS_ID, Class_ID(0x79, 0x88), "box");
    direct->setMesh(cubeMesh(false), headless::MeshConversion::Triangle);
    headless::Node* a = scene().createNode("PolyOnly");
    a->SetObjectRef(polyOnly);
    headless::Node* b = scene().createNode("Direct");
    b->SetObjectRef(direct);

    EXPECT_EQ(classify(a), NodeKind::Mesh);  // a node with a polygon form only is a mesh too
    const std::size_t owned = scene().ownedCount();
    ConvertedGeometry* viaPolygon = converter.geometryFor(a);
    ConvertedGeometry* viaTriangle = converter.geometryFor(b);
    ASSERT_NE(viaPolygon, nullptr);
    ASSERT_NE(viaTriangle, nullptr);
    EXPECT_EQ(converter.vertexBuffer(*viaPolygon).vertexCount, 8);
    EXPECT_EQ(viaTriangle->triangleCount, 12);
    EXPECT_EQ(scene().ownedCount(), owned);
}

TEST_F(MeshConversionTest, ObjectsWithoutTriangleFormHaveNoGeometry) {
    headless::Node* helper = scene().createNode("Helper");
    helper->SetObjectRef(scene().newObject(HELPER_CLASS_ID, Class_ID(0x123, 0), "point"));
    headless::Node* empty = scene().createNode("Empty");

    Zeq2Mesh record;
    record.indexBufferId = 42;
    EXPECT_FALSE(fillMeshRecord(converter, surfaces, helper, record));
    EXPECT_FALSE(fillMeshRecord(converter, surfaces, empty, record));
    Zeq2Mesh untouched;
    untouched.indexBufferId = 42;
    EXPECT_EQ(record, untouched);
    EXPECT_TRUE(lists.vertexBuffers.empty());
    EXPECT_TRUE(BoxFactory::instance().boxes().empty());
}

TEST_F(MeshConversionTest, EditablePolygonHandsItsReferencesToTheTriangleObject) {
    headless::PolyMeshObject* poly = scene().newPolyObject(cubeMesh(true), EPOLYOBJ_CLASS_ID);
    std::vector<ReferenceTarget*> targets = {scene().newStdMat("r0"), scene().newStdMat("r1"),
                                             scene().newStdMat("r2"), scene().newStdMat("r3")};
    poly->references().assign(targets);

    ResolvedTriObject resolved = resolveTriObject(poly, 0);
    ASSERT_NE(resolved.tri, nullptr);
    EXPECT_TRUE(resolved.created);
    EXPECT_EQ(resolved.tri->GetReference(1), nullptr);
    EXPECT_EQ(resolved.tri->GetReference(2), targets[2]);
    EXPECT_EQ(resolved.tri->GetReference(3), targets[3]);
    resolved.tri->DeleteThis();

    headless::TriMeshObject* tri = scene().newTriObject(cubeMesh(true));
    ResolvedTriObject same = resolveTriObject(tri, 0);
    EXPECT_EQ(same.tri, tri);
    EXPECT_FALSE(same.created);
}

}  // namespace
}  // namespace zeq::test
