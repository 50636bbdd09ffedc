#pragma once
// Scene documents: a headless scene written as JSON (docs/scene-format.md describes the format).
//
//     headless::Host host;
//     headless::loadSceneDocumentFile(host, "scene.json");   // builds the scene
//     ...                                                     // export, edit, import ...
//     headless::saveSceneDocumentFile(host, "out.json");     // writes what the scene holds
//
// Loading checks the whole document before it touches the scene: a bad document throws
// SceneDocumentError naming the JSON path and the problem, and leaves the scene as it was. A loaded
// document adds its layers, maps, materials, objects and nodes to the host's scene and sets the
// scene settings it names (frame rate, animation range, ambient colour, render size, time).
//
// Saving writes every node under the scene root and everything they use. Saving a loaded document
// and loading the result again gives the same scene.
#include <nlohmann/json.hpp>

#include <stdexcept>
#include <string>
#include <string_view>

namespace zeq {
class OutputSet;
}

namespace headless {

class Host;

// A bad document. what() is "<JSON path>: <problem>", for example
// nodes[3].object: no object "Box02"
class SceneDocumentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The document as JSON text; invalid JSON is a SceneDocumentError ("invalid JSON: parse error at
// line 1, column 12: ...").
void loadSceneDocumentText(Host& host, std::string_view text);
void loadSceneDocument(Host& host, const nlohmann::json& document);
// Reads ("-": standard input) and parses the file first; an unreadable file ("cannot open: ...",
// "is a directory, not a file") or invalid JSON is a SceneDocumentError too.
void loadSceneDocumentFile(Host& host, const std::string& path);

// The document as JSON text: indented for people, with small number arrays (a vertex, a face, a
// matrix) on one line each.
std::string saveSceneDocumentText(Host& host);
nlohmann::json saveSceneDocument(Host& host);
// Streams the document to the file through zeq::writeOutputFile: a failed save never leaves a
// partial file; "-" is standard output. Throws zeq::OutputError when the file cannot be written.
// With a set, the document is added to it instead, to be put in place with the set's other files.
void saveSceneDocumentFile(Host& host, const std::string& path, zeq::OutputSet* set = nullptr);

// How many entries of each table saving the scene writes.
struct SceneDocumentCounts {
    size_t nodes = 0, objects = 0, materials = 0, maps = 0, layers = 0;
};
SceneDocumentCounts countSceneDocument(Host& host);

// Checks a document without building it (what loading checks first).
void checkSceneDocument(const nlohmann::json& document);
void checkSceneDocumentText(std::string_view text);

}  // namespace headless
