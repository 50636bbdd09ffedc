#pragma once
// Foreign scene files: models in the formats of other tools (glTF, FBX, Collada, OBJ, PLY, STL and
// everything else the Assimp library reads), loaded into the headless scene the way the host's own
// importers build it.
//
//     headless::Host host;
//     headless::ForeignReadReport report = headless::loadForeignScene(host, "model.glb");
//     for (const std::string& line : report.warnings) std::cerr << line << '\n';
//
// What a loaded file becomes:
// - one node per node of the file, with its name and local transform (coordinates and axes as the
//   file gives them: no axis or unit change); a file root without geometry and with an identity
//   transform is left out, its children become top-level nodes;
// - one triangle mesh per node that holds geometry: the file's meshes on that node merged, each
//   keeping its material through the face material ids (a multi-material when they use several);
//   explicit normals, texture coordinate sets 1..8 as map channels 1..8, vertex colours as channel 0;
//   polygons are triangulated; points and lines have no place in a triangle mesh and are dropped
//   (counted in one warning). A node whose geometry would pass the 16-bit vertex limit of the Zeq
//   format is cut into pieces that become sibling nodes ("<name>_part2", ...), one warning line;
// - standard materials with ambient, diffuse and specular colours, glossiness (shininess / 100),
//   specular level, opacity and two-sidedness, and bitmap maps in the diffuse, specular, opacity,
//   self-illumination, bump (normal maps, else height maps, as the bump slot's bitmap) and reflection
//   slots, with the file name as written and the texture's coordinate set as map channel;
// - textures embedded in the file are named "*N" (N: their index in the file), or, when
//   ForeignReadOptions::embeddedTextureStem is set, "<stem>_<N>.<ext>"; their bytes are in the
//   report, for the caller to write beside its output;
// - a skin modifier per skinned mesh, with its bones (nodes of the file), their bind matrices and
//   the per-vertex weights;
// - the first animation as keyed local transforms on the nodes it moves (ticks: 4800 per second),
//   and the scene's animation range; further animations are named in a warning;
// - point lights as omni lights, spots as free spots, directional lights, ambient lights added to
//   the scene's ambient colour; cameras with their field of view and clip distances.
//
// A file that cannot be read, or is read with errors, throws ForeignSceneError before the scene is
// touched, so a failed load never leaves part of a model in the scene. The reader runs in a child
// process bounded in memory and time: a reader that crashes, aborts, runs out of memory or does
// not finish on a damaged file makes the load fail with one line saying so, and nothing else.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace headless {

class Host;

// The extension of path in lower case, without the dot ("dae" for "Model.DAE"); empty when it has none.
inline std::string lowerExtension(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    if (!extension.empty()) extension.erase(0, 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

// True for a path with the extension of a scene document (".json", in any case).
bool isSceneDocumentPath(const std::filesystem::path& path);

// The extensions (lower case, without the dot, sorted) of the files loadForeignScene reads.
std::vector<std::string> foreignReadExtensions();
// True when the extension of path (in any case) is one of foreignReadExtensions().
bool isForeignReadPath(const std::filesystem::path& path);
// The extensions (lower case, without the dot, sorted) the scene writer writes (foreign_write.h).
std::vector<std::string> foreignWriteExtensions();

// A file that could not be loaded. what() is one line: the reader's own reason, without log text.
class ForeignSceneError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ForeignReadOptions {
    // Called with the percentage done (0 to 100) while the file is read and the scene is built.
    std::function<void(int percent)> progress;
    // Empty: embedded textures are named "*N". Otherwise "<stem>_<N>.<ext>", a name the caller
    // writes the texture's bytes under (usually beside its output file).
    std::string embeddedTextureStem;
    // Memory (bytes) the reader may take; 0: 2 GiB plus 64 times the file's size. A file that needs
    // more is refused, so that one declaring absurd counts cannot exhaust the machine.
    uint64_t memoryBudget = 0;
    // Time (seconds) the reader may take; 0: 30 seconds plus one per MiB of the file. A reader that
    // takes longer is stopped and the file refused.
    double timeLimit = 0;
};

// A texture stored inside the file, in its own encoding (PNG, JPEG ...).
struct EmbeddedTexture {
    std::string name;  // the bitmap name the materials use
    std::vector<uint8_t> bytes;
};

struct ForeignReadReport {
    // Lines for the user, each whole in itself (no trailing line break).
    std::vector<std::string> warnings;
    std::size_t nodes = 0;
    std::size_t meshes = 0;         // triangle meshes made (after merging and splitting)
    std::size_t triangles = 0;      // triangles in those meshes
    std::size_t materials = 0;      // standard materials made
    std::size_t skins = 0;
    std::size_t animatedNodes = 0;
    std::size_t lights = 0;         // light nodes (ambient lights only add to the ambient colour)
    std::size_t cameras = 0;
    std::size_t droppedPoints = 0;  // point primitives left out
    std::size_t droppedLines = 0;   // line primitives left out
    std::size_t splitMeshes = 0;    // nodes cut into pieces to stay within the vertex limit
    // Compressed textures found in the file (only when embeddedTextureStem is set).
    std::vector<EmbeddedTexture> embeddedTextures;
    // Compressed textures left under their "*N" names, since no embeddedTextureStem was set.
    std::size_t unnamedEmbeddedTextures = 0;
    // The files the reader opened, as absolute paths: the model and the files it names (buffers,
    // material libraries), and the texture files its materials name that are there (which are not
    // read, but belong to the model as well: no output may replace them).
    std::vector<std::filesystem::path> filesRead;
    // The file names of the textures the materials use, as they name them (not embedded ones).
    std::vector<std::string> textureFiles;
};

// Reads the file and adds what it holds to the host's scene. Throws ForeignSceneError when the file
// cannot be read or holds errors (the scene is then unchanged).
ForeignReadReport loadForeignScene(Host& host, const std::filesystem::path& path, const ForeignReadOptions& options = {});

// A count and its noun for warnings: "1 mesh", "2 meshes".
inline std::string countOf(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace headless
