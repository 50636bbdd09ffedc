#pragma once
// Sprite records from nodes holding the sprite object: its rectangle settings read from the
// object's parameter block by parameter id, and its standard material.
#include "format/records.h"

class INode;

namespace zeq {

class MaterialFactory;

// Node fields by the node-record rules; materialId from the node's material when it is a plain
// standard material; width, height, originX, originY, rotation (degrees to radians) and
// perspectiveScale from the object's first parameter block at time 0; spriteFlag false.
Zeq2Sprite makeSpriteRecord(INode* node, bool pivotOffset, MaterialFactory& materials);

}  // namespace zeq
