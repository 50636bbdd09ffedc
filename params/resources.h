#pragma once
// Resources of the EngineParams library: its string table, the four rollup pages as dialog
// templates with their control ids, and the library state the host contract asks for (the module
// handle stored at attach and the shared string buffer).
#include "host/plugin_library.h"

namespace zeq {

// Numbers of the string table. The library has no description string (number 1).
inline constexpr int IDS_PARAMS_LIBDESCRIPTION = 1;
inline constexpr int IDS_PARAMS_CATEGORY = 2;        // "Keldane"
inline constexpr int IDS_PARAMS_CLASS_NAME = 3;      // "KeldaneGUP"
inline constexpr int IDS_PARAMS_PARAMS = 4;          // "Parameters"
inline constexpr int IDS_PARAMS_SPIN = 5;            // "Spin"
inline constexpr int IDS_PARAMS_ALPHA_PAGE = 6;      // "Zeq Parameters"
inline constexpr int IDS_PARAMS_OBJECT_PAGE = 7;     // "Zeq Object Parameters"
inline constexpr int IDS_PARAMS_CONTAINER_PAGE = 8;  // "Zeq Container Parameters"
inline constexpr int IDS_PARAMS_TYPES_PAGE = 9;      // "Types"

// The four pages.
inline constexpr int IDD_PARAMS_OBJECT = 101;
inline constexpr int IDD_PARAMS_CONTAINER = 102;
inline constexpr int IDD_PARAMS_ALPHA = 108;
inline constexpr int IDD_PARAMS_TYPES = 109;  // empty: its buttons are made when it opens

// Alpha and blend page.
inline constexpr int IDC_ALPHA_SLIDER = 1032;
inline constexpr int IDC_ALPHA_EDIT = 1033;
inline constexpr int IDC_BLEND_MODE = 1017;

// Object page.
inline constexpr int IDC_SORT_NONE = 1026;
inline constexpr int IDC_SORT_AVERAGE_Z = 1027;
inline constexpr int IDC_SORT_STATIC_BSP = 1004;
inline constexpr int IDC_SORT_DYNAMIC_BSP = 1007;
inline constexpr int IDC_OPTIMIZE = 1016;
inline constexpr int IDC_SPLITTER = 1001;
inline constexpr int IDC_BASE_GEOMETRY = 1031;

// Shared by the object and container pages: the threshold and the clipping buttons.
inline constexpr int IDC_THRESHOLD_LABEL = 1021;
inline constexpr int IDC_THRESHOLD_EDIT = 1000;
inline constexpr int IDC_THRESHOLD_SPIN = 1022;
inline constexpr int IDC_BOUND_CULLING = 1011;
inline constexpr int IDC_FACE_CULLING = 1012;
inline constexpr int IDC_FACE_CLIPPING = 1013;

// Container page.
inline constexpr int IDC_TYPE_OBJECT3D = 1028;
inline constexpr int IDC_TYPE_DISTANCE_SORT = 1029;
inline constexpr int IDC_TYPE_KDTREE = 1025;
inline constexpr int IDC_TYPE_BSPTREE = 1026;
inline constexpr int IDC_TYPE_CONFLICT = 1033;
inline constexpr int IDC_CHILD_LIST = 1049;
inline constexpr int IDC_CHILD_UP = 1050;
inline constexpr int IDC_CHILD_DOWN = 1051;
inline constexpr int IDC_AXIS_ALIGNED_BOX = 1014;
inline constexpr int IDC_OBJECT_ORIENTED_BOX = 1015;
inline constexpr int IDC_CLIPPING_GROUP = 1036;
inline constexpr int IDC_SORT_BY_Z = 1035;

// The library's process-wide state: one per loaded copy of the library.
PluginLibrary& paramsLibrary();

// String `id` of the table, copied into the library's shared 256-character buffer (each call
// overwrites the previous result); null while the module handle is not stored or for an unknown id.
const char* ParamsString(int id);

}  // namespace zeq
