#include "host/simple_object.h"

#include "host/hit_test.h"
#include "host/node.h"
#include "host/viewport.h"

SimpleObject* SimpleObject::editOb = nullptr;

SimpleObject::~SimpleObject() {
    if (editOb == this) editOb = nullptr;
}

void SimpleObject::UpdateMesh(TimeValue t) {
    if (!ivalid.InInterval(t)) {
        BuildMesh(t);
        if (!ivalid.InInterval(t)) ivalid = Interval(t, t);
    }
}

ObjectState SimpleObject::Eval(TimeValue t) {
    UpdateMesh(t);
    return ObjectState(this);
}

int SimpleObject::CanConvertToType(Class_ID obtype) {
    return obtype == ClassID() || obtype == TRIOBJ_CLASS_ID ? 1 : 0;
}

Object* SimpleObject::ConvertToType(TimeValue t, Class_ID obtype) {
    if (obtype == ClassID()) return this;
    if (obtype != TRIOBJ_CLASS_ID) return nullptr;
    UpdateMesh(t);
    TriObject* tri = CreateNewTriObject();
    if (tri) tri->mesh = mesh;
    return tri;
}

Interval SimpleObject::ObjectValidity(TimeValue t) {
    UpdateMesh(t);
    return ivalid;
}

void SimpleObject::GetLocalBoundBox(TimeValue t, INode*, Box3& box) {
    UpdateMesh(t);
    mesh.buildBoundingBox();
    box = mesh.getBoundingBox();
}

int SimpleObject::HitTest(TimeValue t, INode* node, int type, int, int, IPoint2* p, ViewExp* vpt) {
    if (type != HITTYPE_POINT || !node || !p || !vpt) return 0;
    GraphicsWindow* gw = vpt->getGW();
    if (!gw) return 0;
    UpdateMesh(t);
    const Matrix3 saved = gw->getTransform();
    gw->setTransform(node->GetObjectTM(t));
    const bool hit = MeshHitsPoint(mesh, *gw, *p, HIT_PICK_RADIUS);
    gw->setTransform(saved);
    return hit ? 1 : 0;
}

void SimpleObject::BeginEditParams(IObjParam*, uint32_t, Animatable*) { editOb = this; }

void SimpleObject::EndEditParams(IObjParam*, uint32_t, Animatable*) {
    if (editOb == this) editOb = nullptr;
}

SimpleObject2::~SimpleObject2() {
    if (pblock2) pblock2->DeleteThis();
    pblock2 = nullptr;
}

ReferenceTarget* SimpleObject2::GetReference(int i) { return i == 0 ? pblock2 : nullptr; }

void SimpleObject2::SetReference(int i, ReferenceTarget* target) {
    if (i != 0) return;
    // The object owns its block: a block replaced by another one is freed.
    auto* block = dynamic_cast<IParamBlock2*>(target);
    if (pblock2 && pblock2 != block) pblock2->DeleteThis();
    pblock2 = block;
    if (pblock2) pblock2->SetOwner(this);
}

IParamBlock2* SimpleObject2::GetParamBlock(int index) { return index == 0 ? pblock2 : nullptr; }

IParamBlock2* SimpleObject2::GetParamBlockByID(BlockID id) {
    return pblock2 && pblock2->ID() == id ? pblock2 : nullptr;
}
