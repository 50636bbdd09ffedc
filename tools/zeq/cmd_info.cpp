// `zeq info FILE.zeq [--json]`: version, sizes, record counts and geometry totals of a scene file.
#include "tools/zeq/command.h"
#include "tools/zeq/inspect_info.h"
#include "tools/zeq/inspect_json.h"
#include "tools/zeq/inspect_load.h"
#include "tools/zeq/output.h"

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
    sub->add_option("FILE", arguments->file, "The Zeq file to read (-: standard input)")->required()->type_name("FILE.zeq");
    sub->add_flag("--json", arguments->json, "Print the summary as one JSON object (see docs/zeq.md)");
    return [arguments] {
        const std::string& file = arguments->file;
        const zeq::inspect::LoadedScene scene = zeq::inspect::loadScene(file, zeq::inspect::Leftovers::Report);
        const zeq::inspect::SceneSummary summary = zeq::inspect::summarizeScene(scene.file, scene.packet);
        if (arguments->json) {
            nlohmann::ordered_json document = zeq::inspect::summaryToJson(zeq::cli::inputName(file), summary);
            nlohmann::ordered_json warnings = nlohmann::ordered_json::array();
            if (!scene.leftover.empty()) warnings.push_back(zeq::inspect::leftoverWarning(scene));
            document["warnings"] = warnings;
            zeq::inspect::writeJson(std::cout, document);
        } else {
            zeq::inspect::printSummary(std::cout, zeq::cli::inputName(file), summary);
            if (!scene.leftover.empty()) std::cout << zeq::inspect::leftoverWarning(scene) << '\n';
        }
        zeq::cli::flushStandardOutput();
        return 0;
    };
});

}  // namespace
