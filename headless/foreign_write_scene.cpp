// The headless scene as an aiScene: the node tree with local transforms, lights, cameras, the
// scene's ambient colour and keyed node transforms as one animation. Meshes and materials come
// from foreign_write_mesh.cpp.
#include "headless/foreign_write_build.h"

#include "headless/host.h"
#include "headless/scene_document_model.h"

#include <assimp/anim.h>
#include <assimp/camera.h>
#include <assimp/light.h>

#include <cmath>
#include <set>
#include <unordered_set>

namespace headless {

aiMatrix4x4 toAssimpMatrix(const Matrix3& m) {
    // p' = p × M for row vectors is p' = Mᵀ × p for column vectors.
    return aiMatrix4x4(m.m[0][0], m.m[1][0], m.m[2][0], m.m[3][0],  //
                       m.m[0][1], m.m[1][1], m.m[2][1], m.m[3][1],  //
                       m.m[0][2], m.m[1][2], m.m[2][2], m.m[3][2],  //
                       0.0f, 0.0f, 0.0f, 1.0f);
}

Matrix3 fromAssimpMatrix(const aiMatrix4x4& a) {
    Matrix3 m;
    for (int c = 0; c < 4; ++c) {
        m.m[c][0] = a[0][c];
        m.m[c][1] = a[1][c];
        m.m[c][2] = a[2][c];
    }
    return m;
}

// Formats hold UTF-8 text (XML and JSON refuse anything else): a name that is not (read from a
// foreign file) keeps its valid parts. A name too long for Assimp is cut between characters, short
// enough for the suffix to follow.
std::string writtenName(const std::string& text, const std::string& suffix) {
    std::string utf8 = document::utf8Text(text);
    if (utf8.size() + suffix.size() >= MAXLEN) {
        std::size_t end = MAXLEN - 1 - std::min<std::size_t>(suffix.size(), MAXLEN - 1);
        while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) --end;
        utf8.resize(end);
    }
    return utf8 + suffix;
}

std::string UniqueNames::take(const std::string& name, const std::set<std::string>* reserved) {
    if (used_.insert(name).second) return name;
    int& n = nextSuffix_.try_emplace(name, 2).first->second;
    for (;; ++n) {
        std::string suffixed = writtenName(name, "_" + std::to_string(n));
        if (!(reserved && reserved->count(suffixed)) && used_.insert(suffixed).second) return suffixed;
    }
}

aiString toAssimpString(const std::string& text) {
    aiString s;
    s.Set(writtenName(text));
    return s;
}

ForeignSceneParts::~ForeignSceneParts() {
    for (aiMesh* mesh : meshes) delete mesh;
    for (aiMaterial* material : materials) delete material;
    for (aiLight* light : lights) delete light;
    for (aiCamera* camera : cameras) delete camera;
    for (aiNodeAnim* channel : channels) delete channel;
}

