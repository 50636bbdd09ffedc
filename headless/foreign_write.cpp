// Writing foreign scene files: the formats, and Assimp's exporters run against an in-memory file
// system so that every file they produce comes back to the caller instead of landing on disk.
#include "headless/foreign_write.h"

#include "headless/foreign_read.h"
#include "headless/foreign_scene.h"
#include "headless/foreign_write_build.h"
#include "headless/host.h"
#include "headless/scene_node.h"
#include "headless/scene_document_model.h"
#include "host/plugin_classes.h"

#include <assimp/Exporter.hpp>
#include <assimp/IOStream.hpp>
#include <assimp/IOSystem.hpp>
#include <assimp/scene.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string_view>

namespace headless {

namespace {

// kByName is no content but the way the format's readers tie things together: faces to a material
// by the material's name, and a mesh's faces to a group named after the mesh (OBJ).
enum Keeps : unsigned {
    kLights = 1, kAmbient = 2, kCameras = 4, kAnimation = 8, kSkins = 16, kTextureSets = 32, kByName = 64
};

struct FormatEntry {
    ForeignWriteFormat format;
    const char* exporterId;  // Assimp's id of the exporter
    // What the exporter writes besides the node tree, meshes and materials (Keeps flags). FBX has
    // no ambient light: Assimp's FBX writer wrote it as a point light.
    unsigned keeps;
    bool quotes = true;      // whether the exporter can write a double quote in a text
    // The magnitude from which the exporter cannot write a number of its arrays (vertex data,
    // weights, bind matrices, animation keys).
    double largest = HUGE_VAL;
    // When the exporter writes transforms as translation, rotation and scale, which it takes apart
    // itself: never, in a scene with animation, always.
    enum class Split { Never, Animated, Always } splits = Split::Never;
    // Whether the exporter writes vertices and normals in world space, moved by their node's
    // transform (and so may overflow finite ones).
    bool bakes = false;
    // Whether the exporter takes every texture file name that starts with '*' for a texture
    // embedded in the scene ("*0"), and fails on one that the scene does not embed.
    bool starsEmbedded = false;
    // Whether readers of the format take a light to shine down its node's -Y (with -Z up), while
    // the exporter writes the node as it is.
    bool lightsDownY = false;
    // How many times as bright as its colour the exporter writes every light (Assimp's FBX writer
    // writes each at the intensity 1000, where readers take 100 as the colour itself).
    float lightGain = 1.0f;
    // Whether the main file is ASCII FBX whose animation curves need mending (mendFbxCurves).
    bool fbxCurves = false;
    // How many bone influences a vertex keeps (0: all), and whether a bone has one bind pose for
    // all skins: Assimp's glTF writer writes one set of four joints a vertex and one skin.
    unsigned influences = 0;
    bool oneBindPose = false;
    // Whether the exporter names the parts of a mesh of several materials after the mesh, not the
    // node (Assimp's FBX writer): a mesh shown by several nodes is then written for each of them,
    // or the parts would come back named after the first.
    bool partsNamedByMesh = false;
    // glTF's rules: no key time before 0 (an animation that starts earlier is written later by as
    // much), and images named by URI (texture file names percent-encoded).
    bool gltfRules = false;
};

const std::vector<FormatEntry>& formatTable() {
    static const std::vector<FormatEntry> table = {
        {{"gltf", "glTF 2.0 (JSON with a .bin buffer beside it)"}, "gltf2", kAnimation | kSkins, true, HUGE_VAL,
         FormatEntry::Split::Animated, false, false, false, 1.0f, false, 4, true, false, true},
        {{"glb", "glTF 2.0, binary"}, "glb2", kAnimation | kSkins, true, HUGE_VAL, FormatEntry::Split::Animated, false,
         false, false, 1.0f, false, 4, true, false, true},
        {{"dae", "Collada"}, "collada", kLights | kAmbient | kCameras | kAnimation | kSkins | kTextureSets, true, HUGE_VAL, FormatEntry::Split::Never, false, true},
        {{"obj", "Wavefront OBJ (with an .mtl material library beside it)"}, "obj", kByName, true, HUGE_VAL,
         FormatEntry::Split::Never, true},
        // The ASCII form: the binary FBX this Assimp writes cannot be read back by Assimp itself.
        // It writes texts between double quotes and fails, without saying why, on a text holding one.
        // It writes the numbers of its arrays in fixed-point form into a small buffer, and fails on
        // one of 23 digits (other values are written in exponent form).
        // It writes every light ten times as bright as its colour, and has no ambient light.
        // Its scale and rotation curves are mended after writing (mendFbxCurves).
        {{"fbx", "FBX, ASCII"}, "fbxa", kLights | kAnimation | kSkins, false, 1e22, FormatEntry::Split::Always, false, false, true, 10.0f,
         true, 0, false, true},
    };
    return table;
}

const FormatEntry* findFormat(const std::string& path) {
    const std::string extension = lowerExtension(path);
    for (const FormatEntry& entry : formatTable())
        if (entry.format.extension == extension) return &entry;
    return nullptr;
}

// A file an exporter writes: bytes kept in memory until the exporter is done.
class CapturedStream : public Assimp::IOStream {
public:
    explicit CapturedStream(std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    size_t Read(void*, size_t, size_t) override { return 0; }
    size_t Write(const void* buffer, size_t size, size_t count) override {
        const size_t n = size * count;
        if (position_ + n > bytes_.size()) bytes_.resize(position_ + n);
        if (n > 0) std::memcpy(bytes_.data() + position_, buffer, n);
        position_ += n;
        return count;
    }
    aiReturn Seek(size_t offset, aiOrigin origin) override {
        size_t target = offset;
        if (origin == aiOrigin_CUR) target = position_ + offset;
        else if (origin == aiOrigin_END) target = bytes_.size() + offset;
        // Exporters may seek past the end to leave room for a header they write last.
        if (target > bytes_.size()) bytes_.resize(target);
        position_ = target;
        return aiReturn_SUCCESS;
    }
    size_t Tell() const override { return position_; }
    size_t FileSize() const override { return bytes_.size(); }
    void Flush() override {}

private:
    std::vector<uint8_t>& bytes_;
    size_t position_ = 0;
};

// The exporter's file system: files opened for writing are captured in order; nothing is read.
class CapturingFileSystem : public Assimp::IOSystem {
public:
    explicit CapturingFileSystem(std::deque<ForeignFile>& files) : files_(files) {}
    bool Exists(const char* path) const override {
        return std::any_of(files_.begin(), files_.end(), [&](const ForeignFile& f) { return f.path == path; });
    }
    char getOsSeparator() const override { return '/'; }
    Assimp::IOStream* Open(const char* path, const char* mode) override {
        if (path == nullptr || mode == nullptr || std::strchr(mode, 'w') == nullptr) return nullptr;
        for (ForeignFile& file : files_)
            if (file.path == path) {
                file.bytes.clear();
                return new CapturedStream(file.bytes);
            }
        files_.push_back({path, {}});
        return new CapturedStream(files_.back().bytes);
    }
    void Close(Assimp::IOStream* stream) override { delete stream; }

private:
    // A deque, so that an open stream's bytes stay where they are while another file is added.
    std::deque<ForeignFile>& files_;
};

// The first text of the scene that holds a double quote (names of every kind, and the texts of the
// materials, texture file names among them); empty when there is none.
std::string textWithQuote(const aiScene& scene) {
    std::string found;
    auto check = [&](const aiString& text) {
        if (found.empty() && std::memchr(text.data, '"', text.length)) found.assign(text.data, text.length);
    };
    auto node = [&](auto& self, const aiNode& n) -> void {
        check(n.mName);
        for (unsigned i = 0; i < n.mNumChildren; ++i) self(self, *n.mChildren[i]);
    };
    if (scene.mRootNode) node(node, *scene.mRootNode);
    for (unsigned i = 0; i < scene.mNumMeshes; ++i) {
        check(scene.mMeshes[i]->mName);
        for (unsigned b = 0; b < scene.mMeshes[i]->mNumBones; ++b) check(scene.mMeshes[i]->mBones[b]->mName);
    }
    for (unsigned i = 0; i < scene.mNumMaterials; ++i) {
        const aiMaterial& material = *scene.mMaterials[i];
        for (unsigned p = 0; p < material.mNumProperties; ++p) {
            const aiMaterialProperty& property = *material.mProperties[p];
            aiString text;
            if (property.mType == aiPTI_String &&
                material.Get(property.mKey.C_Str(), property.mSemantic, property.mIndex, text) == AI_SUCCESS)
                check(text);
        }
    }
    for (unsigned i = 0; i < scene.mNumAnimations; ++i) {
        check(scene.mAnimations[i]->mName);
        for (unsigned c = 0; c < scene.mAnimations[i]->mNumChannels; ++c) check(scene.mAnimations[i]->mChannels[c]->mNodeName);
    }
    for (unsigned i = 0; i < scene.mNumLights; ++i) check(scene.mLights[i]->mName);
    for (unsigned i = 0; i < scene.mNumCameras; ++i) check(scene.mCameras[i]->mName);
    return found;
}

// Gives each texture file name of the scene's materials the name rename(name) returns, where it
// returns one.
template <class Rename>
void renameTextureFiles(aiScene& scene, Rename&& rename) {
    for (unsigned i = 0; i < scene.mNumMaterials; ++i) {
        aiMaterial& material = *scene.mMaterials[i];
        for (unsigned p = 0; p < material.mNumProperties; ++p) {
            const aiMaterialProperty& property = *material.mProperties[p];
            aiString file;
            if (std::strcmp(property.mKey.C_Str(), _AI_MATKEY_TEXTURE_BASE) != 0 ||
                material.Get(property.mKey.C_Str(), property.mSemantic, property.mIndex, file) != AI_SUCCESS)
                continue;
            const std::optional<std::string> renamed = rename(std::string_view(file.data, file.length));
            if (!renamed) continue;
            // Adding a property of the same key, semantic and index replaces this one in place (and
            // frees it: nothing of it is read afterwards).
            const aiString named(*renamed);
            const unsigned semantic = property.mSemantic, index = property.mIndex;
            material.AddProperty(&named, _AI_MATKEY_TEXTURE_BASE, semantic, index);
        }
    }
}

// Texture file names that start with '*' get "./" in front, which names the same file. The scenes
// handed to the writers embed no textures; such names are files (models whose embedded textures are
// raw pixels are read with them named "*0", "*1" ...).
void unstarTextureFiles(aiScene& scene) {
    renameTextureFiles(scene, [](std::string_view file) -> std::optional<std::string> {
        if (!file.starts_with('*')) return std::nullopt;
        return "./" + std::string(file);
    });
}

// A file name as a URI (glTF names images and buffers by URI): a backslash (the host's folder
// separator) as "/", every other byte but letters, digits, "-._~" and "/" as %XX, so that a name
// holding "%", "#" or spaces reads back as it was.
std::string asUri(std::string_view file) {
    std::string uri;
    for (const char c : file) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            uri += '/';
        } else if (std::isalnum(byte) || std::strchr("-._~/", c)) {
            uri += c;
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            uri += {'%', kHex[byte >> 4], kHex[byte & 15]};
        }
    }
    return uri;
}

void textureFilesAsUris(aiScene& scene) {
    renameTextureFiles(scene, [](std::string_view file) -> std::optional<std::string> { return asUri(file); });
}

// The writer names the buffer file in the .gltf text as it is: its name goes in as a URI.
void bufferFilesAsUris(ForeignFile& gltf, const std::vector<ForeignFile>& files) {
    std::string text(gltf.bytes.begin(), gltf.bytes.end());
    bool changed = false;
    for (const ForeignFile& file : files) {
        if (&file == &gltf) continue;
        const std::string name = std::filesystem::path(file.path).filename().string();
        const std::string written = "\"uri\": \"" + name + "\"";
        if (const std::size_t at = text.find(written); at != std::string::npos && asUri(name) != name) {
            text.replace(at, written.size(), "\"uri\": \"" + asUri(name) + "\"");
            changed = true;
        }
    }
    if (changed) gltf.bytes.assign(text.begin(), text.end());
}

// Shininess on glTF's scale: its writer takes 0 to 1000 for glossiness 0 to 1, where the materials
// hold the usual exponent of 0 to 100. The glossiness of the specular-glossiness extension is given
// as it is, and the roughness as 1 - sqrt(glossiness), which reading turns back into the glossiness
// ((1 - roughness)^2): else the writer makes a roughness up from the glossiness and the specular
// colour, and takes the extension's glossiness from that.
void shininessOnGltfScale(aiScene& scene) {
    for (unsigned i = 0; i < scene.mNumMaterials; ++i) {
        aiMaterial& material = *scene.mMaterials[i];
        float shininess = 0.0f;
        if (material.Get(AI_MATKEY_SHININESS, shininess) != AI_SUCCESS) continue;
        const float glossiness = std::clamp(shininess / 100.0f, 0.0f, 1.0f), roughness = 1.0f - std::sqrt(glossiness);
        material.AddProperty(&roughness, 1, AI_MATKEY_ROUGHNESS_FACTOR);
        material.AddProperty(&glossiness, 1, AI_MATKEY_GLOSSINESS_FACTOR);
        shininess *= 10.0f;
        material.AddProperty(&shininess, 1, AI_MATKEY_SHININESS);
    }
}

// The scene's lights shine down their node's -Z, with Y up. For a format whose readers take them to
// shine down -Y, with -Z up, the node of each spot and directional light is turned a quarter about
// its X axis (-Y onto -Z) and its children are turned back, so that the light shines where it did
// and everything else stays where it was. Keys turn with their nodes (exactly when scales are
// uniform, as a light's are).
void turnLightNodes(aiScene& scene) {
    const aiQuaternion quarter(aiVector3D(1, 0, 0), static_cast<ai_real>(AI_MATH_HALF_PI));
    const aiMatrix4x4 turn(aiMatrix3x3(quarter.GetMatrix()));
    const aiQuaternion back = aiQuaternion(quarter).Conjugate();
    const aiMatrix4x4 turnBack(aiMatrix3x3(back.GetMatrix()));
    auto channelOf = [&](const aiNode& node) -> aiNodeAnim* {
        for (unsigned a = 0; a < scene.mNumAnimations; ++a)
            for (unsigned c = 0; c < scene.mAnimations[a]->mNumChannels; ++c)
                if (scene.mAnimations[a]->mChannels[c]->mNodeName == node.mName) return scene.mAnimations[a]->mChannels[c];
        return nullptr;
    };
    for (unsigned i = 0; i < scene.mNumLights; ++i) {
        const aiLight& light = *scene.mLights[i];
        aiNode* node = scene.mRootNode ? scene.mRootNode->FindNode(light.mName) : nullptr;
        if (!node || (light.mType != aiLightSource_SPOT && light.mType != aiLightSource_DIRECTIONAL)) continue;
        node->mTransformation = node->mTransformation * turn;
        if (aiNodeAnim* channel = channelOf(*node))
            for (unsigned k = 0; k < channel->mNumRotationKeys; ++k) channel->mRotationKeys[k].mValue = channel->mRotationKeys[k].mValue * quarter;
        for (unsigned c = 0; c < node->mNumChildren; ++c) {
            aiNode& child = *node->mChildren[c];
            child.mTransformation = turnBack * child.mTransformation;
            if (aiNodeAnim* channel = channelOf(child)) {
                for (unsigned k = 0; k < channel->mNumPositionKeys; ++k) channel->mPositionKeys[k].mValue = back.Rotate(channel->mPositionKeys[k].mValue);
                for (unsigned k = 0; k < channel->mNumRotationKeys; ++k) channel->mRotationKeys[k].mValue = back * channel->mRotationKeys[k].mValue;
            }
        }
    }
}

// A format that writes vertices and normals in world space moves each normal by its node's world
// matrix M as it moves the vertices, which gives a normal that is no longer at right angles to a
// scaled surface nor of unit length. A normal n is handed over as M⁻¹ · normalise(M⁻ᵀ · n), which the
// exporter turns into normalise(M⁻ᵀ · n): the normal of the moved surface. A matrix that mirrors
// (negative determinant) also turns the faces' corner order round, so each face's corners swap two
// to keep facing out. A mesh that several nodes show, or a singular matrix, keeps its normals.
void prepareMeshesForBaking(aiScene& scene) {
    std::vector<unsigned> uses(scene.mNumMeshes, 0);
    std::vector<std::pair<const aiNode*, aiMatrix4x4>> stack;
    if (scene.mRootNode) stack.push_back({scene.mRootNode, scene.mRootNode->mTransformation});
    std::vector<std::pair<unsigned, aiMatrix3x3>> moves;
    while (!stack.empty()) {
        const auto [node, world] = stack.back();
        stack.pop_back();
        for (unsigned i = 0; i < node->mNumMeshes; ++i) {
            if (node->mMeshes[i] >= scene.mNumMeshes) continue;
            ++uses[node->mMeshes[i]];
            moves.push_back({node->mMeshes[i], aiMatrix3x3(world)});
        }
        for (unsigned c = 0; c < node->mNumChildren; ++c)
            stack.push_back({node->mChildren[c], world * node->mChildren[c]->mTransformation});
    }
    for (const auto& [index, move] : moves) {
        aiMesh& mesh = *scene.mMeshes[index];
        const ai_real determinant = move.Determinant();
        if (uses[index] != 1 || !std::isnormal(determinant)) continue;
        if (determinant < 0)
            for (unsigned f = 0; f < mesh.mNumFaces; ++f)
                if (mesh.mFaces[f].mNumIndices >= 3) std::swap(mesh.mFaces[f].mIndices[1], mesh.mFaces[f].mIndices[2]);
        if (!mesh.mNormals) continue;
        aiMatrix3x3 inverse = move;
        inverse.Inverse();
        aiMatrix3x3 inverseTransposed = inverse;
        inverseTransposed.Transpose();
        for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
            aiVector3D normal = inverseTransposed * mesh.mNormals[v];
            if (normal.SquareLength() > 0) normal.Normalize();
            mesh.mNormals[v] = inverse * normal;
        }
    }
}

