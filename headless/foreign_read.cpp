// Foreign scene files into the headless scene: reading the file through Assimp, the node tree,
// lights and cameras. Meshes, materials and animation have files of their own.
#include "headless/foreign_read.h"

#include "headless/host.h"
#include "headless/lights.h"
#include "headless/objects.h"
#include "headless/scene_node.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <numbers>
#include <sstream>
#include <string_view>
#include <vector>

namespace headless {

namespace foreign {

Matrix3 toMatrix3(const aiMatrix4x4& m) {
    Matrix3 out;
    out.SetRow(0, {m.a1, m.b1, m.c1});
    out.SetRow(1, {m.a2, m.b2, m.c2});
    out.SetRow(2, {m.a3, m.b3, m.c3});
    out.SetRow(3, {m.a4, m.b4, m.c4});
    return out;
}

TimeValue secondsToTicks(double seconds) {
    const double ticks = std::round(seconds * kTicksPerSecond);
    // Keys far outside the host's time line are held at its ends rather than wrapping around.
    constexpr double kLimit = 2147483647.0;
    return static_cast<TimeValue>(std::clamp(ticks, -kLimit, kLimit));
}

namespace {

// A file root that is only a container: no geometry, lights or cameras of its own, no transform,
// and not moved by the animation.
bool isPlainRoot(const aiScene& ai) {
    const aiNode& root = *ai.mRootNode;
    if (root.mNumMeshes > 0 || !root.mTransformation.IsIdentity()) return false;
    const auto named = [&](const aiString& name) { return name == root.mName; };
    for (unsigned i = 0; i < ai.mNumLights; ++i)
        if (named(ai.mLights[i]->mName)) return false;
    for (unsigned i = 0; i < ai.mNumCameras; ++i)
        if (named(ai.mCameras[i]->mName)) return false;
    for (unsigned a = 0; a < ai.mNumAnimations; ++a)
        for (unsigned c = 0; c < ai.mAnimations[a]->mNumChannels; ++c)
            if (named(ai.mAnimations[a]->mChannels[c]->mNodeName)) return false;
    for (unsigned m = 0; m < ai.mNumMeshes; ++m)
        for (unsigned b = 0; b < ai.mMeshes[m]->mNumBones; ++b)
            if (named(ai.mMeshes[m]->mBones[b]->mName)) return false;
    return true;
}

class TreeBuilder {
public:
    explicit TreeBuilder(foreign::ReadState& state) : state_(state) {}

    void build() {
        const aiNode* root = state_.ai.mRootNode;
        if (isPlainRoot(state_.ai)) {
            state_.nodes[root] = nullptr;
            state_.world[root] = aiMatrix4x4();
            for (unsigned i = 0; i < root->mNumChildren; ++i) makeNode(*root->mChildren[i], nullptr, aiMatrix4x4());
        } else {
            makeNode(*root, nullptr, aiMatrix4x4());
        }
    }

private:
    // Whether a child is a part of its parent's multi-material mesh: Assimp's FBX writer writes a
    // node of several meshes as an empty node with a child of the same name for each mesh, in
    // place and without children (the node's own children follow them).
    static bool isMeshPart(const aiNode& parent, const aiNode& child) {
        return parent.mNumMeshes == 0 && child.mName == parent.mName && child.mNumChildren == 0 && child.mNumMeshes > 0 &&
               child.mTransformation.IsIdentity();
    }

