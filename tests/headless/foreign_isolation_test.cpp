// The reader's child process: every way a reader can fail ends in one ForeignSceneError naming it,
// and the scene handed over arrives whole, or not at all when its bytes are damaged.
#include "headless/foreign_read.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <vector>

namespace {

using namespace headless;
using namespace headless::foreign;

TEST(ReaderProcess, EachWayOfFailingIsOneLine) {
    struct Case {
        const char* what;
        ReadInChild read;
        std::string expected;  // the start of the message
    };
    const Case cases[] = {
        {"a crash", [](int) -> std::string { std::raise(SIGSEGV); return {}; }, "the reader crashed on this file (Segmentation fault)"},
        {"an abort", [](int) -> std::string { std::abort(); }, "the reader crashed on this file (Aborted)"},
        {"a refusal", [](int) -> std::string { throw ForeignSceneError("OBJ: bad face"); }, "OBJ: bad face"},
        {"an allocation failure", [](int) -> std::string { throw std::bad_alloc(); }, "reading it needs more than 64 MiB of memory"},
        // Beyond the bound, even a mapping the kernel would grant lazily fails.
        {"a runaway allocation",
         [](int) -> std::string {
             if (::mmap(nullptr, std::size_t(8) << 30, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) ==
                 MAP_FAILED)
                 throw std::bad_alloc();
             return {};
         },
         "reading it needs more than 64 MiB of memory"},
        {"a hang", [](int) -> std::string { for (;;) ::pause(); }, "reading it took longer than 1 seconds"},
        {"no scene", [](int) { return std::string(); }, "the reading process ended without a scene"},
        {"an exit", [](int) -> std::string { std::_Exit(3); }, "the reader ended without a result (exit status 3)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            readInChildProcess(c.read, {uint64_t(64) << 20, 1.0});
            ADD_FAILURE() << "no error";
        } catch (const ForeignSceneError& e) {
            const std::string message = e.what();
            EXPECT_EQ(message.rfind(c.expected, 0), 0u) << message;
            EXPECT_EQ(message.find('\n'), std::string::npos) << message;
        }
    }
}

// A scene with every part the hand-over carries.
std::unique_ptr<aiScene> fullScene() {
    auto scene = std::make_unique<aiScene>();
    scene->mFlags = AI_SCENE_FLAGS_VALIDATED;
    scene->mRootNode = new aiNode("Root");
    auto* child = new aiNode("Arm");
    child->mParent = scene->mRootNode;
    child->mTransformation = aiMatrix4x4::Translation(aiVector3D(1, 2, 3), child->mTransformation);
    child->mNumMeshes = 1;
    child->mMeshes = new unsigned[1]{0};
    scene->mRootNode->mNumChildren = 1;
    scene->mRootNode->mChildren = new aiNode*[1]{child};

    auto* mesh = new aiMesh();
    mesh->mName = aiString("Tri");
    mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    mesh->mNumVertices = 3;
    mesh->mVertices = new aiVector3D[3]{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh->mTextureCoords[2] = new aiVector3D[3]{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh->mNumUVComponents[2] = 2;
    mesh->mColors[0] = new aiColor4D[3]{{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}};
    mesh->mNumFaces = 1;
    mesh->mFaces = new aiFace[1];
    mesh->mFaces[0].mNumIndices = 3;
    mesh->mFaces[0].mIndices = new unsigned[3]{0, 1, 2};
    mesh->mNumBones = 1;
    mesh->mBones = new aiBone*[1]{new aiBone()};
    mesh->mBones[0]->mName = aiString("Arm");
    mesh->mBones[0]->mNumWeights = 2;
    mesh->mBones[0]->mWeights = new aiVertexWeight[2]{{0, 1.0f}, {2, 0.5f}};
    // A point cloud without colours or texture coordinates: arrays it does not have are as long as
    // its points, and longer than all the bytes that follow them.
    auto* cloud = new aiMesh();
    cloud->mName = aiString("Cloud");
    cloud->mPrimitiveTypes = aiPrimitiveType_POINT;
    cloud->mNumVertices = 400;
    cloud->mVertices = new aiVector3D[400];
    scene->mNumMeshes = 2;
    scene->mMeshes = new aiMesh*[2]{mesh, cloud};

    auto* material = new aiMaterial();
    const aiString name("Red"), file("red.png");
    const aiColor3D red(1, 0, 0);
    material->AddProperty(&name, AI_MATKEY_NAME);
    material->AddProperty(&red, 1, AI_MATKEY_COLOR_DIFFUSE);
    material->AddProperty(&file, AI_MATKEY_TEXTURE(aiTextureType_DIFFUSE, 0));
    scene->mNumMaterials = 1;
    scene->mMaterials = new aiMaterial*[1]{material};

    auto* animation = new aiAnimation();
    animation->mName = aiString("Wave");
    animation->mDuration = 10;
    animation->mTicksPerSecond = 5;
    auto* channel = new aiNodeAnim();
    channel->mNodeName = aiString("Arm");
    channel->mNumPositionKeys = 2;
    channel->mPositionKeys = new aiVectorKey[2]{{0, {0, 0, 0}}, {10, {1, 1, 1}}};
    channel->mNumRotationKeys = 1;
    channel->mRotationKeys = new aiQuatKey[1]{{0, aiQuaternion()}};
    animation->mNumChannels = 1;
    animation->mChannels = new aiNodeAnim*[1]{channel};
    auto* morph = new aiMeshMorphAnim();
    morph->mName = aiString("Tri");
    morph->mNumKeys = 1;
    morph->mKeys = new aiMeshMorphKey[1];
    morph->mKeys[0].mTime = 2;
    morph->mKeys[0].mNumValuesAndWeights = 2;
    morph->mKeys[0].mValues = new unsigned[2]{0, 1};
    morph->mKeys[0].mWeights = new double[2]{0.25, 0.75};
    animation->mNumMorphMeshChannels = 1;
    animation->mMorphMeshChannels = new aiMeshMorphAnim*[1]{morph};
    scene->mNumAnimations = 1;
    scene->mAnimations = new aiAnimation*[1]{animation};

    // A compressed texture of 5 bytes (not a whole number of texels) and a 2 × 1 raw one.
    auto* png = new aiTexture();
    png->mWidth = 5;
    png->pcData = reinterpret_cast<aiTexel*>(new char[5]{'\x89', 'P', 'N', 'G', '!'});
    std::strcpy(png->achFormatHint, "png");
    auto* raw = new aiTexture();
    raw->mWidth = 2;
    raw->mHeight = 1;
    raw->pcData = new aiTexel[2]{{1, 2, 3, 4}, {5, 6, 7, 8}};
    scene->mNumTextures = 2;
    scene->mTextures = new aiTexture*[2]{png, raw};

    auto* light = new aiLight();
    light->mName = aiString("Sun");
    light->mType = aiLightSource_DIRECTIONAL;
    light->mDirection = aiVector3D(0, -1, 0);
    scene->mNumLights = 1;
    scene->mLights = new aiLight*[1]{light};
    auto* camera = new aiCamera();
    camera->mName = aiString("Eye");
    camera->mHorizontalFOV = 0.5f;
    scene->mNumCameras = 1;
    scene->mCameras = new aiCamera*[1]{camera};
    return scene;
}

std::vector<uint8_t> packed(const aiScene& scene) {
    const int fd = ::memfd_create("zeq-test-scene", 0);
    if (fd < 0) throw std::runtime_error("memfd_create failed");
    packScene(scene, fd);
    std::vector<uint8_t> bytes(static_cast<std::size_t>(::lseek(fd, 0, SEEK_END)));
    if (::pread(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) bytes.clear();
    ::close(fd);
    return bytes;
}

// The loader walks the node tree by recursion: a deeper tree is refused when it is handed over.
TEST(ReaderProcess, NodeTreesDeeperThanTheLoaderTakesAreRefused) {
    aiScene scene;
    scene.mRootNode = new aiNode("Root");
    aiNode* parent = scene.mRootNode;
    for (int depth = 2; depth <= 4097; ++depth) {
        auto* child = new aiNode("N" + std::to_string(depth));
        child->mParent = parent;
        parent->mNumChildren = 1;
        parent->mChildren = new aiNode*[1]{child};
        parent = child;
    }
    try {
        readInChildProcess([&](int fd) { packScene(scene, fd); return std::string(); }, {uint64_t(256) << 20, 30.0});
        ADD_FAILURE() << "no error";
    } catch (const ForeignSceneError& e) {
        EXPECT_STREQ(e.what(), "the node tree is more than 4096 levels deep");
    }
}

TEST(ReaderProcess, TheSceneArrivesWhole) {
    const std::unique_ptr<aiScene> original = fullScene();
    // Through a child process, as a load does it.
    // The reader's notes come along, a line each, whatever letters they start or end with; what it
    // prints never reaches standard output, which may carry the output file.
    std::vector<std::string> notes;
    testing::internal::CaptureStdout();
    const std::shared_ptr<const aiScene> copy = readInChildProcess(
        [&](int fd) {
            if (::write(STDOUT_FILENO, "stray\n", 6) != 6) return std::string();
            packScene(*original, fd);
            return std::string("Reader: no material library S\nR second\n");
        },
        {uint64_t(256) << 20, 30.0}, &notes);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(packed(*copy), packed(*original));  // everything carried is carried unchanged
    EXPECT_EQ(notes, (std::vector<std::string>{"Reader: no material library S", "R second"}));

    ASSERT_EQ(copy->mRootNode->mNumChildren, 1u);
    const aiNode& arm = *copy->mRootNode->mChildren[0];
    EXPECT_EQ(arm.mParent, copy->mRootNode);
    EXPECT_EQ(arm.mTransformation.a4, 1.0f);
    const aiMesh& mesh = *copy->mMeshes[0];
    EXPECT_EQ(mesh.mFaces[0].mIndices[2], 2u);
    EXPECT_EQ(mesh.mNumUVComponents[2], 2u);
    EXPECT_EQ(mesh.mTextureCoords[0], nullptr);
    EXPECT_EQ(copy->mMeshes[1]->mNumVertices, 400u);
    EXPECT_EQ(mesh.mBones[0]->mWeights[1].mWeight, 0.5f);
    aiString file;
    EXPECT_EQ(copy->mMaterials[0]->GetTexture(aiTextureType_DIFFUSE, 0, &file), AI_SUCCESS);
    EXPECT_STREQ(file.C_Str(), "red.png");
    EXPECT_EQ(copy->mAnimations[0]->mMorphMeshChannels[0]->mKeys[0].mWeights[1], 0.75);
    EXPECT_EQ(std::memcmp(copy->mTextures[0]->pcData, "\x89PNG!", 5), 0);
    EXPECT_EQ(copy->mTextures[1]->pcData[1].a, 8);
    EXPECT_EQ(copy->mLights[0]->mDirection.y, -1.0f);
    EXPECT_EQ(copy->mCameras[0]->mHorizontalFOV, 0.5f);
}

// Every cut of the bytes, and every byte changed to 0xFF, is refused or gives some scene, and
// nothing is read or allocated beyond the bytes present.
TEST(ReaderProcess, DamagedBytesAreRefused) {
    std::vector<uint8_t> bytes = packed(*fullScene());
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        SCOPED_TRACE(cut);
        std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_THROW(unpackScene(part.data(), part.size()), ForeignSceneError);
    }
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        std::vector<uint8_t> damaged = bytes;
        damaged[at] = 0xFF;
        try {
            unpackScene(damaged.data(), damaged.size());
        } catch (const ForeignSceneError&) {
        }
    }
}

}  // namespace
