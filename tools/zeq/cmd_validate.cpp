// `zeq validate FILE.zeq [--json]`: checks the references, ids and buffer sizes a loader relies on.
// One finding per line, then the counts (or one JSON object); exit status 1 when there is an error.
#include "tools/zeq/command.h"
#include "tools/zeq/inspect_json.h"
#include "tools/zeq/inspect_load.h"
#include "tools/zeq/output.h"
#include "tools/zeq/inspect_validate.h"

#include <iostream>
#include <memory>
#include <string>

namespace {

struct ValidateArguments {
    std::string file;
    bool json = false;
};

ZEQ_COMMAND(60, [](CLI::App& app) {
    auto arguments = std::make_shared<ValidateArguments>();
    CLI::App* sub = app.add_subcommand(
        "validate",
        "Check a Zeq file: references resolve, ids are unique, vertex and index data match their counts, surfaces "
        "and skins are consistent. Prints one finding per line (\"error: ...\" or \"warning: ...\") and a count "
        "line; exit status 1 when there are errors");
    sub->add_option("FILE", arguments->file, "The Zeq file to read (-: standard input)")->required()->type_name("FILE.zeq");
    sub->add_flag("--json", arguments->json,
                  "Print the counts and findings (record, field, message) as one JSON object (see docs/zeq.md)");
    return [arguments] {
        const std::string& file = arguments->file;
        const zeq::inspect::LoadedScene scene = zeq::inspect::loadScene(file, zeq::inspect::Leftovers::Report);
        zeq::inspect::ValidationReport report = zeq::inspect::validateScene(scene.file);
        // A fault after the root, worded as `zeq info` words it. Damaged extension roots are an error
        // (the engine reads all three roots; their layers and LOD groups are lost), though the file
        // still imports; bytes or presence bits left over after whole roots are a warning.
        if (!scene.leftover.empty()) {
            const bool damaged = scene.leftoverFault == zeq::AfterRootFault::DamagedExtensions;
            report.findings.insert(report.findings.begin(),
                                   {damaged ? zeq::inspect::Severity::Error : zeq::inspect::Severity::Warning, "file",
                                    "", zeq::inspect::leftoverProblem(scene)});
            ++(damaged ? report.errors : report.warnings);
        }
        if (arguments->json) {
            zeq::inspect::writeJson(std::cout, zeq::inspect::reportToJson(zeq::cli::inputName(file), report));
        } else {
            for (const zeq::inspect::Finding& finding : report.findings) {
                std::cout << zeq::inspect::formatFinding(finding) << '\n';
            }
            std::cout << zeq::cli::inputName(file) << ": " << zeq::inspect::formatCounts(report) << '\n';
        }
        zeq::cli::flushStandardOutput();
        return report.errors > 0 ? 1 : 0;
    };
});

}  // namespace
