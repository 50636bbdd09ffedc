// The read of a foreign file with Assimp, as the reading process runs it: the file is read, its faces
// checked, post-processed and packed for the loader. It depends on Assimp and the hand-over only, so
// that a reader program can run it too.
#include "headless/foreign_read.h"

#include <assimp/DefaultIOSystem.h>
#include <assimp/DefaultLogger.hpp>
#include <assimp/Importer.hpp>
#include <assimp/Logger.hpp>
#include <assimp/ProgressHandler.hpp>
#include <assimp/config.h>
#include <assimp/anim.h>
#include <assimp/commonMetaData.h>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace headless::foreign {

namespace {

// Assimp's file access, noting every file a reader opens: the model and the files it names
// (buffers, material libraries), which a command must not then write over.
class NotingIOSystem : public Assimp::DefaultIOSystem {
public:
    explicit NotingIOSystem(std::vector<std::string>& opened) : opened_(opened) {}
    Assimp::IOStream* Open(const char* file, const char* mode) override {
        Assimp::IOStream* stream = DefaultIOSystem::Open(file, mode);
        // glTF names its buffer files by URI ("my%20model.bin"), which Assimp's reader opens as it
        // is written: a file of that name is taken first, else the file the URI names.
        std::string decoded;
        if (!stream && file && std::strchr(file, '%')) {
            decoded = percentDecoded(file);
            stream = DefaultIOSystem::Open(decoded.c_str(), mode);
            if (stream) file = decoded.c_str();
        }
        std::error_code ec;
        if (stream && file) {
            const std::string path = std::filesystem::absolute(file, ec).lexically_normal().string();
            if (!ec && std::find(opened_.begin(), opened_.end(), path) == opened_.end()) opened_.push_back(path);
        }
        return stream;
    }

private:
    std::vector<std::string>& opened_;
};

// Forwards Assimp's progress (reading and post-processing, 0..1) as 0..80 percent; building the
// scene takes the rest.
class ProgressForwarder : public Assimp::ProgressHandler {
public:
    explicit ProgressForwarder(std::function<void(int)> report) : report_(std::move(report)) {}
    bool Update(float fraction) override {
        if (fraction >= 0.0f) {
            const int percent = static_cast<int>(std::clamp(fraction, 0.0f, 1.0f) * 80.0f);
            if (percent != last_) report_(last_ = percent);
        }
        return true;
    }

private:
    std::function<void(int)> report_;
    int last_ = -1;
};

// Assimp's message as one line: line breaks become spaces, runs of blanks one blank.
std::string oneLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
        if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
        out += c;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out.empty() ? "the file could not be read" : out;
}

// What Assimp's readers report as errors: a reader that still returns a scene has left out or
// replaced part of the file (a material library that is not there becomes default materials).
// Each message is kept once, up to kMaxNotes of them.
class ErrorNotes : public Assimp::Logger {
public:
    static constexpr std::size_t kMaxNotes = 8;
    std::vector<std::string> notes;
    std::size_t more = 0;

    bool attachStream(Assimp::LogStream*, unsigned) override { return false; }
    bool detachStream(Assimp::LogStream*, unsigned) override { return false; }

protected:
    void OnDebug(const char*) override {}
    void OnVerboseDebug(const char*) override {}
    void OnInfo(const char*) override {}
    void OnWarn(const char*) override {}
    void OnError(const char* message) override {
        std::string note = oneLine(message);
        // Assimp's FBX writer lists a colour and a texture-coordinate layer for every mesh, whether
        // the mesh has them or not, and its reader reports each missing one: the FBX files this
        // suite writes would warn on every read, with nothing lost.
        if (note.rfind("FBX: failed to resolve vertex layer element", 0) == 0) return;
        if (note.size() > 300) note = note.substr(0, 297) + "...";
        if (std::find(notes.begin(), notes.end(), note) != notes.end()) return;
        if (notes.size() < kMaxNotes) notes.push_back(std::move(note));
        else ++more;
    }
};

bool hasFaceWithoutCorners(const aiScene& ai) {
    for (unsigned m = 0; m < ai.mNumMeshes; ++m) {
        const aiMesh* mesh = ai.mMeshes[m];
        if (!mesh) continue;
        for (unsigned f = 0; f < mesh->mNumFaces; ++f)
            if (mesh->mFaces && mesh->mFaces[f].mNumIndices == 0) return true;
    }
    return false;
}

