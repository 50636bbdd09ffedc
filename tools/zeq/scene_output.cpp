// Saving the headless scene as a scene document or a foreign scene file (see scene_output.h).
#include "tools/zeq/scene_output.h"

#include "host/output_file.h"
#include "headless/foreign_scene.h"
#include "headless/foreign_write.h"
#include "headless/host.h"
#include "headless/scene_document.h"
#include "tools/zeq/command.h"
#include "tools/zeq/output.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace zeq::cli {

namespace {

// "-" is standard output, which takes a scene document.
bool isDocumentPath(const std::string& path) {
    return path == "-" || headless::isSceneDocumentPath(path);
}

// Renders the scene in the format of path's extension and writes its files; returns the notes on
// what the format left out.
std::vector<std::string> writeForeignScene(headless::Host& host, const std::string& path, const std::string& input,
                                           OutputSet& set) {
    // Assimp's writers report no progress, and some take long for scenes of many meshes: the bar
    // names the step until the files are written.
    struct Progress {
        headless::Host& host;
        ~Progress() { host.ProgressEnd(); }
    } progress{host};
    host.ProgressStart(("Writing " + std::filesystem::path(path).filename().string()).c_str(), true, nullptr, nullptr);
    std::vector<headless::ForeignFile> files;
    std::vector<std::string> leftOut;
    try {
        files = headless::renderForeignScene(host, path, &leftOut);
    } catch (const headless::ForeignWriteError& e) {
        throw CommandError(path, e.what());
    }
    // No file of the set may be the input: a companion named like it (the buffer of "t.gltf" when
    // the input is "t.bin") would replace the input as surely as the main file would.
    for (const headless::ForeignFile& file : files) refuseInputAsOutput(input, file.path);
    // Every file goes to its temporary first and only then are they renamed into place, companions
    // first and the main file last: a failure (also one of the main file) replaces none of them.
    try {
        for (const headless::ForeignFile& file : files) set.add(file.path, file.bytes.data(), file.bytes.size());
        set.commit();
    } catch (const OutputError& e) {
        throw CommandError(e.path, e.reason);
    }
    host.ProgressUpdate(100);
    return leftOut;
}

}  // namespace

bool isWritableScenePath(const std::string& path) {
    return isDocumentPath(path) || headless::isForeignWritePath(path);
}

std::string writableSceneExtensions() { return "json, " + headless::foreignWriteExtensionList(); }

namespace {
// "\".ext\" files", or "files without an extension".
std::string filesOfExtension(const std::string& path) {
    const std::string extension = std::filesystem::path(path).extension().string();
    return extension.empty() ? "files without an extension" : "\"" + extension + "\" files";
}
}  // namespace

int refuseOutputFormat(const std::string& path) {
    std::fprintf(stderr, "zeq: %s: cannot write %s (writable: %s)\n", path.c_str(), filesOfExtension(path).c_str(),
                 writableSceneExtensions().c_str());
    return 2;
}

int refuseSceneFormatOutput(const std::string& path, const char* verb) {
    if (path == "-" || !isWritableScenePath(path)) return 0;
    std::fprintf(stderr, "zeq: %s: %s writes Zeq files; %s are written by 'zeq import' and 'zeq scene convert'\n",
                 path.c_str(), verb, filesOfExtension(path).c_str());
    return 2;
}

int refuseInputFormat(const std::string& path) {
    std::string readable = "json";
    for (const std::string& extension : headless::foreignReadExtensions()) readable += ", " + extension;
    std::fprintf(stderr, "zeq: %s: cannot read %s (readable: %s)%s\n", path.c_str(), filesOfExtension(path).c_str(),
                 readable.c_str(), zeqFileHint(path).c_str());
    return 2;
}

void saveScene(headless::Host& host, const std::string& path, const std::string& input, OutputSet* companions) {
    OutputSet own;
    OutputSet& set = companions ? *companions : own;
    if (isDocumentPath(path)) {
        try {
            // Alone, the document streams straight to its file (or standard output).
            headless::saveSceneDocumentFile(host, path, companions);
            if (companions) companions->commit();
        } catch (const OutputError& e) {
            throw CommandError(e.path, e.reason);
        } catch (const std::exception& e) {
            throw CommandError(path, e.what());
        }
        return;
    }

    for (const std::string& note : writeForeignScene(host, path, input, set)) warnings() << "zeq: " << path << ": " << note << '\n';
}

}  // namespace zeq::cli