// Light colours divided by the gain at which the exporter writes lights, so that readers, which
// multiply by it, see the colours the scene gave.
void dimLights(aiScene& scene, float gain) {
    for (unsigned i = 0; i < scene.mNumLights; ++i) {
        aiLight& light = *scene.mLights[i];
        for (aiColor3D* color : {&light.mColorDiffuse, &light.mColorSpecular, &light.mColorAmbient})
            *color = aiColor3D(color->r / gain, color->g / gain, color->b / gain);
    }
}

// One line for each kind of content the scene holds and the format's exporter does not write.
std::vector<std::string> leftOutNotes(Host& host, const aiScene& scene, const FormatEntry& format) {
    const std::string writer = "the " + format.format.extension + " writer";
    std::size_t lights = 0, skins = 0;
    for (unsigned i = 0; i < scene.mNumLights; ++i) lights += scene.mLights[i]->mType != aiLightSource_AMBIENT;
    for (unsigned i = 0; i < scene.mNumMeshes; ++i) skins += scene.mMeshes[i]->HasBones();
    const Point3 ambient = host.GetAmbient(host.GetTime());
    std::vector<std::string> notes;
    if (lights > 0 && !(format.keeps & kLights)) notes.push_back(countOf(lights, "light", "lights") + " left out: " + writer + " writes no lights");
    if ((ambient.x > 0.0f || ambient.y > 0.0f || ambient.z > 0.0f) && !(format.keeps & kAmbient))
        notes.push_back("the ambient colour left out: " + writer + " writes no ambient light");
    if (scene.mNumCameras > 0 && !(format.keeps & kCameras))
        notes.push_back(countOf(scene.mNumCameras, "camera", "cameras") + " left out: " + writer + " writes no cameras");
    if (scene.mNumAnimations > 0 && !(format.keeps & kAnimation))
        notes.push_back("the animation of " + countOf(scene.mAnimations[0]->mNumChannels, "node", "nodes") + " left out: " + writer +
                        " writes no animation");
    if (skins > 0 && !(format.keeps & kSkins))
        notes.push_back("the skins of " + countOf(skins, "mesh", "meshes") + " left out: " + writer + " writes the meshes without them");
    // Bitmaps that read another coordinate set than the first (the base colour repeats the diffuse).
    std::size_t otherSets = 0;
    for (unsigned m = 0; m < scene.mNumMaterials && !(format.keeps & kTextureSets); ++m) {
        for (int type = aiTextureType_NONE + 1; type < aiTextureType_BASE_COLOR; ++type) {
            int set = 0;
            if (scene.mMaterials[m]->GetTextureCount(aiTextureType(type)) > 0 &&
                aiGetMaterialInteger(scene.mMaterials[m], AI_MATKEY_UVWSRC(type, 0), &set) == AI_SUCCESS && set > 0)
                ++otherSets;
        }
    }
    if (otherSets > 0)
        notes.push_back(countOf(otherSets, "bitmap reads", "bitmaps read") + std::string(" a texture coordinate set other than ") +
                        "the first: " + writer + " makes " + (otherSets == 1 ? "it" : "them") + " read the first");
    // Geometry the writer gives no mesh: shapes (which it does not convert), objects without a mesh
    // form, such as those of plug-ins that are not loaded, and sprites, whose rectangle faces the
    // viewer. Bones and the LOD helper are nodes of the tree as they are.
    std::size_t formless = 0, sprites = 0, farChannels = 0;
    const TimeValue t = host.GetTime();
    for (Node* node : host.scene().nodes()) {
        Object* object = node->EvalWorldState(t).obj;
        if (!object) continue;
        // Texture channels past the sets a model holds.
        if (auto* tri = dynamic_cast<TriObject*>(object)) {
            const Mesh& mesh = tri->GetMesh();
            for (int c = AI_MAX_NUMBER_OF_TEXTURECOORDS + 1; c < mesh.getNumMaps(); ++c)
                farChannels += mesh.mapSupport(c) && mesh.Map(c).getNumFaces() > 0;
        }
        const SClass_ID kind = object->SuperClassID();
        const Class_ID id = object->ClassID();
        if (kind == GEOMOBJECT_CLASS_ID && id == zeq::SPRITE_CLASS_ID) {
            ++sprites;
            continue;
        }
        formless += kind == SHAPE_CLASS_ID || (kind == GEOMOBJECT_CLASS_ID && id != zeq::LOD_OBJECT_CLASS_ID &&
                                               id != JOINT_OBJECT_A_CLASS_ID && !object->CanConvertToType(TRIOBJ_CLASS_ID));
    }
    if (formless > 0)
        notes.push_back(countOf(formless, "object", "objects") + " without a triangle mesh left out (shapes, or objects " +
                        "of plug-ins that are not loaded): " + writer + " writes triangle meshes");
    if (farChannels > 0)
        notes.push_back(countOf(farChannels, "map channel", "map channels") + " past " +
                        std::to_string(AI_MAX_NUMBER_OF_TEXTURECOORDS) + " left out: " + writer + " writes " +
                        std::to_string(AI_MAX_NUMBER_OF_TEXTURECOORDS) + " texture coordinate sets at most");
    if (sprites > 0)
        notes.push_back(countOf(sprites, "sprite", "sprites") +
                        (sprites == 1 ? " written as a plain node: " : " written as plain nodes: ") + writer +
                        " has no rectangles that face the viewer");
    return notes;
}

