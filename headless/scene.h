#pragma once
// The headless host's scene: the node tree under a root node, and ownership of every object,
// modifier, material, map, layer and controller the scene holds. It is also the builder API with
// which tests and the scene-document loader construct scenes:
//
//     headless::Scene& scene = host.scene();
//     headless::Node* box = scene.createNode("Box01");
//     headless::TriMeshObject* tri = scene.newTriObject();
//     tri->mesh = ...;  box->SetObjectRef(tri);
//
// Ownership: the scene frees everything it owns when it ends. Objects made by the scene, by the
// host's creation functions (CreateNewTriObject, NewDefaultStdMat, conversions, ...) and any object
// a node, material or stack refers to (for example a plug-in object) belong to it. Deleting one of
// them early (DeleteThis) is allowed: the scene then forgets it and clears every reference to it.
// Only give the scene objects allocated with new (never objects on the stack).
#include "host/host.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace headless {

class Host;
class Node;
class Layer;
class TransformController;
class TriMeshObject;
class PolyMeshObject;
class GenericObject;
class DerivedObject;
class GenericModifier;
class SkinModifier;
class Light;
class Camera;
class StandardMaterial;
class MultiMaterial;
class GenericMaterial;
class BitmapTexture;
class CubeMap;
class GenericTexmap;
class ParamBlock;

// Implemented by scene items that keep pointers to other items, so that the scene can clear those
// pointers when the item they point at is deleted.
class Referrer {
public:
    virtual ~Referrer() = default;
    virtual void ForgetTarget(Animatable* target) = 0;
};

class Scene {
public:
    explicit Scene(Host* host = nullptr);
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;
    ~Scene();

    Host* host() const { return host_; }

    // ---- Nodes ----
    Node* root() const { return root_; }
    // A new node, last child of parent (the root when parent is null), on the default layer.
    Node* createNode(const std::string& name, INode* parent = nullptr);
    // A new node outside the tree (not yet added to the scene); attach it with AttachChild.
    Node* createDetachedNode(const std::string& name);
    // Every node except the root, in creation order (detached ones included).
    std::vector<Node*> nodes() const;
    // First node of that name in depth-first order under the root; null when none.
    Node* findNode(const std::string& name) const;

    // ---- Objects ----
    TriMeshObject* newTriObject();
    TriMeshObject* newTriObject(const Mesh& mesh);
    // A polygon-mesh object (POLYOBJ_CLASS_ID, or another class such as EPOLYOBJ_CLASS_ID) holding
    // its faces as triangles.
    PolyMeshObject* newPolyObject(const Mesh& mesh, Class_ID classID = POLYOBJ_CLASS_ID);
    // An object of any super class and class id (helpers, bones, shapes, primitives, plug-in classes
    // whose plug-in is not loaded ...), with parameter blocks added by the caller.
    GenericObject* newObject(SClass_ID superClassID, Class_ID classID, const std::string& objectName = "");
    // A modifier stack around base; superClassID is GEN_DERIVOB_CLASS_ID, DERIVOB_CLASS_ID or
    // WSM_DERIVOB_CLASS_ID.
    DerivedObject* newDerivedObject(Object* base, SClass_ID superClassID = GEN_DERIVOB_CLASS_ID);
    SkinModifier* newSkin();
    GenericModifier* newModifier(Class_ID classID, const std::string& name = "");
    Light* newLight(int type);
    Camera* newCamera(float fovRadians, Class_ID classID = SIMPLE_CAMERA_CLASS_ID);

    // ---- Materials and maps ----
    StandardMaterial* newStdMat(const std::string& name = "");
    MultiMaterial* newMultiMtl(const std::string& name = "", int numSubs = 0);
    GenericMaterial* newMaterial(Class_ID classID, const std::string& name = "");
    BitmapTexture* newBitmapTex(const std::string& fileName = "", int mapChannel = 1);
    CubeMap* newCubeMap(const std::vector<std::string>& faceFiles = {});
    GenericTexmap* newTexmap(Class_ID classID, const std::string& name = "");

    // ---- Layers ----
    // Layer "0", which every new node starts on.
    Layer* defaultLayer() const { return defaultLayer_; }
    Layer* newLayer(const std::string& name);
    // The first layer of that name (by a table of names, made again after a layer is renamed or deleted).
    Layer* findLayer(const std::string& name) const;
    const std::vector<Layer*>& layers() const { return layers_; }
    void forgetLayerNames() { layerNamesKnown_ = false; }

    // ---- Ownership ----
    // Takes ownership of an item created elsewhere (no effect when the scene owns it already).
    void adopt(Animatable* item);
    bool owns(Animatable* item) const { return index_.count(item) != 0; }
    // Called when an item is destroyed: forgets it and clears the references other items hold.
    void forget(Animatable* item);
    // Called by a node's destructor: takes the node out of the tree and the selection.
    void nodeDestroyed(Node* node);
    bool destroying() const { return destroying_; }
    // Items that store a pointer to another item report it here, so that its deletion is followed up.
    void noteReference(Animatable* target);
    // Parameter blocks register themselves so that node, material and map values in them are
    // cleared when those items are deleted.
    void registerParamBlock(ParamBlock* block);
    void unregisterParamBlock(ParamBlock* block);
    // Number of items the scene owns (root node included).
    size_t ownedCount() const { return index_.size(); }

private:
    template <typename T>
    T* own(T* item) {
        adopt(item);
        return item;
    }

    Host* host_;
    Node* root_ = nullptr;
    Layer* defaultLayer_ = nullptr;
    std::vector<Layer*> layers_;
    mutable std::unordered_map<std::string, Layer*> layerByName_;
    mutable bool layerNamesKnown_ = false;
    std::vector<Node*> nodes_;
    std::vector<Animatable*> owned_;
    std::unordered_map<Animatable*, size_t> index_;
    std::unordered_set<Animatable*> referenced_;
    std::unordered_set<ParamBlock*> paramBlocks_;
    bool destroying_ = false;
};

}  // namespace headless
