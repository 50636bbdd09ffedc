// `zeq pack` on arbitrary text: a raw dump, edited by hand or by a script, read back into records
// and encoded into a scene file.
//
// Text that is not JSON, or that does not describe records, ends in one std::invalid_argument with
// a message (no other exception may escape). Records that encode must decode from the written
// bytes to the same records, so that a packed file is what its dump says; the encoder may refuse
// what the format cannot hold (over-long texts and arrays), as the command reports.
#include "format/json.h"
#include "format/scene_file.h"
#include "fuzz/fuzz_support.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const zeq::Json document = zeq::Json::parse(data, data + size, nullptr, false);
    if (document.is_discarded()) return 0;
    zeq::SceneFile file;
    try {
        file = zeq::sceneFileFromJson(document);
    } catch (const std::invalid_argument& e) {
        if (std::string(e.what()).empty()) zeq::fuzz::violated("a refusal without text");
        return 0;
    }
    zeq::ByteBuffer bytes;
    try {
        bytes = zeq::encodeSceneFile(file);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (...) {
        return 0;
    }
    zeq::SceneFile back;
    try {
        back = zeq::decodeSceneFile(bytes);
    } catch (const std::exception& e) {
        // Only a file of another major version may fail to read back; the command refuses to
        // write one.
        if (file.majorVersion == zeq::kMajorVersion) zeq::fuzz::violated(std::string("a packed file does not decode: ") + e.what());
        return 0;
    }
    // Compared through the JSON form, in which NaN equals itself.
    if (zeq::sceneFileToJson(back) != zeq::sceneFileToJson(file)) zeq::fuzz::violated("a packed file decodes to other records");
    return 0;
}
