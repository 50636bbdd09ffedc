#pragma once
// The library contract between a plug-in library and the host.
//
// Each library keeps its resources as data: a string table and its dialog templates, gathered in
// one PluginModule. The module handle (ModuleHandle) is the address of that PluginModule; the
// library stores it when it is attached to the process and the host uses it to find the library's
// strings and dialogs. Until it is stored, string lookups give null.
//
// The host finds a library's entry points by name (C symbols): LibDescription, LibNumberClasses,
// LibClassDesc, LibVersion, LibInitialize, LibShutdown and, for libraries that must not be loaded
// late, CanAutoDefer. ZEQ_LIBRARY_ENTRY_POINTS defines them.
//
//     constexpr StringResource kStrings[] = {{1, "My plugin"}, {2, "Category"}, {3, "MyClass"}};
//     PluginLibrary gLibrary{{"MyPlugin", kStrings, {}}};
//     ClassDesc* GetMyClassDesc();
//     ZEQ_LIBRARY_ENTRY_POINTS(gLibrary, 1, GetMyClassDesc())
//     ZEQ_LIBRARY_NO_AUTO_DEFER()
#include "host/class_desc.h"
#include "host/ids.h"
#include "host/ui.h"

#include <cstddef>
#include <span>

struct StringResource {
    int id = 0;
    const char* text = "";
};

struct PluginModule {
    const char* name = "";
    std::span<const StringResource> strings;
    std::span<const DialogTemplate> dialogs;
};

// Copies string id of the module into buffer (at most size - 1 characters, always terminated) and
// returns the number of characters copied; 0 when the module is null, has no such string, or size
// is not positive (then buffer is left untouched).
int LoadString(ModuleHandle module, int id, char* buffer, int size);
// The module's dialog template with that id; null when there is none.
const DialogTemplate* FindDialogTemplate(ModuleHandle module, int id);

// Per-library state the contract asks for: the module handle, stored at attach, and the one
// 256-character buffer that every string lookup of the library fills (each lookup overwrites it).
class PluginLibrary {
public:
    static constexpr int kStringBufferSize = 256;

    constexpr explicit PluginLibrary(PluginModule module) : module_(module) {}

    // Stores the module handle; called when the library is attached to the process.
    void Attach() { handle_ = &module_; }
    void Detach() { handle_ = nullptr; }
    ModuleHandle Handle() const { return handle_; }
    const PluginModule& Module() const { return module_; }

    // String id copied into the shared buffer; null when the handle is not stored yet or the string
    // does not exist.
    const char* GetString(int id);

private:
    PluginModule module_;
    ModuleHandle handle_ = nullptr;
    char buffer_[kStringBufferSize] = {};
};

// Signatures of the entry points, as the host calls them.
using LibDescriptionFn = const char* (*)();
using LibNumberClassesFn = int (*)();
using LibClassDescFn = ClassDesc* (*)(int);
using LibVersionFn = uint32_t (*)();
using LibInitializeFn = int (*)();
using LibShutdownFn = int (*)();
using CanAutoDeferFn = int (*)();

#define ZEQ_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))

// Defines the entry points of a library: the description is string descriptionId of the library's
// table; the classes are the descriptor expressions that follow, in order (each a ClassDesc*).
// The module handle is stored when the library is loaded (a load-time constructor).
#define ZEQ_LIBRARY_ENTRY_POINTS(library, descriptionId, ...)                                    \
    __attribute__((constructor)) static void zeqLibraryAttach() { (library).Attach(); }           \
    static ClassDesc* zeqLibraryClass(int i, int* count = nullptr) {                             \
        ClassDesc* const all[] = {__VA_ARGS__};                                                   \
        constexpr int n = static_cast<int>(sizeof(all) / sizeof(all[0]));                         \
        if (count) *count = n;                                                                    \
        return i >= 0 && i < n ? all[i] : nullptr;                                                \
    }                                                                                             \
    static int zeqLibraryClassCount() {                                                           \
        int n = 0;                                                                                \
        zeqLibraryClass(-1, &n);                                                                  \
        return n;                                                                                 \
    }                                                                                             \
    ZEQ_PLUGIN_EXPORT const char* LibDescription() { return (library).GetString(descriptionId); } \
    ZEQ_PLUGIN_EXPORT int LibNumberClasses() { return zeqLibraryClassCount(); }                   \
    ZEQ_PLUGIN_EXPORT ClassDesc* LibClassDesc(int i) { return zeqLibraryClass(i); }               \
    ZEQ_PLUGIN_EXPORT uint32_t LibVersion() { return HOST_SDK_VERSION; }                          \
    ZEQ_PLUGIN_EXPORT int LibInitialize() { return 1; }                                           \
    ZEQ_PLUGIN_EXPORT int LibShutdown() { return 1; }

// Defines CanAutoDefer returning 0: the host must load the library at start-up, never late.
#define ZEQ_LIBRARY_NO_AUTO_DEFER() \
    ZEQ_PLUGIN_EXPORT int CanAutoDefer() { return 0; }