// The vertices of skinned meshes that no bone weighs.
std::size_t unweightedVertices(const aiScene& scene) {
    std::size_t count = 0;
    for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
        const aiMesh& mesh = *scene.mMeshes[m];
        if (!mesh.HasBones()) continue;
        std::vector<bool> weighted(mesh.mNumVertices, false);
        for (unsigned b = 0; b < mesh.mNumBones; ++b)
            for (unsigned w = 0; w < mesh.mBones[b]->mNumWeights; ++w)
                if (mesh.mBones[b]->mWeights[w].mVertexId < mesh.mNumVertices && mesh.mBones[b]->mWeights[w].mWeight > 0.0f)
                    weighted[mesh.mBones[b]->mWeights[w].mVertexId] = true;
        count += static_cast<std::size_t>(std::count(weighted.begin(), weighted.end(), false));
    }
    return count;
}

// Keeps the `most` largest bone influences of every vertex, scaled to add up to what all of them
// did; returns how many vertices lost influences.
std::size_t limitInfluences(aiScene& scene, unsigned most) {
    std::size_t cut = 0;
    for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
        aiMesh& mesh = *scene.mMeshes[m];
        if (mesh.mNumBones == 0) continue;
        struct Influence {
            float weight;
            unsigned bone;
        };
        std::vector<std::vector<Influence>> byVertex(mesh.mNumVertices);
        for (unsigned b = 0; b < mesh.mNumBones; ++b)
            for (unsigned w = 0; w < mesh.mBones[b]->mNumWeights; ++w) {
                const aiVertexWeight& weight = mesh.mBones[b]->mWeights[w];
                if (weight.mVertexId < mesh.mNumVertices) byVertex[weight.mVertexId].push_back({weight.mWeight, b});
            }
        std::vector<std::vector<aiVertexWeight>> kept(mesh.mNumBones);
        bool changed = false;
        for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
            std::vector<Influence>& list = byVertex[v];
            if (list.size() > most) {
                float total = 0, left = 0;
                for (const Influence& i : list) total += i.weight;
                std::stable_sort(list.begin(), list.end(), [](const Influence& a, const Influence& b) { return a.weight > b.weight; });
                list.resize(most);
                for (const Influence& i : list) left += i.weight;
                if (left > 0)
                    for (Influence& i : list) i.weight *= total / left;
                ++cut;
                changed = true;
            }
            for (const Influence& i : list) kept[i.bone].push_back(aiVertexWeight(v, i.weight));
        }
        if (!changed) continue;
        for (unsigned b = 0; b < mesh.mNumBones; ++b) {
            aiBone& bone = *mesh.mBones[b];
            delete[] bone.mWeights;
            bone.mNumWeights = static_cast<unsigned>(kept[b].size());
            bone.mWeights = new aiVertexWeight[kept[b].size()];
            std::copy(kept[b].begin(), kept[b].end(), bone.mWeights);
        }
    }
    return cut;
}

