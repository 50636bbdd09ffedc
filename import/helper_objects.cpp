// Sprites, level-of-detail groups and layers: the objects of the sprite and LOD plug-ins (made
// through the host, by class id), "@LOD" name groups, and the membership of layers.
#include "host/interface.h"
#include "host/node.h"
#include "host/paramblock.h"
#include "host/plugin_classes.h"
#include "host/scene_building.h"
#include "import/scene_builder.h"
#include "import/scene_run.h"

#include <charconv>
#include <cmath>
#include <unordered_set>

namespace zeq {
namespace {

// A float as the shortest text that reads back as the same float.
std::string floatText(float value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

// The icon size, in scene units, of an imported LOD object.
constexpr float kImportedLodIconSize = 10.0f;

// The dummy a LOD group or sprite falls back to when its plug-in makes no object.
Object* fallback(SceneRun& run, PlannedNode& planned, const std::string& why) {
    run.report.skip(run.describe(planned) + ": " + why + "; imported as a dummy helper");
    return createObject(HELPER_CLASS_ID, DUMMY_CLASS_ID);
}

// Whether `node` is above `below` in the hierarchy (the LOD object drops such a level, which would
// make its node a child of itself).
bool isAncestor(INode* node, INode* below) {
    for (INode* up = below->GetParentNode(); up; up = up->GetParentNode())
        if (up == node) return true;
    return false;
}

void buildLod(SceneRun& run, PlannedNode& planned) {
    const Zeq2LOD& record = run.extra2.lods->items[planned.record];
    const std::string owner = run.describe(planned);
    if (record.objectIds.size() != record.distances.size())
        run.report.skip(owner + ": " + std::to_string(record.objectIds.size()) + " levels but " +
                        std::to_string(record.distances.size()) + " distances; the levels without a distance get 0");
    Object* object = planned.node->GetObjectRef();
    IParamBlock2* block = object && object->ClassID() == LOD_OBJECT_CLASS_ID ? object->GetParamBlock(0) : nullptr;
    std::unordered_set<INode*> listed;
    for (std::size_t i = 0; i < record.objectIds.size(); ++i) {
        const int64_t levelId = record.objectIds.items[i];
        PlannedNode* level = run.byId(levelId);
        std::string problem;
        if (!level) problem = "level " + std::to_string(levelId) + " names no node of the file";
        else if (level == &planned) problem = "level " + std::to_string(levelId) + " is the group itself";
        else if (isAncestor(level->node, planned.node))
            problem = "level " + std::to_string(levelId) + " is above the group in the hierarchy";
        else if (!listed.insert(level->node).second) problem = "level " + std::to_string(levelId) + " is listed twice";
        if (!problem.empty()) {
            run.report.skip(owner + ": " + problem + "; skipped");
            continue;
        }
        // A name group's distances live in the level names; a LOD object's in each level's property.
        if (!block) continue;
        const float distance = i < record.distances.size() ? record.distances.items[i] : 0.0f;
        level->node->SetUserPropString(LOD_DISTANCE_PROPERTY, floatText(distance));
        INode* node = level->node;
        block->Append(LOD_PARAM_NODES_LIST, 1, &node);
    }
}

}  // namespace

bool isLodNameGroup(SceneRun& run, const Zeq2LOD& lod) {
    if (!lod.name || lod.name->find("@LOD") == std::string::npos) return false;
    if (lod.objectIds.size() != lod.distances.size()) return false;
    for (std::size_t i = 0; i < lod.objectIds.size(); ++i) {
        PlannedNode* level = run.byId(lod.objectIds.items[i]);
        // A name group's levels are its children; the distances come from their names.
        if (!level || level->parentId != lod.id) return false;
        bool hasAt = false;
        const float distance = lodDistanceFromName(level->name, hasAt);
        if (!hasAt || distance != lod.distances.items[i]) return false;
    }
    return true;
}

Object* makeLodObject(SceneRun& run, PlannedNode& planned) {
    const Zeq2LOD& record = run.extra2.lods->items[planned.record];
    if (isLodNameGroup(run, record)) return createObject(HELPER_CLASS_ID, DUMMY_CLASS_ID);
    Object* object = createObject(LOD_OBJECT_SUPER_CLASS_ID, LOD_OBJECT_CLASS_ID);
    if (!object) return fallback(run, planned, "the LOD plug-in is not loaded");
    // The file holds no icon size, and a LOD object of size 0 is neither drawn nor able to adopt
    // its levels. The levels are written as plain objects without geometry, so there is no size to
    // take from them either: the object gets a fixed size that shows and can be picked.
    if (IParamBlock2* block = object->GetParamBlock(0)) block->SetValue(LOD_PARAM_ICON_SIZE, 0, kImportedLodIconSize);
    else run.report.skip(run.describe(planned) + ": the LOD object has no parameters; its levels are not listed");
    return object;
}

Object* makeSpriteObject(SceneRun& run, PlannedNode& planned) {
    const Zeq2Sprite& record = run.root.sprites->items[planned.record];
    Object* object = createObject(SPRITE_SUPER_CLASS_ID, SPRITE_CLASS_ID);
    if (!object) return fallback(run, planned, "the sprite plug-in is not loaded");
    const std::string owner = run.describe(planned);
    if (IParamBlock2* block = object->GetParamBlock(0)) {
        // The size is the record's; the sprite must not resize itself to its texture.
        block->SetValue(SPRITE_PARAM_AUTOSIZE, 0, 0);
        block->SetValue(SPRITE_PARAM_WIDTH, 0, record.width);
        block->SetValue(SPRITE_PARAM_HEIGHT, 0, record.height);
        block->SetValue(SPRITE_PARAM_ORIGIN_X, 0, record.originX);
        block->SetValue(SPRITE_PARAM_ORIGIN_Y, 0, record.originY);
        // The sprite keeps whole degrees, which the exporter writes as degrees × the same factor.
        const float degrees = std::round(record.rotation / kDegreesToRadians);
        if (std::isfinite(degrees) && std::fabs(degrees) < 1e9f) {
            block->SetValue(SPRITE_PARAM_ROTATION, 0, static_cast<int>(degrees));
            if (degrees * kDegreesToRadians != record.rotation)
                run.report.skip(owner + ": rotation " + floatText(record.rotation) + " rounded to " +
                                std::to_string(static_cast<int>(degrees)) + " whole degrees");
        } else {
            run.report.skip(owner + ": rotation " + floatText(record.rotation) + " is out of range; kept at 0");
        }
        block->SetValue(SPRITE_PARAM_PERSPECTIVE_SCALE, 0, record.perspectiveScale ? 1 : 0);
    } else {
        run.report.skip(owner + ": the sprite object has no parameters; its size and origin are lost");
    }
    if (record.spriteFlag) run.report.skip(owner + ": its sprite flag has no place in the sprite object; dropped");
    if (Mtl* mtl = run.materials.makeMaterial(record.materialId, owner, run.report)) planned.node->SetMtl(mtl);
    return object;
}

void buildLodLevels(SceneRun& run) {
    for (PlannedNode& planned : run.planned)
        if (planned.kind == RecordKind::Lod) buildLod(run, planned);
}

void buildLayers(SceneRun& run) {
    const auto& layers = listOf(run.extra1.layers);
    if (layers.empty()) return;
    ILayerManager* manager = GetLayerManager();
    if (!manager) {
        run.report.skip("the host has no layers; " + std::to_string(layers.size()) + " layers skipped");
        return;
    }
    for (const Zeq2Layer& record : layers) {
        const std::string name = record.name.value_or("Layer " + std::to_string(record.id));
        ILayer* layer = manager->GetLayer(name.c_str());
        if (!layer) layer = manager->CreateLayer(name.c_str());
        if (!layer) {
            run.report.skip("layer \"" + name + "\": the host made no layer; its nodes stay where they are");
            continue;
        }
        for (int64_t id : listOf(record.objectIds)) {
            // A pivot-offset pair shares the layer: both records are listed.
            if (PlannedNode* member = run.byId(id)) member->node->SetLayer(layer);
            else run.report.skip("layer \"" + name + "\": member " + std::to_string(id) + " names no node of the file");
        }
    }
}

}  // namespace zeq
