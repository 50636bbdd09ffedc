// `zeq info FILE.zeq [--json]`: version, sizes, record counts and geometry totals of a scene file.
#include "tools/zeq/command.h"
#include "tools/zeq/inspect_info.h"
#include "tools/zeq/inspect_json.h"
#include "tools/zeq/inspect_load.h"

#include <iostream>
#include <memory>
#include <string>

namespace {

struct InfoArguments {
    std::string file;
    bool json = false;
};

ZEQ_COMMAND(50, [](CLI::App& app) {
    auto arguments = std::make_shared<InfoArguments>();
    CLI::App* sub = app.add_subcommand(
        "info", "Summarise a Zeq file: version, packet and inflated sizes, record counts per type, vertices and "
                "triangles");
    sub->add_option("FILE", arguments->file, "The Zeq file to read")->required();
    sub->add_flag("--json", arguments->json, "Print the summary as one JSON object (see docs/zeq.md)");
    return [arguments] {
        const zeq::inspect::LoadedScene scene = zeq::inspect::loadScene(arguments->file);
        const zeq::inspect::SceneSummary summary = zeq::inspect::summarizeScene(scene.file, scene.packet);
        if (arguments->json) {
            zeq::inspect::writeJson(std::cout, zeq::inspect::summaryToJson(arguments->file, summary));
        } else {
            zeq::inspect::printSummary(std::cout, arguments->file, summary);
        }
        std::cout.flush();
        if (!std::cout) throw zeq::cli::CommandError("standard output", "write failed");
        return 0;
    };
});

}  // namespace
