// `zeq diff A.zeq B.zeq [--tolerance T] [--json]`: what differs between two scene files, one line
// per difference and a summary line (or one JSON object). Exit status 0 when they are equal, 1 when
// they differ, 2 when they cannot be compared (a file that cannot be read, wrong usage), so that a
// script never takes a broken file for a difference.
#include "tools/zeq/command.h"
#include "tools/zeq/inspect_diff.h"
#include "tools/zeq/inspect_json.h"
#include "tools/zeq/inspect_load.h"
#include "tools/zeq/output.h"

#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

namespace {

struct DiffArguments {
    std::string a;
    std::string b;
    double tolerance = 0;
    bool json = false;
};

int diff(const DiffArguments& arguments) {
    if (arguments.a == "-" && arguments.b == "-") {
        std::fprintf(stderr,
                     "zeq: diff: A and B are both standard input, which can be read once; run 'zeq diff --help'\n");
        return 2;
    }
    const std::string nameA = zeq::cli::inputName(arguments.a), nameB = zeq::cli::inputName(arguments.b);
    // A file that still imports though bytes or presence bits follow its roots is compared as the
    // importer reads it, with the warning info and validate give.
    zeq::inspect::LoadedScene a, b;
    try {
        a = zeq::inspect::loadScene(arguments.a, zeq::inspect::Leftovers::Report);
        b = zeq::inspect::loadScene(arguments.b, zeq::inspect::Leftovers::Report);
    } catch (const zeq::cli::CommandError& e) {
        std::fprintf(stderr, "zeq: %s: %s\n", e.subject().c_str(), e.what());
        return 2;
    }
    for (const auto& [name, scene] : {std::pair{&nameA, &a}, std::pair{&nameB, &b}}) {
        if (scene->leftover.empty()) continue;
        // Damaged extension roots lose records the engine reads: such a file cannot be compared.
        if (scene->leftoverFault == zeq::AfterRootFault::DamagedExtensions) {
            std::fprintf(stderr, "zeq: %s: %s\n", name->c_str(), scene->leftover.c_str());
            return 2;
        }
        zeq::cli::warnings() << "zeq: " << *name << ": warning: " << zeq::inspect::leftoverProblem(*scene) << '\n';
    }
    zeq::inspect::DiffOptions options;
    options.tolerance = arguments.tolerance;
    const zeq::inspect::DiffReport report = zeq::inspect::diffScenes(a.file, b.file, options);
    if (arguments.json) {
        zeq::inspect::writeJson(std::cout, zeq::inspect::diffToJson(report, nameA, nameB));
    } else {
        for (const zeq::inspect::Difference& difference : report.differences)
            std::cout << zeq::inspect::formatDifference(difference, nameA, nameB) << '\n';
        std::cout << zeq::inspect::formatDiffSummary(report, nameA, nameB) << '\n';
    }
    if (const std::string problem = zeq::cli::standardOutputProblem(); !problem.empty()) {
        // A reader that stopped early (`| head`) ends the run quietly, as in every other verb.
        if (!zeq::cli::metClosedPipe()) std::fprintf(stderr, "zeq: standard output: %s\n", problem.c_str());
        return 2;
    }
    return report.equal() ? 0 : 1;
}

ZEQ_COMMAND(65, [](CLI::App& app) {
    auto arguments = std::make_shared<DiffArguments>();
    CLI::App* sub = app.add_subcommand(
        "diff", "Compare two Zeq files record by record and field by field; records are paired by id, or by content "
                "where ids were renumbered. Exit status 0 when equal, 1 when they differ, 2 when a file cannot be read");
    sub->add_option("A", arguments->a, "The first Zeq file ('-': standard input)")->required()->type_name("A.zeq");
    sub->add_option("B", arguments->b, "The second Zeq file ('-': standard input)")->required()->type_name("B.zeq");
    sub->add_option("--tolerance", arguments->tolerance,
                    "Largest difference between two floats (vertex data included) that still counts as equal "
                    "(default 0: exactly equal, so -0 and 0 differ)")
        ->type_name("T")
        ->check(CLI::Validator(
            [](std::string& text) {
                double value = 0;
                // NaN fails the comparison and is refused with the rest, as is an infinity, which
                // would make every number equal to an infinity.
                return CLI::detail::lexical_cast(text, value) && value >= 0 && std::isfinite(value)
                           ? std::string()
                           : "expected a finite number of 0 or more, got \"" + text + "\"";
            },
            ""));
    sub->add_flag("--json", arguments->json, "Print the differences as one JSON object (see docs/zeq.md)");
    return [arguments] { return diff(*arguments); };
});

}  // namespace
