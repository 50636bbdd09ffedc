#pragma once
// Base classes for procedural geometric objects: SimpleObject keeps one mesh that the plug-in builds
// in BuildMesh; SimpleObject2 adds one parameter block (reference 0) made from its class
// descriptor's block description. Both evaluate to themselves and convert to a triangle object by
// copying the mesh.
#include "host/object.h"

class SimpleObject : public GeomObject {
public:
    Mesh mesh;
    // The times over which mesh is up to date; empty when it must be rebuilt.
    Interval ivalid = NEVER;
    // Set while the object is being created, so that snapping ignores the object itself.
    bool suspendSnap = false;
    // The simple object whose parameters are being edited (between BeginEditParams and
    // EndEditParams); null when none.
    static SimpleObject* editOb;

    // An object being edited forgets that it is when it dies.
    ~SimpleObject() override;

    // Builds mesh for time t (and sets ivalid).
    virtual void BuildMesh(TimeValue t) = 0;
    // Rebuilds the mesh when it is not valid at t.
    void UpdateMesh(TimeValue t);
    void InvalidateMesh() { ivalid = NEVER; }

    ObjectState Eval(TimeValue t) override;
    int CanConvertToType(Class_ID obtype) override;
    // TRIOBJ_CLASS_ID: a new triangle object holding a copy of the mesh built for t.
    Object* ConvertToType(TimeValue t, Class_ID obtype) override;
    Interval ObjectValidity(TimeValue t) override;
    void GetLocalBoundBox(TimeValue t, INode* node, Box3& box) override;
    using GeomObject::GetLocalBoundBox;

    // Point hit test of the mesh as the node shows it in the viewport (see MeshHitsPoint, radius
    // HIT_PICK_RADIUS). Other region types, or a missing node, point, viewport or graphics window,
    // never hit.
    int HitTest(TimeValue t, INode* node, int type, int crossing, int flags, IPoint2* p, ViewExp* vpt) override;

    // Marks this object as the one being edited (editOb) and clears the mark again.
    void BeginEditParams(IObjParam* ip, uint32_t flags, Animatable* prev) override;
    void EndEditParams(IObjParam* ip, uint32_t flags, Animatable* next) override;
};

class SimpleObject2 : public SimpleObject {
public:
    IParamBlock2* pblock2 = nullptr;

    // Frees the parameter block.
    ~SimpleObject2() override;

    int NumRefs() override { return 1; }
    ReferenceTarget* GetReference(int i) override;
    int NumParamBlocks() override { return pblock2 ? 1 : 0; }
    IParamBlock2* GetParamBlock(int index) override;
    IParamBlock2* GetParamBlockByID(BlockID id) override;

protected:
    // Reference 0 is the parameter block; a replaced block is freed.
    void SetReference(int i, ReferenceTarget* target) override;
};
