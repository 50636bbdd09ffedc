#pragma once
// Resources of the ZeqLOD library: its string table, its dialog templates (the LOD object's rollup
// page and the two tools' pages) and the library state the host contract asks for.
#include "host/plugin_library.h"

namespace zeq {

// Numbers of the string table.
inline constexpr int IDS_LIBDESCRIPTION = 1;       // "Zeq LOD object"
inline constexpr int IDS_CATEGORY = 2;             // "Keldane"
inline constexpr int IDS_CLASS_NAME = 3;           // "ZeqLOD"
inline constexpr int IDS_PARAMS = 4;               // "Parameters"
inline constexpr int IDS_SPIN = 5;                 // "Spin"
inline constexpr int IDS_LOD_ROLLUP_TITLE = 6;     // "Level Of Detail"
inline constexpr int IDS_PICK_PROMPT = 7;          // "Pick an object to add to the LOD list"
inline constexpr int IDS_LOD = 8;                  // "LOD"
inline constexpr int IDS_DISTANCE_EDITOR_CLASS = 9;
inline constexpr int IDS_DISTANCE_EDITOR_TITLE = 10;
inline constexpr int IDS_LEVEL_SELECTOR_CLASS = 11;
inline constexpr int IDS_LEVEL_SELECTOR_TITLE = 12;

// Dialog templates.
inline constexpr int IDD_LOD_PANEL = 102;
inline constexpr int IDD_LEVEL_SELECTOR = 103;
inline constexpr int IDD_DISTANCE_EDITOR = 104;

// Controls of the LOD object's page (102).
inline constexpr int IDC_PICK_NODE = 1001;
inline constexpr int IDC_DISTANCE_EDIT = 1002;
inline constexpr int IDC_DISTANCE_SPIN = 1003;
inline constexpr int IDC_LEVEL_LIST = 1004;
inline constexpr int IDC_DELETE_LEVEL = 1005;
inline constexpr int IDC_ICON_SIZE_EDIT = 1006;
inline constexpr int IDC_ICON_SIZE_SPIN = 1007;
inline constexpr int IDC_SELECT_LEVEL = 1008;
inline constexpr int IDC_CENTER_ALIGN = 1019;

// Controls of the tools' pages: the level field (both tools), the level selector's button, and the
// distance editor's fields and button.
inline constexpr int IDC_LEVEL_EDIT = 1015;
inline constexpr int IDC_LEVEL_SPIN = 1016;
inline constexpr int IDC_SELECTOR_SELECT = 1017;
inline constexpr int IDC_ONLY_SELECTED = 1010;
inline constexpr int IDC_SET_DISTANCES = 1011;
inline constexpr int IDC_EXTRA_DISTANCE_EDIT = 1019;
inline constexpr int IDC_EXTRA_DISTANCE_SPIN = 1020;
// Edit and spinner of the fixed level fields 1 to 5.
inline constexpr int IDC_LEVEL_DISTANCE_EDIT[5] = {1017, 1024, 1028, 1030, 1026};
inline constexpr int IDC_LEVEL_DISTANCE_SPIN[5] = {1023, 1025, 1027, 1029, 1031};

// The library's process-wide state: one per loaded copy of the library.
PluginLibrary& lodLibrary();

// String `id` of the table, copied into the library's shared 256-character buffer (each call
// overwrites the previous result); null while the module handle is not stored or for an unknown id.
const char* GetString(int id);

}  // namespace zeq
