// Scene reconstruction: planning every node record, making the nodes in record order, adding them to
// the scene in the order the exporter visited them, then the links and the parts that need every node.
#include "import/scene_builder.h"

#include "host/interface.h"
#include "host/light.h"
#include "host/material.h"
#include "host/object.h"
#include "host/plugin_classes.h"
#include "import/scene_run.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <numeric>
#include <optional>
#include <set>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace zeq {
namespace {

// Face material ids are 16-bit, so a multi-material holds at most this many surfaces.
constexpr std::size_t kMaxSurfaces = std::size_t{std::numeric_limits<MtlID>::max()} + 1;

Matrix3 localOf(const std::optional<Zeq2Transform>& transform) {
    return transform ? toMatrix3(*transform) : Matrix3();
}

template <class R>
void planRecord(SceneRun& run, RecordKind kind, std::size_t index, const R& record) {
    PlannedNode node;
    node.kind = kind;
    node.record = index;
    node.id = record.id;
    node.parentId = record.parentId;
    node.named = record.name.has_value();
    node.name = record.name.value_or("");
    node.visible = record.visible;
    run.hierarchy.add(record.id, record.parentId, localOf(record.transform));
    run.planned.push_back(std::move(node));
}

template <class R>
void planList(SceneRun& run, RecordKind kind, const std::optional<TArray<R>>& list) {
    const auto& records = listOf(list);
    for (std::size_t i = 0; i < records.size(); ++i) planRecord(run, kind, i, records.items[i]);
}

// Meshes and skins whose geometry cannot be built are reported and made empty nodes.
template <class R>
void planGeometry(SceneRun& run, RecordKind kind, const std::optional<TArray<R>>& list) {
    const auto& records = listOf(list);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const R& record = records.items[i];
        const MeshCacheEntry* entry = nullptr;
        std::vector<int32_t> key;
        if constexpr (std::is_same_v<R, Zeq2Skin>) {
            entry = &run.meshes.check(meshViewOf(record));
            key = meshKey(meshViewOf(record));
        } else {
            entry = &run.meshes.check(record);
            key = meshKey(record);
        }
        const std::string owner = describeRecord(recordKindName(kind), record.name, record.id);
        if (!entry->problem.empty()) {
            run.report.skip(owner + " skipped: " + entry->problem + "; imported as an empty node");
            planRecord(run, kind, i, record);
            run.planned.back().geometryLeftOut = true;
            continue;
        }
        if (entry->droppedChannels > 0)
            run.report.skip(owner + ": texture channels beyond " + std::to_string(kMaxTextureChannels) + " skipped");
        ++run.geometryUses[key];
        if constexpr (std::is_same_v<R, Zeq2Mesh>) run.meshesByIndexBuffer[record.indexBufferId].push_back(run.planned.size());
        planRecord(run, kind, i, record);
    }
}