    void makeNode(const aiNode& source, INode* parent, const aiMatrix4x4& parentWorld) {
        std::string name = source.mName.C_Str();
        if (name.empty()) name = "Node" + std::to_string(++unnamed_);
        Node* node = state_.scene.createNode(name, parent);
        node->setLocalTM(foreign::toMatrix3(source.mTransformation));
        const aiMatrix4x4 world = parentWorld * source.mTransformation;
        state_.nodes[&source] = node;
        state_.world[&source] = world;
        state_.nodesByName[source.mName.C_Str()].push_back(node);
        ++state_.report.nodes;
        // Two parts or more are folded back into the node, which shows their meshes.
        std::vector<unsigned> parts;
        for (unsigned i = 0; i < source.mNumChildren; ++i)
            if (isMeshPart(source, *source.mChildren[i])) parts.push_back(i);
        if (parts.size() < 2) parts.clear();
        for (unsigned i : parts) {
            const aiNode& part = *source.mChildren[i];
            std::vector<unsigned>& meshes = state_.foldedMeshes[&source];
            meshes.insert(meshes.end(), part.mMeshes, part.mMeshes + part.mNumMeshes);
            state_.nodes[&part] = node;
            state_.world[&part] = world;
        }
        for (unsigned i = 0; i < source.mNumChildren; ++i)
            if (std::find(parts.begin(), parts.end(), i) == parts.end()) makeNode(*source.mChildren[i], node, world);
    }

