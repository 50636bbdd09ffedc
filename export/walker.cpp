#include "export/walker.h"

#include "export/animation.h"
#include "export/geometry.h"
#include "export/id_registry.h"
#include "export/lights.h"
#include "export/options.h"
#include "export/skin.h"
#include "export/sprite_export.h"
#include "export/transformation.h"
#include "host/host.h"
#include "host/plugin_classes.h"

#include <climits>
#include <vector>

namespace zeq {
namespace {

constexpr const char* kLodNameWarning =
    "Wrong object name use pattern: XXXX@DIST_XXXXX, where X - any symbol, DIST = distance of LOD";

INode* exportedParent(INode* node) {
    INode* parent = node->GetParentNode();
    return parent && !parent->IsRootNode() ? parent : nullptr;
}

// Visits top and every node below it, depth first, children in host order, parents first.
template <class Visit>
void visitPreOrder(INode* top, Visit&& visit) {
    std::vector<INode*> pending{top};
    while (!pending.empty()) {
        INode* node = pending.back();
        pending.pop_back();
        if (!node) continue;
        visit(node);
        for (int i = node->NumberOfChildren() - 1; i >= 0; --i) pending.push_back(node->GetChildNode(i));
    }
}

}  // namespace

NodeRecordFields nodeRecordFields(INode* node, bool pivotOffset) {
    IdRegistry& ids = IdRegistry::instance();
    const TimeValue t = exportOptions().exportTime;
    NodeRecordFields fields;
    fields.visible = !node->IsHidden();
    fields.name = node->GetName() ? node->GetName() : "";
    if (pivotOffset) {
        // The content record hangs below the node's own Zeq2Object, offset by the pivot offset.
        fields.id = ids.idFor(nullptr);
        fields.parentId = ids.idFor(node);
        fields.transform = TransformationFactory::createTransformation(node->GetObjectOffsetTM());
        return fields;
    }
    fields.id = ids.idFor(node);
    if (INode* parent = exportedParent(node)) fields.parentId = ids.idFor(parent);
    fields.transform = TransformationFactory::createTransformation(node->GetLocalTM(t));
    return fields;
}

bool hasPivotOffset(INode* node, NodeKind kind) {
    if (kind == NodeKind::Joint || kind == NodeKind::Helper || kind == NodeKind::Object) return false;
    // The world matrices the offset gives differ, or the offset itself does: a node scaled to
    // nothing at time 0 (one that grows in later) has the same world and object matrices there,
    // whatever its offset, and a node scaled far up moves its object by much more than its offset.
    return !node->GetNodeTM(0).Equals(node->GetObjectTM(0), 1e-6f) || !node->GetObjectOffsetTM().Equals(Matrix3(), 1e-6f);
}

// ---- LayerCollector ---------------------------------------------------------------------------

Zeq2Layer* LayerCollector::layerOf(INode* node) {
    ReferenceTarget* layer = node->GetReference(NODE_LAYER_REF);
    if (!layer) return nullptr;
    auto [it, inserted] = index_.try_emplace(layer, layers_.size());
    if (inserted) {
        Zeq2Layer record;
        record.id = nextId_++;
        if (auto* named = dynamic_cast<ILayer*>(layer); named && named->GetName()) record.name = named->GetName();
        record.objectIds = TArray<int64_t>{};
        layers_.add(std::move(record));
    }
    return &layers_.items[it->second];
}

void LayerCollector::addNode(INode* node) {
    if (Zeq2Layer* layer = layerOf(node)) layer->objectIds->add(IdRegistry::instance().idFor(node));
}

void LayerCollector::addRecord(INode* node, int64_t id) {
    if (Zeq2Layer* layer = layerOf(node)) layer->objectIds->add(id);
}

TArray<Zeq2Layer> LayerCollector::takeLayers() {
    TArray<Zeq2Layer> out = std::move(layers_);
    layers_ = {};
    index_.clear();
    nextId_ = 0;
    return out;
}

// ---- SceneWalker ------------------------------------------------------------------------------

SceneWalker::SceneWalker(Interface* ip, TrackList& tracks, GeometryConverter& geometry, SurfaceBuilder& surfaces,
                         MaterialFactory& materials)
    : ip_(ip), tracks_(tracks), geometry_(geometry), surfaces_(surfaces), materials_(materials) {}

void SceneWalker::bonesPass() {
    auto walkBones = [this](INode* node) {
        ISkin* skin = findSkin(node);
        if (!skin) return;
        const int count = skin->GetNumBones();
        for (int b = 0; b < count; ++b) walk(skin->GetBone(b), kNoParentOverride, NodeKind::Joint);
    };
    if (exportOptions().selectedOnly) {
        const int selected = ip_->GetSelNodeCount();
        for (int i = 0; i < selected; ++i) visitPreOrder(ip_->GetSelNode(i), walkBones);
    } else {
        visitPreOrder(ip_->GetRootNode(), walkBones);
    }
}

void SceneWalker::mainPass() {
    if (exportOptions().selectedOnly) {
        const int selected = ip_->GetSelNodeCount();
        for (int i = 0; i < selected; ++i) {
            INode* node = ip_->GetSelNode(i);
            if (node) walk(node, kNoParentOverride, classify(node));
        }
        return;
    }
    INode* root = ip_->GetRootNode();
    if (!root) return;
    const int count = root->NumberOfChildren();
    for (int i = 0; i < count; ++i) {
        visitPreOrder(root->GetChildNode(i), [this](INode* node) {
            if (!visited_.count(node)) walk(node, kNoParentOverride, classify(node));
        });
    }
}

void SceneWalker::walk(INode* node, int64_t parentOverride, NodeKind kind, INode* parentNode) {
    // The scene root is never converted; every other node once per export.
    if (!node || node->IsRootNode()) return;
    if (!visited_.insert(node).second) return;
    recordParent_[node] = parentOverride >= 0 && parentNode ? parentNode : exportedParent(node);

    const ExportOptions& options = exportOptions();
    const bool pivotOffset = hasPivotOffset(node, kind);
    // Keys are relative to the record the node hangs below, which for a LOD level is its LOD node.
    if (options.animation) tracks_.recordTrack(node, parentOverride >= 0 ? parentNode : nullptr);
    if (options.animationOnly) {
        // Tracks alone still key a LOD object's levels below it, as they are with their records.
        if (kind == NodeKind::LodObject) walkLodLevels(node, [](INode*) {});
        return;
    }

    layers_.addNode(node);
    // A node whose object sits away from its pivot first gets a plain object of its own; the
    // content record then hangs below it.
    if (pivotOffset) lists_.objects.add(makeNodeRecord<Zeq2Object>(node, false));
    const int64_t id = createRecord(node, kind, pivotOffset, parentOverride, parentNode);
    if (pivotOffset) layers_.addRecord(node, id);
}

void SceneWalker::noteMissingGeometry(INode* node) {
    if (!missingGeometry_) {
        const char* name = node->GetName();
        missingGeometryNode_ = name ? name : "";
    }
    missingGeometry_ = true;
}

int64_t SceneWalker::createRecord(INode* node, NodeKind kind, bool pivotOffset, int64_t parentOverride,
                                  INode* parentNode) {
    auto append = [node, parentOverride, parentNode](auto& list, auto record) {
        if (parentOverride >= 0) record.parentId = parentOverride;
        // Re-parented away from its scene parent: the transform follows, so that the record keeps
        // its place in the world.
        if (parentOverride >= 0 && parentNode != nullptr && parentNode != exportedParent(node)) {
            const TimeValue t = exportOptions().exportTime;
            record.transform =
                TransformationFactory::createTransformation(node->GetNodeTM(t) * Inverse(parentNode->GetNodeTM(t)));
        }
        const int64_t id = record.id;
        list.add(std::move(record));
        return id;
    };
    switch (kind) {
    case NodeKind::Mesh: {
        auto mesh = makeNodeRecord<Zeq2Mesh>(node, pivotOffset);
        if (!fillMeshRecord(geometry_, surfaces_, node, mesh)) noteMissingGeometry(node);
        return append(lists_.meshes, std::move(mesh));
    }
    case NodeKind::Skin: {
        auto skin = makeNodeRecord<Zeq2Skin>(node, pivotOffset);
        if (!fillSkinRecord(geometry_, surfaces_, node, skin)) noteMissingGeometry(node);
        return append(lists_.skins, std::move(skin));
    }
    case NodeKind::Joint:
        return append(lists_.joints, makeNodeRecord<Zeq2Joint>(node, pivotOffset));
    case NodeKind::DirectionalLight:
        return append(lists_.directionalLights, makeDirectionalLight(node, pivotOffset));
    case NodeKind::OmniLight:
        return append(lists_.omniLights, makeOmniLight(node, pivotOffset));
    case NodeKind::SpotLight:
        return append(lists_.spotLights, makeSpotLight(node, pivotOffset));
    case NodeKind::LodObject:
        return append(lists_.lods, createLodFromObject(node, pivotOffset));
    case NodeKind::LodGroup:
        return append(lists_.lods, createLodFromNames(node, pivotOffset));
    case NodeKind::Sprite:
        return append(lists_.sprites, makeSpriteRecord(node, pivotOffset, materials_));
    case NodeKind::Helper:
    case NodeKind::Object:
        break;
    }
    return append(lists_.objects, makeNodeRecord<Zeq2Object>(node, pivotOffset));
}

std::optional<std::unordered_set<INode*>> SceneWalker::nodesAbove(INode* node) const {
    std::unordered_set<INode*> above;
    for (INode* n = node; n; n = n->GetParentNode()) above.insert(n);
    // A record hangs below the record of its scene parent, or a level's below its LOD node's; a node
    // not written yet will hang below its scene parent's. A chain that came round is a loop already:
    // then nothing more may join it.
    std::unordered_set<INode*> seen;
    for (INode* n = node; n;) {
        if (!seen.insert(n).second) return std::nullopt;
        above.insert(n);
        const auto written = recordParent_.find(n);
        n = written != recordParent_.end() ? written->second : exportedParent(n);
    }
    return above;
}

// Both LOD kinds hang their levels below the LOD node's own record, whose world matrix is the
// node's: the LOD record itself, or with a pivot offset the node's Zeq2Object, which holds the LOD
// record shifted by the offset (below that record the levels would be shifted too).
Zeq2LOD SceneWalker::createLodFromObject(INode* node, bool pivotOffset) {
    Zeq2LOD lod = makeNodeRecord<Zeq2LOD>(node, pivotOffset);
    walkLodLevels(node, [&lod](INode* level) {
        float distance = 0.0f;
        if (!level->GetUserPropFloat(LOD_DISTANCE_PROPERTY, distance)) distance = 0.0f;
        lod.objectIds.add(IdRegistry::instance().idFor(level));
        lod.distances.add(distance);
    });
    return lod;
}

void SceneWalker::walkLodLevels(INode* node, const std::function<void(INode*)>& visit) {
    const int64_t levelParent = IdRegistry::instance().idFor(node);
    Object* object = classifiedObject(node);
    IParamBlock2* block = object ? object->GetParamBlock(0) : nullptr;
    if (!block) return;
    const int count = block->Count(LOD_PARAM_NODES_LIST);
    std::unordered_set<INode*> listed;
    // The LOD node itself or a node it hangs below cannot be its level: written below the LOD record
    // it would make the parent chain a loop. The object drops its ancestors too. Walking levels
    // changes no record above the LOD node, so the nodes above are gathered once.
    const std::optional<std::unordered_set<INode*>> above = nodesAbove(node);
    for (int i = 0; i < count; ++i) {
        // An entry whose node was deleted from the scene holds no node: it is no level. A node
        // listed twice (a saved scene may hold that) is one level, at its first place.
        INode* level = block->GetINode(LOD_PARAM_NODES_LIST, 0, i);
        if (!level || !listed.insert(level).second) continue;
        if (!above || above->count(level)) continue;
        walk(level, levelParent, NodeKind::Object, node);
        visit(level);
    }
}

Zeq2LOD SceneWalker::createLodFromNames(INode* node, bool pivotOffset) {
    Zeq2LOD lod = makeNodeRecord<Zeq2LOD>(node, pivotOffset);
    const int64_t levelParent = IdRegistry::instance().idFor(node);
    const int count = node->NumberOfChildren();
    for (int i = 0; i < count; ++i) {
        INode* child = node->GetChildNode(i);
        if (!child) continue;
        walk(child, levelParent, NodeKind::Object, node);
        bool hasAt = false;
        const float distance = lodDistanceFromName(child->GetName() ? child->GetName() : "", hasAt);
        if (!hasAt) MessageBox(GetActiveWindow(), kLodNameWarning, "WARNING", MB_OK);
        lod.objectIds.add(IdRegistry::instance().idFor(child));
        lod.distances.add(distance);
    }
    return lod;
}

}  // namespace zeq
