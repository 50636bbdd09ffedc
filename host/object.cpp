#include "host/object.h"

#include "host/host_services.h"
#include "host/node.h"
#include "host/scene_building.h"

#include <stdexcept>

ObjectState Object::Eval(TimeValue) { return ObjectState(this); }

int Object::CanConvertToType(Class_ID obtype) { return obtype == ClassID() ? 1 : 0; }

Object* Object::ConvertToType(TimeValue, Class_ID obtype) { return obtype == ClassID() ? this : nullptr; }

Interval Object::ObjectValidity(TimeValue) { return FOREVER; }

IParamBlock2* Object::GetParamBlock(int) { return nullptr; }

IParamBlock2* Object::GetParamBlockByID(BlockID id) {
    for (int i = 0; i < NumParamBlocks(); ++i) {
        IParamBlock2* block = GetParamBlock(i);
        if (block && block->ID() == id) return block;
    }
    return nullptr;
}

void Object::GetLocalBoundBox(TimeValue, INode*, Box3& box) { box.Init(); }

void Object::GetWorldBoundBox(TimeValue t, INode* node, Box3& box) {
    Box3 local;
    GetLocalBoundBox(t, node, local);
    box = node ? local * node->GetObjectTM(t) : local;
}

void Object::GetLocalBoundBox(TimeValue t, INode* node, ViewExp*, Box3& box) { GetLocalBoundBox(t, node, box); }

void Object::GetWorldBoundBox(TimeValue t, INode* node, ViewExp*, Box3& box) { GetWorldBoundBox(t, node, box); }

int Object::Display(TimeValue, INode*, ViewExp*, int) { return 0; }

int Object::HitTest(TimeValue, INode*, int, int, int, IPoint2*, ViewExp*) { return 0; }

void TriObject::GetLocalBoundBox(TimeValue, INode*, Box3& box) {
    mesh.buildBoundingBox();
    box = mesh.getBoundingBox();
}

TriObject* CreateNewTriObject() {
    HostServices* host = InstalledHostServices();
    if (!host) throw std::logic_error("CreateNewTriObject: no host is running");
    return host->NewTriObject();
}

IDerivedObject* CreateDerivedObject(Object* obj) {
    HostServices* host = InstalledHostServices();
    return host ? host->NewDerivedObject(obj) : nullptr;
}