    foreign::ReadState& state_;
    int unnamed_ = 0;
};

// The local frame of a light or camera inside its node: at `position`, looking down its -Z along
// `direction`, with `up` as near its Y axis as the direction allows.
Matrix3 lookFrame(const aiVector3D& position, aiVector3D direction, aiVector3D up) {
    if (direction.SquareLength() <= 0.0f) direction = {0.0f, 0.0f, -1.0f};
    const aiVector3D z = (-direction).Normalize();
    aiVector3D x = up ^ z;
    // No usable up vector (some readers leave it zero): Y up, as the host's lights and cameras have it.
    if (x.SquareLength() < 1e-12f) x = aiVector3D(0, 1, 0) ^ z;
    if (x.SquareLength() < 1e-12f) x = (std::abs(z.x) < 0.9f ? aiVector3D(1, 0, 0) : aiVector3D(0, 1, 0)) ^ z;
    x.Normalize();
    const aiVector3D y = z ^ x;
    return Matrix3({x.x, x.y, x.z}, {y.x, y.y, y.z}, {z.x, z.y, z.z}, {position.x, position.y, position.z});
}

// Whether the model's animation moves the named node.
bool isAnimated(const foreign::ReadState& state, const std::string& name) {
    for (unsigned a = 0; a < state.ai.mNumAnimations; ++a)
        for (unsigned c = 0; c < state.ai.mAnimations[a]->mNumChannels; ++c)
            if (name == state.ai.mAnimations[a]->mChannels[c]->mNodeName.C_Str()) return true;
    return false;
}

// The node that shows an object placed in the named node's frame: the node itself when it holds
// nothing yet and the object sits at its origin looking down -Z, or when it holds nothing, has no
// children and no keys (the frame then goes into the node's own transform: FBX lights shine down
// their node's -Y); otherwise a new child node.
INode* holderFor(foreign::ReadState& state, const std::string& name, const Matrix3& frame, const char* suffix) {
    INode* node = state.nodeNamed(name);
    if (node && !node->GetObjectRef() && frame.IsIdentity(1e-6f)) return node;
    if (auto* leaf = dynamic_cast<Node*>(node); leaf && !leaf->GetObjectRef() && leaf->NumberOfChildren() == 0 && !isAnimated(state, name)) {
        leaf->setLocalTM(frame * leaf->GetLocalTM(0));
        return leaf;
    }
    Node* child = state.scene.createNode((name.empty() ? std::string("Object") : name) + suffix, node);
    child->setLocalTM(frame);
    ++state.report.nodes;
    return child;
}

void buildLights(foreign::ReadState& state) {
    Point3 ambient(0.0f, 0.0f, 0.0f);
    bool hasAmbient = false;
    for (unsigned i = 0; i < state.ai.mNumLights; ++i) {
        const aiLight& source = *state.ai.mLights[i];
        const aiColor3D& c = source.mColorDiffuse;
        if (source.mType == aiLightSource_AMBIENT) {
            const aiColor3D& a = source.mColorAmbient.IsBlack() ? c : source.mColorAmbient;
            ambient += Point3(a.r, a.g, a.b);
            hasAmbient = true;
            continue;
        }
        int type = OMNI_LIGHT;
        switch (source.mType) {
        case aiLightSource_DIRECTIONAL: type = DIR_LIGHT; break;
        case aiLightSource_SPOT: type = FSPOT_LIGHT; break;
        case aiLightSource_POINT: type = OMNI_LIGHT; break;
        default:
            state.report.warnings.push_back("light \"" + std::string(source.mName.C_Str()) +
                                            "\": an area or unknown light kind, made an omni light");
            break;
        }
        Light* light = state.scene.newLight(type);
        // The host keeps a colour and a multiplier: colours brighter than white become white-range
        // colours times an intensity.
        const float peak = std::max({c.r, c.g, c.b});
        const float intensity = peak > 1.0f ? peak : 1.0f;
        light->SetRGBColor(0, Point3(c.r, c.g, c.b) / intensity);
        light->SetIntensity(0, intensity);
        // Falloff by the square of the distance, by the distance, or none (constant attenuation).
        if (state.lightDecay)
            light->SetDecayType(source.mAttenuationQuadratic > 0.0f ? 2 : source.mAttenuationLinear > 0.0f ? 1 : 0);
        if (type == FSPOT_LIGHT) {
            constexpr float kDegrees = 180.0f / std::numbers::pi_v<float>;
            const float whole = state.gltf ? 2.0f : 1.0f;
            const float falloff = std::clamp(source.mAngleOuterCone * whole * kDegrees, 1.0f, 179.0f);
            light->SetFallsize(0, falloff);
            light->SetHotspot(0, std::clamp(source.mAngleInnerCone * whole * kDegrees, 0.5f, falloff));
        }
        const Matrix3 frame = type == DIR_LIGHT || type == FSPOT_LIGHT
                                  ? lookFrame(source.mPosition, source.mDirection, source.mUp)
                                  : TransMatrix({source.mPosition.x, source.mPosition.y, source.mPosition.z});
        holderFor(state, source.mName.C_Str(), frame, " Light")->SetObjectRef(light);
        ++state.report.lights;
    }
    if (hasAmbient) state.host.SetAmbient(0, ambient);
}

void buildCameras(foreign::ReadState& state) {
    for (unsigned i = 0; i < state.ai.mNumCameras; ++i) {
        const aiCamera& source = *state.ai.mCameras[i];
        // The readers give the whole horizontal angle, as the host keeps it. Orthographic cameras
        // have none; they become perspective cameras of the host's default 45°.
        float fov = source.mHorizontalFOV;
        // Assimp's glTF reader gives the vertical angle times the aspect ratio: the horizontal angle
        // is 2 atan(aspect tan(vertical / 2)).
        // A glTF camera without an aspect ratio takes the viewport's: its angle is then the vertical one.
        if (state.gltf && fov > 0.0f) {
            const float aspect = source.mAspect > 0.0f ? source.mAspect
                                                      : static_cast<float>(state.host.GetRendWidth()) /
                                                            static_cast<float>(std::max(state.host.GetRendHeight(), 1));
            const float vertical = source.mAspect > 0.0f ? fov / source.mAspect : fov;
            if (aspect > 0.0f) fov = 2.0f * std::atan(aspect * std::tan(vertical / 2.0f));
        }
        if (!(fov > 0.0f)) {
            fov = std::numbers::pi_v<float> / 4.0f;
            state.report.warnings.push_back("camera \"" + std::string(source.mName.C_Str()) +
                                            "\": orthographic, made a perspective camera of 45 degrees");
        }
        Camera* camera = state.scene.newCamera(std::clamp(fov, 0.001f, 3.1f));
        if (source.mClipPlaneFar > source.mClipPlaneNear && source.mClipPlaneNear >= 0.0f)
            camera->setClip(source.mClipPlaneNear, source.mClipPlaneFar);
        const aiVector3D position = state.gltf ? aiVector3D() : source.mPosition;
        holderFor(state, source.mName.C_Str(), lookFrame(position, source.mLookAt, source.mUp), " Camera")
            ->SetObjectRef(camera);
        ++state.report.cameras;
    }
}

void buildGeometry(foreign::ReadState& state, const aiNode& source) {
    INode* node = state.nodes.at(&source);
    const bool folded = state.foldedMeshes.count(&source) > 0;
    if ((source.mNumMeshes > 0 || folded) && node) foreign::buildNodeGeometry(state, source, node);
    for (unsigned i = 0; i < source.mNumChildren; ++i) {
        const aiNode& child = *source.mChildren[i];
        // A part folded into this node maps to it and was built with it.
        if (!(folded && state.nodes.at(&child) == node)) buildGeometry(state, child);
    }
}

// Whether the file opens with the PLY signature but its header never ends: no line starts with the
// word "end_header". Assimp's PLY reader never returns on such a file (a header whose "end_header"
// stands after other words on its line included), so it is refused beforehand. Lines end as the
// reader takes them to (CR, LF, form feed or NUL) and may start with spaces or tabs. The file is
// scanned in blocks, and the scan stops at the end of the header, which in a sound file is short.
bool plyHeaderNeverEnds(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    // The reader takes any file that opens with these three letters, whatever follows them.
    char head[3] = {};
    if (!in.read(head, 3) || std::tolower(static_cast<unsigned char>(head[0])) != 'p' || std::tolower(static_cast<unsigned char>(head[1])) != 'l' || std::tolower(static_cast<unsigned char>(head[2])) != 'y')
        return false;
    constexpr std::string_view kEnd = "end_header";
    auto endsLine = [](char c) { return c == '\r' || c == '\n' || c == '\f' || c == '\0'; };
    // How much of the word the current line has matched so far; kNoMatch once it cannot start with
    // it (the first line, which holds the signature, never does).
    constexpr size_t kNoMatch = SIZE_MAX;
    size_t matched = kNoMatch;
    std::vector<char> block(64 * 1024);
    for (;;) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        const std::size_t got = static_cast<std::size_t>(in.gcount());
        if (got == 0) return matched != kEnd.size();
        for (std::size_t i = 0; i < got; ++i) {
            const char c = block[i];
            if (matched == kEnd.size()) {
                if (c == ' ' || c == '\t' || endsLine(c)) return false;
                matched = kNoMatch;
            }
            if (endsLine(c)) matched = 0;
            else if (matched != kNoMatch && !(matched == 0 && (c == ' ' || c == '\t')))
                matched = c == kEnd[matched] ? matched + 1 : kNoMatch;
        }
    }
}

// Whether a PLY header has an element line that is not "element <name> <count>" or declares a count
// larger than the file: every element with a property takes at least one byte, so such a count is
// a lie. Assimp's PLY reader spins for ever on either. Only the header (up to "end_header") is read.
bool plyElementLineIsBad(const std::filesystem::path& path) {
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) return false;
    std::ifstream in(path, std::ios::binary);
    std::string header(64 * 1024, '\0');
    in.read(header.data(), static_cast<std::streamsize>(header.size()));
    header.resize(static_cast<std::size_t>(in.gcount()));
    if (header.size() < 3 || std::tolower(static_cast<unsigned char>(header[0])) != 'p') return false;
    std::istringstream lines(header.substr(0, header.find("end_header")));
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::vector<std::string> tokens;
        for (std::string word; words >> word;) tokens.push_back(word);
        if (tokens.empty() || tokens[0] != "element") continue;
        if (tokens.size() != 3) return true;
        const std::string& count = tokens[2];
        if (count.find_first_not_of("0123456789") != std::string::npos || count.size() > 19) return true;
        if (std::stoull(count) > size) return true;
    }
    return false;
}