// The exporter writes a node whose object sits away from its pivot as two records: a plain object
// with the node's name, id, parent, transform and visibility, and below it the content record
// (mesh, skin, light, sprite or LOD group) of the same name, with the object's offset from the pivot
// as its transform; its layer lists the content record right after the object record, and the
// node's children (LOD levels among them) and its track name the object record. Such a pair is
// folded back into one node: the content record makes it, at the object record's place, with the
// offset as its object offset. A pair is recognised only where the records cannot stand for a plain
// object with a child of its own name: the content record is the one the layer lists right after
// the object record (without layers, the first child of that name by id), has no children, shares
// its layers and visibility, takes no track of its own (the file has fewer tracks of the name than
// records, and none starts with the content record's transform rather than the object record's)
// and offsets the object by more than the exporter ignores.
void foldPivotOffsets(SceneRun& run) {
    const std::size_t count = run.planned.size();
    auto isContent = [](RecordKind kind) {
        return kind != RecordKind::Object && kind != RecordKind::Joint && kind != RecordKind::Decal &&
               kind != RecordKind::Camera;
    };
    // Where each id stands in its layers: the layer and the position in its list.
    std::map<int64_t, std::vector<std::size_t>> layersOf;
    std::map<int64_t, std::pair<std::size_t, std::size_t>> placeInLayer;
    const auto& layers = listOf(run.extra1.layers).items;
    for (std::size_t l = 0; l < layers.size(); ++l) {
        const auto& ids = listOf(layers[l].objectIds).items;
        for (std::size_t p = 0; p < ids.size(); ++p) {
            layersOf[ids[p]].push_back(l);
            placeInLayer.try_emplace(ids[p], l, p);
        }
    }
    auto layersOfId = [&](int64_t id) {
        const auto found = layersOf.find(id);
        return found == layersOf.end() ? std::vector<std::size_t>{} : found->second;
    };
    auto listedRightAfter = [&](int64_t id, int64_t holder) {
        const auto at = placeInLayer.find(id), before = placeInLayer.find(holder);
        return at != placeInLayer.end() && before != placeInLayer.end() && at->second.first == before->second.first &&
               at->second.second == before->second.second + 1;
    };
    // Whether the layer lists content record c after object record o as the exporter does: right
    // after it, but for the levels of c's LOD group (and records below them), which the exporter
    // walks in between. Records that no layer lists are taken as listed so.
    auto listedAsAPair = [&](std::size_t o, std::size_t c) {
        const PlannedNode& holder = run.planned[o];
        const PlannedNode& content = run.planned[c];
        const auto at = placeInLayer.find(content.id), before = placeInLayer.find(holder.id);
        if (at == placeInLayer.end() && before == placeInLayer.end()) return true;
        if (at == placeInLayer.end() || before == placeInLayer.end() || at->second.first != before->second.first ||
            at->second.second <= before->second.second)
            return false;
        std::set<int64_t> levels;
        if (content.kind == RecordKind::Lod)
            for (int64_t level : listOf(run.extra2.lods).items[content.record].objectIds) levels.insert(level);
        const auto& ids = listOf(layers[at->second.first].objectIds).items;
        for (std::size_t p = before->second.second + 1; p < at->second.second; ++p) {
            // A level, or a record below one.
            const PlannedNode* between = run.byId(ids[p]);
            std::size_t steps = 0;
            while (between && !levels.count(between->id) && steps++ < run.planned.size()) {
                const auto up = run.hierarchy.parentOf(static_cast<std::size_t>(between - run.planned.data()));
                between = up ? &run.planned[*up] : nullptr;
            }
            if (!between || !levels.count(between->id)) return false;
        }
        return true;
    };

    std::vector<std::size_t> children(count, 0);
    // The content record of each plain parent that has a child of its name.
    std::map<std::size_t, std::size_t> contentOf;
    for (std::size_t i = 0; i < count; ++i) {
        const auto up = run.hierarchy.parentOf(i);
        if (!up) continue;
        ++children[*up];
        const PlannedNode& child = run.planned[i];
        const PlannedNode& parent = run.planned[*up];
        if (!isContent(child.kind) || parent.kind != RecordKind::Object || !child.named || !parent.named ||
            child.name != parent.name)
            continue;
        auto [at, inserted] = contentOf.try_emplace(*up, i);
        if (inserted) continue;
        const PlannedNode& chosen = run.planned[at->second];
        const bool listed = listedRightAfter(child.id, parent.id), chosenListed = listedRightAfter(chosen.id, parent.id);
        if (listed != chosenListed ? listed : child.id < chosen.id) at->second = i;
    }
    if (contentOf.empty()) return;

    std::map<std::string, std::size_t> records, tracks;
    for (const PlannedNode& planned : run.planned)
        if (planned.named) ++records[planned.name];
    for (const Zeq2Track& track : listOf(run.root.tracks)) ++tracks[track.objectName];
    const auto keyedFromTheStart = tracksKeyedFromTheStart(run);
    // Whether a track of the pair's name starts where the content record stands and the object
    // record does not: the content record is a node keyed on its own.
    auto keyedOnItsOwn = [&](std::size_t o, std::size_t c) {
        for (const auto& [name, first] : keyedFromTheStart)
            if (name == run.planned[c].name && run.hierarchy.local(c).Equals(first, 1e-5f) &&
                !run.hierarchy.local(o).Equals(first, 1e-5f))
                return true;
        return false;
    };

    for (const auto& [o, c] : contentOf) {
        PlannedNode& holder = run.planned[o];
        PlannedNode& content = run.planned[c];
        if (children[c] != 0 || holder.visible != content.visible) continue;
        if (tracks[content.name] >= records[content.name] || keyedOnItsOwn(o, c)) continue;
        if (layersOfId(holder.id) != layersOfId(content.id) || !listedAsAPair(o, c)) continue;
        // The exporter writes the pair for an offset that is not the identity.
        if (run.hierarchy.local(c) == Matrix3()) continue;
        holder.content = c;
        content.pivotHolder = o;
    }
    // The node's children hang below the node the content record makes: checks that compare a
    // child's parent with the content record (the levels of a LOD name group) find it there.
    for (PlannedNode& planned : run.planned) {
        if (!planned.parentId) continue;
        const PlannedNode* parent = run.byId(*planned.parentId);
        if (parent && parent->content && &run.planned[*parent->content] != &planned)
            planned.parentId = run.planned[*parent->content].id;
    }
}

