#include "export/node_kind.h"

#include "export/skin.h"
#include "host/host.h"
#include "host/plugin_classes.h"

#include <cstring>

namespace zeq {
namespace {

bool isJointObjectClass(const Class_ID& id) {
    return id == JOINT_OBJECT_A_CLASS_ID || id == JOINT_OBJECT_B_CLASS_ID || id == JOINT_OBJECT_C_CLASS_ID;
}

bool isJointControllerClass(const Class_ID& id) {
    return id == JOINT_CONTROL_A_CLASS_ID || id == JOINT_CONTROL_B_CLASS_ID || id == JOINT_CONTROL_C_CLASS_ID ||
           id == JOINT_CONTROL_D_CLASS_ID;
}

bool isMeshShapeClass(const Class_ID& id) {
    return id == MESH_SHAPE_A_CLASS_ID || id == MESH_SHAPE_B_CLASS_ID || id == MESH_SHAPE_C_CLASS_ID;
}

// Shapes render as meshes when they are wrapped in a modifier stack or are one of the mesh shapes.
NodeKind shapeKind(INode* node, Object* object) {
    if (object != node->GetObjectRef()) return NodeKind::Mesh;
    return isMeshShapeClass(object->ClassID()) ? NodeKind::Mesh : NodeKind::Object;
}

NodeKind geometricObjectKind(INode* node, Object* object) {
    if (isJointObjectClass(object->ClassID())) return NodeKind::Joint;
    if (Control* controller = node->GetTMController(); controller && isJointControllerClass(controller->ClassID())) {
        return NodeKind::Joint;
    }
    if (findSkin(node)) return NodeKind::Skin;
    // An object with a polygon form only is converted through it (see the geometry's conversion).
    if (object->CanConvertToType(TRIOBJ_CLASS_ID) || object->CanConvertToType(POLYOBJ_CLASS_ID)) return NodeKind::Mesh;
    return NodeKind::Object;
}

}  // namespace

Object* classifiedObject(INode* node) {
    Object* object = node->GetObjectRef();
    if (!object) return nullptr;
    if (BaseInterface* answer = object->GetInterface(OBJECT_SOURCE_INTERFACE_ID)) {
        // Only an answer that really is the source interface can be asked for its object.
        if (auto* source = dynamic_cast<IObjectSource*>(answer)) {
            object = source->GetSourceObject(0);
            if (!object) return nullptr;
        }
    }
    // Unwrap modifier-stack wrappers, those of world-space modifiers too: the wrapped object decides
    // what the node is, and the geometry converter evaluates any of the three stacks. The bound
    // guards against a stack that wraps itself.
    for (int depth = 0; object && IsDerivedObjectSuperClass(object->SuperClassID()) && depth < 1024; ++depth) {
        auto* wrapper = dynamic_cast<IDerivedObject*>(object);
        if (!wrapper) break;
        object = wrapper->GetObjRef();
    }
    return object;
}

NodeKind classify(INode* node) {
    Object* object = classifiedObject(node);
    if (!object) return NodeKind::Object;

    const SClass_ID superClass = object->SuperClassID();
    const Class_ID classId = object->ClassID();
    if (classId == LOD_OBJECT_CLASS_ID) return NodeKind::LodObject;
    if (classId == SPRITE_CLASS_ID) return NodeKind::Sprite;

    const char* name = node->GetName();
    if (name && std::strstr(name, "@LOD")) return NodeKind::LodGroup;

    switch (superClass) {
    case GEOMOBJECT_CLASS_ID:
        return geometricObjectKind(node, object);
    case LIGHT_CLASS_ID:
        if (classId.PartA() == DIR_LIGHT_CLASS_ID.PartA()) return NodeKind::DirectionalLight;
        if (classId.PartA() == OMNI_LIGHT_CLASS_ID.PartA()) return NodeKind::OmniLight;
        if (classId.PartA() == FSPOT_LIGHT_CLASS_ID.PartA()) return NodeKind::SpotLight;
        // Other lights (target spots, target directionals) follow the shape rule.
        return shapeKind(node, object);
    case SHAPE_CLASS_ID:
        return shapeKind(node, object);
    case HELPER_CLASS_ID:
        return classId.PartA() == JOINT_HELPER_CLASS_PART_A ? NodeKind::Joint : NodeKind::Helper;
    default:
        // Cameras and everything else become plain objects.
        return NodeKind::Object;
    }
}

}  // namespace zeq
