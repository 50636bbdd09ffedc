#pragma once
// Scene nodes and layers. A node places an object in the scene: its name, its place in the node tree
// (children in host order), its transform over time, its state flags, user properties, material and
// layer. The scene root is a node too (IsRootNode); it is never exported or shown.
//
// Transforms: GetNodeTM is the node's world (pivot) matrix at a time; GetObjectTM is the matrix of
// the object it shows, i.e. the object offset (pivot offset) × the world matrix. A local matrix is
// world × parentWorld⁻¹ (row vectors).
#include "host/graphics_window.h"
#include "host/matrix3.h"
#include "host/object.h"

#include <string>

class Mtl;
class ILayer;

class INode : public ReferenceTarget {
public:
    SClass_ID SuperClassID() override { return BASENODE_CLASS_ID; }

    virtual const char* GetName() = 0;
    virtual void SetName(const char* name) = 0;

    // ---- Tree ----
    virtual bool IsRootNode() = 0;
    // The parent; the scene root for a top-level node, null for the root itself and for nodes not
    // yet added to the scene.
    virtual INode* GetParentNode() = 0;
    virtual int NumberOfChildren() = 0;
    virtual INode* GetChildNode(int i) = 0;
    // Makes child the last child of this node. With keepPos its world transform stays as it was;
    // without, its local transform stays (so it moves with its new parent).
    virtual void AttachChild(INode* child, bool keepPos = true) = 0;
    // Moves this node to the scene root, keeping its world transform when keepPos is set.
    virtual void Detach(TimeValue t, bool keepPos = true) = 0;

    // ---- Transforms ----
    virtual Matrix3 GetNodeTM(TimeValue t, Interval* valid = nullptr) = 0;
    // Sets the world matrix at t (as a key at t when the node is animated).
    virtual void SetNodeTM(TimeValue t, const Matrix3& tm) = 0;
    virtual Matrix3 GetParentTM(TimeValue t) = 0;
    // The matrix relative to the parent at t (the world matrix of a top-level node), and setting it
    // (as a key at t when the node is animated). A host that keeps local matrices gives and takes
    // them as they stand: a matrix set comes back to the bit, where the product with the parent's
    // world and its inverse would round it by a float step.
    virtual Matrix3 GetLocalTM(TimeValue t) {
        INode* parent = GetParentNode();
        return parent && !parent->IsRootNode() ? GetNodeTM(t) * Inverse(parent->GetNodeTM(t)) : GetNodeTM(t);
    }
    virtual void SetLocalTM(TimeValue t, const Matrix3& local) {
        INode* parent = GetParentNode();
        SetNodeTM(t, parent && !parent->IsRootNode() ? local * parent->GetNodeTM(t) : local);
    }
    virtual Matrix3 GetObjectTM(TimeValue t, Interval* valid = nullptr) = 0;
    // The object matrix after world-space modifiers (the headless host has none, so it equals
    // GetObjectTM).
    virtual Matrix3 GetObjTMAfterWSM(TimeValue t, Interval* valid = nullptr) = 0;
    // Offset of the object from the node's pivot, in node space.
    virtual Matrix3 GetObjectOffsetTM() = 0;
    virtual void SetObjectOffsetTM(const Matrix3& offset) = 0;
    virtual Control* GetTMController() = 0;

    // ---- Object and material ----
    virtual Object* GetObjectRef() = 0;
    virtual void SetObjectRef(Object* obj) = 0;
    // The object's pipeline evaluated at t (the result of its modifier stack).
    virtual ObjectState EvalWorldState(TimeValue t) = 0;
    virtual Mtl* GetMtl() = 0;
    virtual void SetMtl(Mtl* mtl) = 0;
    // The display materials viewports draw the node's object with (one per sub-material of a multi
    // material, one made from the wire colour when the node has no material). Owned by the node,
    // valid until its material changes. By default the node has none.
    virtual Material* Mtls() { return nullptr; }
    virtual int NumMtls() { return 0; }

    // ---- State ----
    virtual bool IsHidden() = 0;
    virtual void Hide(bool hide) = 0;
    virtual bool IsFrozen() = 0;
    virtual void Freeze(bool freeze) = 0;
    virtual bool Selected() = 0;
    virtual bool IsGroupHead() = 0;
    virtual void SetGroupHead(bool head) = 0;
    virtual bool IsGroupMember() = 0;
    virtual void SetGroupMember(bool member) = 0;
    // Visibility factor (1 = fully visible) and whether children inherit it.
    virtual float GetVisibility(TimeValue t, Interval* valid = nullptr) = 0;
    virtual void SetVisibility(TimeValue t, float visibility) = 0;
    virtual bool GetInheritVisibility() = 0;
    virtual void SetInheritVisibility(bool inherit) = 0;

    // ---- User properties: "key = value" entries kept with the node ----
    virtual bool UserPropExists(const std::string& key) = 0;
    virtual bool GetUserPropString(const std::string& key, std::string& value) = 0;
    virtual void SetUserPropString(const std::string& key, const std::string& value) = 0;
    // Numeric reads parse the stored text; false when the key is missing or its text is no number.
    virtual bool GetUserPropFloat(const std::string& key, float& value) = 0;
    virtual void SetUserPropFloat(const std::string& key, float value) = 0;
    virtual bool GetUserPropInt(const std::string& key, int& value) = 0;
    virtual void SetUserPropInt(const std::string& key, int value) = 0;
    virtual bool GetUserPropBool(const std::string& key, bool& value) = 0;
    virtual void SetUserPropBool(const std::string& key, bool value) = 0;
    // The whole property text, one "key = value" line per entry.
    virtual void GetUserPropBuffer(std::string& buffer) = 0;
    virtual void SetUserPropBuffer(const std::string& buffer) = 0;

    // ---- Layer (also reference NODE_LAYER_REF) ----
    virtual ILayer* GetLayer() = 0;
    virtual void SetLayer(ILayer* layer) = 0;
};

class ILayer : public ReferenceTarget {
public:
    SClass_ID SuperClassID() override { return LAYER_CLASS_ID; }
    virtual const char* GetName() = 0;
    virtual void SetName(const char* name) = 0;
    virtual bool IsHidden() = 0;
    virtual void Hide(bool hide) = 0;
};