// Gives the faces of surface `surface` (triangles indexBegin / 3 onwards; faceOf gives the face of
// each triangle, when they are in another order) the material id `surface`.
void setSurfaceMaterialIds(SceneRun& run, const std::string& owner, Mesh& mesh, const Zeq2Surface& range,
                           std::size_t surface, const std::vector<int32_t>& faceOf) {
    const int64_t faceCount = mesh.getNumFaces();
    const int64_t first = range.indexBegin / 3;
    const int64_t end = first + range.numTriangles;
    for (int64_t j = std::max<int64_t>(first, 0); j < std::min(end, faceCount); ++j)
        mesh.faces[static_cast<std::size_t>(faceOf.empty() ? j : faceOf[static_cast<std::size_t>(j)])].setMatID(
            static_cast<MtlID>(surface));
}

// The material of a mesh or skin node: none, the one material of a single surface, or a
// multi-material whose sub-material i serves surface i.
void applySurfaces(SceneRun& run, INode* node, TriObject* tri, const std::string& name,
                   const TArray<Zeq2Surface>& list, const std::string& owner, const std::vector<int32_t>& faceOf) {
    const auto& surfaces = list.items;
    if (surfaces.empty()) return;
    // Triangles of no surface are not drawn by the engine, and those of two are drawn twice; the
    // host's faces have one material each, so after the next export each is drawn once.
    const std::size_t faceCount = static_cast<std::size_t>(tri->GetMesh().getNumFaces());
    std::vector<uint8_t> covered(faceCount, 0);
    for (std::size_t i = 0; i < surfaces.size(); ++i) {
        const Zeq2Surface& range = surfaces[i];
        const int64_t begin = range.indexBegin / 3, end = begin + range.numTriangles;
        if (begin < 0 || range.numTriangles < 0 || end > int64_t(faceCount))
            run.report.skip(owner + ": surface " + std::to_string(i) + " covers triangles outside the mesh's " +
                            std::to_string(faceCount) + (surfaces.size() > 1 ? "; only those inside got its material" : ""));
        for (int64_t j = std::max<int64_t>(begin, 0); j < std::min(end, int64_t(faceCount)); ++j)
            covered[static_cast<std::size_t>(j)] = static_cast<uint8_t>(std::min(covered[static_cast<std::size_t>(j)] + 1, 2));
    }
    if (const auto uncovered = std::count(covered.begin(), covered.end(), 0); uncovered > 0)
        run.report.skip(owner + ": " + std::to_string(uncovered) + " of " + std::to_string(faceCount) +
                        " triangles belong to no surface; they take a surface's material");
    if (const auto twice = std::count(covered.begin(), covered.end(), 2); twice > 0)
        run.report.skip(owner + ": " + std::to_string(twice) + " of " + std::to_string(faceCount) +
                        " triangles belong to two surfaces or more; they take the last one's material");
    if (surfaces.size() == 1) {
        if (Mtl* mtl = run.materials.makeMaterial(surfaces.front(), owner, run.report)) node->SetMtl(mtl);
        return;
    }
    std::size_t count = surfaces.size();
    if (count > kMaxSurfaces) {
        run.report.skip(owner + ": surfaces beyond " + std::to_string(kMaxSurfaces) + " skipped");
        count = kMaxSurfaces;
    }
    std::vector<std::optional<int32_t>> materialIds;
    for (std::size_t i = 0; i < count; ++i) materialIds.push_back(surfaces[i].materialId);
    node->SetMtl(run.materials.makeMultiMaterial(materialIds, name + "_surface", owner, run.report));
    // Records that share geometry share its host object, whose faces hold one set of material ids.
    Mesh& mesh = tri->GetMesh();
    std::vector<MtlID> before;
    for (const Face& face : mesh.faces) before.push_back(face.getMatID());
    for (std::size_t i = 0; i < count; ++i) setSurfaceMaterialIds(run, owner, mesh, surfaces[i], i, faceOf);
    const auto [earlier, first] = run.surfacesGivenBy.try_emplace(tri, owner);
    for (std::size_t f = 0; !first && f < before.size(); ++f) {
        if (mesh.faces[f].getMatID() == before[f]) continue;
        run.report.skip(owner + ": shares its geometry with " + earlier->second +
                        ", which splits it into other surfaces; both take this one's");
        break;
    }
}

