// `zeq diff A.zeq B.zeq` on any two files. The input is one byte whose lowest bit picks the
// tolerance (0 or 1e-4), two bytes (big-endian) giving the length of A, then A and B.
//
// Each file that loads equals itself. Two files that load compare without fault: every difference
// formats as a line and the report as JSON; equality and the number of paired records do not depend
// on which file comes first.
#include "fuzz/fuzz_support.h"
#include "tools/zeq/command.h"
#include "tools/zeq/inspect_diff.h"
#include "tools/zeq/inspect_json.h"
#include "tools/zeq/inspect_load.h"

#include <optional>
#include <sstream>
#include <string>

namespace {

std::optional<zeq::SceneFile> load(const uint8_t* data, size_t size) {
    zeq::ByteBuffer bytes = zeq::fuzz::bufferOf(data, size);
    try {
        return zeq::inspect::loadScene("file.zeq", bytes).file;
    } catch (const zeq::cli::CommandError&) {
        return std::nullopt;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    zeq::inspect::DiffOptions options;
    options.tolerance = (data[0] & 1) ? 1e-4 : 0;
    const size_t lengthA = std::min<size_t>((size_t(data[1]) << 8) | data[2], size - 3);
    const std::optional<zeq::SceneFile> a = load(data + 3, lengthA);
    const std::optional<zeq::SceneFile> b = load(data + 3 + lengthA, size - 3 - lengthA);
    for (const auto* file : {&a, &b})
        if (*file && !zeq::inspect::diffScenes(**file, **file, options).equal()) zeq::fuzz::violated("a file differs from itself");
    if (!a || !b) return 0;

    const zeq::inspect::DiffReport forward = zeq::inspect::diffScenes(*a, *b, options);
    const zeq::inspect::DiffReport backward = zeq::inspect::diffScenes(*b, *a, options);
    if (forward.equal() != backward.equal()) zeq::fuzz::violated("A equals B but B does not equal A");
    if (forward.matched != backward.matched) zeq::fuzz::violated("the records paired depend on the order of the files");
    std::ostringstream out;
    for (const zeq::inspect::Difference& difference : forward.differences)
        out << zeq::inspect::formatDifference(difference, "a.zeq", "b.zeq") << '\n';
    out << zeq::inspect::formatDiffSummary(forward, "a.zeq", "b.zeq") << '\n';
    zeq::inspect::writeJson(out, zeq::inspect::diffToJson(forward, "a.zeq", "b.zeq"));
    return 0;
}
