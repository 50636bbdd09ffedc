#include "headless/objects.h"

#include "headless/scene_node.h"

namespace headless {

void ReferenceList::set(int i, ReferenceTarget* target) {
    if (i < 0) return;
    if (i >= count()) refs_.resize(static_cast<size_t>(i) + 1, nullptr);
    refs_[i] = target;
}

void ReferenceList::forget(Animatable* target) {
    for (auto& ref : refs_)
        if (static_cast<Animatable*>(ref) == target) ref = nullptr;
}

// ---- TriMeshObject ----

int TriMeshObject::CanConvertToType(Class_ID obtype) {
    return obtype == TRIOBJ_CLASS_ID || obtype == POLYOBJ_CLASS_ID ? 1 : 0;
}

Object* TriMeshObject::ConvertToType(TimeValue, Class_ID obtype) {
    if (obtype == TRIOBJ_CLASS_ID) return this;
    if (obtype == POLYOBJ_CLASS_ID) return scene_.newPolyObject(mesh);
    return nullptr;
}

void TriMeshObject::SetReference(int i, ReferenceTarget* target) {
    refs_.set(i, target);
    scene_.noteReference(target);
}

// ---- PolyMeshObject ----

int PolyMeshObject::CanConvertToType(Class_ID obtype) {
    return obtype == TRIOBJ_CLASS_ID || obtype == classID_ || obtype == POLYOBJ_CLASS_ID ? 1 : 0;
}

Object* PolyMeshObject::ConvertToType(TimeValue, Class_ID obtype) {
    if (obtype == classID_) return this;
    if (obtype == TRIOBJ_CLASS_ID) return scene_.newTriObject(mesh);
    if (obtype == POLYOBJ_CLASS_ID) return scene_.newPolyObject(mesh);
    return nullptr;
}

void PolyMeshObject::GetLocalBoundBox(TimeValue, INode*, Box3& box) {
    mesh.buildBoundingBox();
    box = mesh.getBoundingBox();
}

void PolyMeshObject::SetReference(int i, ReferenceTarget* target) {
    refs_.set(i, target);
    scene_.noteReference(target);
}

// ---- GenericObject ----

GenericObject::GenericObject(Scene& scene, SClass_ID superClassID, Class_ID classID, std::string objectName)
    : scene_(scene), superClassID_(superClassID), classID_(classID), objectName_(std::move(objectName)) {}

GenericObject::~GenericObject() {
    for (ParamBlock* block : blocks_) block->DeleteThis();
}

void GenericObject::setMesh(const Mesh& mesh, MeshConversion conversion) {
    mesh_ = mesh;
    conversion_ = conversion;
}

ParamBlock* GenericObject::addParamBlock(BlockID id, const std::string& name) {
    auto* block = new ParamBlock(&scene_, id, name);
    blocks_.push_back(block);
    return block;
}

void GenericObject::setSourceObject(Object* source) {
    source_ = source;
    scene_.adopt(source);
    scene_.noteReference(source);
}

int GenericObject::CanConvertToType(Class_ID obtype) {
    if (obtype == classID_) return 1;
    switch (conversion_) {
    case MeshConversion::Triangle: return obtype == TRIOBJ_CLASS_ID || obtype == POLYOBJ_CLASS_ID ? 1 : 0;
    case MeshConversion::PolygonOnly: return obtype == POLYOBJ_CLASS_ID ? 1 : 0;
    case MeshConversion::None: break;
    }
    return 0;
}

Object* GenericObject::ConvertToType(TimeValue, Class_ID obtype) {
    if (obtype == classID_) return this;
    if (!CanConvertToType(obtype)) return nullptr;
    if (obtype == TRIOBJ_CLASS_ID) return scene_.newTriObject(mesh_);
    if (obtype == POLYOBJ_CLASS_ID) return scene_.newPolyObject(mesh_);
    return nullptr;
}

void GenericObject::GetLocalBoundBox(TimeValue, INode*, Box3& box) {
    mesh_.buildBoundingBox();
    box = mesh_.getBoundingBox();
}

IParamBlock2* GenericObject::GetParamBlock(int index) {
    if (index < 0 || index >= NumParamBlocks()) return nullptr;
    return blocks_[index];
}

BaseInterface* GenericObject::GetInterface(Interface_ID id) {
    if (id == OBJECT_SOURCE_INTERFACE_ID && source_) return &sourceInterface_;
    return Object::GetInterface(id);
}

void GenericObject::SetReference(int i, ReferenceTarget* target) {
    refs_.set(i, target);
    scene_.noteReference(target);
}

void GenericObject::ForgetTarget(Animatable* target) {
    if (static_cast<Animatable*>(source_) == target) source_ = nullptr;
    refs_.forget(target);
}

// ---- DerivedObject ----

DerivedObject::DerivedObject(Scene& scene, Object* base, SClass_ID superClassID)
    : scene_(scene), superClassID_(IsDerivedObjectSuperClass(superClassID) ? superClassID : GEN_DERIVOB_CLASS_ID) {
    ReferenceObject(base);
}

ObjectState DerivedObject::Eval(TimeValue t) {
    // Nested stacks evaluate through to the object at the bottom.
    return object_ ? object_->Eval(t) : ObjectState();
}

int DerivedObject::CanConvertToType(Class_ID obtype) {
    if (!object_) return 0;
    Object* evaluated = object_->Eval(0).obj;
    return evaluated ? evaluated->CanConvertToType(obtype) : 0;
}

Object* DerivedObject::ConvertToType(TimeValue t, Class_ID obtype) {
    if (!object_) return nullptr;
    Object* evaluated = object_->Eval(t).obj;
    if (!evaluated) return nullptr;
    Object* converted = evaluated->ConvertToType(t, obtype);
    if (converted != evaluated || !converted) return converted;
    // The bottom object already has the class: hand out a copy, not the scene's object.
    if (obtype == TRIOBJ_CLASS_ID) {
        if (auto* tri = dynamic_cast<TriObject*>(evaluated)) return scene_.newTriObject(tri->mesh);
    }
    if (auto* poly = dynamic_cast<PolyMeshObject*>(evaluated)) return scene_.newPolyObject(poly->mesh, obtype);
    return converted;
}

Object* DerivedObject::FindBaseObject() { return object_ ? object_->FindBaseObject() : nullptr; }

void DerivedObject::GetLocalBoundBox(TimeValue t, INode* node, Box3& box) {
    if (object_) object_->GetLocalBoundBox(t, node, box);
    else box.Init();
}

Modifier* DerivedObject::GetModifier(int index) {
    if (index < 0 || index >= NumModifiers()) return nullptr;
    return modifiers_[index];
}

void DerivedObject::AddModifier(Modifier* mod, int index) {
    if (!mod) return;
    if (index < 0 || index > NumModifiers()) index = NumModifiers();
    modifiers_.insert(modifiers_.begin() + index, mod);
    scene_.adopt(mod);
    scene_.noteReference(mod);
}

void DerivedObject::DeleteModifier(int index) {
    if (index < 0 || index >= NumModifiers()) return;
    modifiers_.erase(modifiers_.begin() + index);
}

void DerivedObject::ReferenceObject(Object* obj) {
    // A stack cannot hold itself.
    if (obj == this) return;
    object_ = obj;
    scene_.adopt(obj);
    scene_.noteReference(obj);
}

ReferenceTarget* DerivedObject::GetReference(int i) {
    if (i == 0) return object_;
    return GetModifier(i - 1);
}

void DerivedObject::ForgetTarget(Animatable* target) {
    if (static_cast<Animatable*>(object_) == target) object_ = nullptr;
    std::erase_if(modifiers_, [target](Modifier* m) { return static_cast<Animatable*>(m) == target; });
}

}  // namespace headless
