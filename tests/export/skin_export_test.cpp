// Skins: joints per surface, bind transforms, influence width, joint data and skins sharing one
// object.
#include "mesh_test_support.h"

#include <gmock/gmock.h>

#include <numbers>

#include "export/half_float.h"
#include "export/id_registry.h"
#include "export/skin.h"
#include "export/transformation.h"

namespace zeq::test {
namespace {

using Attr = Zeq2VertexAttributes;

class SkinExportTest : public ExportFixture {
protected:
    // A node showing `base` through a stack topped by a new skin with `boneCount` bones; bone i
    // starts translated by (i + 1, 0, 0).
    headless::Node* skinnedNode(const std::string& name, Object* base, int boneCount) {
        headless::DerivedObject* stack = scene().newDerivedObject(base);
        skin = scene().newSkin();
        stack->AddModifier(skin, 0);
        headless::Node* node = scene().createNode(name);
        node->SetObjectRef(stack);
        for (int b = 0; b < boneCount; ++b) {
            headless::Node* bone = scene().createNode(name + "_bone" + std::to_string(b));
            skin->addBone(bone, TransMatrix(Point3(float(b + 1), 0.0f, 0.0f)));
            bones.push_back(bone);
        }
        return node;
    }

    headless::TriMeshObject* quad() { return scene().newTriObject(texturedQuad()); }

    Zeq2Skin fill(headless::Node* node) {
        Zeq2Skin record;
        EXPECT_TRUE(fillSkinRecord(converter, surfaces, node, record));
        return record;
    }

    const Zeq2VertexBuffer& bufferWithId(int32_t id) {
        for (const Zeq2VertexBuffer& buffer : lists.vertexBuffers)
            if (buffer.id == id) return buffer;
        throw std::runtime_error("no such buffer");
    }

