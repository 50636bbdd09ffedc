// Writing foreign files from whatever a Zeq file imports as, as `zeq import FILE.zeq -o OUT.glb`
// runs it: the SceneLoader import builds the scene, then every writable format renders it.
//
// Whatever the bytes, each format either renders files (the main file last, at the path asked
// for, and not empty) or refuses the scene with one ForeignWriteError; nothing else may escape.
#include "fuzz/render_formats.h"
#include "headless/host.h"
#include "import/zeq_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static zeq::fuzz::ScratchFile scratch(".zeq");
    headless::Host host;
    host.ui().setProgressStream(nullptr);
    if (host.importFile(zeq::GetZeqImportClassDesc(), scratch.write(data, size)) != IMPEXP_SUCCESS) return 0;
    zeq::fuzz::renderEveryFormat(host);
    return 0;
}