// Whether every node at or below node has a name of its own: none repeated, none made up by
// Assimp's Collada reader for a node without one.
bool namesAreOwn(const aiNode* node) {
    std::unordered_set<std::string_view> seen;
    std::vector<const aiNode*> pending{node};
    while (!pending.empty()) {
        const aiNode* n = pending.back();
        pending.pop_back();
        if (!n) continue;
        const std::string_view name(n->mName.data, n->mName.length);
        if (name.starts_with("$ColladaAutoName$") || !seen.insert(name).second) return false;
        pending.insert(pending.end(), n->mChildren, n->mChildren + n->mNumChildren);
    }
    return true;
}

// Post-processing Assimp runs on every file: polygons to triangles, primitive kinds in meshes of
// their own (so points and lines can be left out), shared vertices joined, normals where the file
// has none, texture coordinates where a texture is projected (planar, box, cylindrical, spherical),
// meshes cut below the Zeq vertex limit, and the whole checked for bad indices.
unsigned readFlags() {
    return aiProcess_Triangulate | aiProcess_SortByPType | aiProcess_JoinIdenticalVertices |
           aiProcess_GenSmoothNormals | aiProcess_GenUVCoords | aiProcess_SplitLargeMeshes |
           aiProcess_ValidateDataStructure;
}