// How many bones skins bind in different poses (different offset matrices).
std::size_t bonesBoundApart(const aiScene& scene) {
    std::map<std::string, aiMatrix4x4> pose;
    std::set<std::string> apart;
    for (unsigned m = 0; m < scene.mNumMeshes; ++m)
        for (unsigned b = 0; b < scene.mMeshes[m]->mNumBones; ++b) {
            const aiBone& bone = *scene.mMeshes[m]->mBones[b];
            const auto [it, added] = pose.emplace(bone.mName.C_Str(), bone.mOffsetMatrix);
            if (!added && !it->second.Equal(bone.mOffsetMatrix, 0)) apart.insert(it->first);
        }
    return apart.size();
}

// Where the scene first holds a number a format cannot write ("node \"Box\": a number in its
// transform"), and that number. No format can write an infinite or undefined number: glTF forbids
// them, and the text formats write words that readers (Assimp's among them) refuse or misread.
// Assimp's FBX writer writes the numbers of its arrays in fixed-point form and fails on those of 23
// digits or more.
class UnwritableNumber {
public:
    UnwritableNumber(double arrayLimit, bool splitTransforms, bool bakes)
        : arrayLimit_(arrayLimit), split_(splitTransforms), bakes_(bakes) {}
    std::string where;
    double value = 0;
    bool unsplittable = false;  // a transform whose parts are not all finite numbers

