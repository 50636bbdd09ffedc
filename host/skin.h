#pragma once
// The skin modifier's interface (Modifier::GetInterface(I_SKIN)): the bones that deform a mesh,
// their initial matrices, and per vertex the bones assigned to it with their weights.
#include "host/matrix3.h"
#include "host/types.h"

#include <cstdint>
#include <vector>

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

// GetInterface(uint32_t) id of ISkinImportData.
inline constexpr uint32_t I_SKINIMPORTDATA = 0x00020000;

// The skin modifier's interface for building a skin (Modifier::GetInterface(I_SKINIMPORTDATA)), as
// importers use it: bones are added in order (a bone's index is its position), then the matrices
// and the weights of each vertex. Every call returns false when it cannot be done (a null or
// unknown node, lists of different lengths, a negative vertex).
class ISkinImportData {
public:
    virtual ~ISkinImportData() = default;
    // Appends a bone; false for a null node or one that is already a bone of the skin.
    virtual bool AddBoneEx(INode* bone, bool update) = 0;
    // The skinned node's matrix when the skin was applied (with and without the object offset).
    virtual bool SetSkinBaseTm(INode* skinNode, const Matrix3& objectTm, const Matrix3& nodeTm) = 0;
    // A bone's matrix when the skin was applied.
    virtual bool SetBoneTm(INode* bone, const Matrix3& objectTm, const Matrix3& nodeTm) = 0;
    // Replaces the assignments of one vertex of the skinned object: bones[i] with weights[i], in
    // order; weights are kept as given (not normalised).
    virtual bool AddWeights(INode* skinNode, int vertex, const std::vector<INode*>& bones,
                            const std::vector<float>& weights) = 0;
};
