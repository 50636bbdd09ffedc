// `zeq dump FILE.zeq [--raw]`: every record of a scene file as JSON on standard output.
#include "tools/zeq/command.h"
#include "tools/zeq/inspect_dump.h"
#include "tools/zeq/inspect_load.h"
#include "tools/zeq/output.h"

#include <iostream>
#include <memory>
#include <string>

namespace {

struct DumpArguments {
    std::string file;
    bool raw = false;
};

ZEQ_COMMAND(40, [](CLI::App& app) {
    auto arguments = std::make_shared<DumpArguments>();
    CLI::App* sub = app.add_subcommand(
        "dump", "Print the version pair and every record of a Zeq file as JSON (absent fields are null; vertex and "
                "index buffers decoded into numbers)");
    sub->add_option("FILE", arguments->file, "The Zeq file to read (-: standard input)")->required()->type_name("FILE.zeq");
    sub->add_flag("--raw", arguments->raw, "Show the bytes of vertex and index buffers as hex instead of decoding them");
    return [arguments] {
        const zeq::inspect::LoadedScene scene = zeq::inspect::loadScene(arguments->file);
        zeq::inspect::DumpOptions options;
        options.raw = arguments->raw;
        zeq::inspect::dumpScene(std::cout, scene.file, options);
        zeq::cli::flushStandardOutput();
        return 0;
    };
});

}  // namespace
