// `zeq export [SCENE...] -o OUT.zeq|DIR [--normals] [--tangents] [--atf] [--animation] [--animation-only]
// [--half] [--selected]`: exports a scene document, a foreign model (glTF, FBX, Collada, OBJ ...,
// told apart by the extension: ".json" is a scene document) or the built-in demo scene through the
// Export plug-in; several inputs go one by one into DIR (batch.h). The flags become clicks in the
// plug-in's own options dialog, followed by "OK";
// --selected sets the selection bit of the export call. Every message box the export shows is
// printed on stderr; an "Error" box makes the command fail.
#include "tools/zeq/batch.h"
#include "tools/zeq/command.h"

#include "headless/demo_scene.h"
#include "headless/foreign_scene.h"
#include "headless/host.h"
#include "headless/scene_document.h"
#include "host/output_file.h"
#include "tools/zeq/errors.h"
#include "tools/zeq/output.h"
#include "tools/zeq/scene_output.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

// Controls of the exporter's options dialog.
constexpr int kNormalsBox = 1005;
constexpr int kTangentsBox = 1006;
constexpr int kAtfBox = 1007;
constexpr int kAnimationBox = 1008;
constexpr int kHalfBox = 1009;
constexpr int kAnimationOnlyBox = 1011;
constexpr int kOkButton = 1003;

struct ExportArgs {
    std::vector<std::string> scenes;  // as given; each is exported as `scene`
    std::string scene;
    std::string output;
    bool normals = false;
    bool tangents = false;
    bool atf = false;
    bool animation = false;
    bool animationOnly = false;
    bool half = false;
    bool selected = false;
};

// The clicks that set the requested options. The order respects the dialog's enabling rules:
// "Normals" before "Tangents/binormals" (which locks it), and "Export only animation" last (it
// locks the geometry and texture boxes).
std::vector<headless::DialogStep> dialogClicks(const ExportArgs& args) {
    std::vector<headless::DialogStep> steps;
    const std::pair<bool, int> boxes[] = {{args.normals, kNormalsBox},     {args.tangents, kTangentsBox},
                                          {args.atf, kAtfBox},             {args.animation, kAnimationBox},
                                          {args.half, kHalfBox},           {args.animationOnly, kAnimationOnlyBox}};
    for (const auto& [wanted, id] : boxes)
        if (wanted) steps.push_back(headless::DialogStep::click(id));
    steps.push_back(headless::DialogStep::click(kOkButton));
    return steps;
}

// Reads a foreign model into the host's scene, with the progress display running. Embedded
// textures get names beside the output file (put in place once the export has succeeded); an
// output that is a stream (standard output, a descriptor, a FIFO) has no folder for them.
headless::ForeignReadReport loadForeignModel(headless::Host& host, const ExportArgs& args) {
    headless::ForeignReadOptions options;
    options.progress = [&host](int percent) { host.ProgressUpdate(percent); };
    if (!zeq::isStreamOutput(args.output)) options.embeddedTextureStem = std::filesystem::path(args.output).stem().string();
    host.ProgressStart(("Reading " + std::filesystem::path(args.scene).filename().string()).c_str(), true, nullptr, nullptr);
    try {
        headless::ForeignReadReport report = headless::loadForeignScene(host, args.scene, options);
        host.ProgressEnd();
        zeq::cli::noteFilesRead(report.filesRead);
        zeq::cli::refuseInputAsOutput(args.scene, args.output);
        for (const std::string& warning : report.warnings)
            zeq::cli::warnings() << "zeq: " << args.scene << ": " << warning << '\n';
        return report;
    } catch (const headless::ForeignSceneError& e) {
        host.ProgressEnd();
        throw zeq::cli::CommandError(args.scene, e.what());
    }
}

