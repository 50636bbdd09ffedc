#pragma once
// Nodes, layers and transform controllers of the headless scene.
#include "headless/scene.h"
#include "headless/transform_track.h"

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace headless {

// A layer: a name and a hidden flag. Nodes refer to it (reference NODE_LAYER_REF).
class Layer : public ILayer {
public:
    // The scene finds its layers by name (Scene::findLayer) and hears of a renamed one.
    Layer(Scene& scene, std::string name) : scene_(scene), name_(std::move(name)) {}
    Class_ID ClassID() override { return LAYER_OBJECT_CLASS_ID; }
    const char* GetName() override { return name_.c_str(); }
    void SetName(const char* name) override;
    bool IsHidden() override { return hidden_; }
    void Hide(bool hide) override { hidden_ = hide; }

private:
    Scene& scene_;
    std::string name_;
    bool hidden_ = false;
};

// A node's transform controller. The headless host keeps the keys on the node; the controller
// carries the class that tells how the node is animated (for example a skeleton controller).
class TransformController : public Control {
public:
    explicit TransformController(Class_ID classID = PRS_CONTROL_CLASS_ID) : classID_(classID) {}
    Class_ID ClassID() override { return classID_; }
    void setClassID(Class_ID classID) { classID_ = classID; }

private:
    Class_ID classID_;
};

class Node : public INode, public Referrer {
public:
    // Nodes are made by the scene (createNode, createDetachedNode).
    Node(Scene& scene, std::string name, bool isRoot = false);
    // A node deleted before its scene leaves the tree (its children move to the root).
    ~Node() override;

    Scene& scene() const { return scene_; }

    // ---- Builder API (local transforms are relative to the parent) ----
    // Holds one local matrix for all time (drops animation keys).
    void setLocalTM(const Matrix3& local);
    // Adds an animation key: the local matrix at tick t.
    void addKey(TimeValue t, const Matrix3& local);
    const TransformTrack& track() const { return track_; }
    void setObjectOffset(const Matrix3& offset) { SetObjectOffsetTM(offset); }
    void setTMControllerClass(Class_ID classID);
    // True for a node made outside the tree that has not been added yet.
    bool isDetached() const { return !isRoot_ && !parent_; }
    // User properties in the order they were first set.
    const std::vector<std::pair<std::string, std::string>>& userProperties() const { return userProps_; }
    void setSelectedFlag(bool selected) { selected_ = selected; }

    // ---- INode ----
    Class_ID ClassID() override { return Class_ID(BASENODE_CLASS_ID, 0); }
    const char* GetName() override { return name_.c_str(); }
    void SetName(const char* name) override { name_ = name ? name : ""; }

    bool IsRootNode() override { return isRoot_; }
    INode* GetParentNode() override { return parent_; }
    int NumberOfChildren() override { return static_cast<int>(children_.size() - removedChildren_); }
    INode* GetChildNode(int i) override;
    void AttachChild(INode* child, bool keepPos = true) override;
    void Detach(TimeValue t, bool keepPos = true) override;

    Matrix3 GetNodeTM(TimeValue t, Interval* valid = nullptr) override;
    void SetNodeTM(TimeValue t, const Matrix3& tm) override;
    Matrix3 GetParentTM(TimeValue t) override;
    Matrix3 GetLocalTM(TimeValue t) override { return isRoot_ ? Matrix3() : track_.At(t); }
    void SetLocalTM(TimeValue t, const Matrix3& local) override;
    Matrix3 GetObjectTM(TimeValue t, Interval* valid = nullptr) override;
    Matrix3 GetObjTMAfterWSM(TimeValue t, Interval* valid = nullptr) override { return GetObjectTM(t, valid); }
    Matrix3 GetObjectOffsetTM() override { return objectOffset_; }
    void SetObjectOffsetTM(const Matrix3& offset) override { objectOffset_ = offset; }
    Control* GetTMController() override;

    Object* GetObjectRef() override { return object_; }
    void SetObjectRef(Object* obj) override;
    ObjectState EvalWorldState(TimeValue t) override;
    Mtl* GetMtl() override { return mtl_; }
    void SetMtl(Mtl* mtl) override;
    // Display materials made from the material each time they are asked for: the diffuse colour
    // and opacity of a standard material, one per slot of a multi material (grey for empty or
    // non-standard slots), one in the wire colour without a material.
    Material* Mtls() override;
    int NumMtls() override;
    void setWireColor(const Color& color) { wireColor_ = color; }

    bool IsHidden() override { return hidden_; }
    void Hide(bool hide) override { hidden_ = hide; }
    bool IsFrozen() override { return frozen_; }
    void Freeze(bool freeze) override { frozen_ = freeze; }
    bool Selected() override { return selected_; }
    bool IsGroupHead() override { return groupHead_; }
    void SetGroupHead(bool head) override { groupHead_ = head; }
    bool IsGroupMember() override { return groupMember_; }
    void SetGroupMember(bool member) override { groupMember_ = member; }
    float GetVisibility(TimeValue t, Interval* valid = nullptr) override;
    void SetVisibility(TimeValue t, float visibility) override;
    bool GetInheritVisibility() override { return inheritVisibility_; }
    void SetInheritVisibility(bool inherit) override { inheritVisibility_ = inherit; }

    bool UserPropExists(const std::string& key) override;
    bool GetUserPropString(const std::string& key, std::string& value) override;
    void SetUserPropString(const std::string& key, const std::string& value) override;
    bool GetUserPropFloat(const std::string& key, float& value) override;
    void SetUserPropFloat(const std::string& key, float value) override;
    bool GetUserPropInt(const std::string& key, int& value) override;
    void SetUserPropInt(const std::string& key, int value) override;
    bool GetUserPropBool(const std::string& key, bool& value) override;
    void SetUserPropBool(const std::string& key, bool value) override;
    void GetUserPropBuffer(std::string& buffer) override;
    void SetUserPropBuffer(const std::string& buffer) override;

    ILayer* GetLayer() override { return layer_; }
    void SetLayer(ILayer* layer) override;

    int NumRefs() override { return NODE_NUM_REFS; }
    ReferenceTarget* GetReference(int i) override;

    void ForgetTarget(Animatable* target) override;

protected:
    void SetReference(int i, ReferenceTarget* target) override;

private:
    friend class Scene;
    // The world transform last worked out, for one time. It stays while neither this node's
    // transform or parent nor those of its ancestors change; a node knows its world only while its
    // parent knows its own, so that forgetting stops at a node that knows nothing.
    struct KnownWorld {
        bool known = false;
        TimeValue t = 0;
        Matrix3 world;
        Interval validity;
    };
    void forgetWorld();
    void removeChild(Node* child);
    bool isAncestorOf(const Node* node) const;
    // The parent whose world transform this node's local one is relative to: none at the root.
    Node* worldParent() const { return parent_ && !parent_->isRoot_ ? parent_ : nullptr; }
    std::string* findUserProp(const std::string& key);
    // AttachChild at a time: with keepPos, a child without keys keeps its world transform at `at`.
    void attach(INode* child, bool keepPos, TimeValue at);

    Scene& scene_;
    std::string name_;
    bool isRoot_;
    Node* parent_ = nullptr;
    // Children in host order. A removed child leaves a null in its place until the list is next
    // read by position (compactChildren), so that emptying a parent of many children one by one (an
    // import moves every node from the root to its parent) costs no shifting of the rest each time.
    std::vector<Node*> children_;
    size_t removedChildren_ = 0;
    size_t slot_ = 0;  // this node's place in its parent's children_
    void compactChildren();
    TransformTrack track_;
    KnownWorld world_;
    Matrix3 objectOffset_;
    TransformController* controller_ = nullptr;
    Object* object_ = nullptr;
    Mtl* mtl_ = nullptr;
    ILayer* layer_ = nullptr;
    bool hidden_ = false;
    bool frozen_ = false;
    bool selected_ = false;
    bool groupHead_ = false;
    bool groupMember_ = false;
    float visibility_ = 1.0f;
    bool inheritVisibility_ = true;
    std::vector<std::pair<std::string, std::string>> userProps_;
    std::unordered_map<std::string, size_t> userPropIndex_;  // key -> place in userProps_
    Color wireColor_{0.6f, 0.6f, 0.6f};
    std::vector<Material> displayMtls_;
    void buildDisplayMtls();
};

}  // namespace headless