    // Whether every number of the n values at values can be written (vectors, colours and
    // matrices are made of ai_real; a material property is n bytes of Number).
    template <class Number = ai_real, class T>
    bool fits(const T* values, size_t n) {
        const auto* numbers = reinterpret_cast<const Number*>(values);
        return values == nullptr || std::all_of(numbers, numbers + n * sizeof(T) / sizeof(Number), [&](Number x) { return fits(x); });
    }
    bool fits(double x) {
        if (std::isfinite(x) && std::fabs(x) < limit_) return true;
        value = x;
        return false;
    }
    template <class Key>
    bool keysFit(const Key* keys, unsigned n) {
        return keys == nullptr || std::all_of(keys, keys + n, [&](const Key& k) { return fits(k.mTime) && fits(&k.mValue, 1); });
    }

    void find(const aiScene& scene) {
        if (scene.mRootNode) findInNode(*scene.mRootNode);
        limit_ = arrayLimit_;
        for (unsigned i = 0; where.empty() && i < scene.mNumMeshes; ++i) findInMesh(*scene.mMeshes[i]);
        for (unsigned i = 0; where.empty() && i < scene.mNumAnimations; ++i) {
            const aiAnimation& a = *scene.mAnimations[i];
            for (unsigned c = 0; where.empty() && c < a.mNumChannels; ++c) {
                const aiNodeAnim& ch = *a.mChannels[c];
                if (!keysFit(ch.mPositionKeys, ch.mNumPositionKeys) || !keysFit(ch.mRotationKeys, ch.mNumRotationKeys) ||
                    !keysFit(ch.mScalingKeys, ch.mNumScalingKeys))
                    where = "node " + quoted(ch.mNodeName) + ": a number in its animation keys";
            }
        }
        limit_ = HUGE_VAL;
        if (bakes_ && where.empty() && scene.mRootNode) findBaked(scene, *scene.mRootNode, aiMatrix4x4());
        for (unsigned i = 0; where.empty() && i < scene.mNumMaterials; ++i) {
            const aiMaterial& material = *scene.mMaterials[i];
            for (unsigned p = 0; where.empty() && p < material.mNumProperties; ++p) {
                const aiMaterialProperty& property = *material.mProperties[p];
                const bool bad = property.mType == aiPTI_Float    ? !fits<float>(property.mData, property.mDataLength)
                                 : property.mType == aiPTI_Double ? !fits<double>(property.mData, property.mDataLength)
                                                                  : false;
                // Keys read "$clr.diffuse", "$mat.shininess": the last part names the value.
                const std::string key = property.mKey.C_Str();
                if (bad) where = "material " + quoted(material.GetName()) + ": a number in its " + key.substr(key.rfind('.') + 1);
            }
        }
        for (unsigned i = 0; where.empty() && i < scene.mNumLights; ++i) {
            const aiLight& l = *scene.mLights[i];
            const float numbers[] = {l.mAttenuationConstant, l.mAttenuationLinear, l.mAttenuationQuadratic, l.mAngleInnerCone,
                                     l.mAngleOuterCone};
            if (!fits(numbers, std::size(numbers)) || !fits(&l.mPosition, 1) || !fits(&l.mDirection, 1) || !fits(&l.mUp, 1) ||
                !fits(&l.mColorDiffuse, 1) || !fits(&l.mColorSpecular, 1) || !fits(&l.mColorAmbient, 1) || !fits(&l.mSize, 1))
                where = "light " + quoted(l.mName) + ": a number in its settings";
        }
        for (unsigned i = 0; where.empty() && i < scene.mNumCameras; ++i) {
            const aiCamera& c = *scene.mCameras[i];
            const float numbers[] = {c.mHorizontalFOV, c.mClipPlaneNear, c.mClipPlaneFar, c.mAspect};
            if (!fits(numbers, std::size(numbers)) || !fits(&c.mPosition, 1) || !fits(&c.mUp, 1) || !fits(&c.mLookAt, 1))
                where = "camera " + quoted(c.mName) + ": a number in its settings";
        }
    }

private:
    static std::string quoted(const aiString& name) { return "\"" + std::string(name.data, name.length) + "\""; }

