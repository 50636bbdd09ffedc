#include "export/sprite_export.h"

#include "export/lights.h"
#include "export/materials.h"
#include "export/node_kind.h"
#include "export/walker.h"
#include "host/host.h"
#include "host/plugin_classes.h"

namespace zeq {

Zeq2Sprite makeSpriteRecord(INode* node, bool pivotOffset, MaterialFactory& materials) {
    Zeq2Sprite sprite = makeNodeRecord<Zeq2Sprite>(node, pivotOffset);

    Mtl* material = node->GetMtl();
    if (material && !material->IsMultiMtl() && material->ClassID() == DMTL_CLASS_ID) {
        const int32_t id = materials.getID(material);
        if (id >= 0) sprite.materialId = id;
    }

    // The sprite object is the one the classification recognised (the object reference itself,
    // unless a wrapper stands in front of it). Missing parameters read as 0.
    Object* object = classifiedObject(node);
    IParamBlock2* block = object ? object->GetParamBlock(0) : nullptr;
    if (block) {
        sprite.width = block->GetFloat(SPRITE_PARAM_WIDTH, 0);
        sprite.height = block->GetFloat(SPRITE_PARAM_HEIGHT, 0);
        sprite.originX = block->GetFloat(SPRITE_PARAM_ORIGIN_X, 0);
        sprite.originY = block->GetFloat(SPRITE_PARAM_ORIGIN_Y, 0);
        sprite.rotation = static_cast<float>(block->GetInt(SPRITE_PARAM_ROTATION, 0)) * kRadiansPerDegree;
        sprite.perspectiveScale = block->GetInt(SPRITE_PARAM_PERSPECTIVE_SCALE, 0) != 0;
    }
    sprite.spriteFlag = false;
    return sprite;
}

}  // namespace zeq
