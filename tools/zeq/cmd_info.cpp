// `zeq info FILE.zeq`: version, sizes, record counts and geometry totals of a scene file.
#include "tools/zeq/command.h"
#include "tools/zeq/inspect_info.h"
#include "tools/zeq/inspect_load.h"
#include "tools/zeq/output.h"

#include <iostream>
#include <memory>
#include <string>

namespace {

ZEQ_COMMAND(50, [](CLI::App& app) {
    auto file = std::make_shared<std::string>();
    CLI::App* sub = app.add_subcommand(
        "info", "Summarise a Zeq file: version, packet and inflated sizes, record counts per type, vertices and "
                "triangles");
    sub->add_option("FILE", *file, "The Zeq file to read (-: standard input)")->required();
    return [file] {
        const zeq::inspect::LoadedScene scene = zeq::inspect::loadScene(*file, zeq::inspect::Leftovers::Report);
        zeq::inspect::printSummary(std::cout, zeq::cli::inputName(*file),
                                   zeq::inspect::summarizeScene(scene.file, scene.packet));
        if (!scene.leftover.empty()) std::cout << zeq::inspect::leftoverWarning(scene) << '\n';
        zeq::cli::flushStandardOutput();
        return 0;
    };
});

}  // namespace
