#pragma once
// Objects of the headless scene: triangle and polygon meshes, objects of any class (helpers, bones,
// shapes, primitives, plug-in classes) with parameter blocks, modifier stacks, modifiers and cameras.
//
// Conversions: a triangle mesh converts to TRIOBJ_CLASS_ID (itself) and POLYOBJ_CLASS_ID (a new
// polygon object); a polygon object to TRIOBJ_CLASS_ID (a new triangle object) and its own class; a
// generic object with a mesh converts as its MeshConversion says. New objects belong to the scene.
#include "headless/param_block.h"
#include "headless/scene.h"

#include <memory>
#include <string>
#include <vector>

namespace headless {

// Extra numbered references an object carries (references to arbitrary targets, as some host
// classes have); they are kept in order and are not owned.
class ReferenceList {
public:
    int count() const { return static_cast<int>(refs_.size()); }
    ReferenceTarget* get(int i) const { return i >= 0 && i < count() ? refs_[i] : nullptr; }
    void set(int i, ReferenceTarget* target);
    void assign(std::vector<ReferenceTarget*> refs) { refs_ = std::move(refs); }
    void forget(Animatable* target);

private:
    std::vector<ReferenceTarget*> refs_;
};

class TriMeshObject : public TriObject, public Referrer {
public:
    explicit TriMeshObject(Scene& scene) : scene_(scene) {}
    int CanConvertToType(Class_ID obtype) override;
    Object* ConvertToType(TimeValue t, Class_ID obtype) override;
    int NumRefs() override { return refs_.count(); }
    ReferenceTarget* GetReference(int i) override { return refs_.get(i); }
    ReferenceList& references() { return refs_; }
    void ForgetTarget(Animatable* target) override { refs_.forget(target); }

protected:
    void SetReference(int i, ReferenceTarget* target) override;

private:
    Scene& scene_;
    ReferenceList refs_;
};

class PolyMeshObject : public GeomObject, public Referrer {
public:
    PolyMeshObject(Scene& scene, const Mesh& mesh, Class_ID classID = POLYOBJ_CLASS_ID)
        : mesh(mesh), scene_(scene), classID_(classID) {}
    // The polygons, held as triangles.
    Mesh mesh;

    Class_ID ClassID() override { return classID_; }
    const char* GetObjectName() override { return "Editable Poly"; }
    int CanConvertToType(Class_ID obtype) override;
    Object* ConvertToType(TimeValue t, Class_ID obtype) override;
    void GetLocalBoundBox(TimeValue t, INode* node, Box3& box) override;
    int NumRefs() override { return refs_.count(); }
    ReferenceTarget* GetReference(int i) override { return refs_.get(i); }
    ReferenceList& references() { return refs_; }
    void ForgetTarget(Animatable* target) override { refs_.forget(target); }

protected:
    void SetReference(int i, ReferenceTarget* target) override;

private:
    Scene& scene_;
    Class_ID classID_;
    ReferenceList refs_;
};

// How a generic object turns into a mesh.
enum class MeshConversion {
    None,         // it has no mesh form
    Triangle,     // converts to a triangle object (and to a polygon object)
    PolygonOnly,  // converts only to a polygon object, which then converts to triangles
};

class GenericObject : public Object, public Referrer {
public:
    GenericObject(Scene& scene, SClass_ID superClassID, Class_ID classID, std::string objectName);
    // Frees the parameter blocks.
    ~GenericObject() override;

    // ---- Builder API ----
    // Gives the object a mesh form.
    void setMesh(const Mesh& mesh, MeshConversion conversion = MeshConversion::Triangle);
    const Mesh& mesh() const { return mesh_; }
    MeshConversion meshConversion() const { return conversion_; }
    // Adds a parameter block (owned by the object) and returns it for its parameters to be added.
    ParamBlock* addParamBlock(BlockID id, const std::string& name = "");
    // Makes the object answer OBJECT_SOURCE_INTERFACE_ID with source as object 0 (null: no interface).
    void setSourceObject(Object* source);
    Object* sourceObject() const { return source_; }
    ReferenceList& references() { return refs_; }