// Writes the embedded textures beside the output to their temporaries, before the export: a texture
// that cannot be written (its name taken by a folder, say) fails the command before the export
// runs. They are renamed into place with the Zeq file, once the export has succeeded.
void prepareEmbeddedTextures(const headless::ForeignReadReport& report, const ExportArgs& args, zeq::OutputSet& set) {
    const std::filesystem::path folder = std::filesystem::path(args.output).parent_path();
    for (const headless::EmbeddedTexture& texture : report.embeddedTextures) {
        const std::string path = (folder / texture.name).string();
        zeq::cli::refuseInputAsOutput(args.scene, path);
        try {
            set.add(path, texture.bytes.data(), texture.bytes.size());
        } catch (const zeq::OutputError& e) {
            throw zeq::cli::CommandError(e.path, "embedded texture: " + e.reason);
        }
    }
}

// A file in memory that the exporter writes through a path naming its descriptor; the Zeq file of
// an export with embedded textures goes there first, so that it joins the textures' set and is put
// in place with them, last.
class MemoryFile {
public:
    MemoryFile() : fd_(::memfd_create("zeq-export", MFD_CLOEXEC)) {
        if (fd_ < 0) throw zeq::cli::CommandError("memory", std::string("cannot hold the Zeq file: ") + std::strerror(errno));
    }
    ~MemoryFile() { ::close(fd_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }
    std::vector<uint8_t> bytes() const {
        struct stat info {};
        if (::fstat(fd_, &info) != 0) return {};
        std::vector<uint8_t> data(static_cast<std::size_t>(info.st_size));
        for (std::size_t done = 0; done < data.size();) {
            const ssize_t n = ::pread(fd_, data.data() + done, data.size() - done, static_cast<off_t>(done));
            if (n <= 0) return {};
            done += static_cast<std::size_t>(n);
        }
        return data;
    }

private:
    int fd_;
};

int runExportCommand(const ExportArgs& args) {
    enum class Source { Demo, Document, Foreign };
    Source source = Source::Demo;
    std::error_code folderCheck;
    if (!args.scene.empty() && args.scene != "-" && std::filesystem::is_directory(args.scene, folderCheck))
        throw zeq::cli::CommandError(args.scene, "is a directory, not a file");
    if (!args.scene.empty()) {
        if (args.scene == "-" || headless::isSceneDocumentPath(args.scene)) source = Source::Document;
        else if (headless::isForeignReadPath(args.scene)) source = Source::Foreign;
        else return zeq::cli::refuseInputFormat(args.scene);
    }

    if (source != Source::Demo) zeq::cli::refuseInputAsOutput(args.scene, args.output);
    if (const int refused = zeq::cli::refuseSceneFormatOutput(args.output, "export")) return refused;

    const std::string folder = zeq::cli::pluginFolderToLoad(true);

    // The registry outlives the host: objects the libraries made may live in the host's scene.
    headless::PluginRegistry plugins;
    headless::Host host;
    zeq::cli::quietProgress(host);
    host.setPlugins(&plugins);
    plugins.loadFolder(folder);
    ClassDesc* exporter = plugins.findExporterFor("zeq");
    if (!exporter) {
        for (const headless::PluginLoadFailure& failure : plugins.failures())
            std::cerr << "zeq: " << failure.fileName << ": " << failure.reason << '\n';
        throw zeq::cli::CommandError(folder, "no exporter for .zeq files in the plug-in folder");
    }

    const std::string output = args.output == "-" ? "standard output" : args.output;
    zeq::OutputSet textures;
    std::unique_ptr<MemoryFile> memory;  // the Zeq file, while textures wait to be put in place
    if (source == Source::Demo) {
        headless::buildDemoScene(host);
    } else if (source == Source::Foreign) {
        const headless::ForeignReadReport foreign = loadForeignModel(host, args);
        prepareEmbeddedTextures(foreign, args, textures);
        if (!foreign.embeddedTextures.empty()) memory = std::make_unique<MemoryFile>();
        if (foreign.unnamedEmbeddedTextures > 0)
            zeq::cli::warnings() << "zeq: " << args.scene << ": "
                                 << headless::countOf(foreign.unnamedEmbeddedTextures, "embedded texture", "embedded textures")
                                 << " not written: " << output
                                 << " takes the Zeq file alone (the materials name them \"*N\")\n";
    } else {
        try {
            headless::loadSceneDocumentFile(host, args.scene);
        } catch (const headless::SceneDocumentError& e) {
            throw zeq::cli::CommandError(zeq::cli::inputName(args.scene), e.what());
        }
    }

    if (args.selected && host.GetSelNodeCount() == 0)
        zeq::cli::warnings() << "zeq: " << (source == Source::Demo ? std::string("demo scene") : zeq::cli::inputName(args.scene))
                  << ": --selected, but the scene selects no node: the file holds none\n";

    // "-" reaches the exporter as it is: the output routine takes it for standard output.
    host.ui().queueDialog(dialogClicks(args));
    const int result = host.exportFile(exporter, memory ? memory->path() : args.output, false,
                                       args.selected ? SCENE_EXPORT_SELECTED : 0u);

    // A failure is one line: the "Error" box becomes the error line, and no other box is printed.
    if (!host.ui().dialogs().empty() && host.ui().dialogs().back().refusedSteps)
        throw zeq::cli::CommandError(output, "the options dialog refused a requested option");
    if (result == IMPEXP_CANCEL) throw zeq::cli::CommandError(output, "the export was cancelled");
    if (result != IMPEXP_SUCCESS) throw zeq::cli::CommandError(output, "the exporter could not run");
    for (const headless::MessageBoxRecord& box : host.ui().messageBoxes())
        if (box.caption == "Error") throw zeq::cli::CommandError(output, zeq::cli::errorLineText(box.text, output));
    zeq::cli::printMessageBoxes(host.ui().messageBoxes());
    std::error_code ec;
    const std::vector<uint8_t> file = memory ? memory->bytes() : std::vector<uint8_t>();
    if (memory ? file.empty() : args.output != "-" && !std::filesystem::exists(args.output, ec))
        throw zeq::cli::CommandError(output, "the exporter reported success but wrote no file");
    if (!memory) return 0;
    try {
        textures.add(args.output, file.data(), file.size());
        textures.commit();
    } catch (const zeq::OutputError& e) {
        throw zeq::cli::CommandError(e.path, e.path == args.output ? e.reason : "embedded texture: " + e.reason);
    }
    return 0;
}

ZEQ_COMMAND(10, [](CLI::App& app) {
    auto args = std::make_shared<ExportArgs>();
    CLI::App* sub = app.add_subcommand(
        "export",
        "Export a scene document or a model file (glTF, FBX, Collada, OBJ ...; see 'zeq formats') to a Zeq file "
        "through the Export plug-in (default: the built-in demo scene). The options are set in the plug-in's options "
        "dialog; message boxes and reading warnings are printed on stderr; exit status 1 when the model cannot be "
        "read or the export reports an error, 2 for an unknown extension. Textures embedded in a model are written "
        "beside OUT as OUT-STEM_N.EXT");
    sub->add_option("SCENE", args->scenes,
                    "Scene documents (.json; -: standard input) or model files to export; omitted: the built-in demo scene. Several "
                    "inputs are exported one by one into the folder -o names, as <name>.zeq, past any that fail")
        ->type_name("SCENE");
    sub->add_option("-o,--output", args->output, "The Zeq file to write (-: standard output), or the folder for several inputs")
        ->required()
        ->type_name("OUT.zeq|DIR");
    sub->add_flag("--normals", args->normals, "Write per-vertex normals (\"Normals\")");
    sub->add_flag("--tangents", args->tangents, "Write tangent frames, which turns normals on (\"Tangents/binormals\")");
    sub->add_flag("--atf", args->atf, "Image names get the extension .atf (\"Extensions as ATF\")");
    sub->add_flag("--animation", args->animation, "Write transform tracks (\"Enable export\")");
    sub->add_flag("--animation-only", args->animationOnly,
                  "Write transform tracks and nothing else (\"Export only animation\")");
    sub->add_flag("--half", args->half, "Store vertex data as 16-bit floats, version 2.6 (\"16bit vertex buffers\")");
    sub->add_flag("--selected", args->selected, "Export the selected nodes only (the scene's selection)");
    return [args] {
        return zeq::cli::runBatch("export", args->scenes, args->output, ".zeq", "demo",
                                  [args](const zeq::cli::BatchItem& item) {
                                      ExportArgs one = *args;
                                      one.scene = item.input;
                                      one.output = item.output;
                                      return runExportCommand(one);
                                  });
    };
});

}  // namespace