// A new host light of the record's kind with its values; null when the host makes none.
template <class L, class SetUp>
GenLight* makeLight(SceneRun& run, int lightType, const L& record, SetUp setUp) {
    GenLight* light = run.ii->CreateLightObject(lightType);
    if (!light) return nullptr;
    light->SetRGBColor(0, colorFromRGB(record.color));
    light->SetIntensity(0, record.intensity);
    light->SetAffectDiffuse(1);
    light->SetUseLight(1);
    light->SetUseAtten(1);
    setUp(*light);
    return light;
}

Object* makeLightObject(SceneRun& run, const PlannedNode& planned) {
    switch (planned.kind) {
    case RecordKind::DirectionalLight:
        return makeLight(run, DIR_LIGHT, run.root.directionalLights->items[planned.record], [](GenLight& light) {
            // An engine directional light reaches the whole scene, not only its beam, and lights
            // highlights too.
            light.SetOvershoot(1);
            light.SetAffectSpecular(1);
        });
    case RecordKind::OmniLight: {
        const Zeq2OmniLight& record = run.root.omniLights->items[planned.record];
        return makeLight(run, OMNI_LIGHT, record, [&](GenLight& light) {
            light.SetAtten(0, ATTEN_START, record.attenuationBegin);
            light.SetAtten(0, ATTEN_END, record.attenuationEnd);
        });
    }
    case RecordKind::SpotLight: {
        const Zeq2SpotLight& record = run.root.spotLights->items[planned.record];
        return makeLight(run, FSPOT_LIGHT, record, [&](GenLight& light) {
            light.SetAtten(0, ATTEN_START, record.attenuationBegin);
            light.SetAtten(0, ATTEN_END, record.attenuationEnd);
            light.SetHotspot(0, degreesFromRadians(record.hotspot));
            light.SetFallsize(0, degreesFromRadians(record.falloff));
        });
    }
    default: return nullptr;
    }
}

// A 16-bit file holds each position cut to 16 bits, and the mesh's box the bounds of the 32-bit
// positions they were cut from. A value that a bound cuts to goes onto the bound, which the next
// export cuts to the same 16 bits again, so that it takes the same box. Where both bounds of an
// axis cut to the same value (a box thinner than a 16-bit step), the first such vertex goes onto
// the upper one and the others onto the lower one, so that each bound is held again.
void putOnBoxBounds(const Zeq2Box* box, Mesh& mesh) {
    if (!box) return;
    for (int axis = 0; axis < 3; ++axis) {
        const float low = box->box.items[axis], high = box->box.items[axis + 3];
        bool highHeld = false;
        for (Point3& vertex : mesh.verts) {
            const bool toLow = cutsToHalf(low, vertex[axis]), toHigh = cutsToHalf(high, vertex[axis]);
            if (toHigh && !(toLow && highHeld)) {
                vertex[axis] = high;
                highHeld = true;
            } else if (toLow) {
                vertex[axis] = low;
            }
        }
    }
}