    // ---- Object ----
    SClass_ID SuperClassID() override { return superClassID_; }
    Class_ID ClassID() override { return classID_; }
    const char* GetObjectName() override { return objectName_.c_str(); }
    bool IsShapeObject() override { return superClassID_ == SHAPE_CLASS_ID; }
    int CanConvertToType(Class_ID obtype) override;
    Object* ConvertToType(TimeValue t, Class_ID obtype) override;
    void GetLocalBoundBox(TimeValue t, INode* node, Box3& box) override;
    int NumParamBlocks() override { return static_cast<int>(blocks_.size()); }
    IParamBlock2* GetParamBlock(int index) override;
    BaseInterface* GetInterface(Interface_ID id) override;
    void* GetInterface(uint32_t id) override { return Object::GetInterface(id); }
    int NumRefs() override { return refs_.count(); }
    ReferenceTarget* GetReference(int i) override { return refs_.get(i); }
    void ForgetTarget(Animatable* target) override;

protected:
    void SetReference(int i, ReferenceTarget* target) override;

private:
    class SourceInterface : public IObjectSource {
    public:
        explicit SourceInterface(GenericObject& owner) : owner_(owner) {}
        int NumSourceObjects() override { return owner_.source_ ? 1 : 0; }
        Object* GetSourceObject(int index) override { return index == 0 ? owner_.source_ : nullptr; }

    private:
        GenericObject& owner_;
    };

    Scene& scene_;
    SClass_ID superClassID_;
    Class_ID classID_;
    std::string objectName_;
    Mesh mesh_;
    MeshConversion conversion_ = MeshConversion::None;
    std::vector<ParamBlock*> blocks_;
    Object* source_ = nullptr;
    SourceInterface sourceInterface_{*this};
    ReferenceList refs_;
};

// A modifier stack. The headless host does not deform geometry: the stack evaluates to the object
// at its bottom (evaluated in turn), whatever its modifiers.
class DerivedObject : public IDerivedObject, public Referrer {
public:
    DerivedObject(Scene& scene, Object* base, SClass_ID superClassID);

    SClass_ID SuperClassID() override { return superClassID_; }
    Class_ID ClassID() override { return DERIVOB_CLASS_CLASS_ID; }
    const char* GetObjectName() override { return "Modified Object"; }
    ObjectState Eval(TimeValue t) override;
    int CanConvertToType(Class_ID obtype) override;
    // Converts the object at the bottom; the result is always a new object, never a scene object
    // the stack refers to.
    Object* ConvertToType(TimeValue t, Class_ID obtype) override;
    Object* FindBaseObject() override;
    void GetLocalBoundBox(TimeValue t, INode* node, Box3& box) override;

    int NumModifiers() override { return static_cast<int>(modifiers_.size()); }
    Modifier* GetModifier(int index) override;
    void AddModifier(Modifier* mod, int index = 0) override;
    void DeleteModifier(int index) override;
    Object* GetObjRef() override { return object_; }
    void ReferenceObject(Object* obj) override;

    int NumRefs() override { return 1 + NumModifiers(); }
    ReferenceTarget* GetReference(int i) override;
    void ForgetTarget(Animatable* target) override;

private:
    Scene& scene_;
    Object* object_ = nullptr;
    SClass_ID superClassID_;
    std::vector<Modifier*> modifiers_;
};

class GenericModifier : public Modifier {
public:
    GenericModifier(Class_ID classID, std::string name) : classID_(classID), name_(std::move(name)) {}
    Class_ID ClassID() override { return classID_; }
    const char* GetObjectName() override { return name_.c_str(); }
    bool IsEnabled() override { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }

private:
    Class_ID classID_;
    std::string name_;
    bool enabled_ = true;
};

class Camera : public CameraObject {
public:
    Camera(float fov, Class_ID classID) : fov_(fov), classID_(classID) {}
    Class_ID ClassID() override { return classID_; }
    const char* GetObjectName() override { return "Camera"; }
    float GetFOV(TimeValue, Interval* valid = nullptr) override {
        if (valid) *valid = FOREVER;
        return fov_;
    }
    void SetFOV(TimeValue, float fov) override { fov_ = fov; }
    float GetNearClip(TimeValue) override { return nearClip_; }
    float GetFarClip(TimeValue) override { return farClip_; }
    void setClip(float nearClip, float farClip) {
        nearClip_ = nearClip;
        farClip_ = farClip;
    }

private:
    float fov_;
    Class_ID classID_;
    float nearClip_ = 1.0f;
    float farClip_ = 1000.0f;
};

}  // namespace headless
