#include "headless/scene_node.h"

#include "headless/host.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace headless {

namespace {

std::string trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) return {};
    size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

}  // namespace

void Layer::SetName(const char* name) {
    name_ = name ? name : "";
    scene_.forgetLayerNames();
}

Node::Node(Scene& scene, std::string name, bool isRoot) : scene_(scene), name_(std::move(name)), isRoot_(isRoot) {}

Node::~Node() { scene_.nodeDestroyed(this); }

void Node::setLocalTM(const Matrix3& local) {
    track_.SetStatic(local);
    forgetWorld();
}

void Node::addKey(TimeValue t, const Matrix3& local) {
    track_.SetKey(t, local);
    forgetWorld();
}

void Node::forgetWorld() {
    if (!world_.known) return;  // nor do its descendants know theirs
    std::vector<Node*> pending{this};
    while (!pending.empty()) {
        Node* node = pending.back();
        pending.pop_back();
        if (!node->world_.known) continue;
        node->world_.known = false;
        for (Node* child : node->children_)
            if (child) pending.push_back(child);
    }
}

void Node::setTMControllerClass(Class_ID classID) {
    if (!controller_) {
        controller_ = new TransformController(classID);
        scene_.adopt(controller_);
        scene_.noteReference(controller_);
    } else {
        controller_->setClassID(classID);
    }
}

void Node::compactChildren() {
    if (removedChildren_ == 0) return;
    std::erase(children_, nullptr);
    for (size_t i = 0; i < children_.size(); ++i) children_[i]->slot_ = i;
    removedChildren_ = 0;
}

INode* Node::GetChildNode(int i) {
    if (i < 0 || i >= NumberOfChildren()) return nullptr;
    compactChildren();
    return children_[i];
}

bool Node::isAncestorOf(const Node* node) const {
    for (const Node* p = node; p; p = p->parent_)
        if (p == this) return true;
    return false;
}

void Node::removeChild(Node* child) {
    children_[child->slot_] = nullptr;
    ++removedChildren_;
    child->parent_ = nullptr;
    child->forgetWorld();
}

void Node::AttachChild(INode* childNode, bool keepPos) {
    attach(childNode, keepPos, scene_.host() ? scene_.host()->GetTime() : 0);
}

void Node::attach(INode* childNode, bool keepPos, TimeValue at) {
    auto* child = dynamic_cast<Node*>(childNode);
    // Refuse foreign nodes, the root, and attachments that would make a cycle.
    // A node without children is an ancestor of no other node: no walk up a deep chain for it.
    if (!child || &child->scene_ != &scene_ || child->isRoot_ || child == this ||
        (child->NumberOfChildren() > 0 && child->isAncestorOf(this)))
        return;
    if (keepPos) {
        // Every key keeps its world transform: local' = world(t) × newParentWorld(t)⁻¹; a node
        // without keys keeps the one it has at `at`. The root's world is the identity: no product
        // with it, which would turn -0 into 0.
        Node* oldParent = child->worldParent();
        child->track_.Transform(at, [&](TimeValue t, const Matrix3& local) {
            Matrix3 world = oldParent ? local * oldParent->GetNodeTM(t) : local;
            return isRoot_ ? world : world * Inverse(GetNodeTM(t));
        });
    }
    if (child->parent_) child->parent_->removeChild(child);
    child->parent_ = this;
    child->slot_ = children_.size();
    children_.push_back(child);
    child->forgetWorld();
}

void Node::Detach(TimeValue t, bool keepPos) {
    if (isRoot_) return;
    scene_.root()->attach(this, keepPos, t);
}