// Makes the node of a planned record with its object, material and transform (not yet in the scene).
// A content record folded into its node's object record makes the node at the object record's
// place, its own transform the object offset.
void makeNode(SceneRun& run, std::size_t index) {
    PlannedNode& planned = run.planned[index];
    const std::size_t place = planned.pivotHolder.value_or(index);
    planned.imp = run.ii->CreateNode();
    planned.node = planned.imp->GetINode();
    if (planned.named) planned.imp->SetName(planned.name.c_str());
    else run.report.skip(run.describe(planned) + ": no name; imported unnamed");
    planned.imp->SetTransform(0, run.hierarchy.world(place));
    if (planned.pivotHolder) planned.node->SetObjectOffsetTM(run.hierarchy.local(index));

    Object* object = nullptr;
    switch (planned.geometryLeftOut ? RecordKind::Object : planned.kind) {
    case RecordKind::Object:
        // A plain object stays a plain object: a dummy helper, or a node without object when the
        // host has no dummies.
        object = createObject(HELPER_CLASS_ID, DUMMY_CLASS_ID);
        break;
    case RecordKind::Joint:
        object = createObject(GEOMOBJECT_CLASS_ID, JOINT_OBJECT_A_CLASS_ID);
        if (!object) run.report.skip(run.describe(planned) + ": the host has no bone objects; imported as an empty node");
        break;
    case RecordKind::Mesh: {
        const Zeq2Mesh& record = run.root.meshes->items[planned.record];
        TriObject* tri = run.meshes.buildTriObject(record);
        // Geometry that another mesh or skin shows too is left as it is.
        if (tri && run.minorVersion == kMinorVersionHalf && run.geometryUses[meshKey(record)] == 1)
            putOnBoxBounds(run.boxOf(record.boundBoxId), tri->GetMesh());
        object = tri;
        applySurfaces(run, planned.node, tri, planned.name, record.surfaces, run.describe(planned),
                      run.meshes.check(record).faceOf);
        break;
    }
    case RecordKind::Skin: object = makeSkinObject(run, planned); break;
    case RecordKind::DirectionalLight:
    case RecordKind::OmniLight:
    case RecordKind::SpotLight:
        object = makeLightObject(run, planned);
        if (!object) run.report.skip(run.describe(planned) + ": the host made no light; imported as an empty node");
        break;
    case RecordKind::Sprite: object = makeSpriteObject(run, planned); break;
    case RecordKind::Lod: object = makeLodObject(run, planned); break;
    case RecordKind::Decal:
    case RecordKind::Camera:
        // Nothing of the host holds what these records mean (a decal's geometry is drawn onto the
        // surfaces below it; a camera's values are the engine's own): a dummy keeps the node's
        // place, and that of the nodes below it.
        object = createObject(HELPER_CLASS_ID, DUMMY_CLASS_ID);
        run.report.skip(run.describe(planned) + (planned.kind == RecordKind::Decal
                                                     ? ": imported as a dummy; the host has no decals"
                                                     : ": imported as a dummy; its values are the engine's own"));
        break;
    }
    if (object) planned.imp->Reference(object);
    // Lights carry no record id, as they never did; every other node does.
    const bool light = planned.kind == RecordKind::DirectionalLight || planned.kind == RecordKind::OmniLight ||
                       planned.kind == RecordKind::SpotLight;
    if (!light) planned.node->SetUserPropString(PROTOCOL_ID_PROPERTY, std::to_string(run.planned[place].id));
}

// Where the exporter visited each node, as a key that sorts in visiting order: (id, 0) for most
// nodes, since the exporter hands out ids in the order it visits nodes (parents before children).
// The bones of skins it visits first of all, so they have no place of their own (kNone). A node
// that is not a bone but the parent of one was numbered while its bone was converted, ahead of its
// own visit; its place is right after the records written before it: those before it in its own
// record list and in its layer, which both keep the visiting order. Such a node gets the key
// (largest id before it, 1 + its position there) when that id is larger than its own.
using VisitKey = std::pair<int64_t, std::size_t>;

