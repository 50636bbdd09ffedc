// `zeq scene demo [-o FILE]`: writes the built-in demo scene document (stdout without -o).
// `zeq scene check FILE.json`: loads a scene document into an empty scene and reports the first
// problem ("zeq: FILE: nodes[3].object: no object \"Box02\"", exit status 1) or what it holds.
// `zeq scene convert IN -o OUT`: loads a scene document or a foreign scene file (glTF, FBX, Collada,
// OBJ ...) and saves it as the other, or as another foreign format; the extensions tell them apart.
// Textures embedded in a foreign file are written beside OUT as "<OUT stem>_<N>.<ext>".
#include "tools/zeq/command.h"

#include "headless/demo_scene.h"
#include "headless/foreign_scene.h"
#include "headless/host.h"
#include "headless/plugin_loader.h"
#include "headless/scene_document.h"
#include "host/output_file.h"
#include "tools/zeq/output.h"
#include "tools/zeq/scene_output.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

namespace {

struct SceneOptions {
    std::string output;
    std::string file;
    std::string convertOutput;
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
    const headless::SceneDocumentCounts counts = headless::countSceneDocument(host);
    std::cout << zeq::cli::inputName(file) << ": ok: " << counts.nodes << " nodes, " << counts.objects << " objects, "
              << counts.materials << " materials, " << counts.maps << " maps, " << counts.layers << " layers\n";
    zeq::cli::flushStandardOutput();
    return 0;
}

// Loads a scene document or a foreign file into the host; the loader's warnings go to stderr.
// Embedded textures of a foreign file are returned for the caller to write beside its output.
std::vector<headless::EmbeddedTexture> loadAnyScene(headless::Host& host, const std::string& file,
                                                     const std::string& textureStem) {
    if (file == "-" || headless::isSceneDocumentPath(file)) {
        try {
            headless::loadSceneDocumentFile(host, file);
        } catch (const headless::SceneDocumentError& e) {
            throw zeq::cli::CommandError(zeq::cli::inputName(file), e.what());
        }
        return {};
    }
    headless::ForeignReadOptions options;
    options.embeddedTextureStem = textureStem;  // none: they keep their "*N" names
    options.progress = [&host](int percent) { host.ProgressUpdate(percent, true, nullptr); };
    host.ProgressStart("Reading", true, nullptr, nullptr);
    headless::ForeignReadReport report;
    try {
        report = headless::loadForeignScene(host, file, options);
    } catch (const headless::ForeignSceneError& e) {
        host.ProgressEnd();
        throw zeq::cli::CommandError(file, e.what());
    }
    host.ProgressEnd();
    zeq::cli::noteFilesRead(report.filesRead);
    for (const std::string& line : report.warnings)
        zeq::cli::warnings() << "zeq: " << zeq::cli::inputName(file) << ": " << line << '\n';
    if (report.unnamedEmbeddedTextures > 0)
        zeq::cli::warnings() << "zeq: " << zeq::cli::inputName(file) << ": "
                             << headless::countOf(report.unnamedEmbeddedTextures, "embedded texture", "embedded textures")
                             << " not written: the output is a stream, with no folder for them "
                                "(the materials name them \"*N\")\n";
    return std::move(report.embeddedTextures);
}

int convertScene(const std::string& input, const std::string& output) {
    if (!zeq::cli::isWritableScenePath(output)) return zeq::cli::refuseOutputFormat(output);
    if (input != "-" && !headless::isSceneDocumentPath(input) && !headless::isForeignReadPath(input))
        return zeq::cli::refuseInputFormat(input);
    zeq::cli::refuseInputAsOutput(input, output);
    // Objects of the plug-ins in a document (a sprite, a LOD helper) become the plug-ins' own, as
    // export and import make them. Without the folder they stay objects of their class id; only a
    // folder named by --plugins or $ZEQ_PLUGIN_PATH must be there.
    const char* named = std::getenv("ZEQ_PLUGIN_PATH");
    const std::string folder =
        zeq::cli::pluginFolderToLoad(!zeq::cli::globalOptions().pluginDir.empty() || (named && *named));
    // The registry outlives the host: the scene may hold objects the libraries made.
    headless::PluginRegistry plugins;
    headless::Host host;
    zeq::cli::quietProgress(host);
    host.setPlugins(&plugins);
    if (!folder.empty()) plugins.loadFolder(folder);
    const std::filesystem::path target(output);
    const std::vector<headless::EmbeddedTexture> textures =
        loadAnyScene(host, input, zeq::isStreamOutput(output) ? std::string() : target.stem().string());
    zeq::cli::refuseInputAsOutput(input, output);

    // Embedded textures go beside the output, under the names the materials now use, and are put in
    // place with the scene's files: a failure leaves every existing file as it was.
    zeq::OutputSet set;
    for (const headless::EmbeddedTexture& texture : textures) {
        const std::string path = (target.parent_path() / texture.name).string();
        zeq::cli::refuseInputAsOutput(input, path);
        try {
            set.add(path, texture.bytes.data(), texture.bytes.size());
        } catch (const zeq::OutputError& e) {
            throw zeq::cli::CommandError(e.path, "embedded texture: " + e.reason);
        }
    }
    zeq::cli::saveScene(host, output, input, &set);
    return 0;
}

std::function<int()> setupScene(CLI::App& app) {
    auto options = std::make_shared<SceneOptions>();
    CLI::App* sub = app.add_subcommand("scene", "Scene documents (JSON scenes of the headless host): the demo scene, checks and conversion to and from foreign files");
    sub->require_subcommand(1);
    CLI::App* demo = sub->add_subcommand(
        "demo", "Write the built-in demo scene as a scene document, a worked example of the format");
    demo->add_option("-o,--output", options->output, "File to write (default and -: standard output)")->type_name("FILE");
    CLI::App* check = sub->add_subcommand(
        "check", "Load a scene document and report its first problem with its JSON path (exit status 1), or what it "
                 "holds");
    check->add_option("FILE", options->file, "The scene document to check (-: standard input)")->required()->type_name("FILE.json");
    CLI::App* convert = sub->add_subcommand(
        "convert", "Convert between scene documents (.json) and foreign scene files (glTF, FBX, Collada, OBJ ...) in "
                   "either direction; the extensions of IN and OUT pick the formats");
    convert
        ->add_option("IN", options->file,
                     "The scene document or foreign file to read (-: a scene document on standard input)")
        ->required()
        ->type_name("FILE");
    convert->add_option("-o,--output", options->convertOutput,
                        "The file to write (" + zeq::cli::writableSceneExtensions() +
                            "; -: a scene document on standard output)")
        ->required()
        ->type_name("OUT");
    return [options, demo, convert] {
        if (demo->parsed()) return writeDemo(options->output);
        if (convert->parsed()) return convertScene(options->file, options->convertOutput);
        return checkDocument(options->file);
    };
}

ZEQ_COMMAND(70, setupScene);

}  // namespace
