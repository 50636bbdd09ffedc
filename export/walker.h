#pragma once
// The scene walk: turns the host's node tree into the flat, id-linked record lists of a file.
// Every node is converted at most once per export; ids come from the process-wide IdRegistry.
#include "export/node_kind.h"
#include "format/records.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

class INode;
class Interface;
class ReferenceTarget;

namespace zeq {

class GeometryConverter;
class SurfaceBuilder;
class MaterialFactory;
class TrackList;

// Walk() without a parent override.
inline constexpr int64_t kNoParentOverride = -1;

// The fields every node record shares (id, parentId, name, transform, visible).
//  - visible unless the host reports the node hidden; name a copy of the node's name.
//  - Without a pivot offset: id-for(node); with a parent other than the scene root, parentId =
//    id-for(parent) and transform = world × parentWorld⁻¹, else no parentId and the world matrix.
//  - With a pivot offset: a fresh id, parentId = id-for(node) (the node's own Zeq2Object) and
//    transform = objectMatrix × world⁻¹.
// Matrices are read at the export time of the options.
struct NodeRecordFields {
    int64_t id = 0;
    std::optional<int64_t> parentId;
    std::string name;
    Zeq2Transform transform;
    bool visible = true;
};
NodeRecordFields nodeRecordFields(INode* node, bool pivotOffset);

template <class Record>
Record makeNodeRecord(INode* node, bool pivotOffset) {
    NodeRecordFields fields = nodeRecordFields(node, pivotOffset);
    Record record;
    record.id = fields.id;
    record.parentId = fields.parentId;
    record.name = std::move(fields.name);
    record.transform = fields.transform;
    record.visible = fields.visible;
    return record;
}

// True when the node's object sits away from its pivot (its world and object matrices at time 0,
// or its object offset and the identity, differ beyond 0.000001) and the kind is one that carries
// its own content record.
bool hasPivotOffset(INode* node, NodeKind kind);

// Layers met during the walk, in the order they were first met, each with the ids of its records.
class LayerCollector {
public:
    // Appends id-for(node) to the node's layer (created on first use).
    void addNode(INode* node);
    // Appends the id of an extra record of the node (a pivot-offset content record).
    void addRecord(INode* node, int64_t id);
    const TArray<Zeq2Layer>& layers() const { return layers_; }
    TArray<Zeq2Layer> takeLayers();

private:
    Zeq2Layer* layerOf(INode* node);

    TArray<Zeq2Layer> layers_;
    std::unordered_map<ReferenceTarget*, std::size_t> index_;
    int32_t nextId_ = 0;
};

// The record lists one walk produces.
struct WalkLists {
    TArray<Zeq2Object> objects;
    TArray<Zeq2Mesh> meshes;
    TArray<Zeq2Skin> skins;
    TArray<Zeq2OmniLight> omniLights;
    TArray<Zeq2SpotLight> spotLights;
    TArray<Zeq2DirectionalLight> directionalLights;
    TArray<Zeq2Joint> joints;
    TArray<Zeq2LOD> lods;
    TArray<Zeq2Sprite> sprites;
};

class SceneWalker {
public:
    SceneWalker(Interface* ip, TrackList& tracks, GeometryConverter& geometry, SurfaceBuilder& surfaces,
                MaterialFactory& materials);

    // Bones pass: walks every bone of every skin met (in selected-only mode below the selected
    // nodes, otherwise in the whole scene) as a joint, before anything else.
    void bonesPass();
    // Main pass: in selected-only mode the selected nodes in selection order (without their
    // descendants), otherwise every node below the scene root in depth-first pre-order.
    void mainPass();

    // Converts one node on its first visit. parentOverride, when not negative, replaces the
    // parentId of the node's content record; parentNode, when given, is the node whose world
    // matrix that record stands under, and the record's transform is made relative to it.
    void walk(INode* node, int64_t parentOverride, NodeKind kind, INode* parentNode = nullptr);

    WalkLists& lists() { return lists_; }
    LayerCollector& layers() { return layers_; }
    // A mesh or skin node whose object gave no geometry: its record cannot be encoded. The name is
    // the first such node's.
    bool missingGeometry() const { return missingGeometry_; }
    const std::string& missingGeometryNode() const { return missingGeometryNode_; }

private:
    // Appends the kind's record and returns its id.
    int64_t createRecord(INode* node, NodeKind kind, bool pivotOffset, int64_t parentOverride, INode* parentNode);
    Zeq2LOD createLodFromObject(INode* node, bool pivotOffset);
    // Walks the levels of a LOD object below its node and calls level(levelNode) for each, in list
    // order (none when the object has no parameter block).
    void walkLodLevels(INode* node, const std::function<void(INode*)>& level);
    // The nodes that node is or hangs below, in the scene or in the records written and to be
    // written; none when that chain of records comes round (a loop already).
    std::optional<std::unordered_set<INode*>> nodesAbove(INode* node) const;
    Zeq2LOD createLodFromNames(INode* node, bool pivotOffset);

    Interface* ip_;
    TrackList& tracks_;
    GeometryConverter& geometry_;
    SurfaceBuilder& surfaces_;
    MaterialFactory& materials_;
    WalkLists lists_;
    LayerCollector layers_;
    std::unordered_set<INode*> visited_;
    std::unordered_map<INode*, INode*> recordParent_;  // of every node walked (null: a root)
    bool missingGeometry_ = false;
    std::string missingGeometryNode_;
    void noteMissingGeometry(INode* node);
};

}  // namespace zeq