// The JSON text of a glTF file: the file itself, or a .glb's first chunk (read alone, without the
// binary data after it). Empty when there is none.
std::string gltfJson(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    char header[20] = {};
    in.read(header, sizeof header);
    if (in.gcount() == sizeof header && std::memcmp(header, "glTF", 4) == 0) {
        uint32_t length = 0;
        std::memcpy(&length, header + 12, 4);  // little-endian, as the format and this machine are
        std::error_code error;
        const auto size = std::filesystem::file_size(path, error);
        if (error || std::memcmp(header + 16, "JSON", 4) != 0 || length > size - sizeof header) return {};
        std::string json(length, '\0');
        in.read(json.data(), length);
        return in.gcount() == static_cast<std::streamsize>(length) ? json : std::string();
    }
    in.clear();
    in.seekg(0);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Assimp's glTF 1.0 reader gives shininess as the file's specular exponent, where its glTF 2.0
// reader gives glossiness times 1000, and leaves cameras looking down +Z, where glTF cameras look
// down -Z: a glTF 1.0 scene is made what the glTF 2.0 reader gives, which the reading expects.
void asGltf2Scene(const aiScene& scene) {
    aiString format;
    if (!scene.mMetaData || !scene.mMetaData->Get(AI_METADATA_SOURCE_FORMAT, format) ||
        std::string_view(format.C_Str()) != "glTF Importer")
        return;
    for (unsigned i = 0; i < scene.mNumMaterials; ++i) {
        aiMaterial& material = *scene.mMaterials[i];
        float exponent = 0.0f;
        if (material.Get(AI_MATKEY_SHININESS, exponent) != AI_SUCCESS) continue;
        const float glossiness = exponent * 10.0f;
        material.AddProperty(&glossiness, 1, AI_MATKEY_SHININESS);
    }
    for (unsigned i = 0; i < scene.mNumCameras; ++i) scene.mCameras[i]->mLookAt = aiVector3D(0.0f, 0.0f, -1.0f);
}

// Assimp's 3DS reader gives the place of a camera or light that the file animates twice: as its
// position, and as the transform of its node, which the position then moves again. The node's
// place is kept; a node of the identity (nothing placed it) takes the position.
void placedOnce(const aiScene& scene) {
    auto once = [&](const aiString& name, aiVector3D& position) {
        const aiNode* node = scene.mRootNode ? scene.mRootNode->FindNode(name) : nullptr;
        if (node && !node->mTransformation.IsIdentity()) position = aiVector3D();
    };
    for (unsigned i = 0; i < scene.mNumCameras; ++i) once(scene.mCameras[i]->mName, scene.mCameras[i]->mPosition);
    for (unsigned i = 0; i < scene.mNumLights; ++i) once(scene.mLights[i]->mName, scene.mLights[i]->mPosition);
}

// Assimp's glTF reader takes every sampler as linear, but a step sampler holds each key until the
// next: before each key of such a sampler the previous value is kept, one host tick earlier, so
// that the keys between read the held value.
void holdStepKeys(const std::filesystem::path& path, const aiScene& scene) {
    if (scene.mNumAnimations == 0) return;
    const nlohmann::json doc = nlohmann::json::parse(gltfJson(path), nullptr, false);
    if (!doc.is_object() || !doc.contains("animations") || !doc["animations"].is_array() ||
        doc["animations"].empty() || !doc.contains("nodes") || !doc["nodes"].is_array())
        return;
    const nlohmann::json& animation = doc["animations"][0];
    const nlohmann::json& nodes = doc["nodes"];
    if (!animation.is_object() || !animation.contains("channels") || !animation.contains("samplers")) return;
    const nlohmann::json& samplers = animation["samplers"];
    aiAnimation& target = *scene.mAnimations[0];
    // One host tick in the animation's time unit.
    const double tick = (target.mTicksPerSecond > 0.0 ? target.mTicksPerSecond : 1000.0) / 4800.0;
    auto hold = [tick](auto*& keys, unsigned& count) {
        using Key = std::remove_pointer_t<std::remove_reference_t<decltype(keys)>>;
        std::vector<Key> held;
        for (unsigned k = 0; k < count; ++k) {
            if (k > 0 && keys[k].mTime - tick > keys[k - 1].mTime)
                held.push_back(Key(keys[k].mTime - tick, keys[k - 1].mValue));
            held.push_back(keys[k]);
        }
        if (held.size() == count) return;
        delete[] keys;
        keys = new Key[held.size()];
        std::copy(held.begin(), held.end(), keys);
        count = static_cast<unsigned>(held.size());
    };
    // Assimp names a node without a name "nodes[N]". Channels name their node alone: where nodes
    // share the name, they cannot be told apart, and are left as they are.
    auto nameOf = [&](std::size_t index) {
        const nlohmann::json& entry = nodes[index];
        const bool named = entry.is_object() && entry.contains("name") && entry["name"].is_string() &&
                           !entry["name"].get_ref<const std::string&>().empty();
        return named ? entry["name"].get<std::string>() : "nodes[" + std::to_string(index) + "]";
    };
    std::unordered_map<std::string, std::size_t> namesakes;  // nodes of each name
    for (std::size_t index = 0; index < nodes.size(); ++index) ++namesakes[nameOf(index)];
    std::unordered_map<std::string, std::vector<aiNodeAnim*>> channelsOf;  // Assimp's channels by node name
    for (unsigned c = 0; c < target.mNumChannels; ++c)
        channelsOf[target.mChannels[c]->mNodeName.C_Str()].push_back(target.mChannels[c]);
    for (const nlohmann::json& channel : animation["channels"]) {
        if (!channel.is_object() || !channel.contains("sampler") || !channel.contains("target")) continue;
        const nlohmann::json& sampler = channel["sampler"];
        const nlohmann::json& where = channel["target"];
        if (!sampler.is_number_unsigned() || sampler.get<std::size_t>() >= samplers.size() || !where.is_object())
            continue;
        const nlohmann::json& used = samplers[sampler.get<std::size_t>()];
        if (!used.is_object() || used.value("interpolation", "") != "STEP") continue;
        const nlohmann::json node = where.value("node", nlohmann::json());
        if (!node.is_number_unsigned() || node.get<std::size_t>() >= nodes.size()) continue;
        const std::string name = nameOf(node.get<std::size_t>());
        const auto found = channelsOf.find(name);
        if (namesakes[name] > 1 || found == channelsOf.end()) continue;
        const std::string part = where.value("path", "");
        for (aiNodeAnim* keys : found->second) {
            if (part == "translation") hold(keys->mPositionKeys, keys->mNumPositionKeys);
            else if (part == "rotation") hold(keys->mRotationKeys, keys->mNumRotationKeys);
            else if (part == "scale") hold(keys->mScalingKeys, keys->mNumScalingKeys);
        }
    }
}

}  // namespace

