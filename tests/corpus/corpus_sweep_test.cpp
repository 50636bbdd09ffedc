// The public model corpus (Debian's assimp-testmodels, used where the package installs it): every
// glTF 2.0, FBX, Collada, OBJ, PLY and STL model either exports to a Zeq file that validates
// without errors, with Assimp's triangle count and world bounding box, or is refused with exit
// status 1 and one line naming the file. The two skinned, animated models also give skins,
// joints and tracks whose bind pose is Assimp's.
//
// Sanitizer builds run every fourth model (and the skinned ones): the sweep stays a matter of
// seconds there too.
#include "../tools/support.h"
#include "tools/zeq/inspect_load.h"
#include "tools/zeq/inspect_validate.h"
#include "tools/zeq/inspect_vertices.h"

#include <assimp/Importer.hpp>
#include <assimp/config.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>

namespace {

namespace fs = std::filesystem;
using namespace zeq;

const fs::path kCorpus = "/usr/share/assimp/models";

#if defined(__SANITIZE_ADDRESS__)
constexpr std::size_t kSampleEvery = 4;
#else
constexpr std::size_t kSampleEvery = 1;
#endif

bool isSkinnedModel(const fs::path& file) {
    const std::string text = file.generic_string();
    return text.ends_with("glTF2/simple_skin/simple_skin.gltf") || text.ends_with("FBX/huesitos.fbx");
}

std::vector<fs::path> corpusFiles() {
    const std::map<std::string, std::set<std::string>> folders = {
        {"glTF2", {".gltf", ".glb"}}, {"FBX", {".fbx"}}, {"Collada", {".dae", ".zae"}},
        {"OBJ", {".obj"}},            {"PLY", {".ply"}}, {"STL", {".stl"}}};
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& [folder, extensions] : folders) {
        for (auto it = fs::recursive_directory_iterator(kCorpus / folder, ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec)) {
            std::string extension = it->path().extension().string();
            for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (it->is_regular_file() && extensions.count(extension)) files.push_back(it->path());
        }
    }
    std::sort(files.begin(), files.end());
    std::vector<fs::path> sampled;
    for (std::size_t i = 0; i < files.size(); ++i)
        if (i % kSampleEvery == 0 || isSkinnedModel(files[i])) sampled.push_back(files[i]);
    return sampled;
}

using Box = std::array<double, 6>;
constexpr Box kEmpty = {1e300, 1e300, 1e300, -1e300, -1e300, -1e300};

void grow(Box& box, double x, double y, double z) {
    const double p[3] = {x, y, z};
    for (int i = 0; i < 3; ++i) {
        box[i] = std::min(box[i], p[i]);
        box[i + 3] = std::max(box[i + 3], p[i]);
    }
}

// What Assimp itself gives after triangulation: triangles and the world box of every mesh a node
// shows, and the bind-pose world matrix of every bone.
struct Reference {
    std::size_t triangles = 0;
    std::size_t lights = 0;  // point, spot and directional
    Box box = kEmpty;
    std::map<std::string, aiMatrix4x4> bindPose;
};

void walk(const aiScene& scene, const aiNode& node, const aiMatrix4x4& parent, Reference& out) {
    const aiMatrix4x4 world = parent * node.mTransformation;
    for (unsigned i = 0; i < node.mNumMeshes; ++i) {
        const aiMesh& mesh = *scene.mMeshes[node.mMeshes[i]];
        bool triangles = false;
        for (unsigned f = 0; f < mesh.mNumFaces; ++f)
            if (mesh.mFaces[f].mNumIndices == 3) ++out.triangles, triangles = true;
        if (triangles)
            for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
                const aiVector3D p = world * mesh.mVertices[v];
                grow(out.box, p.x, p.y, p.z);
            }
        for (unsigned b = 0; b < mesh.mNumBones; ++b) {
            aiMatrix4x4 offset = mesh.mBones[b]->mOffsetMatrix;
            out.bindPose.emplace(mesh.mBones[b]->mName.C_Str(), world * offset.Inverse());
        }
    }
    for (unsigned i = 0; i < node.mNumChildren; ++i) walk(scene, *node.mChildren[i], world, out);
}