void placeEarlyParents(SceneRun& run, const std::vector<bool>& bone, std::vector<VisitKey>& key) {
    const std::size_t count = run.planned.size();
    std::vector<bool> early(count, false);
    bool any = false;
    for (std::size_t i = 0; i < count; ++i) {
        const auto up = run.hierarchy.parentOf(i);
        if (bone[i] && up && !bone[*up]) early[*up] = any = true;
    }
    if (!any) return;
    // Follows one sequence in visiting order, given as a callback per position.
    auto follow = [&](std::size_t length, auto nodeAt) {
        std::optional<int64_t> before;
        for (std::size_t position = 0; position < length; ++position) {
            const std::optional<std::size_t> node = nodeAt(position);
            if (!node || bone[*node]) continue;
            if (!early[*node]) {
                before = std::max(before.value_or(run.planned[*node].id), run.planned[*node].id);
            } else if (before && *before > run.planned[*node].id) {
                key[*node] = std::max(key[*node], VisitKey{*before, position + 1});
            }
        }
    };
    // The planned nodes are the record lists one after the other, each in its file order.
    for (std::size_t begin = 0, end = 0; begin < count; begin = end) {
        while (end < count && run.planned[end].kind == run.planned[begin].kind) ++end;
        follow(end - begin, [&](std::size_t position) { return std::optional<std::size_t>(begin + position); });
    }
    for (const Zeq2Layer& layer : listOf(run.extra1.layers)) {
        const auto& members = listOf(layer.objectIds).items;
        follow(members.size(), [&](std::size_t position) { return run.hierarchy.nodeOf(members[position]); });
    }
}

// The order nodes are added to the scene and children to their parents: each subtree is placed by
// the smallest visiting key in it (bones aside; a subtree of bones alone by its smallest id).
std::vector<std::size_t> visitingOrder(SceneRun& run) {
    const std::size_t count = run.planned.size();
    std::vector<bool> bone(count, false);
    for (const Zeq2Skin& skin : listOf(run.root.skins)) {
        for (int64_t jointId : skin.jointIds)
            if (PlannedNode* joint = run.byId(jointId)) bone[static_cast<std::size_t>(joint - run.planned.data())] = true;
    }
    constexpr VisitKey kNone{std::numeric_limits<int64_t>::max(), std::numeric_limits<std::size_t>::max()};
    std::vector<VisitKey> key(count);
    std::vector<int64_t> fallback(count);
    for (std::size_t i = 0; i < count; ++i) {
        key[i] = bone[i] ? kNone : VisitKey{run.planned[i].id, 0};
        fallback[i] = run.planned[i].id;
    }
    placeEarlyParents(run, bone, key);
    // Children before parents: deepest nodes first, each folding its key into its parent's. Depths
    // are found without recursion, so that deep chains cost no deep stacks.
    std::vector<std::size_t> depth(count, 0);
    std::vector<bool> known(count, false);
    std::vector<std::size_t> chain;
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t at = i;
        while (!known[at]) {
            chain.push_back(at);
            const auto up = run.hierarchy.parentOf(at);
            if (!up) break;
            at = *up;
        }
        std::size_t d = known[at] ? depth[at] + 1 : 0;
        while (!chain.empty()) {
            const std::size_t node = chain.back();
            chain.pop_back();
            if (known[node]) continue;
            depth[node] = d++;
            known[node] = true;
        }
    }
    std::vector<std::size_t> deepestFirst(count);
    std::iota(deepestFirst.begin(), deepestFirst.end(), std::size_t{0});
    std::stable_sort(deepestFirst.begin(), deepestFirst.end(),
                     [&](std::size_t a, std::size_t b) { return depth[a] > depth[b]; });
    for (std::size_t i : deepestFirst) {
        if (const auto up = run.hierarchy.parentOf(i)) {
            key[*up] = std::min(key[*up], key[i]);
            fallback[*up] = std::min(fallback[*up], fallback[i]);
        }
    }
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const VisitKey ka = key[a] == kNone ? VisitKey{fallback[a], 0} : key[a];
        const VisitKey kb = key[b] == kNone ? VisitKey{fallback[b], 0} : key[b];
        return ka < kb;
    });
    return order;
}

}  // namespace

