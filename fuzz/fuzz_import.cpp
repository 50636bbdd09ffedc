// The SceneLoader import of a file's bytes into a fresh headless scene, as `zeq import` runs it:
// the importer class reads the file, decodes it and builds nodes, meshes, materials and lights,
// and the scene is then saved as a scene document.
//
// Whatever the bytes, the import succeeds or fails with exactly one "Error" box, the progress
// display ends, a failed import leaves the scene empty, and the document saved from an imported
// scene passes the document checks (what `zeq import -o` writes, `zeq scene check` must accept).
#include "fuzz/fuzz_support.h"
#include "headless/host.h"
#include "headless/scene_document.h"
#include "import/zeq_import.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static zeq::fuzz::ScratchFile scratch(".zeq");
    const std::string& path = scratch.write(data, size);

    headless::Host host;
    host.ui().setProgressStream(nullptr);
    const size_t before = host.scene().ownedCount();
    const int result = host.importFile(zeq::GetZeqImportClassDesc(), path);
    if (host.ui().progressActive()) zeq::fuzz::violated("the progress display is still open");
    const auto& boxes = host.ui().messageBoxes();
    if (result == IMPEXP_FAIL) {
        if (boxes.size() != 1 || boxes[0].caption != "Error") zeq::fuzz::violated("a failure without one Error box");
        if (host.scene().ownedCount() != before) zeq::fuzz::violated("a failed import changed the scene");
        return 0;
    }
    if (result != IMPEXP_SUCCESS) zeq::fuzz::violated("import result " + std::to_string(result));
    for (const auto& box : boxes) {
        if (box.caption == "Error") zeq::fuzz::violated("a successful import showed an Error box: " + box.text);
    }
    try {
        headless::checkSceneDocumentText(headless::saveSceneDocumentText(host));
    } catch (const headless::SceneDocumentError& e) {
        zeq::fuzz::violated(std::string("the imported scene saves a document that does not check: ") + e.what());
    }
    return 0;
}
