#pragma once
// Shared plain types of the foreign-scene reader (foreign_read*.cpp): the state of one load and the
// steps each file contributes. Only the reader's own files include this header.
#include "headless/foreign_scene.h"
#include "host/host.h"

#include <assimp/scene.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace headless {
class Scene;
class Node;
}  // namespace headless

namespace headless::foreign {

// Texture coordinate sets a host mesh carries (map channels 1..8).
constexpr unsigned kMaxUvSets = 8;
// The Zeq format's limits on one mesh: 16-bit vertex indices and at most 0x7FFFF indices. The
// vertex limit is one below 65536 so that the count itself fits 16 bits.
constexpr unsigned kMaxMeshVertices = 0xFFFF;
constexpr unsigned kMaxMeshTriangles = 0x7FFFF / 3;
// Memory a reader may take beyond what the process uses: this much plus 64 times the file's size.
constexpr uint64_t kBaseMemoryBudget = uint64_t(2) << 30;
// Time a reader may take: this many seconds plus one per MiB of the file.
constexpr double kBaseTimeLimit = 30.0;
// Host time.
constexpr double kTicksPerSecond = 4800.0;

// The file's column-vector matrix in the host's row-vector form (the 4×4's bottom row is dropped).
Matrix3 toMatrix3(const aiMatrix4x4& m);
// Seconds → ticks, rounded to the nearest tick.
TimeValue secondsToTicks(double seconds);

struct ReadState {
    Host& host;
    Scene& scene;
    const aiScene& ai;
    const ForeignReadOptions& options;
    ForeignReadReport& report;

    // The host node of each file node (the left-out root maps to null).
    std::unordered_map<const aiNode*, INode*> nodes;
    // The host nodes of each node name, in depth-first order, for the references by name that bones,
    // animation channels, lights and cameras make.
    std::unordered_map<std::string, std::vector<INode*>> nodesByName;
    // World transform of each file node, in the file's column form, at load time.
    std::unordered_map<const aiNode*, aiMatrix4x4> world;
    // Standard material per file material, made on first use.
    std::vector<Mtl*> materials;
    // Per file material, the most texture coordinate sets a mesh using it has (filled on first use).
    std::vector<unsigned> uvSetsOfMaterial;
    // Multi-materials by the list of file materials their slots hold.
    std::map<std::vector<unsigned>, Mtl*> multiMaterials;
    // Names of the nodes some mesh uses as a bone.
    std::unordered_set<std::string> boneNames;
    // Bitmap name per embedded texture.
    std::vector<std::string> textureNames;
    // Meshes of nodes whose children were folded into them (see TreeBuilder): their own, then the
    // children's. A node not listed shows its own meshes.
    std::unordered_map<const aiNode*, std::vector<unsigned>> foldedMeshes;
    // The pieces a mesh too large for one host mesh was cut into, as siblings of its node in the
    // node's place: they take the node's keys.
    std::unordered_map<INode*, std::vector<Node*>> meshParts;
    // The file is glTF: its spot cones are angles from the axis (the host's are whole cones), and
    // its cameras sit at their node's origin (the reader copies the node's translation into the
    // camera's position, which would move it twice).
    bool gltf = false;
    // The reader gives a light's falloff with distance as its attenuation (Collada, FBX, glTF):
    // it becomes the light's decay. Other readers leave Assimp's default there.
    bool lightDecay = false;
    // Textures whose material's meshes have no coordinates to place them.
    std::size_t texturesWithoutCoordinates = 0;
    // Textures placed by an offset, scale or turn of their coordinates, which bitmaps do not hold.
    std::size_t texturesTransformed = 0;

