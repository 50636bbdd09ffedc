#include "headless/scene.h"

#include "headless/host.h"

namespace headless {

Scene::Scene(Host* host) : host_(host) {
    root_ = own(new Node(*this, "Scene Root", true));
    defaultLayer_ = newLayer("0");
}

Scene::~Scene() {
    destroying_ = true;
    // Free in reverse order of creation. Items never free other scene items in their destructors,
    // so the order only matters for plug-in objects that look at what they point to.
    for (size_t i = owned_.size(); i-- > 0;) {
        Animatable* item = owned_[i];
        if (!item) continue;
        owned_[i] = nullptr;
        index_.erase(item);
        item->DeleteThis();
    }
    owned_.clear();
    index_.clear();
}

Node* Scene::createNode(const std::string& name, INode* parent) {
    Node* node = createDetachedNode(name);
    Node* target = parent ? dynamic_cast<Node*>(parent) : root_;
    if (!target) target = root_;
    target->AttachChild(node, false);
    return node;
}

Node* Scene::createDetachedNode(const std::string& name) {
    Node* node = own(new Node(*this, name));
    node->SetLayer(defaultLayer_);
    nodes_.push_back(node);
    return node;
}

std::vector<Node*> Scene::nodes() const { return nodes_; }

Node* Scene::findNode(const std::string& name) const {
    std::vector<Node*> stack{root_};
    while (!stack.empty()) {
        Node* node = stack.back();
        stack.pop_back();
        if (node != root_ && name == node->GetName()) return node;
        for (int i = node->NumberOfChildren(); i-- > 0;) stack.push_back(static_cast<Node*>(node->GetChildNode(i)));
    }
    return nullptr;
}

TriMeshObject* Scene::newTriObject() { return own(new TriMeshObject(*this)); }

TriMeshObject* Scene::newTriObject(const Mesh& mesh) {
    TriMeshObject* tri = newTriObject();
    tri->mesh = mesh;
    return tri;
}

PolyMeshObject* Scene::newPolyObject(const Mesh& mesh, Class_ID classID) {
    return own(new PolyMeshObject(*this, mesh, classID));
}

GenericObject* Scene::newObject(SClass_ID superClassID, Class_ID classID, const std::string& objectName) {
    return own(new GenericObject(*this, superClassID, classID, objectName));
}

DerivedObject* Scene::newDerivedObject(Object* base, SClass_ID superClassID) {
    return own(new DerivedObject(*this, base, superClassID));
}

SkinModifier* Scene::newSkin() { return own(new SkinModifier(*this)); }

GenericModifier* Scene::newModifier(Class_ID classID, const std::string& name) {
    return own(new GenericModifier(classID, name));
}

Light* Scene::newLight(int type) { return own(new Light(Light::IsValidType(type) ? type : OMNI_LIGHT)); }

Camera* Scene::newCamera(float fovRadians, Class_ID classID) { return own(new Camera(fovRadians, classID)); }

StandardMaterial* Scene::newStdMat(const std::string& name) { return own(new StandardMaterial(*this, name)); }

MultiMaterial* Scene::newMultiMtl(const std::string& name, int numSubs) {
    return own(new MultiMaterial(*this, name, numSubs));
}

GenericMaterial* Scene::newMaterial(Class_ID classID, const std::string& name) {
    return own(new GenericMaterial(*this, classID, name));
}

BitmapTexture* Scene::newBitmapTex(const std::string& fileName, int mapChannel) {
    return own(new BitmapTexture(fileName, mapChannel));
}

CubeMap* Scene::newCubeMap(const std::vector<std::string>& faceFiles) {
    CubeMap* map = own(new CubeMap(*this));
    for (size_t i = 0; i < faceFiles.size() && i < 6; ++i) map->setFaceFile(static_cast<int>(i), faceFiles[i]);
    return map;
}

GenericTexmap* Scene::newTexmap(Class_ID classID, const std::string& name) {
    return own(new GenericTexmap(*this, classID, name));
}

Layer* Scene::newLayer(const std::string& name) {
    Layer* layer = own(new Layer(*this, name));
    layers_.push_back(layer);
    if (layerNamesKnown_) layerByName_.try_emplace(name, layer);
    return layer;
}

Layer* Scene::findLayer(const std::string& name) const {
    if (!layerNamesKnown_) {
        layerByName_.clear();
        for (Layer* layer : layers_) layerByName_.try_emplace(layer->GetName(), layer);
        layerNamesKnown_ = true;
    }
    const auto found = layerByName_.find(name);
    return found == layerByName_.end() ? nullptr : found->second;
}

void Scene::adopt(Animatable* item) {
    if (!item || index_.count(item)) return;
    index_.emplace(item, owned_.size());
    owned_.push_back(item);
}

void Scene::nodeDestroyed(Node* node) {
    if (destroying_) return;
    // A node deleted before its scene leaves the tree; its children move to the root, keeping their
    // place in the world (worked out while the node still hangs below its parent).
    node->compactChildren();
    for (Node* child : std::vector<Node*>(node->children_)) root_->AttachChild(child, true);
    if (node->parent_) node->parent_->removeChild(node);
    std::erase(nodes_, node);
    if (host_) host_->DeselectNode(node);
}

void Scene::noteReference(Animatable* target) {
    if (target) referenced_.insert(target);
}

void Scene::registerParamBlock(ParamBlock* block) { paramBlocks_.insert(block); }
void Scene::unregisterParamBlock(ParamBlock* block) { paramBlocks_.erase(block); }

void Scene::forget(Animatable* item) {
    auto it = index_.find(item);
    if (it != index_.end()) {
        owned_[it->second] = nullptr;
        index_.erase(it);
    }
    if (destroying_) return;
    if (std::erase_if(layers_, [item](Layer* layer) { return static_cast<Animatable*>(layer) == item; }) > 0)
        layerNamesKnown_ = false;
    if (defaultLayer_ && static_cast<Animatable*>(defaultLayer_) == item) defaultLayer_ = nullptr;
    // Clear references to the deleted item wherever something was pointed at it.
    if (referenced_.erase(item) == 0) return;
    for (Animatable* other : owned_) {
        if (auto* referrer = dynamic_cast<Referrer*>(other)) referrer->ForgetTarget(item);
    }
    for (ParamBlock* block : paramBlocks_) block->forgetTarget(item);
}

}  // namespace headless
