// `zeq export [SCENE] -o OUT.zeq [--normals] [--tangents] [--atf] [--animation] [--animation-only]
// [--half] [--selected]`: exports a scene document (or the built-in demo scene) through the Export
// plug-in. The flags become clicks in the plug-in's own options dialog, followed by "OK";
// --selected sets the selection bit of the export call. Every message box the export shows is
// printed on stderr; an "Error" box makes the command fail.
#include "tools/zeq/command.h"

#include "headless/demo_scene.h"
#include "headless/host.h"
#include "headless/plugin_path.h"
#include "headless/scene_document.h"
#include "tools/zeq/errors.h"
#include "tools/zeq/output.h"

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

// A message box as one line: its caption and text, without the text's trailing line breaks.
std::string describeBox(const headless::MessageBoxRecord& box) {
    std::string text = box.text;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return box.caption + ": " + text;
}

int runExportCommand(const ExportArgs& args) {
    const zeq::cli::GlobalOptions& global = zeq::cli::globalOptions();
    const std::string folder = headless::pluginFolder(global.pluginDir, global.argv0);
    std::error_code ec;
    std::filesystem::directory_iterator probe(folder, ec);
    if (ec) throw zeq::cli::CommandError(folder, "cannot read the plug-in folder (" + ec.message() + ")");

    // The registry outlives the host: objects the libraries made may live in the host's scene.
    headless::PluginRegistry plugins;
    headless::Host host;
    host.setPlugins(&plugins);
    plugins.loadFolder(folder);
    ClassDesc* exporter = plugins.findExporterFor("zeq");
    if (!exporter) {
        for (const headless::PluginLoadFailure& failure : plugins.failures())
            std::cerr << "zeq: " << failure.fileName << ": " << failure.reason << '\n';
        throw zeq::cli::CommandError(folder, "no exporter for .zeq files in the plug-in folder");
    }

    if (args.scene.empty()) {
        headless::buildDemoScene(host);
    } else {
        try {
            headless::loadSceneDocumentFile(host, args.scene);
        } catch (const headless::SceneDocumentError& e) {
            throw zeq::cli::CommandError(zeq::cli::inputName(args.scene), e.what());
        }
    }

    // "-" reaches the exporter as it is: the output routine takes it for standard output.
    host.ui().queueDialog(dialogClicks(args));
    const int result =
        host.exportFile(exporter, args.output, false, args.selected ? SCENE_EXPORT_SELECTED : 0u);

    // A failure is one line: the "Error" box becomes the error line, and no other box is printed.
    const std::string output = args.output == "-" ? "standard output" : args.output;
    if (!host.ui().dialogs().empty() && host.ui().dialogs().back().refusedSteps)
        throw zeq::cli::CommandError(output, "the options dialog refused a requested option");
    if (result == IMPEXP_CANCEL) throw zeq::cli::CommandError(output, "the export was cancelled");
    if (result != IMPEXP_SUCCESS) throw zeq::cli::CommandError(output, "the exporter could not run");
    for (const headless::MessageBoxRecord& box : host.ui().messageBoxes())
        if (box.caption == "Error") throw zeq::cli::CommandError(output, zeq::cli::errorLineText(box.text, output));
    for (const headless::MessageBoxRecord& box : host.ui().messageBoxes()) std::cerr << describeBox(box) << '\n';
    if (args.output != "-" && !std::filesystem::exists(args.output, ec))
        throw zeq::cli::CommandError(output, "the exporter reported success but wrote no file");
    return 0;
}

ZEQ_COMMAND(10, [](CLI::App& app) {
    auto args = std::make_shared<ExportArgs>();
    CLI::App* sub = app.add_subcommand(
        "export",
        "Export a scene document (default: the built-in demo scene) to a Zeq file through the Export plug-in. The "
        "options are set in the plug-in's options dialog; message boxes are printed on stderr; exit status 1 when "
        "the export reports an error");
    sub->add_option("SCENE", args->scene, "Scene document (JSON) to export (-: standard input); omitted: the built-in demo scene")
        ->type_name("SCENE.json");
    sub->add_option("-o,--output", args->output, "The Zeq file to write (-: standard output)")->required()->type_name("OUT.zeq");
    sub->add_flag("--normals", args->normals, "Write per-vertex normals (\"Normals\")");
    sub->add_flag("--tangents", args->tangents, "Write tangent frames, which turns normals on (\"Tangents/binormals\")");
    sub->add_flag("--atf", args->atf, "Image names get the extension .atf (\"Extensions as ATF\")");
    sub->add_flag("--animation", args->animation, "Write transform tracks (\"Enable export\")");
    sub->add_flag("--animation-only", args->animationOnly,
                  "Write transform tracks and nothing else (\"Export only animation\")");
    sub->add_flag("--half", args->half, "Store vertex data as 16-bit floats, version 2.6 (\"16bit vertex buffers\")");
    sub->add_flag("--selected", args->selected, "Export the selected nodes only (the scene's selection)");
    return [args] { return runExportCommand(*args); };
});

}  // namespace
