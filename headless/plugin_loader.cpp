#include "headless/plugin_loader.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <memory>
#include <sys/auxv.h>

namespace headless {

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string describeVersion(uint32_t version) {
    char text[64];
    std::snprintf(text, sizeof(text), "0x%08X (release %u, API %u)", version, version >> 16, (version >> 8) & 0xFFu);
    return text;
}

template <typename Fn>
Fn symbol(void* handle, const char* name) {
    // The entry points are C functions; dlsym hands them back as data pointers.
    return reinterpret_cast<Fn>(dlsym(handle, name));
}

std::string text(const char* s) { return s ? s : ""; }

// Does an exporter or importer object list ext among its extensions?
template <typename T>
bool handlesExtension(T* plugin, const std::string& ext) {
    if (!plugin) return false;
    for (int i = 0; i < plugin->ExtCount(); ++i)
        if (lower(text(plugin->Ext(i))) == ext) return true;
    return false;
}

}  // namespace

PluginRegistry::~PluginRegistry() { shutdown(); }

void PluginRegistry::fail(const std::string& fileName, const std::string& reason) {
    failures_.push_back({fileName, reason});
}

int PluginRegistry::loadFolder(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<fs::path> files;
    fs::directory_iterator it(folder, ec);
    if (ec) {
        fail(folder, "cannot read the plug-in folder: " + ec.message());
        return 0;
    }
    for (const auto& entry : it) {
        if (entry.path().extension() == ".so" && entry.is_regular_file(ec)) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    int loaded = 0;
    for (const auto& file : files)
        if (loadLibrary(file.string())) ++loaded;
    return loaded;
}

bool PluginRegistry::loadLibrary(const std::string& path) {
    std::string fileName = std::filesystem::path(path).filename().string();
    dlerror();
    // RTLD_LOCAL keeps each library's symbols to itself (every library exports the same entry-point
    // names); RTLD_NODELETE keeps its code mapped for objects that outlive the registry.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle) {
        fail(fileName, text(dlerror()));
        return false;
    }
    auto description = symbol<LibDescriptionFn>(handle, "LibDescription");
    auto numberClasses = symbol<LibNumberClassesFn>(handle, "LibNumberClasses");
    auto classDesc = symbol<LibClassDescFn>(handle, "LibClassDesc");
    auto version = symbol<LibVersionFn>(handle, "LibVersion");
    auto initialize = symbol<LibInitializeFn>(handle, "LibInitialize");
    auto shutdownFn = symbol<LibShutdownFn>(handle, "LibShutdown");
    auto canAutoDefer = symbol<CanAutoDeferFn>(handle, "CanAutoDefer");

    const char* missing = !description ? "LibDescription"
                          : !numberClasses ? "LibNumberClasses"
                          : !classDesc ? "LibClassDesc"
                          : !version ? "LibVersion"
                                     : nullptr;
    if (missing) {
        fail(fileName, std::string("missing entry point ") + missing);
        dlclose(handle);
        return false;
    }
    uint32_t libVersion = version();
    // A library built for another API number cannot be used; the release and revision may differ.
    if (((libVersion >> 8) & 0xFFu) != HOST_API_NUM || (libVersion >> 16) > HOST_RELEASE) {
        fail(fileName, "unsupported version " + describeVersion(libVersion) + ", the host is " +
                           describeVersion(HOST_SDK_VERSION));
        dlclose(handle);
        return false;
    }
    // LibInitialize and LibShutdown are optional, as for the host.
    if (initialize && !initialize()) {
        fail(fileName, "LibInitialize failed");
        dlclose(handle);
        return false;
    }

    PluginLibraryInfo info;
    info.path = path;
    info.fileName = fileName;
    const char* desc = description();
    info.hasDescription = desc != nullptr;
    info.description = text(desc);
    info.version = libVersion;
    info.canAutoDefer = !canAutoDefer || canAutoDefer() != 0;
    int count = numberClasses();
    for (int i = 0; i < count; ++i) {
        ClassDesc* cd = classDesc(i);
        if (!cd) {
            fail(fileName, "class descriptor " + std::to_string(i) + " is missing");
            continue;
        }
        auto key = std::make_pair(cd->SuperClassID(), cd->ClassID());
        if (registry_.count(key)) {
            char id[64];
            std::snprintf(id, sizeof(id), "(0x%X, 0x%08X, 0x%08X)", key.first, key.second.PartA(), key.second.PartB());
            fail(fileName, std::string("class ") + id + " is already registered");
            continue;
        }
        registry_.emplace(key, cd);
        order_.emplace_back(key.first, cd);
        info.classes.push_back({cd, text(cd->ClassName()), text(cd->Category()), text(cd->InternalName()),
                                cd->SuperClassID(), cd->ClassID(), cd->IsPublic() != 0});
    }
    libraries_.push_back(std::move(info));
    loaded_.push_back({handle, shutdownFn});
    return true;
}

void PluginRegistry::shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    for (auto it = loaded_.rbegin(); it != loaded_.rend(); ++it) {
        if (it->shutdown) it->shutdown();
        dlclose(it->handle);
    }
}

ClassDesc* PluginRegistry::find(SClass_ID superClassID, Class_ID classID) const {
    auto it = registry_.find({superClassID, classID});
    return it == registry_.end() ? nullptr : it->second;
}

std::vector<ClassDesc*> PluginRegistry::classesOf(SClass_ID superClassID) const {
    std::vector<ClassDesc*> out;
    for (const auto& [sid, cd] : order_)
        if (sid == superClassID) out.push_back(cd);
    return out;
}

void* PluginRegistry::create(SClass_ID superClassID, Class_ID classID) const {
    ClassDesc* cd = find(superClassID, classID);
    return cd ? cd->Create(false) : nullptr;
}

ClassDesc* PluginRegistry::findExporterFor(const std::string& ext) const {
    std::string wanted = lower(ext);
    for (ClassDesc* cd : classesOf(SCENE_EXPORT_CLASS_ID)) {
        std::unique_ptr<SceneExport> exporter(static_cast<SceneExport*>(cd->Create(false)));
        if (handlesExtension(exporter.get(), wanted)) return cd;
    }
    return nullptr;
}

ClassDesc* PluginRegistry::findImporterFor(const std::string& ext) const {
    std::string wanted = lower(ext);
    for (ClassDesc* cd : classesOf(SCENE_IMPORT_CLASS_ID)) {
        std::unique_ptr<SceneImport> importer(static_cast<SceneImport*>(cd->Create(false)));
        if (handlesExtension(importer.get(), wanted)) return cd;
    }
    return nullptr;
}

std::string DefaultPluginFolder(const std::string& explicitFolder, const std::string& argv0) {
    namespace fs = std::filesystem;
    if (!explicitFolder.empty()) return explicitFolder;
    if (const char* env = std::getenv("ZEQ_PLUGIN_PATH"); env && *env) return env;
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    // A program the kernel started without a program interpreter (no AT_BASE) was named to the
    // dynamic loader, which the kernel started: /proc/self/exe is the loader, argv[0] the program.
    if (ec || self.empty() || getauxval(AT_BASE) == 0) self = fs::absolute(argv0, ec);
    return self.parent_path().string();
}

}  // namespace headless
