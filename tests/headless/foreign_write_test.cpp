// The headless scene as an Assimp scene: the mapping rules that can break (row and column matrices,
// material groups, map channels and vertex colours, bone weights and bind matrices, key times,
// light and camera kinds).
#include "headless/foreign_read.h"
#include "headless/foreign_write.h"
#include "headless/foreign_write_build.h"
#include "headless/host.h"

#include <assimp/Importer.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <numbers>
#include <set>
#include <sstream>

#include <unistd.h>

namespace {

using namespace headless;

aiVector3D apply(const aiMatrix4x4& m, const Point3& p) { return m * aiVector3D(p.x, p.y, p.z); }

// A mesh of the given vertices and triangles.
Mesh meshOf(std::vector<Point3> vertices, std::initializer_list<std::array<uint32_t, 3>> triangles) {
    Mesh mesh;
    mesh.setNumVerts(static_cast<int>(vertices.size()));
    mesh.verts = std::move(vertices);
    mesh.setNumFaces(static_cast<int>(triangles.size()));
    int f = 0;
    for (const auto& corners : triangles) mesh.faces[f++].setVerts(corners[0], corners[1], corners[2]);
    return mesh;
}

void expectNear(const aiVector3D& a, const Point3& b, float tolerance = 1e-5f) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

// World matrix of a node of the Assimp scene: its own and its ancestors' transforms.
aiMatrix4x4 worldOf(const aiNode* node) {
    aiMatrix4x4 world;
    for (; node != nullptr; node = node->mParent) world = node->mTransformation * world;
    return world;
}

Matrix3 someTransform(float angle, const Point3& axisScale, const Point3& move) {
    Matrix3 m = ScaleMatrix(axisScale);
    m.RotateZ(angle);
    m.RotateX(angle / 2);
    m.Translate(move);
    return m;
}

// Whether writing the scene in the format notes something starting with the given text.
std::function<bool(const std::string&)> notesWriting(Host& host, const std::string& extension) {
    std::vector<std::string> notes;
    renderForeignScene(host, "/nonexistent/model." + extension, &notes);
    return [notes](const std::string& start) {
        return std::any_of(notes.begin(), notes.end(), [&](const std::string& note) { return note.rfind(start, 0) == 0; });
    };
}

// The scene written as a file of the format and read back into `back`.
void throughFile(Host& host, const std::string& extension, Host& back) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("zeq-through-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / ("model." + extension)).string();
    for (const ForeignFile& file : renderForeignScene(host, path))
        std::ofstream(file.path, std::ios::binary).write(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size());
    loadForeignScene(back, path);
    std::filesystem::remove_all(dir);
}

TEST(ForeignWrite, NodeTransformsAndObjectOffsetsKeepWorldPositions) {
    Host host;
    Scene& scene = host.scene();
    Node* parent = scene.createNode("Parent");
    parent->setLocalTM(someTransform(0.7f, {2, 2, 2}, {1, 2, 3}));
    Node* child = scene.createNode("Child", parent);
    child->setLocalTM(someTransform(-1.1f, Point3(1.0f, 0.5f, 1.0f), Point3(-4.0f, 0.0f, 2.0f)));
    child->setObjectOffset(someTransform(0.3f, {1, 1, 1}, {0, 0, 1}));
    const Mesh mesh = meshOf({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    child->SetObjectRef(scene.newTriObject(mesh));

    const std::unique_ptr<aiScene> out = buildForeignScene(host);
    const aiNode* outChild = out->mRootNode->FindNode("Child");
    ASSERT_NE(outChild, nullptr);
    ASSERT_EQ(outChild->mNumMeshes, 1u);
    EXPECT_EQ(std::string(outChild->mParent->mName.C_Str()), "Parent");
    const aiMesh* outMesh = out->mMeshes[outChild->mMeshes[0]];
    const aiMatrix4x4 world = worldOf(outChild);
    const Matrix3 hostWorld = child->GetObjectTM(0);
    for (unsigned v = 0; v < outMesh->mNumVertices; ++v) {
        // The output vertex came from the host vertex at the same position in object space.
        const aiVector3D p = world * outMesh->mVertices[v];
        bool matched = false;
        for (const Point3& source : mesh.verts) {
            const Point3 expected = source * hostWorld;
            matched = matched || (std::fabs(p.x - expected.x) < 1e-4f && std::fabs(p.y - expected.y) < 1e-4f &&
                                  std::fabs(p.z - expected.z) < 1e-4f);
        }
        EXPECT_TRUE(matched) << "vertex " << v;
    }
    // The face normal follows the offset and the node into world space.
    const Point3 e1 = mesh.verts[1] * hostWorld - mesh.verts[0] * hostWorld;
    const Point3 e2 = mesh.verts[2] * hostWorld - mesh.verts[0] * hostWorld;
    const Point3 worldNormal = (e1 ^ e2).Normalize();
    aiMatrix3x3 normalWorld(world);
    normalWorld.Inverse().Transpose();
    aiVector3D n = normalWorld * outMesh->mNormals[0];
    n.Normalize();
    expectNear(n, worldNormal, 1e-4f);

    for (const Matrix3& m : {parent->GetLocalTM(0), child->GetObjectOffsetTM(), Matrix3()})
        EXPECT_TRUE(fromAssimpMatrix(toAssimpMatrix(m)).Equals(m));
    expectNear(apply(toAssimpMatrix(parent->GetLocalTM(0)), {1, 2, 3}), Point3(1, 2, 3) * parent->GetLocalTM(0));
}

TEST(ForeignWrite, FacesSplitByMaterialWithChannelsAsSetsAndColours) {
    Host host;
    Scene& scene = host.scene();
    StandardMaterial* wood = scene.newStdMat("Wood");
    BitmapTexture* bitmap = scene.newBitmapTex("wood.png", 3);
    wood->SetSubTexmap(ID_DI, bitmap);
    StandardMaterial* iron = scene.newStdMat("Iron");
    MultiMaterial* multi = scene.newMultiMtl("Multi", 2);
    multi->SetSubMtl(0, wood);
    multi->SetSubMtl(1, iron);

    // Four faces on four vertices; faces 0 and 2 use material 0, face 1 material 1, face 3 an empty
    // slot. Channels 1 and 3 carry coordinates, channel 0 colours; channel 2 is unused.
    Mesh mesh;
    mesh.setNumVerts(4);
    mesh.verts = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    mesh.setNumFaces(4);
    const uint32_t corners[4][3] = {{0, 1, 2}, {0, 2, 3}, {2, 1, 0}, {3, 2, 0}};
    const MtlID ids[4] = {0, 1, 0, 9};
    for (int f = 0; f < 4; ++f) {
        mesh.faces[f].setVerts(corners[f][0], corners[f][1], corners[f][2]);
        mesh.faces[f].setMatID(ids[f]);
    }
    for (int channel : {0, 1, 3}) {
        mesh.setMapSupport(channel);
        MeshMap& map = mesh.Map(channel);
        map.setNumVerts(12);
        for (int i = 0; i < 12; ++i) map.tv[i] = UVVert(float(i) / 16 + float(channel), float(i) / 32, 0.0f);
        // Every corner its own channel vertex, so corners that share a position still split.
        for (int f = 0; f < 4; ++f) map.tf[f].setTVerts(3 * f, 3 * f + 1, 3 * f + 2);
    }
    Node* node = scene.createNode("Crate");
    node->SetObjectRef(scene.newTriObject(mesh));
    node->SetMtl(multi);

    const std::unique_ptr<aiScene> out = buildForeignScene(host);
    const aiNode* outNode = out->mRootNode->FindNode("Crate");
    ASSERT_NE(outNode, nullptr);
    ASSERT_EQ(outNode->mNumMeshes, 3u);
    // One mesh per material in order of first use: Wood (faces 0, 2), Iron (face 1), the default (face 3).
    const std::vector<std::pair<std::string, std::vector<int>>> expected = {
        {"Wood", {0, 2}}, {"Iron", {1}}, {AI_DEFAULT_MATERIAL_NAME, {3}}};
    for (unsigned m = 0; m < 3; ++m) {
        const aiMesh* outMesh = out->mMeshes[outNode->mMeshes[m]];
        const aiMaterial* material = out->mMaterials[outMesh->mMaterialIndex];
        EXPECT_EQ(std::string(material->GetName().C_Str()), expected[m].first);
        ASSERT_EQ(outMesh->mNumFaces, expected[m].second.size());
        ASSERT_NE(outMesh->mTextureCoords[0], nullptr);
        ASSERT_NE(outMesh->mTextureCoords[1], nullptr);  // channel 2, unused: zeros keep set numbers
        ASSERT_NE(outMesh->mTextureCoords[2], nullptr);
        EXPECT_EQ(outMesh->mTextureCoords[3], nullptr);
        ASSERT_NE(outMesh->mColors[0], nullptr);
        for (unsigned f = 0; f < outMesh->mNumFaces; ++f) {
            const int hostFace = expected[m].second[f];
            for (int k = 0; k < 3; ++k) {
                const unsigned o = outMesh->mFaces[f].mIndices[k];
                expectNear(outMesh->mVertices[o], mesh.verts[corners[hostFace][k]]);
                const uint32_t t = mesh.Map(1).tf[hostFace].t[k];
                expectNear(outMesh->mTextureCoords[0][o], mesh.Map(1).tv[t]);
                expectNear(outMesh->mTextureCoords[2][o], mesh.Map(3).tv[t]);
                expectNear(outMesh->mTextureCoords[1][o], Point3());
                const aiColor4D c = outMesh->mColors[0][o];
                expectNear(aiVector3D(c.r, c.g, c.b), mesh.Map(0).tv[t]);
            }
        }
    }
    // The diffuse map keeps its file name and reads set 2 (map channel 3).
    const aiMaterial* woodOut = out->mMaterials[out->mMeshes[outNode->mMeshes[0]]->mMaterialIndex];
    aiString file;
    unsigned uvSet = 0;
    ASSERT_EQ(woodOut->GetTexture(aiTextureType_DIFFUSE, 0, &file, nullptr, &uvSet), AI_SUCCESS);
    EXPECT_EQ(std::string(file.C_Str()), "wood.png");
    EXPECT_EQ(uvSet, 2u);
}

// Corners that differ only in colour or in a later texture set stay apart: through glTF, whose
// writer joins identical vertices, and through reading, which joins them too. No format gains a
// texture set on the way.
TEST(ForeignWrite, CornersOfOtherColoursStayApart) {
    Host host;
    Mesh mesh = meshOf({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2}, {0, 2, 3}});
    for (int channel : {0, 2}) {
        mesh.setMapSupport(channel);
        MeshMap& map = mesh.Map(channel);
        map.setNumVerts(6);
        for (int i = 0; i < 6; ++i) map.tv[i] = UVVert(float(i) / 8, float(channel) / 4, 0.0f);
        map.tf[0].setTVerts(0, 1, 2);
        map.tf[1].setTVerts(3, 4, 5);
    }
    host.scene().createNode("Quad")->SetObjectRef(host.scene().newTriObject(mesh));
    Mesh painted = meshOf({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2}, {0, 2, 3}});
    painted.setMapSupport(0);
    painted.Map(0).tv = mesh.Map(0).tv;
    painted.Map(0).tf = mesh.Map(0).tf;
    host.scene().createNode("Painted")->SetObjectRef(host.scene().newTriObject(painted));
    for (const std::string extension : {"glb", "dae", "obj", "fbx"}) {
        SCOPED_TRACE(extension);
        Host back;
        throughFile(host, extension, back);
        Node* paintedBack = back.scene().findNode("Painted");
        ASSERT_NE(paintedBack, nullptr);
        EXPECT_FALSE(static_cast<TriObject*>(paintedBack->GetObjectRef())->mesh.mapSupport(1));
        if (extension == "obj" || extension == "fbx") continue;
        Node* quad = back.scene().findNode("Quad");
        ASSERT_NE(quad, nullptr);
        const Mesh& read = static_cast<TriObject*>(quad->GetObjectRef())->mesh;
        for (int channel : {0, 2}) {
            ASSERT_TRUE(read.mapSupport(channel)) << channel;
            std::set<float> values;
            for (int f = 0; f < read.getNumFaces(); ++f)
                for (int k = 0; k < 3; ++k) values.insert(read.Map(channel).tv[read.Map(channel).tf[f].t[k]].x);
            EXPECT_EQ(values.size(), 6u) << channel;
        }
    }
}

TEST(ForeignWrite, SkinsCarryBonesBindMatricesAndWeights) {
    Host host;
    Scene& scene = host.scene();
    Node* hip = scene.createNode("Hip");
    hip->setLocalTM(TransMatrix({0, 0, 2}));
    Node* knee = scene.createNode("Knee", hip);
    knee->setLocalTM(RotateXMatrix(0.5f) * TransMatrix({0, 0, -1}));
    const Mesh mesh = meshOf({{0, 0, 0}, {1, 0, 1}, {0, 1, 2}}, {{0, 1, 2}});
    DerivedObject* stack = scene.newDerivedObject(scene.newTriObject(mesh));
    SkinModifier* skin = scene.newSkin();
    const Matrix3 skinInit = TransMatrix({5, 0, 0});
    skin->setSkinInitTM(skinInit);
    skin->addBone(hip, hip->GetNodeTM(0));
    skin->addBone(knee, knee->GetNodeTM(0));
    const float weights[3][2] = {{1.0f, 0.0f}, {0.25f, 0.75f}, {0.0f, 1.0f}};  // vertex × bone
    for (int v = 0; v < 3; ++v)
        for (int b = 0; b < 2; ++b)
            if (weights[v][b] > 0) skin->addWeight(v, b, weights[v][b]);
    stack->AddModifier(skin);
    Node* leg = scene.createNode("Leg");
    leg->setLocalTM(skinInit);
    leg->SetObjectRef(stack);

    const std::unique_ptr<aiScene> out = buildForeignScene(host);
    const aiNode* outLeg = out->mRootNode->FindNode("Leg");
    ASSERT_NE(outLeg, nullptr);
    ASSERT_EQ(outLeg->mNumMeshes, 1u);
    const aiMesh* outMesh = out->mMeshes[outLeg->mMeshes[0]];
    ASSERT_EQ(outMesh->mNumBones, 2u);
    std::vector<float> total(outMesh->mNumVertices, 0.0f);
    Node* bones[2] = {hip, knee};
    for (unsigned b = 0; b < 2; ++b) {
        const aiBone* bone = outMesh->mBones[b];
        EXPECT_EQ(std::string(bone->mName.C_Str()), bones[b]->GetName());
        // The offset matrix carries a bind-pose mesh vertex into the bone's space.
        const Matrix3 boneInit = bones[b]->GetNodeTM(0);
        for (const Point3& p : mesh.verts)
            expectNear(bone->mOffsetMatrix * aiVector3D(p.x, p.y, p.z), p * skinInit * Inverse(boneInit), 1e-4f);
        for (unsigned w = 0; w < bone->mNumWeights; ++w) {
            const aiVertexWeight& weight = bone->mWeights[w];
            // One output vertex per host vertex here, in the same order.
            EXPECT_FLOAT_EQ(weight.mWeight, weights[weight.mVertexId][b]);
            total[weight.mVertexId] += weight.mWeight;
        }
    }
    for (float sum : total) EXPECT_FLOAT_EQ(sum, 1.0f);
}

TEST(ForeignWrite, KeyTimesAndLightAndCameraKinds) {
    Host host;
    Scene& scene = host.scene();
    host.SetAmbient(0, Point3(0.1f, 0.2f, 0.3f));
    Node* spinner = scene.createNode("Spinner");
    const std::vector<std::pair<TimeValue, Matrix3>> keys = {{0, TransMatrix({1, 0, 0})},
                                                              {2400, RotateZMatrix(1.0f) * TransMatrix({2, 0, 0})},
                                                              {10800, RotateZMatrix(3.0f) * TransMatrix({3, 1, 0})}};
    for (const auto& [time, tm] : keys) spinner->addKey(time, tm);
    host.SetAnimRange(Interval(0, 10800));

    struct LightCase {
        int type;
        aiLightSourceType expected;
    };
    const LightCase lights[] = {{OMNI_LIGHT, aiLightSource_POINT},
                                {FSPOT_LIGHT, aiLightSource_SPOT},
                                {TSPOT_LIGHT, aiLightSource_SPOT},
                                {DIR_LIGHT, aiLightSource_DIRECTIONAL},
                                {TDIR_LIGHT, aiLightSource_DIRECTIONAL}};
    for (const LightCase& c : lights) {
        Light* light = scene.newLight(c.type);
        light->SetHotspot(0, 30.0f);
        light->SetFallsize(0, 60.0f);
        scene.createNode("Light" + std::to_string(c.type))->SetObjectRef(light);
    }
    scene.createNode("Eye")->SetObjectRef(scene.newCamera(1.2f));

    const std::unique_ptr<aiScene> out = buildForeignScene(host);
    ASSERT_EQ(out->mNumAnimations, 1u);
    const aiAnimation* animation = out->mAnimations[0];
    EXPECT_EQ(animation->mTicksPerSecond, 1.0);  // key times in seconds
    EXPECT_GE(animation->mDuration, 2.0);
    ASSERT_EQ(animation->mNumChannels, 1u);
    const aiNodeAnim* channel = animation->mChannels[0];
    EXPECT_EQ(std::string(channel->mNodeName.C_Str()), "Spinner");
    ASSERT_EQ(channel->mNumRotationKeys, keys.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_DOUBLE_EQ(channel->mPositionKeys[i].mTime * TIME_TICKSPERSEC, double(keys[i].first));
        EXPECT_DOUBLE_EQ(channel->mRotationKeys[i].mTime * TIME_TICKSPERSEC, double(keys[i].first));
        const aiMatrix4x4 composed(channel->mScalingKeys[i].mValue, channel->mRotationKeys[i].mValue,
                                   channel->mPositionKeys[i].mValue);
        EXPECT_TRUE(fromAssimpMatrix(composed).Equals(keys[i].second, 1e-5f)) << "key " << i;
    }
    // Keys 1 → 2 turn by 2 radians: the quaternions stay on one hemisphere for the short way.
    const aiQuaternion& a = channel->mRotationKeys[1].mValue;
    const aiQuaternion& b = channel->mRotationKeys[2].mValue;
    EXPECT_GT(a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w, 0.0f);

    for (const LightCase& c : lights) {
        const std::string name = "Light" + std::to_string(c.type);
        const aiLight* found = nullptr;
        for (unsigned i = 0; i < out->mNumLights; ++i)
            if (name == out->mLights[i]->mName.C_Str()) found = out->mLights[i];
        ASSERT_NE(found, nullptr) << name;
        EXPECT_EQ(found->mType, c.expected) << name;
        if (c.expected == aiLightSource_SPOT) {
            EXPECT_NEAR(found->mAngleInnerCone, 30.0f * std::numbers::pi_v<float> / 180, 1e-6f);
            EXPECT_NEAR(found->mAngleOuterCone, 60.0f * std::numbers::pi_v<float> / 180, 1e-6f);
        }
    }
    const aiLight* ambient = out->mLights[out->mNumLights - 1];
    EXPECT_EQ(ambient->mType, aiLightSource_AMBIENT);
    EXPECT_FLOAT_EQ(ambient->mColorAmbient.b, 0.3f);
    EXPECT_NE(out->mRootNode->FindNode(ambient->mName), nullptr);
    ASSERT_EQ(out->mNumCameras, 1u);
    EXPECT_FLOAT_EQ(out->mCameras[0]->mHorizontalFOV, 1.2f);
    EXPECT_EQ(out->mCameras[0]->mLookAt, aiVector3D(0, 0, -1));

    // The last key, 2.25 s in, outlasts the FBX writer's whole seconds and comes back all the same.
    Host back;
    throughFile(host, "fbx", back);
    Node* spinnerBack = back.scene().findNode("Spinner");
    ASSERT_NE(spinnerBack, nullptr);
    EXPECT_TRUE(spinnerBack->GetNodeTM(10800).Equals(keys[2].second, 1e-4f));
}

// FBX's writer ties scale curves to a property FBX nodes lack and writes rotation keys as Euler angles
// each in (-180°, 180°]: a node that grows and turns past 180° comes back growing and turning the
// short way, on every frame between the keys too.
TEST(ForeignWrite, FbxKeepsScaleKeysAndTurnsTheShortWay) {
    Host host;
    Node* spinner = host.scene().createNode("Spinner");
    spinner->addKey(0, Matrix3());
    spinner->addKey(2400, RotateZMatrix(2.0f));
    spinner->addKey(4800, ScaleMatrix({2, 2, 2}) * RotateZMatrix(4.0f));
    host.SetAnimRange(Interval(0, 4800));
    Host back;
    throughFile(host, "fbx", back);
    Node* spinnerBack = back.scene().findNode("Spinner");
    ASSERT_NE(spinnerBack, nullptr);
    for (TimeValue t = 0; t <= 4800; t += 160)
        EXPECT_TRUE(spinnerBack->GetNodeTM(t).Equals(spinner->GetNodeTM(t), 1e-3f)) << "tick " << t;
}

// OBJ writes vertices and normals moved into world space: the normal of a face on a node scaled
// along Y is that of the scaled face, of unit length, not the face's normal stretched along Y; on a
// mirrored node, or under a mirroring object offset, the face's corners turn round with it, so that
// they wind about that normal.
TEST(ForeignWrite, ObjNormalsOfScaledNodesStandOnTheirFaces) {
    for (const auto& [mirror, byOffset] : {std::pair{1.0f, false}, {-1.0f, false}, {-1.0f, true}}) {
        SCOPED_TRACE(byOffset ? "mirroring offset" : "mirroring node");
        Host host;
        Node* node = host.scene().createNode("Scaled");
        node->setLocalTM(ScaleMatrix(Point3(byOffset ? 1.0f : mirror, 4.0f, 1.0f)));
        if (byOffset) node->setObjectOffset(ScaleMatrix(Point3(mirror, 1.0f, 1.0f)));
        node->SetObjectRef(host.scene().newTriObject(meshOf({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{0, 1, 2}})));
        std::string text;
        for (const ForeignFile& file : renderForeignScene(host, "scaled.obj"))
            if (file.path.ends_with(".obj")) text.assign(file.bytes.begin(), file.bytes.end());
        std::istringstream lines(text);
        std::vector<aiVector3D> vertices;
        aiVector3D normal;
        std::array<int, 3> corners{};
        for (std::string line; std::getline(lines, line);) {
            aiVector3D v;
            if (std::sscanf(line.c_str(), "v %f %f %f", &v.x, &v.y, &v.z) == 3) vertices.push_back(v);
            std::sscanf(line.c_str(), "vn %f %f %f", &normal.x, &normal.y, &normal.z);
            if (line.starts_with("f ")) {
                std::istringstream tokens(line.substr(2));
                std::string token;
                for (int& corner : corners) corner = (tokens >> token, std::atoi(token.c_str()));  // "3//1": 3
            }
        }
        ASSERT_EQ(vertices.size(), 3u) << text;
        expectNear(normal, Point3(4 * mirror, 1.0f, 4.0f) / std::sqrt(33.0f));
        const aiVector3D wound = (vertices[corners[1] - 1] - vertices[corners[0] - 1]) ^
                                 (vertices[corners[2] - 1] - vertices[corners[0] - 1]);
        EXPECT_GT(wound * normal, 0.0f) << text;
    }
}

// Corners without a normal, and normals the host computes but never computed, are built before the
// mesh is written: no corner is written with a (0, 0, 0) normal.
TEST(ForeignWrite, EveryCornerIsWrittenWithANormal) {
    for (const bool withoutIds : {true, false}) {
        Host host;
        Mesh mesh = meshOf({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
        mesh.SpecifyNormals();
        MeshNormalSpec& normals = *mesh.GetSpecifiedNormals();
        normals.SetNumFaces(1);
        normals.SetNumNormals(1);
        normals.Normal(0) = withoutIds ? Point3(0, 0, 1) : Point3(0, 0, 0);
        normals.SetNormalExplicit(0, withoutIds);
        for (int corner = 0; corner < 3; ++corner) normals.Face(0).SetNormalID(corner, withoutIds && corner > 0 ? -1 : 0);
        host.scene().createNode("Tri")->SetObjectRef(host.scene().newTriObject(mesh));
        std::string text;
        for (const ForeignFile& file : renderForeignScene(host, "tri.obj"))
            if (file.path.ends_with(".obj")) text.assign(file.bytes.begin(), file.bytes.end());
        std::istringstream lines(text);
        int written = 0;
        for (std::string line; std::getline(lines, line);) {
            aiVector3D normal;
            if (std::sscanf(line.c_str(), "vn %f %f %f", &normal.x, &normal.y, &normal.z) != 3) continue;
            expectNear(normal, Point3(0, 0, 1));
            ++written;
        }
        EXPECT_GT(written, 0) << text;
    }
}

// FBX readers take a light to shine down its node's -Y; the scene's lights shine down -Z. An animated
// spot light with a child comes back through FBX shining where it did (it shone along -Y), with the
// child where it was, at the keys and between them; a still light without children on its own node.
TEST(ForeignWrite, FbxLightsShineWhereTheyDid) {
    Host host;
    Node* lamp = host.scene().createNode("Lamp");
    lamp->SetObjectRef(host.scene().newLight(FSPOT_LIGHT));
    lamp->addKey(0, someTransform(0.3f, {1, 1, 1}, {1, 2, 3}));
    lamp->addKey(4800, someTransform(1.1f, {1, 1, 1}, {4, 5, 6}));
    Node* shade = host.scene().createNode("Shade", lamp);
    shade->setLocalTM(someTransform(0.5f, {1, 1, 1}, {0, 0, -2}));
    // A light on a node of its own, without keys or children, comes back on that node.
    Node* still = host.scene().createNode("Still");
    still->SetObjectRef(host.scene().newLight(DIR_LIGHT));
    still->setLocalTM(someTransform(-0.7f, {1, 1, 1}, {0, 1, 0}));
    Host back;
    throughFile(host, "fbx", back);
    Node* holder = nullptr;
    for (Node* n : back.scene().nodes())
        if (dynamic_cast<GenLight*>(n->GetObjectRef()) && std::string(n->GetName()) != "Still") holder = n;
    ASSERT_NE(holder, nullptr);
    Node* stillBack = back.scene().findNode("Still");
    ASSERT_NE(stillBack, nullptr);
    EXPECT_NE(dynamic_cast<GenLight*>(stillBack->GetObjectRef()), nullptr);
    for (int r = 0; r < 4; ++r) expectNear(apply(aiMatrix4x4(), stillBack->GetNodeTM(0).GetRow(r)), still->GetNodeTM(0).GetRow(r), 1e-4f);
    Node* shadeBack = back.scene().findNode("Shade");
    ASSERT_NE(shadeBack, nullptr);
    for (const TimeValue t : {0, 2400, 4800}) {
        SCOPED_TRACE("tick " + std::to_string(t));
        expectNear(apply(aiMatrix4x4(), holder->GetNodeTM(t).GetRow(2)), lamp->GetNodeTM(t).GetRow(2), 1e-4f);
        expectNear(apply(aiMatrix4x4(), holder->GetNodeTM(t).GetTrans()), lamp->GetNodeTM(t).GetTrans(), 1e-4f);
        for (int r = 0; r < 4; ++r) expectNear(apply(aiMatrix4x4(), shadeBack->GetNodeTM(t).GetRow(r)), shade->GetNodeTM(t).GetRow(r), 1e-4f);
    }
}

// A mesh of two materials comes back as one node showing one mesh of both, its child as its child,
// in every format (FBX's writer makes it an empty node with a child of the same name for each
// material, before the node's own children).
TEST(ForeignWrite, MultiMaterialMeshesComeBackWhole) {
    Host host;
    MultiMaterial* multi = host.scene().newMultiMtl("Multi", 2);
    multi->SetSubMtl(0, host.scene().newStdMat("Wood"));
    multi->SetSubMtl(1, host.scene().newStdMat("Iron"));
    Mesh mesh = meshOf({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2}, {0, 2, 3}});
    mesh.faces[1].setMatID(1);
    Node* crate = host.scene().createNode("Crate", host.scene().createNode("Shelf"));
    crate->SetObjectRef(host.scene().newTriObject(mesh));
    crate->SetMtl(multi);
    Node* lid = host.scene().createNode("Lid", crate);
    lid->SetObjectRef(host.scene().newTriObject(mesh));
    lid->setLocalTM(TransMatrix({0, 0, 1}));
    // A second node showing the crate's object and material.
    Node* bin = host.scene().createNode("Bin");
    bin->SetObjectRef(crate->GetObjectRef());
    bin->SetMtl(multi);
    for (const ForeignWriteFormat& format : foreignWriteFormats()) {
        SCOPED_TRACE(format.extension);
        Host back;
        throughFile(host, format.extension, back);
        std::vector<std::string> names;
        for (Node* n : back.scene().nodes()) names.push_back(n->GetName());
        // OBJ keeps no hierarchy.
        const std::vector<std::string> expected = format.extension == "obj"
                                                      ? std::vector<std::string>{"Crate", "Lid", "Bin"}
                                                      : std::vector<std::string>{"Shelf", "Crate", "Lid", "Bin"};
        EXPECT_EQ(names, expected);
        for (const char* name : {"Crate", "Bin"}) {
            Node* whole = back.scene().findNode(name);
            ASSERT_NE(whole, nullptr);
            auto* tri = dynamic_cast<TriMeshObject*>(whole->GetObjectRef());
            ASSERT_NE(tri, nullptr);
            EXPECT_EQ(tri->mesh.faces.size(), 2u);
            ASSERT_NE(whole->GetMtl(), nullptr);
            EXPECT_EQ(whole->GetMtl()->NumSubMtls(), 2);
        }
        Node* whole = back.scene().findNode("Crate");
        if (format.extension != "obj") {
            EXPECT_EQ(back.scene().findNode("Lid")->GetParentNode(), whole);
        }
    }
}

// Two materials of one name and an object shown by two nodes come back apart through every format:
// OBJ readers tie faces to a material by its name, and OBJ names a mesh's faces after the mesh.
TEST(ForeignWrite, MaterialsOfOneNameAndInstancesComeBackApart) {
    Host host;
    TriObject* shared = host.scene().newTriObject(meshOf({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}));
    // The last node's material is called what the writer would call the second one's.
    const char* names[] = {"Original", "Copy", "Twin", "Other"};
    const float reds[] = {0.25f, 0.75f, 0.75f, 0.5f};
    StandardMaterial* paints[] = {host.scene().newStdMat("Paint"), host.scene().newStdMat("Paint"),
                                  host.scene().newStdMat("Paint_2")};
    for (int i = 0; i < 4; ++i) {
        Node* node = host.scene().createNode(names[i]);
        node->SetObjectRef(shared);
        node->setLocalTM(TransMatrix(Point3(3.0f * i, 0.0f, 0.0f)));
        StandardMaterial* paint = paints[i < 2 ? i : i - 1];  // the twin shows the copy's object and material
        paint->SetDiffuse(Color(reds[i], 0, 0), 0);
        node->SetMtl(paint);
    }
    // Multi-materials 40 deep, each holding the next one twice: each is named once, not once a path.
    Mtl* layers = host.scene().newStdMat("Layer");
    for (int depth = 0; depth < 40; ++depth) {
        MultiMaterial* multi = host.scene().newMultiMtl("Layers", 2);
        multi->SetSubMtl(0, layers);
        multi->SetSubMtl(1, layers);
        layers = multi;
    }
    Node* deep = host.scene().createNode("Deep");
    deep->SetObjectRef(shared);
    deep->SetMtl(layers);
    for (const ForeignWriteFormat& format : foreignWriteFormats()) {
        SCOPED_TRACE(format.extension);
        Host back;
        throughFile(host, format.extension, back);
        for (int i = 0; i < 4; ++i) {
            Node* node = back.scene().findNode(names[i]);
            ASSERT_NE(node, nullptr);
            auto* paint = dynamic_cast<StdMat*>(node->GetMtl());
            ASSERT_NE(paint, nullptr);
            EXPECT_NEAR(paint->GetDiffuse(0).r, reds[i], 1e-5f);
            // Formats that tell materials apart by place keep their names (Collada's reader renames
            // a second "Paint" itself).
            if (format.extension != "obj" && (i == 0 || i == 3)) {
                EXPECT_STREQ(paint->GetName(), i == 3 ? "Paint_2" : "Paint");
            }
        }
    }
}

// A standard material's values come back through each format that holds them. FBX keeps the
// specular level, which Assimp's writer names "ShininessFactor" and its reader leaves aside.
TEST(ForeignWrite, MaterialValuesComeBack) {
    Host host;
    const Mesh mesh = meshOf({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    Node* node = host.scene().createNode("Tri");
    node->SetObjectRef(host.scene().newTriObject(mesh));
    StandardMaterial* material = host.scene().newStdMat("Paint");
    material->SetDiffuse(Color(0.2f, 0.4f, 0.6f), 0);
    material->SetSpecular(Color(0.5f, 0.25f, 0.125f), 0);
    material->SetShininess(0.25f, 0);
    material->SetShinStr(0.3f, 0);
    material->SetOpacity(0.75f, 0);
    material->SetSelfIllum(0.5f, 0);
    material->SetSubTexmap(ID_SH, host.scene().newBitmapTex("gloss.png", 1));
    // glTF names images by URI: "%", "#" and spaces come back as they were.
    material->SetSubTexmap(ID_BU, host.scene().newBitmapTex("tex 50%20off #1.png", 1));
    node->SetMtl(material);
    for (const ForeignWriteFormat& format : foreignWriteFormats()) {
        SCOPED_TRACE(format.extension);
        Host back;
        throughFile(host, format.extension, back);
        Node* tri = back.scene().findNode("Tri");
        ASSERT_NE(tri, nullptr);
        auto* paint = dynamic_cast<StdMat*>(tri->GetMtl());
        ASSERT_NE(paint, nullptr);
        const Color diffuse = paint->GetDiffuse(0), specular = paint->GetSpecular(0);
        expectNear(aiVector3D(diffuse.r, diffuse.g, diffuse.b), {0.2f, 0.4f, 0.6f});
        expectNear(aiVector3D(specular.r, specular.g, specular.b), {0.5f, 0.25f, 0.125f});
        EXPECT_NEAR(paint->GetShininess(0), 0.25f, 1e-5f);
        EXPECT_NEAR(paint->GetOpacity(0), 0.75f, 1e-5f);
        EXPECT_NEAR(paint->GetSelfIllum(0), 0.5f, 1e-5f);
        // Of the writable formats only FBX holds a specular level; OBJ and FBX hold a glossiness map.
        if (format.extension == "fbx") {
            EXPECT_NEAR(paint->GetShinStr(0), 0.3f, 1e-5f);
        }
        if (format.extension == "obj" || format.extension == "fbx") {
            auto* gloss = dynamic_cast<BitmapTex*>(paint->GetSubTexmap(ID_SH));
            ASSERT_NE(gloss, nullptr);
            EXPECT_STREQ(gloss->GetMapName(), "gloss.png");
        }
        if (format.extension.starts_with("gl")) {
            auto* bump = dynamic_cast<BitmapTex*>(paint->GetSubTexmap(ID_BU));
            ASSERT_NE(bump, nullptr);
            EXPECT_STREQ(bump->GetMapName(), "tex 50%20off #1.png");
        }
    }
    // glTF readers of metallic-roughness alone read the roughness: 1 - sqrt(glossiness), whatever the
    // specular colour, which reads back as the glossiness.
    const std::vector<ForeignFile> gltf = renderForeignScene(host, "/nonexistent/paint.gltf");
    const nlohmann::json written = nlohmann::json::parse(gltf.back().bytes.begin(), gltf.back().bytes.end());
    EXPECT_NEAR(written["materials"][0]["pbrMetallicRoughness"]["roughnessFactor"].get<float>(), 0.5f, 1e-5f);
}

// What formats cannot take as it is: a node named like the scene root keeps its name and keys, a
// name that is not UTF-8 is written as UTF-8, keys before 0 come back (for glTF later, as noted),
// and a transform that shears is named where the writer takes transforms apart.
TEST(ForeignWrite, NamesKeysAndShearsTheFormatsCannotTakeAsTheyAre) {
    Host host;
    Scene& scene = host.scene();
    const Mesh mesh = meshOf({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    const std::string rootName = scene.root()->GetName();
    Node* rootNamed = scene.createNode(rootName);
    rootNamed->SetObjectRef(scene.newTriObject(mesh));
    rootNamed->addKey(-4800, TransMatrix({-5, 0, 0}));
    rootNamed->addKey(4800, TransMatrix({5, 0, 0}));
    host.SetAnimRange(Interval(-4800, 4800));
    Node* terrain = scene.createNode("Terrain\xE6k");
    terrain->SetObjectRef(scene.newTriObject(mesh));
    Node* shear = scene.createNode("Shear");
    shear->SetObjectRef(scene.newTriObject(mesh));
    // Material names that differ only in stray bytes stay two materials; a file name keeps its bytes.
    StandardMaterial* red = scene.newStdMat("R\xE9" "d");
    red->SetDiffuse(Color(1, 0, 0), 0);
    terrain->SetMtl(red);
    StandardMaterial* blue = scene.newStdMat("R\xE8" "d");
    blue->SetDiffuse(Color(0, 0, 1), 0);
    blue->SetSubTexmap(ID_BU, scene.newBitmapTex("caf\xE9.png", 1));
    shear->SetMtl(blue);
    Matrix3 leaning;  // its Y axis leans onto X
    leaning.SetRow(1, Point3(1, 1, 0));
    shear->setLocalTM(leaning);
    shear->addKey(-4800, leaning);  // keys are taken apart by every writer of animation
    shear->addKey(4800, leaning);
    Node* squash = scene.createNode("Squash");  // scaled along X, then turned: no shear
    squash->SetObjectRef(scene.newTriObject(mesh));
    squash->setLocalTM(ScaleMatrix({2, 1, 1}) * RotateZMatrix(0.5f));
    scene.createNode("Flat")->setLocalTM(ScaleMatrix({0, 1, 1}) * RotateZMatrix(0.5f));  // no shear either
    // Names alike in their first 1023 bytes, which is what Assimp holds, stay two materials.
    for (const auto& [node, colour] : {std::pair<const char*, Color>{"Long1", Color(1, 1, 0)}, {"Long2", Color(0, 1, 1)}}) {
        Node* tinted = scene.createNode(node);
        tinted->SetObjectRef(scene.newTriObject(mesh));
        StandardMaterial* material = scene.newStdMat(std::string(1030, 'M') + node);
        material->SetDiffuse(colour, 0);
        tinted->SetMtl(material);
    }
    // A node without a name is named after its place ("Node8"), but not with a name a node has.
    scene.createNode("");
    scene.createNode("Node8")->setLocalTM(TransMatrix({0, 7, 0}));
    for (const ForeignWriteFormat& format : foreignWriteFormats()) {
        SCOPED_TRACE(format.extension);
        const auto noted = notesWriting(host, format.extension);
        EXPECT_EQ(noted("the animation written 1 s later"), format.extension.starts_with("gl"));
        // OBJ writes vertices in world space and no keys.
        EXPECT_EQ(noted("1 node (\"Shear\") written without the shear"), format.extension != "obj");
        Host back;
        throughFile(host, format.extension, back);
        Node* terrainBack = back.scene().findNode("Terrain\xEF\xBF\xBDk");
        ASSERT_NE(terrainBack, nullptr);
        auto* paint = dynamic_cast<StdMat*>(back.scene().findNode("Shear")->GetMtl());
        ASSERT_NE(paint, nullptr);
        EXPECT_EQ(paint->GetDiffuse(0), Color(0, 0, 1));
        EXPECT_EQ(dynamic_cast<StdMat*>(terrainBack->GetMtl())->GetDiffuse(0), Color(1, 0, 0));
        for (const auto& [node, colour] : {std::pair<const char*, Color>{"Long1", Color(1, 1, 0)}, {"Long2", Color(0, 1, 1)}})
            EXPECT_EQ(dynamic_cast<StdMat*>(back.scene().findNode(node)->GetMtl())->GetDiffuse(0), colour) << node;
        if (format.extension.starts_with("gl")) {
            ASSERT_NE(dynamic_cast<BitmapTex*>(paint->GetSubTexmap(ID_BU)), nullptr);
            EXPECT_STREQ(dynamic_cast<BitmapTex*>(paint->GetSubTexmap(ID_BU))->GetMapName(), "caf\xE9.png");
        }
        if (format.extension == "obj") continue;  // no animation, nor nodes without geometry
        ASSERT_NE(back.scene().findNode("Node8"), nullptr);
        EXPECT_EQ(back.scene().findNode("Node8")->GetNodeTM(0).GetTrans(), Point3(0, 7, 0));
        Node* keyed = back.scene().findNode(rootName);
        ASSERT_NE(keyed, nullptr);
        ASSERT_EQ(keyed->track().Keys().size(), 2u);
        EXPECT_EQ(keyed->track().Keys()[1].time - keyed->track().Keys()[0].time, 9600);
        EXPECT_EQ(keyed->track().Keys()[0].tm.GetTrans(), Point3(-5, 0, 0));
    }
}

// Lights come back as bright as they were through the formats that hold them: FBX, whose writer
// writes every light ten times as bright as its colour, and Collada. The ambient colour comes back
// through Collada; FBX has no ambient light, and it must not come back as a point light. Collada
// keeps the light's decay too.
TEST(ForeignWrite, LightsComeBackAsBrightAsTheyWere) {
    Host host;
    host.SetAmbient(0, Point3(0.2f, 0.2f, 0.3f));
    Node* bulb = host.scene().createNode("Bulb");
    Light* light = host.scene().newLight(OMNI_LIGHT);
    light->SetRGBColor(0, Point3(0.5f, 0.25f, 1.0f));
    light->SetIntensity(0, 2.0f);
    light->SetDecayType(2);
    bulb->SetObjectRef(light);
    for (const std::string extension : {"dae", "fbx"}) {
        SCOPED_TRACE(extension);
        Host back;
        throughFile(host, extension, back);
        std::vector<GenLight*> lights;
        for (Node* n : back.scene().nodes())
            if (auto* found = dynamic_cast<GenLight*>(n->GetObjectRef())) lights.push_back(found);
        ASSERT_EQ(lights.size(), 1u);
        expectNear(apply(aiMatrix4x4(), lights[0]->GetRGBColor(0) * lights[0]->GetIntensity(0)), {1.0f, 0.5f, 2.0f}, 1e-4f);
        expectNear(apply(aiMatrix4x4(), back.GetAmbient(0)), extension == "dae" ? Point3(0.2f, 0.2f, 0.3f) : Point3(0, 0, 0), 1e-4f);
        if (extension == "dae") {
            EXPECT_EQ(lights[0]->GetDecayType(), 2);
        }
    }
}

// What a format does not hold is named, one line a kind, and exactly that does not come back:
// lights, the ambient colour, cameras, animation and skins through every format.
TEST(ForeignWrite, WhatAFormatLeavesOutIsNamed) {
    Host host;
    Scene& scene = host.scene();
    host.SetAmbient(0, Point3(0.1f, 0.2f, 0.3f));
    scene.createNode("Bulb")->SetObjectRef(scene.newLight(OMNI_LIGHT));
    scene.createNode("Eye")->SetObjectRef(scene.newCamera(1.2f));
    Node* bone = scene.createNode("Bone");
    bone->addKey(0, TransMatrix({0, 0, 0}));
    bone->addKey(4800, TransMatrix({0, 0, 1}));
    Mesh mesh = meshOf({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    mesh.setNumMaps(3);
    for (int channel = 1; channel <= 2; ++channel) {
        mesh.Map(channel).tv = mesh.verts;
        mesh.Map(channel).tf.emplace_back().setTVerts(0, 1, 2);
    }
    DerivedObject* stack = scene.newDerivedObject(scene.newTriObject(mesh));
    SkinModifier* skin = scene.newSkin();
    skin->addBone(bone, bone->GetNodeTM(0));
    for (int v = 0; v < 2; ++v) skin->addWeight(v, 0, 1.0f);  // vertex 2 has no weights
    stack->AddModifier(skin);
    Node* skinned = scene.createNode("Skinned");
    skinned->SetObjectRef(stack);
    StandardMaterial* paint = scene.newStdMat("Paint");
    paint->SetSubTexmap(ID_DI, scene.newBitmapTex("paint.png", 2));
    skinned->SetMtl(paint);
    // A second skin binds "Bone" in another pose, and gives a vertex five influences.
    DerivedObject* crowd = scene.newDerivedObject(scene.newTriObject(meshOf({{0, 0, 5}, {1, 0, 5}, {0, 1, 5}}, {{0, 1, 2}})));
    SkinModifier* crowdSkin = scene.newSkin();
    crowdSkin->addBone(bone, TransMatrix({0, 0, 5}));
    for (int b = 2; b <= 5; ++b) crowdSkin->addBone(scene.createNode("B" + std::to_string(b)), Matrix3());
    for (int b = 0; b < 5; ++b) crowdSkin->addWeight(0, b, 0.2f);
    for (int v = 1; v < 3; ++v) crowdSkin->addWeight(v, 0, 1.0f);
    crowd->AddModifier(crowdSkin);
    scene.createNode("Crowd")->SetObjectRef(crowd);
    // A sprite (here of a plug-in that is not loaded) is a plain node; a shape is not written even
    // where it has a mesh form (a bone needs none).
    scene.createNode("Flare")->SetObjectRef(scene.newObject(GEOMOBJECT_CLASS_ID, Class_ID(0x8264D187, 0x6912FD2F)));
    GenericObject* outline = scene.newObject(SHAPE_CLASS_ID, Class_ID(0xA, 0));
    outline->setMesh(mesh, MeshConversion::Triangle);
    scene.createNode("Outline")->SetObjectRef(outline);
    // Map channel 12: no format has a thirteenth texture coordinate set.
    Mesh lit = meshOf({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    lit.setMapSupport(12);
    lit.Map(12).tv = lit.verts;
    lit.Map(12).tf[0].setTVerts(0, 1, 2);
    scene.createNode("Lit")->SetObjectRef(scene.newTriObject(lit));
    for (const ForeignWriteFormat& format : foreignWriteFormats()) {
        SCOPED_TRACE(format.extension);
        const auto noted = notesWriting(host, format.extension);
        EXPECT_TRUE(noted("1 map channel past 8 left out"));
        EXPECT_EQ(noted("1 skinned vertex has no bone weights"), format.extension.starts_with("gl"));
        Host back;
        throughFile(host, format.extension, back);
        bool lights = false, cameras = false, skins = false;
        for (Node* n : back.scene().nodes()) {
            lights = lights || dynamic_cast<GenLight*>(n->GetObjectRef());
            cameras = cameras || dynamic_cast<CameraObject*>(n->GetObjectRef());
            skins = skins || dynamic_cast<DerivedObject*>(n->GetObjectRef());
        }
        Node* boneBack = back.scene().findNode("Bone");  // OBJ keeps no node without geometry
        EXPECT_NE(lights, noted("1 light left out: the " + format.extension + " writer writes no lights"));
        EXPECT_NE(back.GetAmbient(0) != Point3(0, 0, 0), noted("the ambient colour left out"));
        EXPECT_NE(cameras, noted("1 camera left out"));
        EXPECT_NE(boneBack && boneBack->track().IsAnimated(), noted("the animation of 1 node left out"));
        EXPECT_NE(skins, noted("the skins of 2 meshes left out"));
        if (auto* crowdBack = dynamic_cast<DerivedObject*>(back.scene().findNode("Crowd")->GetObjectRef())) {
            auto* skinBack = dynamic_cast<SkinModifier*>(crowdBack->GetModifier(0));
            ASSERT_NE(skinBack, nullptr);
            int most = 0;
            for (int v = 0; v < skinBack->GetNumPoints(); ++v) most = std::max(most, skinBack->GetNumAssignedBones(v));
            EXPECT_NE(most == 5, noted("1 vertex keeps only its 4 largest bone influences"));
        }
        EXPECT_EQ(noted("1 bone is bound in different poses"), format.extension.starts_with("gl"));
        auto* paintBack = dynamic_cast<StdMat*>(back.scene().findNode("Skinned")->GetMtl());
        ASSERT_NE(paintBack, nullptr);
        auto* bitmap = dynamic_cast<BitmapTex*>(paintBack->GetSubTexmap(ID_DI));
        ASSERT_NE(bitmap, nullptr);
        EXPECT_NE(bitmap->GetMapChannel() == 2, noted("1 bitmap reads a texture coordinate set other than the first"));
        EXPECT_TRUE(noted("1 object without a triangle mesh left out"));
        EXPECT_TRUE(noted("1 sprite written as a plain node"));
    }
}

TEST(ForeignWrite, RendersEveryFormatAndRefusesUnknownExtensions) {
    Host host;
    const Mesh mesh = meshOf({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    TriMeshObject* tri = host.scene().newTriObject(mesh);
    host.scene().createNode("Tri")->SetObjectRef(tri);
    for (const ForeignWriteFormat& format : foreignWriteFormats()) {
        const std::string path = "/nonexistent/model." + format.extension;
        const std::vector<ForeignFile> files = renderForeignScene(host, path);
        ASSERT_FALSE(files.empty()) << format.extension;
        EXPECT_EQ(files.back().path, path);
        if (files.size() == 1) {
            // A file that stands alone reads back whole.
            Assimp::Importer importer;
            const aiScene* back = importer.ReadFileFromMemory(files[0].bytes.data(), files[0].bytes.size(), 0,
                                                              format.extension.c_str());
            ASSERT_NE(back, nullptr) << format.extension << ": " << importer.GetErrorString();
            EXPECT_EQ(back->mNumMeshes, 1u) << format.extension;
        }
    }
    // A .gltf file names its buffer by URI: a file name with a space or "#" is written escaped, and
    // reads back.
    {
        const std::filesystem::path dir =
            std::filesystem::temp_directory_path() / ("zeq-uri-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        const std::string path = (dir / "a b#c.gltf").string();
        const std::vector<ForeignFile> files = renderForeignScene(host, path);
        for (const ForeignFile& file : files)
            std::ofstream(file.path, std::ios::binary).write(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size());
        EXPECT_NE(std::string(files.back().bytes.begin(), files.back().bytes.end()).find(R"("uri": "a%20b%23c.bin")"),
                  std::string::npos);
        Host back;
        loadForeignScene(back, path);
        EXPECT_NE(back.scene().findNode("Tri"), nullptr);
        std::filesystem::remove_all(dir);
    }
    // A name with a double quote: written by every format but FBX, which says which name it cannot hold.
    host.scene().nodes().front()->SetName("Tri \"one\"");
    for (const ForeignWriteFormat& format : foreignWriteFormats()) {
        try {
            EXPECT_FALSE(renderForeignScene(host, "/nonexistent/model." + format.extension).empty());
            EXPECT_NE(format.extension, "fbx");
        } catch (const ForeignWriteError& e) {
            EXPECT_EQ(format.extension, "fbx") << e.what();
            EXPECT_NE(std::string(e.what()).find("\"Tri \"one\"\": the fbx writer cannot write a double quote"), std::string::npos) << e.what();
        }
    }
    // Numbers a format cannot write are refused with where they are: infinite and undefined ones by
    // every format (OBJ lost the vertex, glTF failed without saying why), by FBX those of 23 digits
    // (its writer failed without saying which) and transforms whose scale overflows when taken
    // apart (it wrote "inf"), and by OBJ vertices that overflow when moved into world space (it
    // wrote "inf").
    host.scene().nodes().front()->SetName("Tri");
    // A texture file named as Assimp names an embedded texture ("*0", as models with raw-pixel
    // textures are read): written by every format (Collada failed with "could not find embedded
    // texture at index 0"), and Collada's reads back as the same file.
    StdMat* material = host.scene().newStdMat("Textured");
    material->SetSubTexmap(ID_DI, host.scene().newBitmapTex("*0", 1));
    host.scene().nodes().front()->SetMtl(material);
    for (const ForeignWriteFormat& format : foreignWriteFormats()) {
        const std::vector<ForeignFile> files = renderForeignScene(host, "/nonexistent/model." + format.extension);
        if (format.extension != "dae") continue;
        Assimp::Importer importer;
        const aiScene* back = importer.ReadFileFromMemory(files[0].bytes.data(), files[0].bytes.size(), 0, "dae");
        ASSERT_NE(back, nullptr) << importer.GetErrorString();
        aiString file;
        ASSERT_EQ(back->mMaterials[0]->GetTexture(aiTextureType_DIFFUSE, 0, &file), AI_SUCCESS);
        EXPECT_STREQ(file.C_Str(), "./*0");
        // Read by the suite, the file has its name again.
        Host read;
        throughFile(host, "dae", read);
        Texmap* map = read.scene().findNode("Tri")->GetMtl()->GetSubTexmap(ID_DI);
        ASSERT_NE(map, nullptr);
        EXPECT_STREQ(map->GetName(), "*0");
    }
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const struct {
        std::function<void()> spoil;
        std::string refusal;  // of a format whose extension $ stands for
        std::string only;  // the one format that refuses it (empty: all)
    } spoilt[] = {
        {[&] { tri->mesh.verts[1].y = nan; }, "mesh \"Tri\": a number in its vertices is not finite (inf or nan): the $ writer", ""},
        {[&] { tri->mesh.verts[1].y = 1e30f; }, "mesh \"Tri\": a number in its vertices is too large (1e+30): the $ writer", "fbx"},
        {[&] { tri->mesh.verts[1].y = 0; host.scene().nodes().front()->setLocalTM(TransMatrix(Point3(inf, 0.0f, 0.0f))); },
         "node \"Tri\": a number in its transform is not finite (inf or nan): the $ writer", ""},
        {[&] { host.scene().nodes().front()->setLocalTM(ScaleMatrix(Point3(1e20f, 1.0f, 1.0f))); },
         "node \"Tri\": its transform is too extreme to take apart into translation, rotation and scale, as the $ writer",
         "fbx"},
        {[&] {
             host.scene().nodes().front()->setLocalTM(ScaleMatrix(Point3(1e19f, 1.0f, 1.0f)));
             tri->mesh.verts[1].x = 1e21f;
         },
         "node \"Tri\": a vertex of its mesh in world space is not finite (inf or nan): the $ writer", "obj"},
        // The writers recurse along the node tree (a chain this deep ended the process).
        {[&] {
             INode* parent = host.scene().root();
             for (int i = 0; i <= 1000; ++i) parent = host.scene().createNode("D" + std::to_string(i), static_cast<Node*>(parent));
         },
         "node \"D1000\" lies more than 1000 levels deep: the $ writer takes node trees of up to 1000 levels", ""},
    };
    for (const auto& spoil : spoilt) {
        spoil.spoil();
        for (const ForeignWriteFormat& format : foreignWriteFormats()) {
            std::string refusal = spoil.refusal;
            refusal.replace(refusal.find('$'), 1, format.extension);
            try {
                renderForeignScene(host, "/nonexistent/model." + format.extension);
                EXPECT_TRUE(!spoil.only.empty() && format.extension != spoil.only) << format.extension << " wrote what " << refusal;
            } catch (const ForeignWriteError& e) {
                EXPECT_EQ(std::string(e.what()).substr(0, refusal.size()), refusal);
            }
        }
    }
    // An unknown extension is refused, naming those known.
    EXPECT_THAT([&] { renderForeignScene(host, "model.xyz"); },
                ::testing::ThrowsMessage<ForeignWriteError>(::testing::HasSubstr(foreignWriteExtensionList())));
}

}  // namespace
