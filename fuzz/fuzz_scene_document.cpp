// The scene-document loader on arbitrary text, as `zeq export SCENE` and `zeq scene check` read it.
//
// A document that is not JSON or fails the checks ends in one SceneDocumentError and leaves the
// scene as it was (no other exception may escape). A document that loads must save to one that
// loads again into the same scene: saving that second scene gives the same document.
#include "fuzz/fuzz_support.h"
#include "headless/host.h"
#include "headless/scene_document.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const nlohmann::json document =
        nlohmann::json::parse(data, data + size, /*callback=*/nullptr, /*allow_exceptions=*/false);
    if (document.is_discarded()) return 0;

    nlohmann::json saved;
    {
        headless::Host host;
        const size_t before = host.scene().ownedCount();
        try {
            headless::loadSceneDocument(host, document);
        } catch (const headless::SceneDocumentError&) {
            if (host.scene().ownedCount() != before) zeq::fuzz::violated("a rejected document changed the scene");
            return 0;
        }
        saved = headless::saveSceneDocument(host);
    }
    headless::Host again;
    try {
        headless::loadSceneDocument(again, saved);
    } catch (const headless::SceneDocumentError& e) {
        zeq::fuzz::violated(std::string("a saved document does not load: ") + e.what());
    }
    if (headless::saveSceneDocument(again) != saved) zeq::fuzz::violated("a saved document loads into another scene");
    return 0;
}
