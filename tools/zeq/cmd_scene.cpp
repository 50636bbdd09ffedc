// `zeq scene demo [-o FILE]`: writes the built-in demo scene document (stdout without -o).
// `zeq scene check FILE.json`: loads a scene document into an empty scene and reports the first
// problem ("zeq: FILE: nodes[3].object: no object \"Box02\"", exit status 1) or what it holds.
#include "tools/zeq/command.h"

#include "headless/demo_scene.h"
#include "headless/host.h"
#include "headless/scene_document.h"
#include "tools/zeq/output.h"

#include <iostream>
#include <memory>
#include <string>

namespace {

struct SceneOptions {
    std::string output;
    std::string file;
};

int writeDemo(const std::string& output) {
    const char* text = headless::demoSceneDocument();
    if (output.empty() || output == "-") {
        std::cout << text;
        zeq::cli::flushStandardOutput();
        return 0;
    }
    zeq::cli::writeOutput(output, text);
    return 0;
}

int checkDocument(const std::string& file) {
    headless::Host host;
    host.ui().setProgressStream(nullptr);
    try {
        headless::loadSceneDocumentFile(host, file);
    } catch (const headless::SceneDocumentError& e) {
        throw zeq::cli::CommandError(zeq::cli::inputName(file), e.what());
    }
    // Count what the scene uses, as saving it would write it.
    const nlohmann::json saved = headless::saveSceneDocument(host);
    std::cout << zeq::cli::inputName(file) << ": ok: " << saved["nodes"].size() << " nodes, " << saved["objects"].size() << " objects, "
              << saved["materials"].size() << " materials, " << saved["maps"].size() << " maps, "
              << saved["layers"].size() << " layers\n";
    zeq::cli::flushStandardOutput();
    return 0;
}

std::function<int()> setupScene(CLI::App& app) {
    auto options = std::make_shared<SceneOptions>();
    CLI::App* sub = app.add_subcommand("scene", "Scene documents (JSON scenes of the headless host): the demo scene and checks");
    sub->require_subcommand(1);
    CLI::App* demo = sub->add_subcommand(
        "demo", "Write the built-in demo scene as a scene document, a worked example of the format");
    demo->add_option("-o,--output", options->output, "File to write (default and -: standard output)")->type_name("FILE");
    CLI::App* check = sub->add_subcommand(
        "check", "Load a scene document and report its first problem with its JSON path (exit status 1), or what it "
                 "holds");
    check->add_option("FILE", options->file, "The scene document to check (-: standard input)")->required();
    return [options, demo] { return demo->parsed() ? writeDemo(options->output) : checkDocument(options->file); };
}

ZEQ_COMMAND(70, setupScene);

}  // namespace