Reference reference(const fs::path& file) {
    Assimp::Importer importer;
    // Files without a mesh are read as they are, with no mesh made up of their node tree.
    importer.SetPropertyBool(AI_CONFIG_IMPORT_NO_SKELETON_MESHES, true);
    const aiScene* scene = importer.ReadFile(file.string(), aiProcess_Triangulate | aiProcess_SortByPType);
    if (!scene || !scene->mRootNode) throw std::runtime_error("Assimp cannot read " + file.string());
    // Collada's up axis and unit, which the reader applies to the root, are not applied: the
    // scene holds the file's own coordinates.
    std::string extension = file.extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".dae" || extension == ".zae") scene->mRootNode->mTransformation = aiMatrix4x4();
    Reference out;
    walk(*scene, *scene->mRootNode, aiMatrix4x4(), out);
    for (unsigned i = 0; i < scene->mNumLights; ++i) {
        const aiLightSourceType type = scene->mLights[i]->mType;
        if (type == aiLightSource_POINT || type == aiLightSource_SPOT || type == aiLightSource_DIRECTIONAL) ++out.lights;
    }
    return out;
}

// A record transform as a 4×4 in column-vector form.
aiMatrix4x4 toMatrix(const std::optional<Zeq2Transform>& t) {
    if (!t) return {};
    const ZeqMatrix& m = t->matrix;
    return aiMatrix4x4(m.a, m.b, m.c, m.d, m.e, m.f, m.g, m.h, m.i, m.j, m.k, m.l, 0, 0, 0, 1);
}

// World matrices of the node records, through their parent chains.
class NodeTree {
public:
    template <typename List>
    void add(const std::optional<List>& list) {
        if (list)
            for (const auto& r : *list) nodes_[r.id] = {r.parentId, toMatrix(r.transform)};
    }
    aiMatrix4x4 world(int64_t id) const {
        aiMatrix4x4 m;
        for (int depth = 0; depth < 1000; ++depth) {
            auto it = nodes_.find(id);
            if (it == nodes_.end()) break;
            m = it->second.second * m;
            if (!it->second.first) break;
            id = *it->second.first;
        }
        return m;
    }

private:
    std::map<int64_t, std::pair<std::optional<int64_t>, aiMatrix4x4>> nodes_;
};

class CorpusSweep : public ::testing::TestWithParam<fs::path> {};

