// `zeq scene convert SCENE.json -o OUT` on any text: the scene-document loader fills a headless
// scene, which every writable foreign format then renders (in memory, as the command writes it).
//
// A document that loads is either rendered (the main file last, at the path asked for, and not
// empty) or refused by a format with one ForeignWriteError; nothing else may escape. Documents
// reach the writers with what imports never make: cube and other maps, multi and other materials,
// stacks, generic objects, lights and cameras of every kind.
#include "fuzz/render_formats.h"
#include "headless/host.h"
#include "headless/scene_document.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    headless::Host host;
    try {
        headless::loadSceneDocumentText(host, std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const headless::SceneDocumentError&) {
        return 0;
    }
    zeq::fuzz::renderEveryFormat(host);
    return 0;
}
