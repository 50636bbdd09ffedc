// `zeq plugins`: loads the plug-in folder as zeq does for export and import, and lists every loaded
// library (file name, description, version) with its classes (name, category, super class, class
// id), then every library that failed with the reason. Exit status 1 when the folder cannot be read.
#include "tools/zeq/command.h"

#include "headless/host.h"
#include "tools/zeq/output.h"

#include <cstdio>
#include <iostream>
#include <set>
#include <string>

namespace {

std::string hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08X", static_cast<unsigned>(value));
    return text;
}

// A readable name for the super classes plug-ins register under.
const char* superClassName(SClass_ID id) {
    switch (id) {
    case SCENE_EXPORT_CLASS_ID: return "scene exporter";
    case SCENE_IMPORT_CLASS_ID: return "scene importer";
    case GUP_CLASS_ID: return "global utility";
    case UTILITY_CLASS_ID: return "utility";
    case GEOMOBJECT_CLASS_ID: return "geometric object";
    case HELPER_CLASS_ID: return "helper object";
    case SHAPE_CLASS_ID: return "shape";
    case LIGHT_CLASS_ID: return "light";
    case CAMERA_CLASS_ID: return "camera";
    case OSM_CLASS_ID: return "modifier";
    case MATERIAL_CLASS_ID: return "material";
    case TEXMAP_CLASS_ID: return "texture map";
    default: return nullptr;
    }
}

int listPlugins() {
    const std::string folder = zeq::cli::pluginFolderToLoad(true);

    // The registry outlives the host: objects the libraries made may live in the host's scene.
    headless::PluginRegistry registry;
    headless::Host host;
    host.ui().setProgressStream(nullptr);
    host.ui().setMessageBoxEcho(&zeq::cli::warnings());
    host.setPlugins(&registry);
    registry.loadFolder(folder);

    std::cout << "plug-in folder: " << folder << '\n';
    for (const headless::PluginLibraryInfo& library : registry.libraries()) {
        std::cout << library.fileName << ": "
                  << (library.hasDescription ? "\"" + library.description + "\"" : std::string("(no description)"))
                  << ", version " << hex(library.version) << (library.canAutoDefer ? "" : ", loaded at start-up")
                  << '\n';
        for (const headless::PluginClass& c : library.classes) {
            std::cout << "  class \"" << c.className << "\", category \"" << c.category << "\", super class "
                      << hex(c.superClassID);
            if (const char* name = superClassName(c.superClassID)) std::cout << " (" << name << ")";
            std::cout << ", class id " << hex(c.classID.PartA()) << ' ' << hex(c.classID.PartB()) << '\n';
        }
    }
    // A library that loaded may still have a class refused (one already registered): that is listed
    // as a failure but counted with the loaded libraries only.
    std::set<std::string> failed;
    for (const headless::PluginLoadFailure& failure : registry.failures()) {
        std::cout << "failed: " << failure.fileName << ": " << failure.reason << '\n';
        failed.insert(failure.fileName);
    }
    for (const headless::PluginLibraryInfo& library : registry.libraries()) failed.erase(library.fileName);
    std::cout << registry.libraries().size() << " libraries loaded, " << failed.size() << " failed\n";
    zeq::cli::flushStandardOutput();
    return 0;
}

ZEQ_COMMAND(80, [](CLI::App& app) {
    app.add_subcommand("plugins",
                       "List the plug-in libraries of the plug-in folder (--plugins, $ZEQ_PLUGIN_PATH, ../lib/zeq/plugins "
                       "beside an installed zeq or the folder of zeq) with their classes, and the libraries that "
                       "failed to load");
    return [] { return listPlugins(); };
});

}  // namespace