    void findInNode(const aiNode& n) {
        if (where.empty() && !fits(&n.mTransformation, 1)) where = "node " + quoted(n.mName) + ": a number in its transform";
        if (where.empty() && split_) {
            // Extreme scales overflow when the exporter takes the transform apart.
            aiVector3D scaling, position;
            aiQuaternion rotation;
            n.mTransformation.Decompose(scaling, rotation, position);
            const ai_real parts[] = {scaling.x, scaling.y, scaling.z, rotation.w, rotation.x, rotation.y, rotation.z};
            if (!std::all_of(std::begin(parts), std::end(parts), [](ai_real x) { return std::isfinite(x); })) {
                where = "node " + quoted(n.mName);
                unsplittable = true;
            }
        }
        for (unsigned i = 0; i < n.mNumChildren; ++i) findInNode(*n.mChildren[i]);
    }

    // The vertices and normals of the meshes below n as a writer that moves them into world space
    // computes them: the product of the transforms from the root down, times each vertex.
    void findBaked(const aiScene& scene, const aiNode& n, const aiMatrix4x4& parentWorld) {
        const aiMatrix4x4 world = parentWorld * n.mTransformation;
        const aiMatrix3x3 turn(world);
        for (unsigned i = 0; where.empty() && i < n.mNumMeshes; ++i) {
            if (n.mMeshes[i] >= scene.mNumMeshes) continue;
            const aiMesh& m = *scene.mMeshes[n.mMeshes[i]];
            for (unsigned v = 0; where.empty() && v < m.mNumVertices; ++v) {
                const aiVector3D point = world * m.mVertices[v];
                if (!fits(&point, 1)) where = "node " + quoted(n.mName) + ": a vertex of its mesh in world space";
                const aiVector3D normal = m.mNormals ? turn * m.mNormals[v] : aiVector3D();
                if (where.empty() && !fits(&normal, 1)) where = "node " + quoted(n.mName) + ": a normal of its mesh in world space";
            }
        }
        for (unsigned i = 0; where.empty() && i < n.mNumChildren; ++i) findBaked(scene, *n.mChildren[i], world);
    }

    void findInMesh(const aiMesh& m) {
        const unsigned n = m.mNumVertices;
        const char* what = !fits(m.mVertices, n)                              ? "vertices"
                           : !fits(m.mNormals, n)                             ? "normals"
                           : !fits(m.mTangents, n) || !fits(m.mBitangents, n) ? "tangents"
                                                                              : nullptr;
        for (unsigned k = 0; !what && k < AI_MAX_NUMBER_OF_TEXTURECOORDS; ++k)
            if (!fits(m.mTextureCoords[k], n)) what = "texture coordinates";
        for (unsigned k = 0; !what && k < AI_MAX_NUMBER_OF_COLOR_SETS; ++k)
            if (!fits(m.mColors[k], n)) what = "vertex colours";
        for (unsigned b = 0; !what && b < m.mNumBones; ++b) {
            const aiBone& bone = *m.mBones[b];
            if (!fits(&bone.mOffsetMatrix, 1) ||
                !std::all_of(bone.mWeights, bone.mWeights + bone.mNumWeights, [&](const aiVertexWeight& w) { return fits(w.mWeight); }))
                what = "bones";
        }
        if (what) where = "mesh " + quoted(m.mName) + ": a number in its " + what;
    }

