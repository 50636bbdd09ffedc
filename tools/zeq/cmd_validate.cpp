// `zeq validate FILE.zeq`: checks the references, ids and buffer sizes a loader relies on. One
// finding per line, then the counts; exit status 1 when there is an error.
#include "tools/zeq/command.h"
#include "tools/zeq/inspect_load.h"
#include "tools/zeq/output.h"
#include "tools/zeq/inspect_validate.h"

#include <iostream>
#include <memory>
#include <string>

namespace {

ZEQ_COMMAND(60, [](CLI::App& app) {
    auto file = std::make_shared<std::string>();
    CLI::App* sub = app.add_subcommand(
        "validate",
        "Check a Zeq file: references resolve, ids are unique, vertex and index data match their counts, surfaces "
        "and skins are consistent. Prints one finding per line (\"error: ...\" or \"warning: ...\") and a count "
        "line; exit status 1 when there are errors");
    sub->add_option("FILE", *file, "The Zeq file to read (-: standard input)")->required();
    return [file] {
        const zeq::inspect::LoadedScene scene = zeq::inspect::loadScene(*file, zeq::inspect::Leftovers::Report);
        zeq::inspect::ValidationReport report = zeq::inspect::validateScene(scene.file);
        if (!scene.leftover.empty()) {
            std::cout << zeq::inspect::leftoverWarning(scene) << '\n';
            ++report.warnings;
        }
        for (const zeq::inspect::Finding& finding : report.findings) {
            std::cout << zeq::inspect::formatFinding(finding) << '\n';
        }
        std::cout << zeq::cli::inputName(*file) << ": " << zeq::inspect::formatCounts(report) << '\n';
        zeq::cli::flushStandardOutput();
        return report.errors > 0 ? 1 : 0;
    };
});

}  // namespace
