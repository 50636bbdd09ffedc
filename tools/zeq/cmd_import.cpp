// `zeq import FILE.zeq -o SCENE.json`: runs the importer plug-in on a Zeq file in a fresh headless
// host and saves the scene it builds as a scene document. The importer's message boxes go to
// stderr ("Warning: ..." lists what it skipped); when the import fails, its "Error" box becomes the
// one error line and nothing is written.
#include "tools/zeq/command.h"

#include "headless/host.h"
#include "headless/plugin_path.h"
#include "headless/scene_document.h"
#include "host/output_file.h"
#include "tools/zeq/errors.h"
#include "tools/zeq/output.h"

#include <iostream>
#include <memory>
#include <string>

namespace {

struct ImportOptions {
    std::string file;
    std::string output;
};

int importScene(const ImportOptions& options) {
    const zeq::cli::GlobalOptions& global = zeq::cli::globalOptions();
    const std::string folder = headless::pluginFolder(global.pluginDir, global.argv0);

    // The registry outlives the host: the scene may hold objects the libraries made.
    headless::PluginRegistry registry;
    headless::Host host;
    host.setPlugins(&registry);
    registry.loadFolder(folder);
    ClassDesc* importer = registry.findImporterFor("zeq");
    if (!importer) {
        std::string why = "no importer for \"zeq\" files among the plug-ins of this folder";
        for (const headless::PluginLoadFailure& failure : registry.failures())
            if (failure.fileName == "SceneLoader.so") why += " (SceneLoader.so: " + failure.reason + ")";
        throw zeq::cli::CommandError(folder, why);
    }

    // "-" reaches the importer as it is: its file reader takes it for standard input.
    const int result = host.importFile(importer, options.file);
    const std::string input = zeq::cli::inputName(options.file);
    if (result != IMPEXP_SUCCESS) {
        // One line: the "Error" box becomes the error line, and no other box is printed.
        for (const headless::MessageBoxRecord& box : host.ui().messageBoxes())
            if (box.caption == "Error") throw zeq::cli::CommandError(input, zeq::cli::errorLineText(box.text, input));
        throw zeq::cli::CommandError(input, "the import failed");
    }
    try {
        headless::saveSceneDocumentFile(host, options.output);
    } catch (const zeq::OutputError& e) {
        throw zeq::cli::CommandError(e.path, e.reason);
    }
    // Printed once the document is written, so that a failed save is one line too.
    for (const headless::MessageBoxRecord& box : host.ui().messageBoxes())
        std::cerr << box.caption << ": " << box.text << '\n';
    return 0;
}

std::function<int()> setupImport(CLI::App& app) {
    auto options = std::make_shared<ImportOptions>();
    CLI::App* sub = app.add_subcommand(
        "import", "Import a Zeq file with the importer plug-in into an empty scene and save it as a scene document");
    sub->add_option("FILE", options->file, "The Zeq file to import (-: standard input)")->required();
    sub->add_option("-o,--output", options->output, "The scene document (JSON) to write (-: standard output)")
        ->required()
        ->type_name("SCENE.json");
    return [options] { return importScene(*options); };
}

ZEQ_COMMAND(20, setupImport);

}  // namespace