Matrix3 Node::GetNodeTM(TimeValue t, Interval* valid) {
    if (isRoot_) {
        if (valid) *valid = FOREVER;
        return Matrix3();
    }
    // A node's world is its local transform times its parent's world. Worked out from the nearest
    // ancestor that knows its world at t (found at t, or at a time whose world holds over t) down to
    // this node, each keeping what it found, so that asking every node of a deep chain costs one
    // step a node, and asking one node at frame after frame costs one step where its ancestors stand
    // still.
    auto knows = [t](const Node* n) { return n->world_.known && (n->world_.t == t || n->world_.validity.InInterval(t)); };
    std::vector<Node*> chain;
    for (Node* n = this; n && !n->isRoot_ && !knows(n); n = n->parent_) chain.push_back(n);
    for (auto at = chain.rbegin(); at != chain.rend(); ++at) {
        Node& n = **at;
        const Node* p = n.worldParent();
        n.world_.world = p ? n.track_.At(t) * p->world_.world : n.track_.At(t);
        n.world_.validity = n.track_.Validity(t);
        if (p) n.world_.validity &= p->world_.validity;
        n.world_.t = t;
        n.world_.known = true;
    }
    if (valid) *valid &= world_.validity;
    return world_.world;
}

void Node::SetNodeTM(TimeValue t, const Matrix3& tm) {
    if (isRoot_) return;
    Node* parent = worldParent();
    SetLocalTM(t, parent ? tm * Inverse(parent->GetNodeTM(t)) : tm);
}

void Node::SetLocalTM(TimeValue t, const Matrix3& local) {
    if (isRoot_) return;
    if (track_.IsAnimated() || Animating()) track_.SetKey(t, local);
    else track_.SetStatic(local);
    forgetWorld();
}

Matrix3 Node::GetParentTM(TimeValue t) { return parent_ ? parent_->GetNodeTM(t) : Matrix3(); }

Matrix3 Node::GetObjectTM(TimeValue t, Interval* valid) { return objectOffset_ * GetNodeTM(t, valid); }

Control* Node::GetTMController() {
    if (!controller_ && !isRoot_) setTMControllerClass(PRS_CONTROL_CLASS_ID);
    return controller_;
}

void Node::SetObjectRef(Object* obj) {
    object_ = obj;
    scene_.adopt(obj);
    scene_.noteReference(obj);
}

ObjectState Node::EvalWorldState(TimeValue t) { return object_ ? object_->Eval(t) : ObjectState(); }

void Node::SetMtl(Mtl* mtl) {
    mtl_ = mtl;
    scene_.adopt(mtl);
    scene_.noteReference(mtl);
}

void Node::buildDisplayMtls() {
    auto fromMtl = [this](Mtl* mtl) {
        Material m;
        if (!mtl) {
            m.Ka = m.Kd = wireColor_;
        } else if (mtl->ClassID() == DMTL_CLASS_ID) {
            auto* standard = static_cast<StdMat*>(mtl);
            m.Ka = standard->GetAmbient(0);
            m.Kd = standard->GetDiffuse(0);
            m.Ks = standard->GetSpecular(0);
            m.opacity = standard->GetOpacity(0);
        }
        return m;
    };
    displayMtls_.clear();
    if (mtl_ && mtl_->IsMultiMtl() && mtl_->NumSubMtls() > 0) {
        for (int i = 0; i < mtl_->NumSubMtls(); ++i) {
            Mtl* sub = mtl_->GetSubMtl(i);
            displayMtls_.push_back(sub ? fromMtl(sub) : Material{});
        }
    } else {
        displayMtls_.push_back(fromMtl(mtl_));
    }
}

Material* Node::Mtls() {
    buildDisplayMtls();
    return displayMtls_.data();
}

int Node::NumMtls() {
    buildDisplayMtls();
    return static_cast<int>(displayMtls_.size());
}

float Node::GetVisibility(TimeValue, Interval* valid) {
    if (valid) *valid = FOREVER;
    return visibility_;
}

void Node::SetVisibility(TimeValue, float visibility) { visibility_ = visibility; }

