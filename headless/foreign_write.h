#pragma once
// Writing the headless scene as a foreign scene file (glTF 2.0, Collada, OBJ ...) through Assimp.
//
//     headless::renderForeignScene(host, "out.glb");   // the format follows the extension
//
// The scene is mapped the way the host's own exporters would write it: every node under the root
// with its name and local transform, each mesh object as one mesh per material it uses (face
// material ids pick the sub-material of a multi-material), explicit or smoothing-group normals,
// map channels 1..n as texture coordinate sets 0..n-1 and channel 0 as vertex colours, standard
// materials with their colours and bitmap file names, skins with their bones, bind matrices and
// weights, keyed node transforms as one animation, lights and cameras. What each format keeps of
// that is the exporter's business; docs/interchange.md lists it.
//
// The files are rendered in memory and handed back; the caller writes each one beside its target
// under a temporary name and renames it over the target (the zeq command's one output routine), so a
// failed conversion never leaves a partial file. Formats with companion files (the buffer of a
// .gltf, the material library of an .obj) list them before the main file.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace headless {

class Host;

// The scene could not be written. what() is the reason, without the file name.
class ForeignWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A format the scene can be written in.
struct ForeignWriteFormat {
    std::string extension;    // lower case, without the dot: "glb"
    std::string description;  // "glTF 2.0, binary"
};

// Every writable format, in the order `zeq` lists them.
const std::vector<ForeignWriteFormat>& foreignWriteFormats();
// "gltf, glb, obj, dae, ..." for messages.
std::string foreignWriteExtensionList();
// True when the path's extension (case ignored) names a writable format.
bool isForeignWritePath(const std::string& path);

// One file of a written scene: where it goes and what it holds.
struct ForeignFile {
    std::string path;
    std::vector<uint8_t> bytes;
};

// The host's scene in the format path's extension names: the companion files first (their paths
// beside path, as the main file refers to them), then the main file at path. Throws
// ForeignWriteError for an extension that names no writable format or a scene the format cannot take.
// With leftOut, it receives a line for each kind of content the format does not hold ("2 lights
// left out: the glb writer writes no lights").
std::vector<ForeignFile> renderForeignScene(Host& host, const std::string& path, std::vector<std::string>* leftOut = nullptr);

}  // namespace headless
