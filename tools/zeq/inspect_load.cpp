// Loading a scene file for inspection, with one clear message per failure.
#include "tools/zeq/inspect_load.h"

#include "format/file_io.h"
#include "format/register.h"
#include "tools/zeq/command.h"

#include <new>
#include <string>

namespace zeq::inspect {

LoadedScene loadScene(const std::string& name, ByteBuffer& bytes, Leftovers leftovers) {
    LoadedScene scene;
    try {
        AfterRootProblem leftover;
        scene.file = decodeSceneFile(formatProtocol(), bytes, &scene.packet, leftover);
        scene.leftover = leftover.text;
        scene.leftoverFault = leftover.fault;
    } catch (const FormatError& e) {
        throw cli::CommandError(name, e.what());
    } catch (const std::bad_alloc&) {
        throw cli::CommandError(name, "out of memory while decoding");
    }
    if (leftovers == Leftovers::Refuse && !scene.leftover.empty()) throw cli::CommandError(name, scene.leftover);
    return scene;
}

LoadedScene loadScene(const std::string& path, Leftovers leftovers) {
    ByteBuffer bytes;
    try {
        bytes = readFileBytes(path);
    } catch (const FileError& e) {
        throw cli::CommandError(e.path, e.reason);
    }
    return loadScene(path == "-" ? "standard input" : path, bytes, leftovers);
}

std::string leftoverProblem(const LoadedScene& scene) {
    if (scene.leftover.empty()) return {};
    if (scene.leftoverFault == AfterRootFault::DamagedExtensions) {
        return scene.leftover + " (the layers, cameras and LOD groups after the scene root are lost; it still "
                                "imports: the importer reads what comes before the fault)";
    }
    return scene.leftover + " (it still imports: the importer reads what comes before the fault)";
}

std::string leftoverWarning(const LoadedScene& scene) {
    if (scene.leftover.empty()) return {};
    return "warning: file: " + leftoverProblem(scene);
}

}  // namespace zeq::inspect
