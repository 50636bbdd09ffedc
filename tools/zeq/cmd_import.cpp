// `zeq import FILE.zeq... -o OUT|DIR`: runs the importer plug-in on a Zeq file in a fresh headless
// host and saves the scene it builds in the format of OUT's extension: a scene document for ".json",
// a foreign scene file (".glb", ".gltf", ".dae", ".obj", ".fbx") otherwise; several inputs go one by
// one into DIR as scene documents (batch.h). An output of no writable format is a usage error (exit
// status 2), found before anything is read. The importer's message boxes go to
// stderr ("Warning: ..." lists what it skipped); when the import fails, its "Error" box becomes the
// one error line and nothing is written.
#include "tools/zeq/batch.h"
#include "tools/zeq/command.h"

#include "headless/host.h"
#include "headless/foreign_write.h"
#include "host/output_file.h"
#include "tools/zeq/errors.h"
#include "tools/zeq/output.h"
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

int importScene(const ImportOptions& options) {
    if (!zeq::cli::isWritableScenePath(options.output)) return zeq::cli::refuseOutputFormat(options.output);
    zeq::cli::refuseInputAsOutput(options.file, options.output);
    const std::string folder = zeq::cli::pluginFolderToLoad(true);

    // The registry outlives the host: the scene may hold objects the libraries made.
    headless::PluginRegistry registry;
    headless::Host host;
    zeq::cli::quietProgress(host);
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
    zeq::cli::saveScene(host, options.output, options.file);
    // Printed once the scene is written, so that a failed save is one line too.
    zeq::cli::printMessageBoxes(host.ui().messageBoxes());
    return 0;
}

std::function<int()> setupImport(CLI::App& app) {
    auto options = std::make_shared<ImportOptions>();
    CLI::App* sub = app.add_subcommand(
        "import", "Import Zeq files with the importer plug-in into an empty scene and save it as a scene document "
                  "(.json) or a foreign scene file (" + headless::foreignWriteExtensionList() + ")");
    sub->add_option("FILE", options->files,
                    "The Zeq files to import (-: standard input); several are imported one by one into the folder -o "
                    "names, as <name>.json, past any that fail")
        ->required()
        ->type_name("FILE.zeq");
    sub->add_option("-o,--output", options->output,
                    "The file to write (-: a scene document on standard output), or the folder for several; its "
                    "extension picks the format (" + zeq::cli::writableSceneExtensions() + ")")
        ->required()
        ->type_name("OUT|DIR");
    return [options] {
        if (!zeq::cli::isBatchOutput(options->files, options->output) &&
            !zeq::cli::isWritableScenePath(options->output))
            return zeq::cli::refuseOutputFormat(options->output);
        return zeq::cli::runBatch("import", options->files, options->output, ".json", "scene",
                                  [options](const zeq::cli::BatchItem& item) {
                                      ImportOptions one = *options;
                                      one.file = item.input;
                                      one.output = item.output;
                                      return importScene(one);
                                  });
    };
}

ZEQ_COMMAND(20, setupImport);

}  // namespace
