#pragma once
// Skinned meshes: the undeformed geometry with joint influences appended to every vertex, the
// joints each surface uses and one inverse bind matrix per bone.
#include "format/records.h"

class INode;
class ISkin;

namespace zeq {

class GeometryConverter;
class SurfaceBuilder;

// Largest number of bone influences written per vertex.
constexpr int kMaxInfluences = 8;

// The node's skin when its object reference is a modifier stack topped by the skin modifier that
// answers the skin interface and has at least one bone; otherwise nullptr.
ISkin* findSkin(INode* node);

// Geometry (its own copy of the vertex data), surfaces, jointIds, surfaceJointCounts,
// jointBindTransforms and the joint data; the node fields (id, name, parentId, transform,
// visible) are set by the caller. false when the node yields no geometry (or carries no skin).
bool fillSkinRecord(GeometryConverter& converter, SurfaceBuilder& surfaces, INode* node, Zeq2Skin& skin);

}  // namespace zeq
