// The foreign-file loader on bytes: a model in one of the formats other tools write, read through
// Assimp into a fresh headless scene. The loader takes a path, so the bytes go to a scratch file
// whose extension, picked by the first input byte, tells the reader which format to expect.
//
// The reader runs in a child process (as it does for every load), so a fault of Assimp's on a
// damaged file is a refused file here, not a finding; the findings are in the loader's own code,
// which runs in this process: the handing over of the scene and the building of the host scene.
// A file that cannot be loaded ends in one ForeignSceneError and leaves the scene empty; a file that
// loads gives a scene whose saved document passes the document checks.
#include "fuzz/fuzz_support.h"
#include "headless/foreign_scene.h"
#include "headless/host.h"
#include "headless/scene_document.h"

#include <array>
#include <memory>
#include <string>

// A reader's allocation beyond its memory bound fails as an allocation, which the reader reports,
// instead of ending the process with the sanitizer's out-of-memory report.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

namespace {

constexpr std::array<const char*, 8> kExtensions = {".obj", ".ply", ".stl", ".gltf", ".glb", ".dae", ".fbx", ".off"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static std::array<std::unique_ptr<zeq::fuzz::ScratchFile>, kExtensions.size()> scratch;
    const size_t kind = data[0] % kExtensions.size();
    if (!scratch[kind]) scratch[kind] = std::make_unique<zeq::fuzz::ScratchFile>(kExtensions[kind]);
    const std::string& path = scratch[kind]->write(data + 1, size - 1);

    // Bounds well inside the fuzzer's own (2 GiB of memory, 20 seconds per input), so that a reader
    // that runs away is stopped by the loader. The inputs are small and read in milliseconds; the
    // readers' endless loops on some damaged headers are common among mutated inputs, and each of
    // those costs the whole time limit, so it is kept short.
    headless::ForeignReadOptions options;
    options.memoryBudget = uint64_t(512) << 20;
    options.timeLimit = 0.25;
    headless::Host host;
    const size_t before = host.scene().ownedCount();
    try {
        headless::loadForeignScene(host, path, options);
    } catch (const headless::ForeignSceneError& e) {
        if (std::string(e.what()).empty()) zeq::fuzz::violated("a load error without text");
        if (host.scene().ownedCount() != before) zeq::fuzz::violated("a failed load changed the scene");
        return 0;
    }
    try {
        headless::checkSceneDocumentText(headless::saveSceneDocumentText(host));
    } catch (const headless::SceneDocumentError& e) {
        zeq::fuzz::violated(std::string("a loaded model saves a document that does not check: ") + e.what());
    }
    return 0;
}
