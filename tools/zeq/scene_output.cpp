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
#include <memory>
#include <system_error>

namespace zeq::cli {

namespace {

// "-" is standard output, which takes a scene document.
bool isDocumentPath(const std::string& path) {
    return path == "-" || headless::isSceneDocumentPath(path);
}

// Renders the scene in the format of path's extension and writes its files; returns the notes on
// what the format left out.
std::vector<std::string> writeForeignScene(headless::Host& host, const std::string& path) {
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
    // Companions first, the main file last; a companion that did not exist before is removed again
    // when a later file fails, so that a failed write leaves the folder as it was.
    // The same holds when the command is ended by a signal before the main file is in place.
    std::vector<std::string> created;
    std::vector<std::unique_ptr<RemovedOnInterrupt>> guards;
    try {
        for (const headless::ForeignFile& file : files) {
            std::error_code ec;
            const bool existed = std::filesystem::exists(file.path, ec);
            if (!existed) guards.push_back(std::make_unique<RemovedOnInterrupt>(file.path));
            writeOutputFile(file.path, file.bytes.data(), file.bytes.size());
            if (!existed) created.push_back(file.path);
        }
    } catch (const OutputError& e) {
        for (const std::string& written : created) {
            std::error_code ignored;
            std::filesystem::remove(written, ignored);
        }
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

int refuseOutputFormat(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    const std::string what = extension.empty() ? "files without an extension" : "\"" + extension + "\" files";
    std::fprintf(stderr, "zeq: %s: cannot write %s (writable: %s)\n", path.c_str(), what.c_str(),
                 writableSceneExtensions().c_str());
    return 2;
}

void saveScene(headless::Host& host, const std::string& path) {
    if (isDocumentPath(path)) {
        try {
            headless::saveSceneDocumentFile(host, path);
        } catch (const OutputError& e) {
            throw CommandError(e.path, e.reason);
        } catch (const std::exception& e) {
            throw CommandError(path, e.what());
        }
        return;
    }

    for (const std::string& note : writeForeignScene(host, path)) warnings() << "zeq: " << path << ": " << note << '\n';
}

}  // namespace zeq::cli