TEST_P(CorpusSweep, ConvertsOrRefusesInOneLine) {
    const fs::path& file = GetParam();
    test::ScratchDir scratch;
    const std::string out = scratch.file("out.zeq");
    const test::RunResult run = test::runZeq(
        "export " + test::quoted(file.string()) + " -o " + test::quoted(out) + (isSkinnedModel(file) ? " --animation" : ""),
        scratch);
    if (run.status == 1) {
        EXPECT_FALSE(isSkinnedModel(file)) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(run.err.rfind("zeq: " + file.string() + ": ", 0), 0u) << run.err;
        EXPECT_FALSE(fs::exists(out));
        // The hand-over from the reading process is the loader's own: a scene Assimp built always crosses it.
        EXPECT_EQ(run.err.find("handed over a damaged scene"), std::string::npos) << run.err;
        return;
    }
    ASSERT_EQ(run.status, 0) << run.err;

    const inspect::LoadedScene loaded = inspect::loadScene(out);
    const inspect::ValidationReport validation = inspect::validateScene(loaded.file);
    EXPECT_EQ(validation.errors, 0) << (validation.findings.empty() ? "" : inspect::formatFinding(validation.findings[0]));

    const Zeq2& root = loaded.file.root;
    NodeTree tree;
    tree.add(root.objects);
    tree.add(root.joints);
    tree.add(root.meshes);
    tree.add(root.skins);
    tree.add(root.omniLights);
    tree.add(root.spotLights);
    tree.add(root.directionalLights);
    tree.add(loaded.file.extra2.cameras);
    std::map<int32_t, const Zeq2IndexBuffer*> indexBuffers;
    if (root.indexBuffers)
        for (const auto& b : *root.indexBuffers) indexBuffers[b.id] = &b;
    std::map<int32_t, const Zeq2VertexBuffer*> vertexBuffers;
    if (root.vertexBuffers)
        for (const auto& b : *root.vertexBuffers) vertexBuffers[b.id] = &b;

    std::size_t triangles = 0;
    Box box = kEmpty;
    // Mesh vertices are in their node's space; skin vertices are already in the bind pose's world.
    const auto addGeometry = [&](int32_t indexBufferId, const TArray<int32_t>& vertexBufferIds, const aiMatrix4x4& world) {
        if (auto it = indexBuffers.find(indexBufferId); it != indexBuffers.end()) triangles += it->second->indexCount / 3;
        for (int32_t id : vertexBufferIds) {
            auto it = vertexBuffers.find(id);
            if (it == vertexBuffers.end()) continue;
            inspect::VertexView view;
            std::string why;
            ASSERT_TRUE(inspect::viewVertexBuffer(*it->second, loaded.file.minorVersion, view, why)) << why;
            for (const auto& slot : view.layout.slots) {
                if (slot.kind != Zeq2VertexAttributes::POSITION) continue;
                for (int32_t v = 0; v < view.vertexCount; ++v) {
                    const aiVector3D p = world * aiVector3D(view.value(v, slot, 0), view.value(v, slot, 1), view.value(v, slot, 2));
                    grow(box, p.x, p.y, p.z);
                }
            }
        }
    };
    if (root.meshes)
        for (const auto& mesh : *root.meshes) addGeometry(mesh.indexBufferId, mesh.vertexBufferIds, tree.world(mesh.id));
    if (root.skins)
        for (const auto& skin : *root.skins) addGeometry(skin.indexBufferId, skin.vertexBufferIds, aiMatrix4x4());

    // Node names are the model's: no helper nodes of the reader's own (FBX pivots).
    auto expectOwnNames = [](const auto& list) {
        if (!list) return;
        for (const auto& r : *list) EXPECT_EQ(r.name.value_or("").find("$AssimpFbx$"), std::string::npos) << *r.name;
    };
    expectOwnNames(root.objects);
    expectOwnNames(root.meshes);
    expectOwnNames(root.joints);

    const Reference expected = reference(file);
    EXPECT_EQ(triangles, expected.triangles);
    auto count = [](const auto& list) { return list ? list->size() : std::size_t{0}; };
    EXPECT_EQ(count(root.omniLights) + count(root.spotLights) + count(root.directionalLights), expected.lights);
    if (expected.triangles == 0) return;
    double size = 0;
    for (int i = 0; i < 3; ++i) size = std::max(size, expected.box[i + 3] - expected.box[i]);
    const double tolerance = std::max(size, 1e-6) * 1e-4;
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(box[i], expected.box[i], tolerance) << "box value " << i;

    if (!isSkinnedModel(file)) return;
    ASSERT_TRUE(root.skins && !root.skins->empty());
    ASSERT_TRUE(root.joints && !root.joints->empty());
    ASSERT_TRUE(root.tracks && !root.tracks->empty());
    std::map<int64_t, std::string> jointNames;
    for (const auto& joint : *root.joints) jointNames[joint.id] = joint.name.value_or("");
    std::size_t compared = 0;
    for (const auto& skin : *root.skins) {
        for (const auto& bind : skin.jointBindTransforms) {
            auto bone = expected.bindPose.find(jointNames[bind.jointId]);
            ASSERT_NE(bone, expected.bindPose.end()) << jointNames[bind.jointId];
            aiMatrix4x4 pose = toMatrix(bind.bindPoseTransform);
            pose.Inverse();
            for (int r = 0; r < 3; ++r)
                for (int c = 0; c < 4; ++c)
                    EXPECT_NEAR(pose[r][c], bone->second[r][c], c == 3 ? tolerance : 1e-4)
                        << bone->first << " [" << r << "][" << c << "]";
            ++compared;
        }
    }
    EXPECT_GT(compared, 0u);
}

std::string testName(const ::testing::TestParamInfo<fs::path>& info) {
    std::string name = fs::relative(info.param, kCorpus).generic_string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name + "_" + std::to_string(info.index);
}

GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CorpusSweep);
INSTANTIATE_TEST_SUITE_P(Models, CorpusSweep, ::testing::ValuesIn(corpusFiles()), testName);

}  // namespace