const char* recordKindName(RecordKind kind) {
    switch (kind) {
    case RecordKind::Object: return "object";
    case RecordKind::Joint: return "joint";
    case RecordKind::Mesh: return "mesh";
    case RecordKind::Skin: return "skin";
    case RecordKind::DirectionalLight: return "directional light";
    case RecordKind::OmniLight: return "omni light";
    case RecordKind::SpotLight: return "spot light";
    case RecordKind::Sprite: return "sprite";
    case RecordKind::Lod: return "LOD group";
    case RecordKind::Decal: return "decal";
    case RecordKind::Camera: return "camera";
    }
    return "record";
}

PlannedNode* SceneRun::byId(int64_t id) {
    const std::optional<std::size_t> index = hierarchy.nodeOf(id);
    return index ? &planned[*index] : nullptr;
}

const Zeq2Box* SceneRun::boxOf(const std::optional<int32_t>& boundBoxId) const {
    const auto found = boundBoxId ? boxesById.find(*boundBoxId) : boxesById.end();
    return found != boxesById.end() && found->second->box.size() == 6 ? found->second : nullptr;
}

std::string SceneRun::describe(const PlannedNode& node) const {
    return describeRecord(recordKindName(node.kind), node.named ? std::optional<std::string>(node.name) : std::nullopt,
                          node.id);
}

Zeq2Mesh meshViewOf(const Zeq2Skin& skin) {
    Zeq2Mesh mesh;
    mesh.id = skin.id;
    mesh.name = skin.name;
    mesh.indexBufferId = skin.indexBufferId;
    mesh.vertexBufferIds = skin.vertexBufferIds;
    mesh.surfaces = skin.surfaces;
    mesh.visible = skin.visible;
    return mesh;
}

Object* createObject(SClass_ID superClassID, Class_ID classID) {
    Interface* ip = GetCOREInterface();
    return ip ? static_cast<Object*>(ip->CreateInstance(superClassID, classID)) : nullptr;
}

void applySkinSurfaces(SceneRun& run, PlannedNode& planned, TriObject* tri, const Zeq2Mesh& geometry) {
    const Zeq2Skin& record = run.root.skins->items[planned.record];
    // The faces are in the order the object was built in, which the first record of the geometry
    // with two or more surfaces gives (a mesh record the skin shares its object with, maybe).
    applySurfaces(run, planned.node, tri, planned.name, record.surfaces, run.describe(planned),
                  run.meshes.check(geometry).faceOf);
}

Matrix3 toMatrix3(const Zeq2Transform& transform) {
    const ZeqMatrix& m = transform.matrix;
    Matrix3 tm;
    tm.SetColumn(0, Point4(m.a, m.b, m.c, m.d));
    tm.SetColumn(1, Point4(m.e, m.f, m.g, m.h));
    tm.SetColumn(2, Point4(m.i, m.j, m.k, m.l));
    return tm;
}

float degreesFromRadians(float radians) {
    const float degrees = radians * kRadiansToDegrees;
    if (!std::isfinite(degrees)) return degrees;
    float down = degrees, up = degrees;
    for (int step = 0; step < 8; ++step) {
        if (down * kDegreesToRadians == radians) return down;
        if (up * kDegreesToRadians == radians) return up;
        down = std::nextafter(down, -std::numeric_limits<float>::infinity());
        up = std::nextafter(up, std::numeric_limits<float>::infinity());
    }
    return degrees;
}

Point3 colorFromRGB(uint32_t rgb) {
    constexpr float kByteToUnit = 0.003921569f;
    return {static_cast<float>((rgb >> 16) & 0xFF) * kByteToUnit, static_cast<float>((rgb >> 8) & 0xFF) * kByteToUnit,
            static_cast<float>(rgb & 0xFF) * kByteToUnit};
}

SceneBuilder::SceneBuilder(ImpInterface* ii, uint16_t minorVersion) : ii_(ii), minorVersion_(minorVersion) {}

