#pragma once
// The skin modifier's interface (Modifier::GetInterface(I_SKIN)): the bones that deform a mesh,
// their initial matrices, and per vertex the bones assigned to it with their weights.
#include "host/matrix3.h"

class INode;

class ISkinContextData {
public:
    virtual ~ISkinContextData() = default;
    virtual int GetNumPoints() = 0;
    // Number of bones assigned to a vertex (0 for a vertex the skin does not know).
    virtual int GetNumAssignedBones(int vertex) = 0;
    // Bone index (into the skin's bone list) of the vertex's i-th assignment; -1 when out of range.
    virtual int GetAssignedBone(int vertex, int assignment) = 0;
    virtual float GetBoneWeight(int vertex, int assignment) = 0;
};

class ISkin {
public:
    virtual ~ISkin() = default;
    virtual int GetNumBones() = 0;
    virtual INode* GetBone(int index) = 0;
    // Matrix of a bone when the skin was applied. SKIN_OK, or SKIN_INVALID_NODE_PASSED for a node
    // that is not a bone of this skin.
    virtual int GetBoneInitTM(INode* bone, Matrix3& tm, bool isObject = false) = 0;
    // Matrix of the skinned node when the skin was applied.
    virtual int GetSkinInitTM(INode* node, Matrix3& tm, bool isObject = false) = 0;
    // Per-vertex data for a node showing the skinned object; null for a node the skin is not on.
    virtual ISkinContextData* GetContextInterface(INode* node) = 0;
};
