// The export of whatever a scene document loads as, as `zeq export SCENE.json -o OUT.zeq` runs it:
// the plug-in folder is loaded (so LOD, sprite and engine-parameter objects are the plug-ins' own),
// the document is loaded, and the Export plug-in writes the file with the options of the input's
// first byte, one bit per box of its options dialog, in the order `zeq export` ticks them, and the
// selection bit of the export call. The rest of the input is the document.
//
// Whatever the document, the export either writes a file and shows no "Error" box, or shows
// exactly one "Error" box and leaves no file; the progress display ends. A written file loads,
// passes every check of `zeq validate` without an error, and imports through the SceneLoader
// plug-in without an "Error" box.
#include "export/export_plugin.h"
#include "fuzz/fuzz_support.h"
#include "headless/host.h"
#include "headless/plugin_loader.h"
#include "headless/scene_document.h"
#include "tools/zeq/command.h"
#include "tools/zeq/inspect_load.h"
#include "tools/zeq/inspect_validate.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace {

// The options dialog's boxes in the order `zeq export` clicks them (normals before tangents,
// which locks it; animation-only last).
constexpr int kBoxes[] = {zeq::IDC_NORMALS,   zeq::IDC_TANGENTS,      zeq::IDC_ATF_EXTENSIONS,
                          zeq::IDC_ANIMATION, zeq::IDC_16BIT_BUFFERS, zeq::IDC_ANIMATION_ONLY};
constexpr uint8_t kSelectedBit = 0x40;

headless::PluginRegistry& plugins() {
    static headless::PluginRegistry* registry = [] {
        auto* loaded = new headless::PluginRegistry;  // kept to the end: scenes hold the plug-ins' objects
        loaded->loadFolder(ZEQ_FUZZ_PLUGIN_DIR);
        if (!loaded->findExporterFor("zeq") || !loaded->findImporterFor("zeq"))
            zeq::fuzz::violated("no Export and SceneLoader plug-ins in " ZEQ_FUZZ_PLUGIN_DIR);
        return loaded;
    }();
    return *registry;
}

int errorBoxes(headless::Host& host) {
    int count = 0;
    for (const auto& box : host.ui().messageBoxes()) count += box.caption == "Error" ? 1 : 0;
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static zeq::fuzz::ScratchFile scratch(".zeq");
    const uint8_t options = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string& path = scratch.path();
    std::filesystem::remove(path);  // only the export may make it

    headless::Host host;
    host.ui().setProgressStream(nullptr);
    host.setPlugins(&plugins());
    try {
        headless::loadSceneDocumentText(host, text);
    } catch (const headless::SceneDocumentError&) {
        return 0;
    }
    std::vector<headless::DialogStep> clicks;
    for (size_t i = 0; i < std::size(kBoxes); ++i)
        if (options & (1u << i)) clicks.push_back(headless::DialogStep::click(kBoxes[i]));
    clicks.push_back(headless::DialogStep::click(zeq::IDC_OK));
    host.ui().queueDialog(clicks);
    const int result = host.exportFile(plugins().findExporterFor("zeq"), path, false,
                                       (options & kSelectedBit) ? SCENE_EXPORT_SELECTED : 0u);
    if (result != IMPEXP_SUCCESS) zeq::fuzz::violated("export result " + std::to_string(result));
    if (host.ui().dialogs().empty() || host.ui().dialogs().back().refusedSteps)
        zeq::fuzz::violated("the options dialog did not take the clicks");
    if (host.ui().progressActive()) zeq::fuzz::violated("the progress display is still open");
    const int errors = errorBoxes(host);
    const bool written = std::filesystem::exists(path);
    if (errors > 1) zeq::fuzz::violated("more than one Error box");
    if (errors == 1) {
        if (written) zeq::fuzz::violated("a failed export left a file");
        return 0;
    }
    if (!written) zeq::fuzz::violated("an export without an Error box wrote no file");

    zeq::inspect::LoadedScene loaded;
    try {
        loaded = zeq::inspect::loadScene(path);
    } catch (const zeq::cli::CommandError& e) {
        zeq::fuzz::violated(std::string("the written file does not load: ") + e.what());
    }
    const zeq::inspect::ValidationReport report = zeq::inspect::validateScene(loaded.file);
    for (const zeq::inspect::Finding& finding : report.findings)
        if (finding.severity == zeq::inspect::Severity::Error)
            zeq::fuzz::violated("the written file does not validate: " + zeq::inspect::formatFinding(finding));

    headless::Host back;
    back.ui().setProgressStream(nullptr);
    back.setPlugins(&plugins());
    if (back.importFile(plugins().findImporterFor("zeq"), path, true) != IMPEXP_SUCCESS || errorBoxes(back) != 0)
        zeq::fuzz::violated("the written file does not import");
    return 0;
}