// Whether an OFF file's faces do not fit its header: a face with no corners or one naming a vertex
// beyond the declared count. Assimp's OFF reader reads such faces out of bounds and crashes the
// process, so they are found beforehand. Files that do not open with "OFF" are left to the reader.
bool offFacesAreBad(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!std::getline(in, line) || line.rfind("OFF", 0) != 0) return false;
    auto nextData = [&in, &line]() -> bool {
        while (std::getline(in, line)) {
            const std::size_t start = line.find_first_not_of(" \t\r");
            if (start != std::string::npos && line[start] != '#') return true;
        }
        return false;
    };
    long long vertices = 0;
    long long faces = 0;
    if (!nextData() || !(std::istringstream(line) >> vertices >> faces) || vertices < 0 || faces < 0) return false;
    for (long long v = 0; v < vertices; ++v)
        if (!nextData()) return false;  // too few vertices: the reader refuses that itself
    for (long long f = 0; f < faces; ++f) {
        if (!nextData()) return false;
        std::istringstream words(line);
        long long corners = 0;
        if (!(words >> corners) || corners <= 0) return true;
        for (long long c = 0; c < corners; ++c) {
            long long index = -1;
            if (!(words >> index) || index < 0 || index >= vertices) return true;
        }
    }
    return false;
}

}  // namespace