namespace {

// Moves a list into a new array of the scene; the parts no longer own the items.
template <typename T>
void handOver(std::vector<T*>& items, T**& array, unsigned& count) {
    count = static_cast<unsigned>(items.size());
    if (items.empty()) return;
    array = new T*[items.size()];
    std::copy(items.begin(), items.end(), array);
    items.clear();
}

// Unique node names: Assimp ties bones, lights, cameras and animation channels to nodes by name.
// A repeated name (as written) gets "_2", "_3" ...; an empty one is named after its place in the
// tree ("NodeN"), once every named node has its name.
void nameNodes(INode* root, ForeignSceneParts& parts, UniqueNames& used) {
    std::vector<INode*> order;  // depth first, parents before children
    std::vector<INode*> pending{root};
    while (!pending.empty()) {
        INode* node = pending.back();
        pending.pop_back();
        if (node != root) order.push_back(node);
        for (int i = node->NumberOfChildren() - 1; i >= 0; --i) pending.push_back(node->GetChildNode(i));
    }
    for (INode* node : order)
        if (std::string name = writtenName(node->GetName()); !name.empty()) parts.nodeNames[node] = used.take(name);
    for (std::size_t i = 0; i < order.size(); ++i)
        if (writtenName(order[i]->GetName()).empty()) parts.nodeNames[order[i]] = used.take("Node" + std::to_string(i + 1));
}

void addLight(ForeignSceneParts& parts, const std::string& name, GenLight* light, TimeValue t) {
    auto* out = new aiLight();
    parts.lights.push_back(out);
    out->mName = toAssimpString(name);
    switch (light->Type()) {
    case OMNI_LIGHT: out->mType = aiLightSource_POINT; break;
    case TSPOT_LIGHT:
    case FSPOT_LIGHT: out->mType = aiLightSource_SPOT; break;
    default: out->mType = aiLightSource_DIRECTIONAL; break;
    }
    // Host lights shine along their node's negative Z axis.
    out->mPosition = aiVector3D(0, 0, 0);
    out->mDirection = aiVector3D(0, 0, -1);
    out->mUp = aiVector3D(0, 1, 0);
    const Point3 rgb = light->GetRGBColor(t) * (light->GetUseLight() ? light->GetIntensity(t) : 0.0f);
    out->mColorDiffuse = aiColor3D(rgb.x, rgb.y, rgb.z);
    out->mColorSpecular = out->mColorDiffuse;
    out->mColorAmbient = aiColor3D(0, 0, 0);
    // Decay none, inverse, inverse square.
    out->mAttenuationConstant = light->GetDecayType() == 0 ? 1.0f : 0.0f;
    out->mAttenuationLinear = light->GetDecayType() == 1 ? 1.0f : 0.0f;
    out->mAttenuationQuadratic = light->GetDecayType() == 2 ? 1.0f : 0.0f;
    if (out->mType == aiLightSource_SPOT) {
        // Full cone angles, hotspot inside falloff.
        constexpr float kRadians = 3.14159265358979f / 180.0f;
        const float hotspot = light->GetHotspot(t) * kRadians;
        const float falloff = light->GetFallsize(t) * kRadians;
        out->mAngleInnerCone = std::min(hotspot, falloff);
        out->mAngleOuterCone = falloff;
    }
}

void addCamera(ForeignSceneParts& parts, const std::string& name, CameraObject* camera, TimeValue t, float aspect) {
    auto* out = new aiCamera();
    parts.cameras.push_back(out);
    out->mName = toAssimpString(name);
    // Host cameras look along their negative Z axis with Y up. The whole horizontal angle is
    // written, as Assimp's exporters write it out and its readers give it back.
    out->mPosition = aiVector3D(0, 0, 0);
    out->mLookAt = aiVector3D(0, 0, -1);
    out->mUp = aiVector3D(0, 1, 0);
    out->mHorizontalFOV = camera->GetFOV(t);
    out->mClipPlaneNear = camera->GetNearClip(t);
    out->mClipPlaneFar = camera->GetFarClip(t);
    out->mAspect = aspect;
}

// Keys of an animated node as translation, rotation and scale keys. Times are written in seconds
// (one tick per second for Assimp): some exporters take key times as seconds whatever the
// animation's tick rate says, and the others divide by that rate.
void addChannel(ForeignSceneParts& parts, const std::string& name, const TransformTrack& track) {
    const std::vector<TransformKey>& keys = track.Keys();
    auto* channel = new aiNodeAnim();
    parts.channels.push_back(channel);
    channel->mNodeName = toAssimpString(name);
    const unsigned n = static_cast<unsigned>(keys.size());
    channel->mNumPositionKeys = channel->mNumRotationKeys = channel->mNumScalingKeys = n;
    channel->mPositionKeys = new aiVectorKey[n];
    channel->mRotationKeys = new aiQuatKey[n];
    channel->mScalingKeys = new aiVectorKey[n];
    aiQuaternion previous;
    for (unsigned i = 0; i < n; ++i) {
        aiVector3D scaling, position;
        aiQuaternion rotation;
        toAssimpMatrix(keys[i].tm).Decompose(scaling, rotation, position);
        rotation.Normalize();  // a key that scales an axis to nothing gives a rotation off unit length
        // Neighbouring keys on the same hemisphere, so interpolation takes the short way.
        if (i > 0 && previous.x * rotation.x + previous.y * rotation.y + previous.z * rotation.z +
                             previous.w * rotation.w <
                         0.0f)
            rotation = aiQuaternion(-rotation.w, -rotation.x, -rotation.y, -rotation.z);
        previous = rotation;
        const double time = static_cast<double>(keys[i].time) / TIME_TICKSPERSEC;
        channel->mPositionKeys[i] = aiVectorKey(time, position);
        channel->mRotationKeys[i] = aiQuatKey(time, rotation);
        channel->mScalingKeys[i] = aiVectorKey(time, scaling);
    }
}

// The nodes made by build(child) for each child of `node`, as children of `out`. Each is attached
// as soon as it is made, so that `out` frees it if a later child fails.
template <class Build>
void addChildren(aiNode* out, INode* node, Build&& build) {
    const int count = node->NumberOfChildren();
    if (count <= 0) return;
    out->mChildren = new aiNode*[static_cast<unsigned>(count)];
    for (int i = 0; i < count; ++i) {
        aiNode* child = build(node->GetChildNode(i));
        child->mParent = out;
        out->mChildren[out->mNumChildren++] = child;
    }
}

aiNode* buildNode(ForeignSceneParts& parts, INode* node, TimeValue t, float aspect) {
    const std::string& name = parts.nodeNames[node];
    auto* out = new aiNode(name);
    try {
        auto* headlessNode = dynamic_cast<Node*>(node);
        out->mTransformation = toAssimpMatrix(node->GetLocalTM(t));
        if (headlessNode != nullptr && headlessNode->track().Keys().size() > 0)
            addChannel(parts, name, headlessNode->track());

        Object* object = node->EvalWorldState(t).obj;
        if (object != nullptr) {
            if (object->SuperClassID() == LIGHT_CLASS_ID) {
                if (auto* light = dynamic_cast<GenLight*>(object)) addLight(parts, name, light, t);
            } else if (object->SuperClassID() == CAMERA_CLASS_ID) {
                if (auto* camera = dynamic_cast<CameraObject*>(object)) addCamera(parts, name, camera, t, aspect);
            } else {
                const std::vector<unsigned> meshes = addNodeMeshes(parts, node, object, t);
                if (!meshes.empty()) {
                    out->mNumMeshes = static_cast<unsigned>(meshes.size());
                    out->mMeshes = new unsigned[meshes.size()];
                    std::copy(meshes.begin(), meshes.end(), out->mMeshes);
                }
            }
        }
        addChildren(out, node, [&](INode* child) { return buildNode(parts, child, t, aspect); });
    } catch (...) {
        delete out;
        throw;
    }
    return out;
}

// The names of a material and of the materials below it, each material once (materials share
// sub-materials: visited again, a graph of shared ones would take exponential time).
void collectMaterialNames(Mtl* material, std::set<std::string>& names, std::unordered_set<Mtl*>& seen) {
    std::vector<Mtl*> pending{material};
    while (!pending.empty()) {
        Mtl* next = pending.back();
        pending.pop_back();
        if (!next || !seen.insert(next).second) continue;
        names.insert(writtenName(next->GetName() ? next->GetName() : ""));
        for (int i = 0; i < next->NumSubMtls(); ++i) pending.push_back(next->GetSubMtl(i));
    }
}

}  // namespace