    headless::SkinModifier* skin = nullptr;
    std::vector<headless::Node*> bones;
};

TEST_F(SkinExportTest, EverySurfaceListsEveryBoneAndEachBoneHasOneBindTransform) {
    Mesh mesh = texturedQuad();
    mesh.faces[1].setMatID(1);
    headless::Node* node = skinnedNode("Body", scene().newTriObject(mesh), 3);
    MultiMtl* multi = scene().newMultiMtl("multi", 2);
    multi->SetSubMtl(0, scene().newStdMat("skin"));
    multi->SetSubMtl(1, scene().newStdMat("cloth"));
    node->SetMtl(multi);

    const Zeq2Skin record = fill(node);
    ASSERT_EQ(record.surfaces.size(), 2u);
    std::vector<int64_t> ids;
    for (headless::Node* bone : bones) ids.push_back(IdRegistry::instance().idFor(bone));
    EXPECT_EQ(record.jointIds, (TArray<int64_t>{ids[0], ids[1], ids[2], ids[0], ids[1], ids[2]}));
    EXPECT_EQ(record.surfaceJointCounts, (TArray<uint16_t>{3, 3}));
    ASSERT_EQ(record.jointBindTransforms.size(), 3u);
    for (int b = 0; b < 3; ++b) {
        const Matrix3 inverse = Inverse(TransMatrix(Point3(float(b + 1), 0.0f, 0.0f)));
        EXPECT_EQ(record.jointBindTransforms.get(b),
                  (Zeq2JointBindTransform{TransformationFactory::createTransformation(inverse), ids[b]}));
    }
    EXPECT_EQ(record.indexBufferId, 0);
    EXPECT_EQ(record.vertexBufferIds, (TArray<int32_t>{0}));
    EXPECT_EQ(record.boundBoxId, 0);
}

TEST_F(SkinExportTest, InfluenceWidthThreeGivesTwoJointsEntries) {
    headless::Node* node = skinnedNode("Arm", quad(), 3);
    skin->setWeights(0, {{0, 1.0f}});
    skin->setWeights(1, {{0, 0.25f}, {1, 0.25f}, {2, 0.5f}});
    skin->setWeights(2, {{2, 0.5f}, {1, 0.5f}});
    const Zeq2Skin record = fill(node);

    const Zeq2VertexBuffer& buffer = bufferWithId(record.vertexBufferIds.get(0));
    EXPECT_EQ(buffer.attributes, (TArray<Attr>{Attr::POSITION, Attr::TEXCOORDS, Attr::JOINTS, Attr::JOINTS}));
    EXPECT_EQ(buffer.vertexCount, 4);
    const std::vector<float> data = floatsOf(buffer.byteBuffer);
    ASSERT_EQ(data.size(), 4u * 13u);  // 5 floats of geometry + 4 influences x 2
    auto joints = [&](int v) { return std::vector<float>(data.begin() + v * 13 + 5, data.begin() + v * 13 + 13); };
    EXPECT_EQ(joints(0), (std::vector<float>{0, 1, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(joints(1), (std::vector<float>{0, 0.25f, 3, 0.25f, 6, 0.5f, 0, 0}));
    EXPECT_EQ(joints(2), (std::vector<float>{6, 0.5f, 3, 0.5f, 0, 0, 0, 0}));
    EXPECT_EQ(joints(3), (std::vector<float>(8, 0.0f)));
    // Texture coordinates are copied unchanged.
    EXPECT_EQ(data[13 + 3], 1.0f);
    EXPECT_EQ(data[13 + 4], 1.0f);
}

TEST_F(SkinExportTest, AtMostEightInfluencesAreKept) {
    headless::Node* node = skinnedNode("Crowded", quad(), 10);
    std::vector<headless::SkinModifier::Assignment> ten;
    for (int b = 0; b < 10; ++b) ten.push_back({b, 0.1f});
    skin->setWeights(2, ten);
    const Zeq2Skin record = fill(node);
    const Zeq2VertexBuffer& buffer = bufferWithId(record.vertexBufferIds.get(0));
    EXPECT_EQ(buffer.attributes,
              (TArray<Attr>{Attr::POSITION, Attr::TEXCOORDS, Attr::JOINTS, Attr::JOINTS, Attr::JOINTS, Attr::JOINTS}));
    const std::vector<float> data = floatsOf(buffer.byteBuffer);
    ASSERT_EQ(data.size(), 4u * 21u);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(data[2 * 21 + 5 + 2 * i], float(3 * i));
        EXPECT_EQ(data[2 * 21 + 5 + 2 * i + 1], 0.1f);
    }
}

// Positions go through the skin matrix, normals and tangents turn with it (a normal by the inverse
// transpose, so that it stays at right angles to the turned surface; a mirroring matrix turns the
// binormal's sign), and coordinates are kept. Vertex 3 of the quad is (0, 1, 0) with normal
// (0, 0, 1), coordinates (0, 0) and one influence (one JOINTS entry whose second influence is zero).
TEST_F(SkinExportTest, PositionsGoThroughTheSkinMatrixNormalsAndTangentsTurnWithIt) {
    exportOptions().normals = true;
    exportOptions().tangents = true;
    struct Case {
        const char* what;
        Matrix3 matrix;
        Point3 position, normal;
        Point3 tangentSigns;  // of the unturned tangent's components
        float handedness;     // times the unturned one
    };
    const Case cases[] = {
        {"moved", TransMatrix({10, 0, 0}), {10, 1, 0}, {0, 0, 1}, {1, 1, 1}, 1},
        {"mirrored", ScaleMatrix({-2, 1, 1}), {0, 1, 0}, {0, 0, 1}, {-1, 1, 1}, -1},
        {"turned about X", RotateXMatrix(std::numbers::pi_v<float> / 2) * TransMatrix({10, 0, 0}), {10, 0, 1},
         {0, -1, 0}, {1, 1, 1}, 1},
    };
    std::vector<float> unturned;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        headless::Node* node = skinnedNode(c.what, quad(), 1);
        skin->setSkinInitTM(c.matrix);
        skin->setWeights(3, {{0, 1.0f}});
        const Zeq2Skin record = fill(node);
        const Zeq2VertexBuffer& buffer = bufferWithId(record.vertexBufferIds.get(0));
        EXPECT_EQ(buffer.attributes,
                  (TArray<Attr>{Attr::POSITION, Attr::NORMAL, Attr::TEXCOORDS, Attr::TANGENT4, Attr::JOINTS}));
        const std::vector<float> data = floatsOf(buffer.byteBuffer);
        ASSERT_EQ(data.size(), 4u * 16u);
        const std::vector<float> vertex(data.begin() + 48, data.end());
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(vertex[i], c.position[i], 1e-5f) << i;
            EXPECT_NEAR(vertex[3 + i], c.normal[i], 1e-6f) << i;
        }
        EXPECT_EQ(std::vector<float>(vertex.begin() + 6, vertex.begin() + 8), (std::vector<float>{0, 0}));
        EXPECT_EQ(std::vector<float>(vertex.begin() + 12, vertex.end()), (std::vector<float>{0, 1, 0, 0}));
        if (unturned.empty()) unturned = vertex;
        // The quad's tangent lies along X, which the turn about X keeps.
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(vertex[8 + i], c.tangentSigns[i] * unturned[8 + i], 1e-6f) << i;
        EXPECT_EQ(vertex[11], c.handedness * unturned[11]);
    }
}

// A material of a class without a material record draws the skin without one, with its joints.
TEST_F(SkinExportTest, SkinWithAMaterialOfAnotherClassIsDrawnWithoutOne) {
    headless::Node* node = skinnedNode("Unlit", quad(), 2);
    node->SetMtl(scene().newMaterial(Class_ID(0x1234, 0x5678), "other"));
    skin->setWeights(0, {{1, 1.0f}});
    const Zeq2Skin record = fill(node);
    ASSERT_EQ(record.surfaces.size(), 1u);
    EXPECT_FALSE(record.surfaces.get(0).materialId.has_value());
    EXPECT_EQ(record.surfaceJointCounts.size(), 1u);
    EXPECT_EQ(record.jointIds.size(), record.jointBindTransforms.size());
    const Zeq2VertexBuffer& buffer = bufferWithId(record.vertexBufferIds.get(0));
    EXPECT_EQ(buffer.attributes.items.back(), Attr::JOINTS);
}

TEST_F(SkinExportTest, SixteenBitConversionCoversJointData) {
    headless::Node* node = skinnedNode("Half", quad(), 3);
    skin->setWeights(0, {{2, 0.5f}});
    const Zeq2Skin record = fill(node);
    Zeq2VertexBuffer buffer = bufferWithId(record.vertexBufferIds.get(0));
    convertVertexBufferTo16Bit(buffer);
    ASSERT_EQ(buffer.byteBuffer.length(), 4 * 18);
    const uint8_t* joints = buffer.byteBuffer.data() + 10;  // after position and coordinates
    EXPECT_EQ(std::vector<uint8_t>(joints, joints + 8), (std::vector<uint8_t>{0x46, 0x00, 0x38, 0x00, 0, 0, 0, 0}));
}

TEST_F(SkinExportTest, TwoSkinnedInstancesGetTheirOwnVertexBuffers) {
    headless::Node* first = skinnedNode("First", quad(), 2);
    skin->setWeights(0, {{1, 1.0f}});
    headless::Node* second = scene().createNode("Second");
    second->SetObjectRef(first->GetObjectRef());

    const Zeq2Skin a = fill(first);
    const Zeq2Skin b = fill(second);
    EXPECT_EQ(a.vertexBufferIds, (TArray<int32_t>{0}));
    EXPECT_EQ(b.vertexBufferIds, (TArray<int32_t>{1}));
    EXPECT_EQ(a.indexBufferId, b.indexBufferId);
    EXPECT_EQ(a.boundBoxId, b.boundBoxId);
    ASSERT_EQ(lists.vertexBuffers.size(), 2u);
    const Zeq2VertexBuffer& bufferA = bufferWithId(0);
    const Zeq2VertexBuffer& bufferB = bufferWithId(1);
    EXPECT_EQ(bufferA.attributes, (TArray<Attr>{Attr::POSITION, Attr::TEXCOORDS, Attr::JOINTS}));
    EXPECT_EQ(bufferB.attributes, bufferA.attributes) << "joint data appended once per buffer";
    EXPECT_EQ(bufferB.byteBuffer, bufferA.byteBuffer);
    EXPECT_EQ(lists.indexBuffers.size(), 1u);
    EXPECT_EQ(BoxFactory::instance().boxes().size(), 1u);
}

TEST_F(SkinExportTest, MeshSharingTheBaseObjectKeepsUndeformedData) {
    headless::TriMeshObject* base = quad();
    headless::Node* skinned = skinnedNode("Skinned", base, 1);
    skin->setSkinInitTM(TransMatrix(Point3(5.0f, 0.0f, 0.0f)));
    headless::Node* before = scene().createNode("MeshBefore");
    before->SetObjectRef(base);
    headless::Node* after = scene().createNode("MeshAfter");
    after->SetObjectRef(base);

    // Skin first: it takes the buffer; a mesh after it gets the undeformed data back.
    const Zeq2Skin record = fill(skinned);
    Zeq2Mesh mesh;
    ASSERT_TRUE(fillMeshRecord(converter, surfaces, after, mesh));
    EXPECT_EQ(record.vertexBufferIds, (TArray<int32_t>{0}));
    EXPECT_EQ(mesh.vertexBufferIds, (TArray<int32_t>{1}));
    EXPECT_EQ(bufferWithId(1).attributes, (TArray<Attr>{Attr::POSITION, Attr::TEXCOORDS}));
    EXPECT_EQ(floatsOf(bufferWithId(1).byteBuffer)[0], 0.0f);
    EXPECT_EQ(floatsOf(bufferWithId(0).byteBuffer)[0], 5.0f);

    Zeq2Mesh again;
    ASSERT_TRUE(fillMeshRecord(converter, surfaces, before, again));
    EXPECT_EQ(again.vertexBufferIds, mesh.vertexBufferIds);

    // A further skin copies the undeformed data rather than the mesh's buffer being rewritten.
    headless::Node* instance = scene().createNode("SkinnedAgain");
    instance->SetObjectRef(skinned->GetObjectRef());
    const Zeq2Skin copy = fill(instance);
    EXPECT_EQ(copy.vertexBufferIds, (TArray<int32_t>{2}));
    EXPECT_EQ(bufferWithId(2).byteBuffer, bufferWithId(0).byteBuffer);
    EXPECT_EQ(bufferWithId(1).attributes.size(), 2u);
}

// A bone deleted from the scene leaves an empty place that no joint can stand for: the export
// fails with a message instead of writing a skin that names a joint the file does not hold.
TEST_F(SkinExportTest, SkinsARecordCannotHoldAreRefused) {
    headless::Node* node = skinnedNode("Arm", quad(), 3);
    bones[1]->DeleteThis();
    Zeq2Skin record;
    try {
        fillSkinRecord(converter, surfaces, node, record);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "The skin of \"Arm\" has lost bone 2 (its node was deleted); remove the bone from the skin");
    }
    // A surface counts its bones in 16 bits.
    node = skinnedNode("Swarm", quad(), 65536);
    EXPECT_THAT([&] { fillSkinRecord(converter, surfaces, node, record); },
                ::testing::ThrowsMessage<std::length_error>(::testing::StartsWith(
                    "The skin of \"Swarm\" has 65536 bones on 1 surfaces, more than a skin record can list")));
}

TEST_F(SkinExportTest, JointDataBeyondTheByteArrayLimitAreRefused) {
    // 65535 vertices of 12 bytes fit; eight influences make them 76 bytes each, which do not.
    constexpr int faces = 21845;
    Mesh mesh;
    mesh.setNumVerts(faces * 3);
    mesh.setNumFaces(faces);
    for (int f = 0; f < faces; ++f) mesh.faces[f].setVerts(f * 3, f * 3 + 1, f * 3 + 2);
    headless::Node* node = skinnedNode("Crowd", scene().newTriObject(mesh), 8);
    std::vector<headless::SkinModifier::Assignment> eight;
    for (int b = 0; b < 8; ++b) eight.push_back({b, 0.125f});
    skin->setWeights(0, eight);
    Zeq2Skin record;
    EXPECT_THAT([&] { fillSkinRecord(converter, surfaces, node, record); },
                ::testing::ThrowsMessage<std::length_error>(::testing::StartsWith(
                    "The vertex buffer of the skin \"Crowd\" holds 4980660 bytes, more than the 4194303 a file "
                    "allows")));
}

TEST_F(SkinExportTest, FindSkinNeedsTopmostSkinWithBones) {
    headless::Node* node = skinnedNode("Rig", quad(), 0);
    EXPECT_EQ(findSkin(node), nullptr) << "no bones";
    skin->addBone(scene().createNode("b"), Matrix3());
    EXPECT_EQ(findSkin(node), static_cast<ISkin*>(skin));

    auto* stack = static_cast<headless::DerivedObject*>(node->GetObjectRef());
    stack->AddModifier(scene().newModifier(Class_ID(0x55, 0x66), "bend"), 0);
    EXPECT_EQ(findSkin(node), nullptr) << "skin not on top";
    Zeq2Skin record;
    EXPECT_FALSE(fillSkinRecord(converter, surfaces, node, record));

    headless::Node* plain = meshNode("Plain", texturedQuad());
    EXPECT_EQ(findSkin(plain), nullptr);
    EXPECT_EQ(findSkin(nullptr), nullptr);
}

}  // namespace
}  // namespace zeq::test