void checkBeforeReading(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) throw ForeignSceneError("cannot open: No such file or directory");
    if (std::filesystem::is_directory(path, ec)) throw ForeignSceneError("is a directory, not a file");
    // The checks below and the reader each open the file again: a pipe would be read once, then wait.
    if (!std::filesystem::is_regular_file(path, ec))
        throw ForeignSceneError("is not a regular file (a pipe or a device): models are read from files");
    if (plyHeaderNeverEnds(path)) throw ForeignSceneError("PLY header without its end_header line");
    if (offFacesAreBad(path)) throw ForeignSceneError("OFF face with no corners or naming a vertex the file does not have");
    if (plyElementLineIsBad(path))
        throw ForeignSceneError("PLY header has a malformed element line or more elements than the file has bytes");
}

ForeignReadReport buildFromScene(Host& host, const aiScene& read, const ForeignReadOptions& options, std::string_view format) {
    const bool gltf = format == "gltf" || format == "glb";
    const aiScene* ai = &read;
    if (!ai->mRootNode) throw ForeignSceneError("the file holds no scene");
    // Readers mark a scene without meshes incomplete; lights, cameras or animation alone are a scene.
    if ((ai->mFlags & AI_SCENE_FLAGS_INCOMPLETE) && ai->mNumMeshes == 0 && ai->mNumLights == 0 && ai->mNumCameras == 0 &&
        ai->mNumAnimations == 0)
        throw ForeignSceneError("the file holds no geometry, lights, cameras or animation (the reader marked the scene incomplete)");
    if (ai->mFlags & AI_SCENE_FLAGS_VALIDATION_WARNING)
        throw ForeignSceneError("the file holds inconsistent data (the reader's checks failed)");

    // A model of nothing but points and lines would export as an empty scene: refuse it instead.
    std::size_t triangles = 0, others = 0, nonFinite = 0;
    for (unsigned m = 0; m < ai->mNumMeshes; ++m) {
        const aiMesh& mesh = *ai->mMeshes[m];
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) (mesh.mFaces[f].mNumIndices == 3 ? triangles : others)++;
        for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
            const aiVector3D& p = mesh.mVertices[v];
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) ++nonFinite;
        }
    }
    if (triangles == 0 && others > 0)
        throw ForeignSceneError("the model holds no triangles, only " + std::to_string(others) + " points and lines");
    // Infinite or undefined coordinates would reach the engine as they are: refuse the model.
    if (nonFinite > 0)
        throw ForeignSceneError("the model holds " + std::to_string(nonFinite) +
                                " vertices with infinite or undefined coordinates");

    ForeignReadReport report;
    foreign::ReadState state{host, host.scene(), *ai, options, report, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, gltf};
    state.lightDecay = gltf || format == "dae" || format == "zae" || format == "fbx";
    for (unsigned m = 0; m < ai->mNumMeshes; ++m)
        for (unsigned b = 0; b < ai->mMeshes[m]->mNumBones; ++b) state.boneNames.insert(ai->mMeshes[m]->mBones[b]->mName.C_Str());
    foreign::nameEmbeddedTextures(state);
    foreign::TreeBuilder(state).build();
    if (options.progress) options.progress(85);
    foreign::buildGeometry(state, *ai->mRootNode);
    if (options.progress) options.progress(95);
    foreign::buildLights(state);
    foreign::buildCameras(state);
    foreign::buildAnimation(state);

    if (report.droppedPoints || report.droppedLines)
        report.warnings.push_back(countOf(report.droppedPoints, "point", "points") + " and " +
                                  countOf(report.droppedLines, "line", "lines") +
                                  " left out: a triangle mesh holds neither");
    if (state.texturesWithoutCoordinates)
        report.warnings.push_back(countOf(state.texturesWithoutCoordinates, "texture is", "textures are") +
                                  " on meshes without texture coordinates, which cannot place them");
    if (state.texturesTransformed)
        report.warnings.push_back(countOf(state.texturesTransformed, "texture is", "textures are") +
                                  " placed without the offset, scale or rotation the model gives the coordinates "
                                  "(a bitmap holds none)");
    if (report.splitMeshes)
        report.warnings.push_back(countOf(report.splitMeshes, "mesh", "meshes") +
                                  " cut into pieces (sibling nodes \"<name>_partN\") to stay within " +
                                  std::to_string(foreign::kMaxMeshVertices) + " vertices per mesh");
    if (options.progress) options.progress(100);
    return report;
}

}  // namespace foreign