// Keys are kept trimmed, and found so.
std::string* Node::findUserProp(const std::string& key) {
    const auto found = userPropIndex_.find(trim(key));
    return found == userPropIndex_.end() ? nullptr : &userProps_[found->second].second;
}

bool Node::UserPropExists(const std::string& key) { return findUserProp(key) != nullptr; }

bool Node::GetUserPropString(const std::string& key, std::string& value) {
    const std::string* found = findUserProp(key);
    if (!found) return false;
    value = *found;
    return true;
}

void Node::SetUserPropString(const std::string& key, const std::string& value) {
    std::string k = trim(key);
    if (std::string* found = findUserProp(k)) {
        *found = value;
    } else {
        userPropIndex_.emplace(k, userProps_.size());
        userProps_.emplace_back(k, value);
    }
}

bool Node::GetUserPropFloat(const std::string& key, float& value) {
    const std::string* found = findUserProp(key);
    if (!found) return false;
    std::string text = trim(*found);
    if (text.empty()) return false;
    char* end = nullptr;
    float parsed = std::strtof(text.c_str(), &end);
    if (end != text.c_str() + text.size()) return false;
    value = parsed;
    return true;
}

void Node::SetUserPropFloat(const std::string& key, float value) {
    // The shortest text that reads back as the same float.
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    SetUserPropString(key, std::string(buffer, result.ptr));
}

bool Node::GetUserPropInt(const std::string& key, int& value) {
    const std::string* found = findUserProp(key);
    if (!found) return false;
    std::string text = trim(*found);
    int parsed = 0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size()) return false;
    value = parsed;
    return true;
}

void Node::SetUserPropInt(const std::string& key, int value) { SetUserPropString(key, std::to_string(value)); }

bool Node::GetUserPropBool(const std::string& key, bool& value) {
    const std::string* found = findUserProp(key);
    if (!found) return false;
    std::string text = trim(*found);
    if (text == "true" || text == "1") value = true;
    else if (text == "false" || text == "0") value = false;
    else return false;
    return true;
}

void Node::SetUserPropBool(const std::string& key, bool value) { SetUserPropString(key, value ? "true" : "false"); }

void Node::GetUserPropBuffer(std::string& buffer) {
    buffer.clear();
    for (const auto& [k, v] : userProps_) buffer += k + " = " + v + "\r\n";
}

void Node::SetUserPropBuffer(const std::string& buffer) {
    userProps_.clear();
    userPropIndex_.clear();
    std::istringstream in(buffer);
    std::string line;
    while (std::getline(in, line)) {
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = trim(line.substr(0, eq));
        if (key.empty()) continue;
        SetUserPropString(key, trim(line.substr(eq + 1)));
    }
}

void Node::SetLayer(ILayer* layer) {
    layer_ = layer;
    scene_.adopt(layer);
    scene_.noteReference(layer);
}

ReferenceTarget* Node::GetReference(int i) {
    switch (i) {
    case NODE_TM_REF: return GetTMController();
    case NODE_OBJECT_REF: return object_;
    case NODE_MATERIAL_REF: return mtl_;
    case NODE_LAYER_REF: return layer_;
    default: return nullptr;
    }
}

void Node::SetReference(int i, ReferenceTarget* target) {
    switch (i) {
    case NODE_OBJECT_REF: SetObjectRef(dynamic_cast<Object*>(target)); break;
    case NODE_MATERIAL_REF: SetMtl(dynamic_cast<Mtl*>(target)); break;
    case NODE_LAYER_REF: SetLayer(dynamic_cast<ILayer*>(target)); break;
    default: break;
    }
}

void Node::ForgetTarget(Animatable* target) {
    if (static_cast<Animatable*>(object_) == target) object_ = nullptr;
    if (static_cast<Animatable*>(mtl_) == target) mtl_ = nullptr;
    if (static_cast<Animatable*>(layer_) == target) layer_ = nullptr;
    if (static_cast<Animatable*>(controller_) == target) controller_ = nullptr;
}

}  // namespace headless
