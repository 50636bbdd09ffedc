#pragma once
// Reading and writing engine parameters. Every parameter is one application-data chunk of exactly
// four bytes (a little-endian int32 or float, no header), keyed by the utility's class id, its super
// class id and the slot as sub id. The host owns the chunks and saves them with the scene.
#include "host/class_desc.h"
#include "host/node.h"
#include "params/engine_params.h"

#include <vector>

namespace zeq {

class EngineParamStore {
public:
    // keyOwner: the utility's class descriptor. Its class id and super class id are asked for at
    // every read and write, so the chunk key always follows the descriptor's answers.
    explicit EngineParamStore(ClassDesc& keyOwner) : keyOwner_(keyOwner) {}

    // The object a node's parameters live on: its object reference resolved below any modifiers.
    // Null for a null node or a node without an object.
    static Object* baseObject(INode* node);

    // The nodes a write goes to: the selected nodes in selection order, leaving out every node whose
    // parent is selected too (a selected group is addressed through its head).
    static std::vector<INode*> targetSet(Interface* ip);

    // Raw reads of one chunk: the stored value, or the unset sentinel when there is no chunk (or no
    // owner). A chunk shorter than four bytes reads as unset; a longer one is read from its start.
    int32_t readInt(Animatable* owner, uint32_t subId);
    float readFloat(Animatable* owner, uint32_t subId);
    // The same on a node's base object (where slots 0 to 12 live).
    int32_t readObjectInt(INode* node, uint32_t subId) { return readInt(baseObject(node), subId); }
    float readObjectFloat(INode* node, uint32_t subId) { return readFloat(baseObject(node), subId); }

    // Reads with the value an unset slot stands for.
    float alpha(INode* node);
    int blendMode(INode* node);
    // Anything but the three stored sortings reads as NONE.
    Sorting sorting(INode* node);
    float threshold(INode* node);
    // 0 and 1 are the two culling modes; anything else is FACE_CLIPPING.
    Clipping clipping(INode* node);
    // Unset or unknown values read as OBJECT3D.
    ContainerType containerType(INode* node);
    // A 0/1 slot (optimize, bound boxes, splitter, base geometry, sort by Z, multi-choice type
    // flags): the stored value, or unsetValue.
    int flag(INode* node, uint32_t subId, int unsetValue = 0);
    // The chosen position of a single-choice helper list; unset reads as the last chosen index.
    int helperType(INode* node);
    // The child-order position stored on the node itself (raw: the sentinel when unset).
    int32_t childOrder(INode* child) { return readInt(static_cast<Animatable*>(child), CHILD_ORDER); }

    // Writes of one chunk on one owner: a chunk with the key is replaced, other slots stay.
    void writeInt(Animatable* owner, uint32_t subId, int32_t value);
    void writeFloat(Animatable* owner, uint32_t subId, float value);
    // Writes to the base object of every node of the target set as it is now (nodes without an
    // object are skipped). Nothing happens without a running host.
    void writeInt(uint32_t subId, int32_t value);
    void writeFloat(uint32_t subId, float value);
    // Stores a child's position in its container on the child node itself.
    void writeChildOrder(INode* child, int32_t position) { writeInt(child, CHILD_ORDER, position); }

    // The index last chosen in a single-choice helper list since the plug-in started.
    int lastChosenHelperType() const { return lastChosenHelperType_; }
    void setLastChosenHelperType(int index) { lastChosenHelperType_ = index; }

private:
    // The four stored bytes, or false when there is no usable chunk.
    bool readRaw(Animatable* owner, uint32_t subId, uint32_t& bits);
    void writeRaw(Animatable* owner, uint32_t subId, uint32_t bits);

    ClassDesc& keyOwner_;
    int lastChosenHelperType_ = 0;
};

// Classifies a node for the panels: a group head is a container; then the base object's class
// decides (objects that convert to neither a triangle nor a polygon mesh carry no parameters).
EngineObjectKind classifyNode(INode* node);

// Sets the alpha of the target set's objects: every node in the scene showing one of their base
// objects (every instance) inherits visibility and gets visibility a at time 0, and the objects
// store a in the alpha slot; the walk does not descend below such a node. Then the views redraw.
void applyAlpha(EngineParamStore& store, float a);

}  // namespace zeq
