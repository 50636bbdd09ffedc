// The import pipeline from file name to built scene.
#include "import/import_pipeline.h"

#include "codec/protocol.h"
#include "format/file_io.h"
#include "format/register.h"
#include "format/scene_file.h"
#include "host/ui.h"
#include "import/scene_builder.h"
#include "import/scene_run.h"

#include <new>

namespace zeq {
namespace {

// The progress display's work function: the import runs outside it and never asks to cancel.
uint32_t noProgressWork(void*) { return 0; }

// The file-level texts come from the format library, which words each fault once for every reader
// of scene files; the box shows them as a sentence.
std::string sentence(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
    if (text.empty() || text.back() != '.') text += '.';
    return text;
}

void showError(const std::string& text) { MessageBox(GetActiveWindow(), text.c_str(), "Error", MB_OK | MB_ICONERROR); }

}  // namespace

ByteBuffer readSceneFile(const char* path) {
    if (!path || !*path) throw ImportError("No file name was given.");
    try {
        return readFileBytes(path);
    } catch (const FileError& e) {
        throw ImportError(sentence(e.reason));
    } catch (const std::bad_alloc&) {
        throw ImportError("Not enough memory to read the file.");
    }
}

DecodedScene decodeScene(ByteBuffer& bytes, const std::function<void()>& unpacked) {
    try {
        AfterRootProblem problem;
        SceneFile file = decodeSceneFile(formatProtocol(), bytes, nullptr, problem, unpacked);
        DecodedScene scene{file.majorVersion, file.minorVersion, std::move(file.root), std::move(file.extra1),
                           std::move(file.extra2), {}};
        // Leftovers after the roots do not concern the importer (it reads leniently; `zeq validate`
        // warns of them). Damage to the extension roots empties them: the scene still comes, and the
        // loss is noted.
        if (problem.fault == AfterRootFault::DamagedExtensions)
            scene.extrasProblem = "the layers and LOD groups after the scene cannot be read (" + problem.text + "); skipped";
        return scene;
    } catch (const FormatError& e) {
        throw ImportError(sentence(e.what()));
    } catch (const std::bad_alloc&) {
        throw ImportError("Not enough memory to read the file.");
    } catch (const std::exception&) {
        // Every fault of the file's bytes is a FormatError; anything else is the importer's own
        // failure, whose internal wording would tell the user nothing about the file.
        throw ImportError("The file could not be read: the importer failed while decoding it, through no fault "
                          "found in the file.");
    }
}

int runImport(const char* fileName, ImpInterface* ii, Interface* ip, bool suppressPrompts) {
    if (!ip) ip = GetCOREInterface();
    if (ip) ip->ProgressStart(kImportProgressTitle, true, &noProgressWork, nullptr);
    auto progress = [ip](int percent) {
        if (ip) ip->ProgressUpdate(percent, true, nullptr);
    };
    auto fail = [ip, suppressPrompts](const std::string& text) {
        if (!suppressPrompts) showError(text);
        if (ip) ip->ProgressEnd();
        return IMPEXP_FAIL;
    };

    DecodedScene scene;
    try {
        ByteBuffer bytes = readSceneFile(fileName);
        progress(25);
        scene = decodeScene(bytes, [&] { progress(50); });
        progress(75);
    } catch (const ImportError& e) {
        return fail(e.what());
    }
    if (!ii) return fail("The host gave the importer no import interface.");

    SceneBuilder builder(ii, scene.minorVersion);
    if (!scene.extrasProblem.empty()) builder.note(scene.extrasProblem);
    try {
        const AnimateScope still(false);
        builder.run(scene.root, scene.extra1, scene.extra2);
    } catch (const std::bad_alloc&) {
        return fail("Not enough memory to build " + builder.failedAt() + ".");
    } catch (const std::exception&) {
        // The records were checked before the build, so a failure here is the importer's or the
        // host's; the box says where the import stopped rather than repeating internal wording.
        return fail("The import stopped while building " + builder.failedAt() +
                    ": the host or the importer failed, through no fault found in the file.");
    }
    if (ip) ip->ProgressEnd();
    if (!builder.report().empty() && !suppressPrompts) {
        MessageBox(GetActiveWindow(), builder.report().message().c_str(), "Warning", MB_OK | MB_ICONWARNING);
    }
    return IMPEXP_SUCCESS;
}

}  // namespace zeq
