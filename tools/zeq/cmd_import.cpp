// `zeq import FILE.zeq... -o SCENE.json|DIR`: runs the importer plug-in on a Zeq file in a fresh
// headless host and saves the scene it builds as a scene document; several inputs go one by one into
// DIR (batch.h). The importer's message boxes go to
// stderr ("Warning: ..." lists what it skipped); when the import fails, its "Error" box becomes the
// error line and nothing is written.
#include "tools/zeq/batch.h"
#include "tools/zeq/command.h"

#include "headless/host.h"
#include "headless/plugin_path.h"
#include "headless/scene_document.h"

#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

struct ImportOptions {
    std::vector<std::string> files;  // as given; each is imported as `file`
    std::string file;
    std::string output;
};

// The error line drops the sentence's full stop, like every other zeq error line.
std::string asErrorLine(std::string text) {
    while (!text.empty() && (text.back() == '.' || text.back() == '\n')) text.pop_back();
    return text;
}

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

    const int result = host.importFile(importer, options.file);
    std::string failure;
    for (const headless::MessageBoxRecord& box : host.ui().messageBoxes()) {
        if (result != IMPEXP_SUCCESS && box.caption == "Error" && failure.empty()) {
            failure = box.text;
            continue;
        }
        std::cerr << box.caption << ": " << box.text << '\n';
    }
    if (result != IMPEXP_SUCCESS) {
        throw zeq::cli::CommandError(options.file, failure.empty() ? "the import failed" : asErrorLine(failure));
    }

    try {
        headless::saveSceneDocumentFile(host, options.output);
    } catch (const std::exception& e) {
        throw zeq::cli::CommandError(options.output, e.what());
    }
    return 0;
}

std::function<int()> setupImport(CLI::App& app) {
    auto options = std::make_shared<ImportOptions>();
    CLI::App* sub = app.add_subcommand(
        "import", "Import a Zeq file with the importer plug-in into an empty scene and save it as a scene document");
    sub->add_option("FILE", options->files,
                    "The Zeq files to import; several are imported one by one into the folder -o names, as "
                    "<name>.json, past any that fail")
        ->required();
    sub->add_option("-o,--output", options->output, "The scene document (JSON) to write, or the folder for several")
        ->required()
        ->type_name("SCENE.json|DIR");
    return [options] {
        return zeq::cli::runBatch("import", options->files, options->output, ".json", "scene",
                                  [options](const zeq::cli::BatchItem& item) {
                                      ImportOptions one = *options;
                                      one.file = item.input;
                                      one.output = item.output;
                                      importScene(one);
                                  });
    };
}

ZEQ_COMMAND(20, setupImport);

}  // namespace