std::unique_ptr<aiScene> buildForeignScene(Host& host, const ForeignSceneStyle& style) {
    ForeignSceneParts parts;
    parts.shareMeshes = style.shareMeshes;
    parts.materialNamesApart = style.materialNamesApart;
    Scene& scene = host.scene();
    if (style.materialNamesApart) {
        std::unordered_set<Mtl*> seen;
        for (Node* node : scene.nodes()) collectMaterialNames(node->GetMtl(), parts.sceneMaterialNames, seen);
    }
    const TimeValue t = host.GetTime();
    const float aspect = host.GetRendHeight() > 0 ? float(host.GetRendWidth()) / float(host.GetRendHeight()) : 0.0f;

    UniqueNames used;
    nameNodes(scene.root(), parts, used);
    // The root's name is one no node has: a node of the root's name would have its channels and
    // bones tied to the root.
    const std::string rootName =
        used.take(scene.root()->GetName()[0] != '\0' ? writtenName(scene.root()->GetName()) : "Root");

    auto result = std::make_unique<aiScene>();
    result->mRootNode = new aiNode(rootName);
    addChildren(result->mRootNode, scene.root(), [&](INode* child) { return buildNode(parts, child, t, aspect); });

    // The scene's ambient colour, when it has one, as an ambient light on a node of its own.
    const Point3 ambient = host.GetAmbient(t);
    if (style.ambientLight && (ambient.x > 0.0f || ambient.y > 0.0f || ambient.z > 0.0f)) {
        const std::string name = used.take("Ambient");
        auto* node = new aiNode(name);
        node->mParent = result->mRootNode;
        aiNode* root = result->mRootNode;
        auto** grown = new aiNode*[root->mNumChildren + 1];
        std::copy(root->mChildren, root->mChildren + root->mNumChildren, grown);
        grown[root->mNumChildren] = node;
        delete[] root->mChildren;
        root->mChildren = grown;
        ++root->mNumChildren;
        auto* light = new aiLight();
        parts.lights.push_back(light);
        light->mName = toAssimpString(name);
        light->mType = aiLightSource_AMBIENT;
        light->mColorAmbient = light->mColorDiffuse = light->mColorSpecular = aiColor3D(ambient.x, ambient.y, ambient.z);
        light->mAttenuationConstant = 1.0f;
        light->mAttenuationLinear = 0.0f;
    }

    // Every format wants at least one material.
    if (parts.materials.empty()) materialFor(parts, nullptr);

    if (!parts.channels.empty()) {
        auto* animation = new aiAnimation();
        animation->mName = aiString("Animation");
        animation->mTicksPerSecond = 1.0;
        double end = std::max(0, host.GetAnimRange().End()) / double(TIME_TICKSPERSEC);
        for (aiNodeAnim* channel : parts.channels)
            end = std::max(end, channel->mPositionKeys[channel->mNumPositionKeys - 1].mTime);
        // Whole seconds: the FBX writer cuts the animation's stop time to whole seconds, and FBX
        // readers drop the keys after it.
        animation->mDuration = std::ceil(end);
        handOver(parts.channels, animation->mChannels, animation->mNumChannels);
        result->mNumAnimations = 1;
        result->mAnimations = new aiAnimation*[1]{animation};
    }
    handOver(parts.meshes, result->mMeshes, result->mNumMeshes);
    handOver(parts.materials, result->mMaterials, result->mNumMaterials);
    handOver(parts.lights, result->mLights, result->mNumLights);
    handOver(parts.cameras, result->mCameras, result->mNumCameras);
    return result;
}

}  // namespace headless
