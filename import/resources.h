#pragma once
// Resources of the SceneLoader library: its string table and the library state the host contract
// asks for (the module handle stored at attach and the shared string buffer).
#include "host/plugin_library.h"

namespace zeq {

// Numbers of the string table.
inline constexpr int IDS_LIBDESCRIPTION = 1;  // "Zeq Import plugin v 1.17"
inline constexpr int IDS_CATEGORY = 2;        // "Keldane"
inline constexpr int IDS_CLASS_NAME = 3;      // "SceneLoader"
inline constexpr int IDS_PARAMS = 4;          // "Parameters"
inline constexpr int IDS_SPIN = 5;            // "Spin"

// The library's process-wide state: one per loaded copy of the library.
PluginLibrary& importLibrary();

// String `id` of the table, copied into the library's shared 256-character buffer (each call
// overwrites the previous result); null while the module handle is not stored or for an unknown id.
const char* GetString(int id);

}  // namespace zeq