    double arrayLimit_;
    double limit_ = HUGE_VAL;  // of the numbers being checked
    bool split_;
    bool bakes_;
};

// Assimp's writers walk the node tree by recursion, as does the scene handed to them while it is
// built and freed: a deeper tree is refused instead of running out of stack.
constexpr int kMaxNodeDepth = 1000;

// The first node, in depth-first order, below kMaxNodeDepth levels of the tree; null when none is.
INode* nodeTooDeep(INode* root) {
    std::vector<std::pair<INode*, int>> pending{{root, 0}};
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        if (depth > kMaxNodeDepth) return node;
        for (int i = node->NumberOfChildren(); i-- > 0;)
            if (INode* child = node->GetChildNode(i)) pending.emplace_back(child, depth + 1);
    }
    return nullptr;
}

// Whether a transform shears: its axes are not at right angles, which translation, rotation and
// scale cannot hold (a writer that takes transforms apart loses the shear). Whatever the scale; an
// axis of no length is at right angles to every other.
bool shears(const aiMatrix4x4& m) {
    const aiVector3D axes[3] = {{m.a1, m.b1, m.c1}, {m.a2, m.b2, m.c2}, {m.a3, m.b3, m.c3}};
    for (int i = 0; i < 3; ++i)
        for (int j = i + 1; j < 3; ++j)
            if (std::fabs(axes[i] * axes[j]) > 1e-4f * axes[i].Length() * axes[j].Length()) return true;
    return false;
}

// The names of the nodes below n whose transform shears.
void findShearedNodes(const aiNode& n, std::set<std::string>& names) {
    if (shears(n.mTransformation)) names.insert(n.mName.C_Str());
    for (unsigned i = 0; i < n.mNumChildren; ++i) findShearedNodes(*n.mChildren[i], names);
}

// Moves every key later by the time the earliest one lies before 0; returns that time in seconds
// (0 when no key does).
double startKeysAtZero(aiScene& scene) {
    double first = 0;
    for (unsigned a = 0; a < scene.mNumAnimations; ++a)
        for (unsigned c = 0; c < scene.mAnimations[a]->mNumChannels; ++c) {
            const aiNodeAnim& ch = *scene.mAnimations[a]->mChannels[c];
            for (unsigned k = 0; k < ch.mNumPositionKeys; ++k) first = std::min(first, ch.mPositionKeys[k].mTime);
            for (unsigned k = 0; k < ch.mNumRotationKeys; ++k) first = std::min(first, ch.mRotationKeys[k].mTime);
            for (unsigned k = 0; k < ch.mNumScalingKeys; ++k) first = std::min(first, ch.mScalingKeys[k].mTime);
        }
    if (first == 0) return 0;
    for (unsigned a = 0; a < scene.mNumAnimations; ++a) {
        scene.mAnimations[a]->mDuration -= first;
        for (unsigned c = 0; c < scene.mAnimations[a]->mNumChannels; ++c) {
            aiNodeAnim& ch = *scene.mAnimations[a]->mChannels[c];
            for (unsigned k = 0; k < ch.mNumPositionKeys; ++k) ch.mPositionKeys[k].mTime -= first;
            for (unsigned k = 0; k < ch.mNumRotationKeys; ++k) ch.mRotationKeys[k].mTime -= first;
            for (unsigned k = 0; k < ch.mNumScalingKeys; ++k) ch.mScalingKeys[k].mTime -= first;
        }
    }
    return -first;
}

}  // namespace

const std::vector<ForeignWriteFormat>& foreignWriteFormats() {
    static const std::vector<ForeignWriteFormat> formats = [] {
        std::vector<ForeignWriteFormat> list;
        for (const FormatEntry& entry : formatTable()) list.push_back(entry.format);
        return list;
    }();
    return formats;
}

std::string foreignWriteExtensionList() {
    std::string list;
    for (const FormatEntry& entry : formatTable()) list += (list.empty() ? "" : ", ") + entry.format.extension;
    return list;
}

bool isForeignWritePath(const std::string& path) { return findFormat(path) != nullptr; }

