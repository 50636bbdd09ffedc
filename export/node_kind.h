#pragma once
// What record a host node becomes. The numeric values are the kinds' fixed codes (8 is unused).
class INode;
class Object;

namespace zeq {

enum class NodeKind : int {
    Mesh = 0,
    Skin = 1,
    Joint = 2,
    Helper = 3,
    DirectionalLight = 4,
    OmniLight = 5,
    SpotLight = 6,
    LodObject = 7,
    LodGroup = 9,
    Object = 10,
    Sprite = 11,
};

// The object the classification looks at: the node's object reference, replaced by the object its
// source interface stands for and unwrapped from plain modifier-stack wrappers (super class 2).
// Null when the node has no object or the source interface names none.
Object* classifiedObject(INode* node);

// The kind of a node; the first matching rule wins (see node_kind.cpp).
NodeKind classify(INode* node);

}  // namespace zeq