ForeignReadReport loadForeignScene(Host& host, const std::filesystem::path& path, const ForeignReadOptions& options) {
    foreign::checkBeforeReading(path);
    std::error_code ec;
    const uint64_t fileSize = std::filesystem::file_size(path, ec);
    const uint64_t mebibytes = ec ? 0 : fileSize >> 20;
    foreign::ChildLimits limits;
    limits.memoryBudget = options.memoryBudget ? options.memoryBudget : foreign::kBaseMemoryBudget + 64 * (ec ? 0 : fileSize);
    limits.seconds = options.timeLimit > 0 ? options.timeLimit : foreign::kBaseTimeLimit + double(mebibytes);
    // The reader runs in a child process: whatever a damaged file does to it, this process only
    // receives the scene or the reason there is none.
    std::vector<std::string> notes;
    const std::shared_ptr<const aiScene> owned = foreign::readInChildProcess(
        [&](int sceneFd) { return foreign::readWithAssimp(path, options, sceneFd); }, limits, &notes);
    std::string extension = path.extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    ForeignReadReport report = foreign::buildFromScene(host, *owned, options, std::string_view(extension).substr(extension.empty() ? 0 : 1));
    std::vector<std::string> warnings;
    for (const std::string& note : notes) {
        if (!note.empty() && note.front() == foreign::kFileReadNote) report.filesRead.emplace_back(note.substr(1));
        else warnings.push_back(note);
    }
    report.warnings.insert(report.warnings.begin(), warnings.begin(), warnings.end());
    for (const std::string& name : report.textureFiles) {
        std::error_code ec;
        const std::filesystem::path file = path.parent_path() / name;  // an absolute name stays as it is
        if (std::filesystem::is_regular_file(file, ec)) report.filesRead.push_back(std::filesystem::absolute(file, ec));
    }
    return report;
}

}  // namespace headless
