// `zeq scene convert SCENE.json -o OUT` on any text: the scene-document loader fills a headless
// scene, which every writable foreign format then renders (in memory, as the command writes it).
//
// A document that loads is either rendered (the main file last, at the path asked for, and not
// empty) or refused by a format with one ForeignWriteError; nothing else may escape. Documents
// reach the writers with what imports never make: cube and other maps, multi and other materials,
// stacks, generic objects, lights and cameras of every kind.
#include "fuzz/fuzz_support.h"
#include "headless/foreign_write.h"
#include "headless/host.h"
#include "headless/scene_document.h"

#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    headless::Host host;
    try {
        headless::loadSceneDocumentText(host, std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const headless::SceneDocumentError&) {
        return 0;
    }
    for (const headless::ForeignWriteFormat& format : headless::foreignWriteFormats()) {
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
