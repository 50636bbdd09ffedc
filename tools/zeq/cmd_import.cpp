// `zeq import FILE.zeq -o OUT`: runs the importer plug-in on a Zeq file in a fresh headless host and
// saves the scene it builds in the format of OUT's extension: a scene document for ".json", a
// foreign scene file (".glb", ".gltf", ".dae", ".obj", ".fbx") otherwise. An output of no writable
// format is a usage error (exit status 2), found before anything is read. The importer's message boxes go to
// stderr ("Warning: ..." lists what it skipped); when the import fails, its "Error" box becomes the
// error line and nothing is written.
#include "tools/zeq/command.h"

#include "headless/host.h"
#include "headless/plugin_path.h"
#include "headless/foreign_write.h"
#include "tools/zeq/scene_output.h"

#include <iostream>
#include <memory>
#include <string>

namespace {

struct ImportOptions {
    std::string file;
    std::string output;
};

// The error line drops the sentence's full stop, like every other zeq error line.
std::string asErrorLine(std::string text) {
    while (!text.empty() && (text.back() == '.' || text.back() == '\n')) text.pop_back();
    return text;
}

int importScene(const ImportOptions& options) {
    if (!zeq::cli::isWritableScenePath(options.output)) return zeq::cli::refuseOutputFormat(options.output);
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

    zeq::cli::saveScene(host, options.output);
    return 0;
}

std::function<int()> setupImport(CLI::App& app) {
    auto options = std::make_shared<ImportOptions>();
    CLI::App* sub = app.add_subcommand(
        "import", "Import a Zeq file with the importer plug-in into an empty scene and save it as a scene document "
                  "(.json) or a foreign scene file (" + headless::foreignWriteExtensionList() + ")");
    sub->add_option("FILE", options->file, "The Zeq file to import")->required();
    sub->add_option("-o,--output", options->output,
                    "The file to write; its extension picks the format (" + zeq::cli::writableSceneExtensions() + ")")
        ->required()
        ->type_name("OUT");
    return [options] { return importScene(*options); };
}

ZEQ_COMMAND(20, setupImport);

}  // namespace
