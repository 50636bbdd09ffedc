#pragma once
// The state of one scene build, shared by the builders of its parts (nodes, skins, level-of-detail
// groups, sprites, layers, tracks). Every node record of the file (objects, joints, meshes, skins,
// lights, sprites, LOD groups) is planned first, in the hierarchy, before the first host node is
// made; a planned node is then made once and found by its record id.
#include "format/records.h"
#include "host/import_export.h"
#include "host/scene_building.h"
#include "import/import_report.h"
#include "import/material_library.h"
#include "import/mesh_builder.h"
#include "import/node_hierarchy.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

class INode;
class ImpNode;
class Object;
class TriObject;

namespace zeq {

template <class R>
const TArray<R>& listOf(const std::optional<TArray<R>>& list) {
    static const TArray<R> empty;
    return list ? *list : empty;
}

// The record kinds that become nodes.
enum class RecordKind { Object, Joint, Mesh, Skin, DirectionalLight, OmniLight, SpotLight, Sprite, Lod, Decal, Camera };

// How report lines name a kind ("mesh", "spot light", ...).
const char* recordKindName(RecordKind kind);

// One node record, by its place in the hierarchy.
struct PlannedNode {
    RecordKind kind = RecordKind::Object;
    std::size_t record = 0;  // index in its list
    int64_t id = 0;
    std::optional<int64_t> parentId;
    std::string name;
    bool named = false;
    bool visible = true;
    // A node whose object sits away from its pivot comes as two records, made into one node: on
    // the node's own object record, the index of its content record, which makes the node; on the
    // content record, the index of the object record, whose place in the hierarchy the node takes.
    std::optional<std::size_t> content;
    std::optional<std::size_t> pivotHolder;
    // A mesh or skin whose geometry cannot be built: its node is made empty, so that its children
    // keep their place below it.
    bool geometryLeftOut = false;
    // A skin's matrix when the skin was applied (the identity unless makeSkinObject finds another).
    Matrix3 skinBase;
    ImpNode* imp = nullptr;
    INode* node = nullptr;
};

// Vertices the search for the matrices of moved skins may move back in one file (about a second).
inline constexpr int64_t kSkinMoveTrials = 500000;

struct SceneRun {
    SceneRun(ImpInterface* ii, const Zeq2& root, const Zeq2Extra1& extra1, const Zeq2Extra2& extra2,
             uint16_t minorVersion, ImportReport& report)
        : ii(ii),
          root(root),
          extra1(extra1),
          extra2(extra2),
          report(report),
          geometry(root.indexBuffers ? &*root.indexBuffers : nullptr,
                   root.vertexBuffers ? &*root.vertexBuffers : nullptr),
          materials(root),
          meshes(geometry, minorVersion),
          minorVersion(minorVersion) {
        for (const Zeq2Box& box : listOf(root.boxes)) boxesById[box.id] = &box;
    }

    ImpInterface* ii;
    const Zeq2& root;
    const Zeq2Extra1& extra1;
    const Zeq2Extra2& extra2;
    ImportReport& report;
    GeometryLibrary geometry;
    MaterialLibrary materials;
    MeshBuilder meshes;
    uint16_t minorVersion;
    // The scene held no nodes before the import: the file's animation range is the scene's.
    bool sceneWasEmpty = false;
    NodeHierarchy hierarchy;
    std::vector<PlannedNode> planned;  // by hierarchy index
    // How many planned meshes and skins name each geometry key.
    std::map<std::vector<int32_t>, int> geometryUses;
    // The planned mesh nodes by the index buffer they name, in record order.
    std::map<int32_t, std::vector<std::size_t>> meshesByIndexBuffer;
    // Mesh objects a skin shows too (their vertices chosen by the first such skin).
    std::set<TriObject*> skinShared;
    // The mesh or skin that gave each shared mesh object its faces' material ids.
    std::map<TriObject*, std::string> surfacesGivenBy;
    // The box records by id (the last of an id).
    std::unordered_map<int32_t, const Zeq2Box*> boxesById;
    // Vertices the search for the matrices of skins whose nodes moved after skinning may still
    // move back: a file of many skins that no trial fits ends the search (after about a second),
    // not the import; later such skins keep their vertices as written.
    int64_t skinMoveTrials = kSkinMoveTrials;
    // Bone matrices found for bind transforms (by their bits), and the inversions their search may
    // still take: a file of many badly conditioned binds ends the search (after about half a
    // second), not the import; later binds take the plain inverse.
    std::map<std::array<uint32_t, 12>, Matrix3> boneMatrices;
    int64_t boneInversions = 10000000;

    // The planned node a record id refers to (the later record when an id repeats); null for none.
    PlannedNode* byId(int64_t id);
    std::string describe(const PlannedNode& node) const;
    // The box record a node record names, when the file has a whole one (the last of that id).
    const Zeq2Box* boxOf(const std::optional<int32_t>& boundBoxId) const;
};

// The geometry fields of a skin as a mesh record, so that skins are built like meshes.
Zeq2Mesh meshViewOf(const Zeq2Skin& skin);

// A new object of a class the host provides or a plug-in adds (through the host's CreateInstance);
// null when the host has no such class.
Object* createObject(SClass_ID superClassID, Class_ID classID);

// Gives a skin node the materials of its surfaces, as a mesh node gets them; `tri` was built from
// `geometry` (the skin's own geometry or a mesh record's it shares).
void applySkinSurfaces(SceneRun& run, PlannedNode& planned, TriObject* tri, const Zeq2Mesh& geometry);

// Sets the host's animate mode for a scope and puts back the mode it found: nodes are made with
// it off (else every transform set would be a key), tracks are keyed with it on.
class AnimateScope {
public:
    explicit AnimateScope(bool on) : was_(Animating()) { on ? AnimateOn() : AnimateOff(); }
    ~AnimateScope() { was_ ? AnimateOn() : AnimateOff(); }
    AnimateScope(const AnimateScope&) = delete;
    AnimateScope& operator=(const AnimateScope&) = delete;

private:
    bool was_;
};

// Each part runs after every node exists and is linked.
void buildSkins(SceneRun& run);        // bones, bind matrices and weights of the skin modifiers
void buildLodLevels(SceneRun& run);    // the levels of LOD objects
void buildLayers(SceneRun& run);       // layer membership
void buildTracks(SceneRun& run);       // keyed transforms

// The tracks keyed from the start of the file's keys (their first key is the earliest of all
// tracks): each one's node name and the transform it starts with, which the exporter also wrote as
// that node's record transform.
std::vector<std::pair<std::string, Matrix3>> tracksKeyedFromTheStart(const SceneRun& run);

// The object a skin, LOD group or sprite node shows (made when the node is made).
Object* makeSkinObject(SceneRun& run, PlannedNode& planned);
Object* makeLodObject(SceneRun& run, PlannedNode& planned);
Object* makeSpriteObject(SceneRun& run, PlannedNode& planned);

// Whether a LOD record came from a "@LOD" name group: its name holds "@LOD" and each level's
// distance is the one its name encodes, so that exporting the group again gives the same distances.
bool isLodNameGroup(SceneRun& run, const Zeq2LOD& lod);

}  // namespace zeq