    // The first node of the name, or null.
    INode* nodeNamed(const std::string& name) const {
        auto it = nodesByName.find(name);
        return it == nodesByName.end() ? nullptr : it->second.front();
    }
    // Every node of the name (an empty list when there is none).
    const std::vector<INode*>& nodesNamed(const std::string& name) const {
        static const std::vector<INode*> none;
        auto it = nodesByName.find(name);
        return it == nodesByName.end() ? none : it->second;
    }
};

// foreign_isolation.cpp: runs `read` in a child process whose address space may grow by
// `memoryBudget` bytes, and waits for it at most `seconds`. `read` packs the scene it reads into the
// descriptor it is given (packScene) and returns its notes on the read, a line each (they reach
// `notes`, up to 16 MiB of them), or throws ForeignSceneError; a std::bad_alloc becomes the reason
// that the file needs more memory than the budget. Returns the scene the child packed, or throws
// ForeignSceneError: the child's reason, or that it crashed, was killed or ran out of time.
struct ChildLimits {
    uint64_t memoryBudget = 0;
    double seconds = 0;
};
using ReadInChild = std::function<std::string(int sceneFd)>;
// A note that names a file the reader opened (the note's text after this mark), not a warning.
constexpr char kFileReadNote = '\x01';
std::shared_ptr<const aiScene> readInChildProcess(const ReadInChild& read, const ChildLimits& limits,
                                                  std::vector<std::string>* notes = nullptr);

// foreign_transfer.cpp: a scene as bytes written to `fd`, and back. What the loader reads of a
// scene makes the trip: the node tree (without metadata), meshes with every vertex stream, faces
// and bones (without morph targets), materials, animations, embedded textures, lights and cameras.
// The unpacked scene's arrays point into `data`, which must stay until the scene is deleted; then
// `release` runs. Unpacking checks every length against the bytes present and throws
// ForeignSceneError on damage.
void packScene(const aiScene& scene, int fd);
std::shared_ptr<const aiScene> unpackScene(uint8_t* data, std::size_t size, std::function<void()> release = {});
// A pointer (or the corner pointers of `count` faces) in an unpacked scene that points into its
// bytes: `clear` resets it before the scene is deleted.
struct BorrowedArray {
    void* at;
    std::size_t count;
    void (*clear)(void* at, std::size_t count);
};
using BorrowedArrays = std::vector<BorrowedArray>;

// foreign_transfer.cpp: text with its %XX escapes turned back into the bytes they stand for (URIs
// of glTF files).
std::string percentDecoded(const std::string& text);

// foreign_corners.cpp: Assimp joins identical vertices comparing their positions, normals, tangents
// and first texture set alone, so vertices that differ only in colour or in a later texture set
// would become one. markCorners gives the third component of the first set of every mesh with
// colours or later sets an id per distinct rest of the vertex (colours, later sets, that
// component), so that only vertices equal in everything are joined (with `whereJoined`, only
// meshes in which the joining would join some); a mesh without a first set gets one of zeros with
// `addSets`, else it is left as it is. unmarkCorners puts the components back, and takes away the
// sets markCorners added.
struct CornerMark {
    float thirdComponent;
    bool added;
};
using CornerMarks = std::vector<CornerMark>;
CornerMarks markCorners(aiScene& scene, bool whereJoined, bool addSets);
void unmarkCorners(aiScene& scene, const CornerMarks& marks);

// foreign_read.cpp: the checks of a file before it is read (refusing at once what a reader would
// never finish), and the host scene built from a scene read (ForeignSceneError for a scene the loader
// refuses).
void checkBeforeReading(const std::filesystem::path& path);
// `format` is the file's extension in lower case, without its dot ("gltf", "dae" ...).
ForeignReadReport buildFromScene(Host& host, const aiScene& ai, const ForeignReadOptions& options,
                                 std::string_view format = {});

// foreign_read_assimp.cpp: reads the file with Assimp and packs the scene into `sceneFd` (what the
// reading process runs); ForeignSceneError with Assimp's reason when it cannot. Returns what the
// reader reported as errors while it still read the file (a material library that is not there, a
// header whose counts are wrong), a line each: the scene holds less than the file meant to.
std::string readWithAssimp(const std::filesystem::path& path, const ForeignReadOptions& options, int sceneFd);

// foreign_read_material.cpp: names of the embedded textures (and their bytes into the report).
void nameEmbeddedTextures(ReadState& state);
// The standard material of file material `index`.
Mtl* materialFor(ReadState& state, unsigned index);
// The node material for meshes using these file materials in this order (face material id i is
// the i-th): the standard material itself for one, a shared multi-material for several.
Mtl* nodeMaterialFor(ReadState& state, const std::vector<unsigned>& materials);

// foreign_read_mesh.cpp: the node's meshes as one or more host meshes (with skins); pieces beyond
// the first become siblings of the node.
void buildNodeGeometry(ReadState& state, const aiNode& source, INode* node);

// foreign_read_animation.cpp: the first animation as keys, and the animation range.
void buildAnimation(ReadState& state);

}  // namespace headless::foreign
