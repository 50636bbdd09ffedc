#pragma once
// Saving the headless scene in the format an output path names: a scene document for ".json", a
// foreign scene file (glTF, Collada, OBJ ...) for the extensions the writer knows. Every file goes
// through the one atomic write routine, so a failure leaves nothing at the target.
#include <string>

namespace headless {
class Host;
}

namespace zeq {
class OutputSet;
}

namespace zeq::cli {

// True when saveScene can write path's format.
bool isWritableScenePath(const std::string& path);
// "json, gltf, glb, ..." for messages.
std::string writableSceneExtensions();
// The usage error for an output path of no writable format: prints
// "zeq: OUT: cannot write ".ext" files (writable: json, gltf, ...)" and returns exit status 2.
int refuseOutputFormat(const std::string& path);
// The same for an input path of no readable format: "zeq: IN: cannot read ".ext" files (readable:
// json, 3d, ...)", with a hint for Zeq files, which import reads; returns exit status 2.
int refuseInputFormat(const std::string& path);
// For verbs that write Zeq files (export, pack): when path names a format saveScene writes (".json",
// ".glb", ...), under which a Zeq file would be taken for that format, prints "zeq: OUT: VERB writes
// Zeq files; ..." and returns exit status 2; else returns 0.
int refuseSceneFormatOutput(const std::string& path, const char* verb);

// Writes the host's scene to path. Throws CommandError naming the file on failure, when it replaced
// no file; a companion file that would be `input` (the file the scene was read from, "-" for
// standard input) is refused before anything is written. Files already added to `companions` (the
// textures of a converted model) are put in place with the scene's own, or not at all.
void saveScene(headless::Host& host, const std::string& path, const std::string& input,
               zeq::OutputSet* companions = nullptr);

}  // namespace zeq::cli
