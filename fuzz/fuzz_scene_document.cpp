// The scene-document loader on arbitrary text, as `zeq export SCENE` and `zeq scene check` read it.
//
// A document that is not JSON or fails the checks ends in one SceneDocumentError and leaves the
// scene as it was (no other exception may escape). A document that loads must save to one that
// loads again into the same scene: saving that second scene gives the same document.
#include "fuzz/fuzz_support.h"
#include "headless/host.h"
#include "headless/scene_document.h"

#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The text as the loader reads a file: invalid JSON is one SceneDocumentError too.
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string saved;
    {
        headless::Host host;
        const size_t before = host.scene().ownedCount();
        try {
            headless::loadSceneDocumentText(host, text);
        } catch (const headless::SceneDocumentError&) {
            if (host.scene().ownedCount() != before) zeq::fuzz::violated("a rejected document changed the scene");
            return 0;
        }
        saved = headless::saveSceneDocumentText(host);
    }
    headless::Host again;
    try {
        headless::loadSceneDocumentText(again, saved);
    } catch (const headless::SceneDocumentError& e) {
        zeq::fuzz::violated(std::string("a saved document does not load: ") + e.what());
    }
    if (headless::saveSceneDocumentText(again) != saved) zeq::fuzz::violated("a saved document loads into another scene");
    return 0;
}
