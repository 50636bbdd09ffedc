// Writing foreign files from whatever a Zeq file imports as, as `zeq import FILE.zeq -o OUT.glb`
// runs it: the SceneLoader import builds the scene, then every writable format renders it.
//
// Whatever the bytes, each format either renders files (the main file last, at the path asked
// for, and not empty) or refuses the scene with one ForeignWriteError; nothing else may escape.
#include "fuzz/fuzz_support.h"
#include "headless/foreign_write.h"
#include "headless/host.h"
#include "import/zeq_import.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static zeq::fuzz::ScratchFile scratch(".zeq");
    headless::Host host;
    host.ui().setProgressStream(nullptr);
    if (host.importFile(zeq::GetZeqImportClassDesc(), scratch.write(data, size)) != IMPEXP_SUCCESS) return 0;
    for (const headless::ForeignWriteFormat& format : headless::foreignWriteFormats()) {
        // Nothing is written to disk: the files come back in memory.
        const std::string path = "/nonexistent/out." + format.extension;
        try {
            const std::vector<headless::ForeignFile> files = headless::renderForeignScene(host, path);
            if (files.empty() || files.back().path != path || files.back().bytes.empty())
                zeq::fuzz::violated(format.extension + ": the main file is missing or empty");
        } catch (const headless::ForeignWriteError&) {
        }
    }
    return 0;
}
