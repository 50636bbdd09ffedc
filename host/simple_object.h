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