std::vector<ForeignFile> renderForeignScene(Host& host, const std::string& path, std::vector<std::string>* leftOut) {
    const FormatEntry* format = findFormat(path);
    if (format == nullptr)
        throw ForeignWriteError("cannot write \"." + lowerExtension(path) +
                                "\" files (writable: " + foreignWriteExtensionList() + ")");

    if (INode* deep = nodeTooDeep(host.scene().root()))
        throw ForeignWriteError("node \"" + std::string(deep->GetName() ? deep->GetName() : "") + "\" lies more than " +
                                std::to_string(kMaxNodeDepth) + " levels deep: the " + format->format.extension +
                                " writer takes node trees of up to " + std::to_string(kMaxNodeDepth) + " levels");

    std::unique_ptr<aiScene> scene;
    try {
        const bool byName = (format->keeps & kByName) != 0;
        scene = buildForeignScene(host, {(format->keeps & kAmbient) != 0, !byName && !format->partsNamedByMesh, byName});
    } catch (const std::bad_alloc&) {
        throw ForeignWriteError("out of memory while converting the scene");
    } catch (const std::exception& e) {
        throw ForeignWriteError(e.what());
    }

    if (!format->quotes)
        if (const std::string text = textWithQuote(*scene); !text.empty())
            throw ForeignWriteError("\"" + text + "\": the " + format->format.extension +
                                    " writer cannot write a double quote (rename it)");

    if (format->starsEmbedded) unstarTextureFiles(*scene);
    if (format->gltfRules) {
        textureFilesAsUris(*scene);
        shininessOnGltfScale(*scene);
    }
    if (format->lightsDownY) turnLightNodes(*scene);
    if (format->lightGain != 1.0f) dimLights(*scene, format->lightGain);
    if (format->bakes) prepareMeshesForBaking(*scene);
    std::vector<std::string> notes;
    const std::string writer = "the " + format->format.extension + " writer";
    if (format->influences > 0)
        if (const std::size_t cut = limitInfluences(*scene, format->influences); cut > 0)
            notes.push_back(std::to_string(cut) + (cut == 1 ? " vertex keeps" : " vertices keep") + " only " +
                            (cut == 1 ? "its " : "their ") + std::to_string(format->influences) +
                            " largest bone influences, scaled to the same sum: " + writer + " writes " +
                            std::to_string(format->influences) + " a vertex");
    if (format->influences > 0)
        if (const std::size_t unweighted = unweightedVertices(*scene); unweighted > 0)
            notes.push_back(std::to_string(unweighted) + (unweighted == 1 ? " skinned vertex has" : " skinned vertices have") +
                            " no bone weights: " + writer + " writes them with weights of 0, which readers may draw at the origin");
    if (format->oneBindPose)
        if (const std::size_t apart = bonesBoundApart(*scene); apart > 0)
            notes.push_back(std::to_string(apart) + (apart == 1 ? " bone is" : " bones are") +
                            " bound in different poses by different skins: " + writer +
                            " keeps one bind pose a bone, so some skins are drawn as bound in another's pose");

    const bool splits = format->splits == FormatEntry::Split::Always ||
                        (format->splits == FormatEntry::Split::Animated && scene->mNumAnimations > 0);
    // Keys are always written as translation, rotation and scale; node transforms where the writer
    // takes them apart.
    std::set<std::string> sheared;
    if (splits && scene->mRootNode) findShearedNodes(*scene->mRootNode, sheared);
    if (format->keeps & kAnimation)
        for (Node* node : host.scene().nodes())
            for (const TransformKey& key : node->track().Keys())
                if (shears(toAssimpMatrix(key.tm))) {
                    sheared.insert(document::utf8Text(node->GetName()));
                    break;
                }
    if (!sheared.empty())
        notes.push_back(std::to_string(sheared.size()) + (sheared.size() == 1 ? " node" : " nodes") + " (\"" +
                        *sheared.begin() + "\"" + (sheared.size() > 1 ? " ..." : "") +
                        ") written without the shear of its transform or keys: " + writer +
                        " writes them as translation, rotation and scale");
    if (format->gltfRules)
        if (const double later = startKeysAtZero(*scene); later > 0) {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%g", later);
            notes.push_back(std::string("the animation written ") + seconds + " s later: " + writer +
                            " writes no key before 0 s");
        }
    UnwritableNumber unwritable(format->largest, splits, format->bakes);
    unwritable.find(*scene);
    if (!unwritable.where.empty()) {
        const std::string writer = "the " + format->format.extension + " writer";
        if (unwritable.unsplittable)
            throw ForeignWriteError(unwritable.where + ": its transform is too extreme to take apart into translation, " +
                                    "rotation and scale, as " + writer + " writes it");
        if (!std::isfinite(unwritable.value))
            throw ForeignWriteError(unwritable.where + " is not finite (inf or nan): " + writer + " cannot write it");
        auto text = [](double x) {
            char digits[32];
            std::snprintf(digits, sizeof digits, "%g", x);
            return std::string(digits);
        };
        throw ForeignWriteError(unwritable.where + " is too large (" + text(unwritable.value) + "): " + writer +
                                " writes such numbers below " + text(format->largest) + " only");
    }

    // glTF's writers join identical vertices first: corners of other colours or later texture sets
    // stay apart, where a first texture set (written with two numbers) can carry the marks.
    if (format->gltfRules) foreign::markCorners(*scene, true, false);
    std::deque<ForeignFile> captured;
    Assimp::Exporter exporter;
    exporter.SetIOHandler(new CapturingFileSystem(captured));  // the exporter owns it
    aiReturn result = aiReturn_FAILURE;
    try {
        result = exporter.Export(scene.get(), format->exporterId, path, 0);
    } catch (const std::exception& e) {
        throw ForeignWriteError(std::string("the exporter failed: ") + e.what());
    }
    if (result != aiReturn_SUCCESS) {
        std::string why = exporter.GetErrorString();
        while (!why.empty() && (why.back() == '\n' || why.back() == '.')) why.pop_back();
        throw ForeignWriteError(why.empty() ? "the exporter failed" : why);
    }
    std::vector<ForeignFile> files(std::make_move_iterator(captured.begin()), std::make_move_iterator(captured.end()));
    // The main file last, so that it is renamed into place once everything it names is there.
    std::stable_partition(files.begin(), files.end(), [&](const ForeignFile& f) { return f.path != path; });
    if (files.empty() || files.back().path != path) throw ForeignWriteError("the exporter wrote no file");
    if (format->gltfRules && !format->format.extension.ends_with("glb")) bufferFilesAsUris(files.back(), files);
    if (format->fbxCurves && scene->mNumAnimations > 0) {
        std::string text(files.back().bytes.begin(), files.back().bytes.end());
        mendFbxCurves(text);
        files.back().bytes.assign(text.begin(), text.end());
    }
    if (leftOut) {
        *leftOut = leftOutNotes(host, *scene, *format);
        leftOut->insert(leftOut->end(), notes.begin(), notes.end());
    }
    return files;
}

}  // namespace headless
