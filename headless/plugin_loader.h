#pragma once
// Loads plug-in libraries the way the host does at start-up: open each library of a folder, find its
// entry points by name, check its version, initialise it and register its class descriptors by
// (super class id, class id). A library that cannot be loaded, lacks one of the entry points
// LibDescription, LibNumberClasses, LibClassDesc and LibVersion, reports another version or refuses
// to initialise is reported with its file name and the reason, and the others
// still load. At the end every loaded library is shut down (LibShutdown).
//
// Libraries stay mapped after shutdown, so that objects they created and the host still holds keep
// their code.
#include "host/host.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace headless {

struct PluginClass {
    ClassDesc* desc = nullptr;
    std::string className;
    std::string category;
    std::string internalName;
    SClass_ID superClassID = 0;
    Class_ID classID;
    bool isPublic = false;
};

struct PluginLibraryInfo {
    std::string path;
    std::string fileName;
    std::string description;  // LibDescription (empty when it gives null)
    bool hasDescription = false;
    uint32_t version = 0;
    bool canAutoDefer = true;  // false when the library says CanAutoDefer() == 0
    std::vector<PluginClass> classes;
};

struct PluginLoadFailure {
    std::string fileName;
    std::string reason;
};

class PluginRegistry {
public:
    PluginRegistry() = default;
    PluginRegistry(const PluginRegistry&) = delete;
    PluginRegistry& operator=(const PluginRegistry&) = delete;
    // Shuts every library down.
    ~PluginRegistry();

    // Loads every library (*.so) of a folder in file-name order; returns how many loaded. A folder
    // that cannot be read is one failure.
    int loadFolder(const std::string& folder);
    // Loads one library; false (with a failure recorded) when it is refused.
    bool loadLibrary(const std::string& path);
    // Calls LibShutdown of every library, once.
    void shutdown();

    const std::vector<PluginLibraryInfo>& libraries() const { return libraries_; }
    const std::vector<PluginLoadFailure>& failures() const { return failures_; }

    ClassDesc* find(SClass_ID superClassID, Class_ID classID) const;
    // Descriptors of one super class, in registration order.
    std::vector<ClassDesc*> classesOf(SClass_ID superClassID) const;
    // A new object of a registered class (see ClassDesc::Create); null for an unknown class.
    void* create(SClass_ID superClassID, Class_ID classID) const;

    // The exporter / importer class whose extension list holds ext (case-insensitive, without dot).
    ClassDesc* findExporterFor(const std::string& ext) const;
    ClassDesc* findImporterFor(const std::string& ext) const;

private:
    struct Loaded {
        void* handle = nullptr;
        LibShutdownFn shutdown = nullptr;
    };

    void fail(const std::string& fileName, const std::string& reason);

    std::vector<PluginLibraryInfo> libraries_;
    std::vector<PluginLoadFailure> failures_;
    std::vector<Loaded> loaded_;
    std::map<std::pair<SClass_ID, Class_ID>, ClassDesc*> registry_;
    std::vector<std::pair<SClass_ID, ClassDesc*>> order_;
    bool shutDown_ = false;
};

// The folder plug-ins are loaded from: explicit when given; else the environment variable
// ZEQ_PLUGIN_PATH; else the folder of the running program (argv0, resolved through /proc/self/exe).
std::string DefaultPluginFolder(const std::string& explicitFolder, const std::string& argv0);

}  // namespace headless