std::string readWithAssimp(const std::filesystem::path& path, const ForeignReadOptions& options, int sceneFd) {
    // Assimp's logger is the process's: it collects this read's errors and goes with the read.
    auto* errors = new ErrorNotes();
    Assimp::DefaultLogger::set(errors);
    struct Unset {
        ~Unset() { Assimp::DefaultLogger::set(nullptr); }  // deletes the collector
    } unset;
    // Never deleted: the reading process ends once the scene is handed over, and freeing a large
    // scene piece by piece would only delay that.
    Assimp::Importer& importer = *new Assimp::Importer();
    std::vector<std::string> opened;
    importer.SetIOHandler(new NotingIOSystem(opened));
    if (options.progress) importer.SetProgressHandler(new ProgressForwarder(options.progress));
    importer.SetPropertyInteger(AI_CONFIG_PP_SLM_VERTEX_LIMIT, static_cast<int>(kMaxMeshVertices));
    importer.SetPropertyInteger(AI_CONFIG_PP_SLM_TRIANGLE_LIMIT, static_cast<int>(kMaxMeshTriangles));
    // Without it, readers of files that hold no mesh (Collada lights or cameras, BVH motion) invent
    // one: a skinned mesh of the node tree, whose bones the nodes then become.
    importer.SetPropertyBool(AI_CONFIG_IMPORT_NO_SKELETON_MESHES, true);
    // FBX pivots and offsets go into the node's own transform, not onto a chain of helper nodes
    // ("Box01_$AssimpFbx$_RotationPivot" ...) above it; the world transforms are the same.
    importer.SetPropertyBool(AI_CONFIG_IMPORT_FBX_PRESERVE_PIVOTS, false);
    // Collada nodes keep the names their authoring tool shows (the "name" attributes: "Box01",
    // "with space", "Würfel") rather than their XML ids ("Box01-node", "withWspace", "ID22"). Bones,
    // animation, lights and cameras refer to nodes by name: when a node has no name (Assimp then
    // makes one up) or shares it with another, the file is read again by its ids, which are unique.
    importer.SetPropertyBool(AI_CONFIG_IMPORT_COLLADA_USE_COLLADA_NAMES, true);
    // Read first, post-process after the faces are checked: Assimp's triangulation aborts on a face
    // without corners (a damaged PLY file, for one).
    const aiScene* read = importer.ReadFile(path.string(), 0);
    const std::string extension = lowerExtension(path);
    const bool collada = extension == "dae" || extension == "zae";
    if (read && collada && !namesAreOwn(read->mRootNode)) {
        importer.SetPropertyBool(AI_CONFIG_IMPORT_COLLADA_USE_COLLADA_NAMES, false);
        read = importer.ReadFile(path.string(), 0);
    }
    // Some readers turn the file's coordinates Y-up (and Collada's into metres) through the
    // transform of a root that is not the file's (a Collada visual scene has no transform of its
    // own; the others make one up): undone, so that the scene holds the file's own coordinates, as
    // it does for every other format. These are the Z-up formats of modelling and game tools.
    static constexpr std::string_view kTurnedRoots[] = {"dae", "zae", "3ds", "ase", "dxf", "md2", "md5mesh", "mdc", "iqm"};
    if (read && read->mRootNode && std::ranges::find(kTurnedRoots, extension) != std::end(kTurnedRoots))
        read->mRootNode->mTransformation = aiMatrix4x4();
    if (read && extension == "3ds") placedOnce(*read);
    if (read && hasFaceWithoutCorners(*read)) throw ForeignSceneError("a face without corners");
    // A scene without meshes (BVH motion) passes the data structure check only when marked
    // incomplete, as the readers of other such files mark theirs.
    if (read && read->mNumMeshes == 0) const_cast<aiScene*>(read)->mFlags |= AI_SCENE_FLAGS_INCOMPLETE;
    if (read && (extension == "gltf" || extension == "glb")) {
        asGltf2Scene(*read);
        try {
            holdStepKeys(path, *read);
        } catch (const nlohmann::json::exception&) {
            // A value of another type than glTF gives it: the file's own reader took it as it could.
        }
    }
    if (read) {
        // Corners of other colours or later texture sets stay apart through the joining.
        const CornerMarks marks = markCorners(const_cast<aiScene&>(*read), false, true);
        read = importer.ApplyPostProcessing(readFlags());
        if (read) unmarkCorners(const_cast<aiScene&>(*read), marks);
    }
    if (!read) {
        const std::string why = importer.GetErrorString();
        if (why.find("bad_alloc") != std::string::npos) throw std::bad_alloc();
        throw ForeignSceneError(oneLine(why));
    }
    packScene(*read, sceneFd);
    // The files first: a text too long for the hand-over loses warnings, not the files.
    std::string notes;
    for (const std::string& file : opened) notes += kFileReadNote + file + "\n";
    for (const std::string& note : errors->notes) notes += note + "\n";
    if (errors->more > 0) notes += "the reader reported " + std::to_string(errors->more) + " more errors\n";
    return notes;
}

}  // namespace headless::foreign
