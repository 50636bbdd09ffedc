// `zeq import FILE.zeq... -o OUT|DIR`: runs the importer plug-in on a Zeq file in a fresh headless
// host and saves the scene it builds in the format of OUT's extension: a scene document for ".json",
// a foreign scene file (".glb", ".gltf", ".dae", ".obj", ".fbx") otherwise; several inputs go one by
// one into DIR as scene documents (batch.h). An output of no writable format is a usage error (exit
// status 2), found before anything is read. The importer's message boxes go to
// stderr ("Warning: ..." lists what it skipped); when the import fails, its "Error" box becomes the
// error line and nothing is written.
#include "tools/zeq/batch.h"
#include "tools/zeq/command.h"

#include "headless/host.h"
#include "headless/plugin_path.h"
#include "headless/foreign_write.h"
#include "tools/zeq/scene_output.h"

#include <filesystem>
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
        "import", "Import Zeq files with the importer plug-in into an empty scene and save it as a scene document "
                  "(.json) or a foreign scene file (" + headless::foreignWriteExtensionList() + ")");
    sub->add_option("FILE", options->files,
                    "The Zeq files to import; several are imported one by one into the folder -o names, as "
                    "<name>.json, past any that fail")
        ->required();
    sub->add_option("-o,--output", options->output,
                    "The file to write, or the folder for several; its extension picks the format (" +
                        zeq::cli::writableSceneExtensions() + ")")
        ->required()
        ->type_name("OUT|DIR");
    return [options] {
        std::error_code ec;
        const bool intoFolder = options->files.size() > 1 || std::filesystem::is_directory(options->output, ec) ||
                                options->output.ends_with('/');
        if (!intoFolder && !zeq::cli::isWritableScenePath(options->output))
            return zeq::cli::refuseOutputFormat(options->output);
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
