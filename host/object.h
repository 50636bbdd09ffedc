#pragma once
// Scene objects: what a node shows. Every object has a super class and class id, can be evaluated
// at a time (a modifier stack evaluates to the object it produces) and may convert itself to other
// classes, above all to the triangle-mesh object TriObject (TRIOBJ_CLASS_ID).
//
// Conversion rule: ConvertToType returns this object when it already is of the class asked for,
// otherwise a new object owned by the caller (free it with DeleteThis, or leave it to the host,
// which frees what its scene created when the scene ends); null when it cannot convert.
#include "host/animatable.h"
#include "host/box3.h"
#include "host/ids.h"
#include "host/mesh.h"
#include "host/paramblock.h"

class INode;
class Object;
class ViewExp;
class CreateMouseCallBack;

// Result of evaluating an object: the object that the pipeline produces at that time.
class ObjectState {
public:
    Object* obj = nullptr;
    ObjectState() = default;
    explicit ObjectState(Object* o) : obj(o) {}
};

class Object : public ReferenceTarget {
public:
    // The object at time t; for a plain object, itself.
    virtual ObjectState Eval(TimeValue t);
    virtual int CanConvertToType(Class_ID obtype);
    virtual Object* ConvertToType(TimeValue t, Class_ID obtype);
    virtual Interval ObjectValidity(TimeValue t);
    virtual const char* GetObjectName() { return ""; }
    virtual bool IsShapeObject() { return false; }

    // Parameter blocks by position and by block id (null when there is none).
    virtual int NumParamBlocks() { return 0; }
    virtual IParamBlock2* GetParamBlock(int index);
    virtual IParamBlock2* GetParamBlockByID(BlockID id);

    // The object at the bottom of any modifier stacks (this object for a plain one).
    virtual Object* FindBaseObject() { return this; }

    // Bounds in object space, and in world space for a node showing the object.
    virtual void GetLocalBoundBox(TimeValue t, INode* node, Box3& box);
    virtual void GetWorldBoundBox(TimeValue t, INode* node, Box3& box);
    // The same as seen in a viewport (for objects whose shape depends on the view); by default the
    // bounds above.
    virtual void GetLocalBoundBox(TimeValue t, INode* node, ViewExp* vpt, Box3& box);
    virtual void GetWorldBoundBox(TimeValue t, INode* node, ViewExp* vpt, Box3& box);

    // ---- Viewports ----
    // Draws the object for node into the viewport; returns 0. Objects draw nothing by default.
    virtual int Display(TimeValue t, INode* node, ViewExp* vpt, int flags);
    // Nonzero when the object of node lies under the screen point p of the viewport (type:
    // HITTYPE_POINT ...; flags: HIT_ABORTONHIT ...). Never hit by default.
    virtual int HitTest(TimeValue t, INode* node, int type, int crossing, int flags, IPoint2* p, ViewExp* vpt);
    // The callback that places a new object of this class with the mouse; null when the object is
    // not created interactively.
    virtual CreateMouseCallBack* GetCreateMouseCallBack() { return nullptr; }
};

// Objects with geometry (super class GEOMOBJECT_CLASS_ID).
class GeomObject : public Object {
public:
    SClass_ID SuperClassID() override { return GEOMOBJECT_CLASS_ID; }
};

// Helper objects (dummies, points, the LOD helper, ...).
class HelperObject : public Object {
public:
    SClass_ID SuperClassID() override { return HELPER_CLASS_ID; }
};

class CameraObject : public Object {
public:
    SClass_ID SuperClassID() override { return CAMERA_CLASS_ID; }
    // Horizontal field of view in radians.
    virtual float GetFOV(TimeValue t, Interval* valid = nullptr) = 0;
    virtual void SetFOV(TimeValue t, float fov) = 0;
    virtual float GetNearClip(TimeValue t) = 0;
    virtual float GetFarClip(TimeValue t) = 0;
};

// The triangle-mesh object: one Mesh, held directly so that callers read and write it.
class TriObject : public GeomObject {
public:
    Mesh mesh;

    Class_ID ClassID() override { return TRIOBJ_CLASS_ID; }
    const char* GetObjectName() override { return "Mesh"; }
    Mesh& GetMesh() { return mesh; }
    void GetLocalBoundBox(TimeValue t, INode* node, Box3& box) override;
};

// A new, empty triangle object made by the running host. Throws std::logic_error when none runs.
TriObject* CreateNewTriObject();

// Modifiers of a modifier stack.
class Modifier : public ReferenceTarget {
public:
    SClass_ID SuperClassID() override { return OSM_CLASS_ID; }
    virtual const char* GetObjectName() { return ""; }
    virtual bool IsEnabled() { return true; }
};

// A modifier-stack wrapper (super class 2, 3 or 4): an object together with the modifiers applied
// to it. Modifier 0 is the topmost (the last applied).
class IDerivedObject : public Object {
public:
    virtual int NumModifiers() = 0;
    virtual Modifier* GetModifier(int index) = 0;
    // Inserts a modifier at a position of the stack (0 = top; past the end = bottom).
    virtual void AddModifier(Modifier* mod, int index = 0) = 0;
    virtual void DeleteModifier(int index) = 0;
    // The object the stack applies to (possibly another wrapper).
    virtual Object* GetObjRef() = 0;
    virtual void ReferenceObject(Object* obj) = 0;
};

// Transform controller of a node; its class tells how the node is animated.
class Control : public ReferenceTarget {
public:
    SClass_ID SuperClassID() override { return CTRL_MATRIX3_CLASS_ID; }
};

// Interface (OBJECT_SOURCE_INTERFACE_ID) of objects that stand for other objects: the classifying
// code replaces such an object by the one returned for index 0.
class IObjectSource : public BaseInterface {
public:
    Interface_ID GetID() override { return OBJECT_SOURCE_INTERFACE_ID; }
    virtual int NumSourceObjects() = 0;
    virtual Object* GetSourceObject(int index) = 0;
};