void SceneBuilder::run(const Zeq2& root, const Zeq2Extra1& extra1, const Zeq2Extra2& extra2) {
    failedAt_.clear();
    SceneRun run(ii_, root, extra1, extra2, minorVersion_, report_);
    if (Interface* ip = GetCOREInterface()) {
        INode* sceneRoot = ip->GetRootNode();
        run.sceneWasEmpty = sceneRoot && sceneRoot->NumberOfChildren() == 0;
    }
    const char* step = "the plan of the scene";
    std::optional<std::size_t> making;
    try {
        // Plan: check every mesh and decide the hierarchy before the first host object is made. A
        // later record with a repeated id is the one the id refers to.
        planList(run, RecordKind::Object, root.objects);
        planList(run, RecordKind::Joint, root.joints);
        planGeometry(run, RecordKind::Mesh, root.meshes);
        planGeometry(run, RecordKind::Skin, root.skins);
        // A skin of a mesh's index buffer and box shows the mesh's object (see the skin import):
        // where the mesh's records have one material, the skin's surfaces give its face order.
        for (const Zeq2Skin& skin : listOf(root.skins).items) {
            const auto sharing = run.meshesByIndexBuffer.find(skin.indexBufferId);
            if (sharing == run.meshesByIndexBuffer.end()) continue;
            for (std::size_t node : sharing->second) {
                const Zeq2Mesh& mesh = root.meshes->items[run.planned[node].record];
                if (mesh.boundBoxId == skin.boundBoxId) run.meshes.orderLike(mesh, skin.surfaces);
            }
        }
        planList(run, RecordKind::DirectionalLight, root.directionalLights);
        planList(run, RecordKind::OmniLight, root.omniLights);
        planList(run, RecordKind::SpotLight, root.spotLights);
        planList(run, RecordKind::Sprite, root.sprites);
        planList(run, RecordKind::Lod, extra2.lods);
        planList(run, RecordKind::Decal, root.decals);
        planList(run, RecordKind::Camera, extra2.cameras);
        if (const std::size_t clips = listOf(root.animationClips).size())
            report_.skip(std::to_string(clips) + (clips == 1 ? " animation clip" : " animation clips") +
                         " left out: the host scene has one timeline");
        run.hierarchy.resolve(report_);
        foldPivotOffsets(run);

        // Build, in record order; then into the scene and below their parents in visiting order. A
        // node folded from two records is made by its content record and placed by its object record.
        for (std::size_t i = 0; i < run.planned.size(); ++i) {
            if (run.planned[i].content) continue;
            making = i;
            makeNode(run, i);
        }
        making.reset();
        for (PlannedNode& planned : run.planned) {
            if (!planned.content) continue;
            planned.imp = run.planned[*planned.content].imp;
            planned.node = run.planned[*planned.content].node;
        }
        step = "the node hierarchy";
        std::vector<std::size_t> order = visitingOrder(run);
        std::erase_if(order, [&](std::size_t index) { return run.planned[index].pivotHolder.has_value(); });
        for (std::size_t index : order) ii_->AddNodeToScene(run.planned[index].imp);
        // Each link keeps the child's transform relative to its parent as the file gives it, to the bit
        // where the host keeps local transforms (the plan's world transforms are that times the parent's).
        for (std::size_t index : order) {
            const std::optional<std::size_t> parent = run.hierarchy.parentOf(index);
            if (!parent) continue;
            INode* child = run.planned[index].node;
            child->SetLocalTM(0, run.hierarchy.local(index));
            run.planned[*parent].node->AttachChild(child, false);
        }
        for (const PlannedNode& planned : run.planned)
            if (!planned.visible) planned.node->Hide(true);

        step = "the skins";
        buildSkins(run);
        step = "the LOD groups";
        buildLodLevels(run);
        step = "the layers";
        buildLayers(run);
        step = "the animation tracks";
        buildTracks(run);

        // The ambient colour is the sum of every ambient light's colour (intensity ignored, no clamp).
        step = "the ambient light";
        if (root.ambientLights || !root.tracks) {
            Point3 ambient;
            for (const Zeq2AmbientLight& light : listOf(root.ambientLights)) ambient += colorFromRGB(light.color);
            ii_->SetAmbient(0, ambient);
        }
        step = "the views";
        ii_->RedrawViews();
    } catch (...) {
        failedAt_ = making ? run.describe(run.planned[*making]) : step;
        throw;
    }
}

}  // namespace zeq
