// `zeq info`, `zeq validate` and `zeq dump` on a file's bytes, through the inspection library the
// command links: loading, the summary, every validation check, and both forms of the dump.
//
// A file that does not load ends in one CommandError. One that loads is summarised, validated and
// dumped without fault, and its raw dump (the documented JSON form) reads back as the same file.
#include "format/json.h"
#include "fuzz/fuzz_support.h"
#include "tools/zeq/command.h"
#include "tools/zeq/inspect_dump.h"
#include "tools/zeq/inspect_info.h"
#include "tools/zeq/inspect_load.h"
#include "tools/zeq/inspect_validate.h"

#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zeq::ByteBuffer bytes = zeq::fuzz::bufferOf(data, size);
    zeq::inspect::LoadedScene scene;
    try {
        scene = zeq::inspect::loadScene("input.zeq", bytes);
    } catch (const zeq::cli::CommandError& e) {
        if (e.subject() != "input.zeq" || std::string(e.what()).empty()) zeq::fuzz::violated("an error without text");
        return 0;
    }

    std::ostringstream out;
    zeq::inspect::printSummary(out, "input.zeq", zeq::inspect::summarizeScene(scene.file, scene.packet));
    const zeq::inspect::ValidationReport report = zeq::inspect::validateScene(scene.file);
    for (const zeq::inspect::Finding& finding : report.findings) out << zeq::inspect::formatFinding(finding) << '\n';
    out << zeq::inspect::formatCounts(report) << '\n';
    zeq::inspect::dumpScene(out, scene.file, zeq::inspect::DumpOptions{false});
    if (!out) zeq::fuzz::violated("writing the summary, findings or dump failed");

    std::ostringstream raw;
    zeq::inspect::dumpScene(raw, scene.file, zeq::inspect::DumpOptions{true});
    zeq::SceneFile back;
    try {
        back = zeq::sceneFileFromJson(nlohmann::json::parse(raw.str()));
    } catch (const std::exception& e) {
        zeq::fuzz::violated(std::string("the raw dump does not read back: ") + e.what());
    }
    // Compared through the JSON form, in which NaN equals itself.
    if (zeq::sceneFileToJson(back) != zeq::sceneFileToJson(scene.file)) zeq::fuzz::violated("the raw dump reads back as another file");
    return 0;
}
