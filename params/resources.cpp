// The EngineParams string table, its four rollup pages and the library state.
#include "params/resources.h"

namespace zeq {
namespace {

constexpr StringResource kStrings[] = {
    {IDS_PARAMS_CATEGORY, "Keldane"},
    {IDS_PARAMS_CLASS_NAME, "KeldaneGUP"},
    {IDS_PARAMS_PARAMS, "Parameters"},
    {IDS_PARAMS_SPIN, "Spin"},
    {IDS_PARAMS_ALPHA_PAGE, "Zeq Parameters"},
    {IDS_PARAMS_OBJECT_PAGE, "Zeq Object Parameters"},
    {IDS_PARAMS_CONTAINER_PAGE, "Zeq Container Parameters"},
    {IDS_PARAMS_TYPES_PAGE, "Types"},
};

// Pages are 108 dialog units wide, the width of the command panel. Radio buttons of one group
// follow each other in template order (that is what makes them one group).

constexpr DialogControl kAlphaPage[] = {
    {.kind = ControlKind::StaticText, .text = "Alpha", .x = 5, .y = 6, .width = 24, .height = 8},
    {.id = IDC_ALPHA_SLIDER, .kind = ControlKind::Slider, .x = 5, .y = 16, .width = 66, .height = 12},
    {.id = IDC_ALPHA_EDIT, .kind = ControlKind::EditText, .x = 74, .y = 16, .width = 28, .height = 12},
    {.kind = ControlKind::StaticText, .text = "BlendMode", .x = 5, .y = 34, .width = 40, .height = 8},
    {.id = IDC_BLEND_MODE, .kind = ControlKind::ComboBox, .x = 5, .y = 44, .width = 97, .height = 12},
};

constexpr DialogControl kObjectPage[] = {
    {.kind = ControlKind::Group, .text = "Sorting", .x = 3, .y = 3, .width = 102, .height = 58},
    {.id = IDC_SORT_NONE, .kind = ControlKind::RadioButton, .text = "None", .x = 8, .y = 13, .width = 45, .height = 10},
    {.id = IDC_SORT_AVERAGE_Z, .kind = ControlKind::RadioButton, .text = "Average Z", .x = 55, .y = 13, .width = 47, .height = 10},
    {.id = IDC_SORT_STATIC_BSP, .kind = ControlKind::RadioButton, .text = "Static BSP", .x = 8, .y = 25, .width = 45, .height = 10},
    {.id = IDC_SORT_DYNAMIC_BSP, .kind = ControlKind::RadioButton, .text = "Dynamic BSP", .x = 55, .y = 25, .width = 47, .height = 10},
    {.id = IDC_OPTIMIZE, .kind = ControlKind::CheckBox, .text = "Optimize", .x = 8, .y = 37, .width = 45, .height = 10},
    {.id = IDC_THRESHOLD_LABEL, .kind = ControlKind::StaticText, .text = "Threshold", .x = 8, .y = 49, .width = 34, .height = 8},
    {.id = IDC_THRESHOLD_EDIT, .kind = ControlKind::EditText, .x = 55, .y = 47, .width = 38, .height = 12},
    {.id = IDC_THRESHOLD_SPIN, .kind = ControlKind::Spinner, .x = 94, .y = 47, .width = 7, .height = 12},
    {.kind = ControlKind::Group, .text = "Clipping", .x = 3, .y = 64, .width = 102, .height = 46},
    {.id = IDC_BOUND_CULLING, .kind = ControlKind::RadioButton, .text = "BoundCulling", .x = 8, .y = 74, .width = 90, .height = 10},
    {.id = IDC_FACE_CULLING, .kind = ControlKind::RadioButton, .text = "FaceCulling", .x = 8, .y = 86, .width = 90, .height = 10},
    {.id = IDC_FACE_CLIPPING, .kind = ControlKind::RadioButton, .text = "FaceClipping", .x = 8, .y = 98, .width = 90, .height = 10},
    {.id = IDC_SPLITTER, .kind = ControlKind::CheckBox, .text = "Splitter", .x = 8, .y = 114, .width = 45, .height = 10},
    {.id = IDC_BASE_GEOMETRY, .kind = ControlKind::CheckBox, .text = "Base geometry", .x = 55, .y = 114, .width = 50, .height = 10},
};

constexpr DialogControl kContainerPage[] = {
    {.kind = ControlKind::Group, .text = "Container's type", .x = 3, .y = 3, .width = 102, .height = 46},
    {.id = IDC_TYPE_OBJECT3D, .kind = ControlKind::RadioButton, .text = "Object3D", .x = 8, .y = 13, .width = 45, .height = 10},
    {.id = IDC_TYPE_DISTANCE_SORT, .kind = ControlKind::RadioButton, .text = "DistanceSort", .x = 55, .y = 13, .width = 48, .height = 10},
    {.id = IDC_TYPE_KDTREE, .kind = ControlKind::RadioButton, .text = "KDTree", .x = 8, .y = 25, .width = 45, .height = 10},
    {.id = IDC_TYPE_BSPTREE, .kind = ControlKind::RadioButton, .text = "BSPTree", .x = 55, .y = 25, .width = 48, .height = 10},
    {.id = IDC_TYPE_CONFLICT, .kind = ControlKind::RadioButton, .text = "Conflict", .x = 8, .y = 37, .width = 45, .height = 10},
    {.id = IDC_CHILD_LIST, .kind = ControlKind::ListBox, .x = 5, .y = 53, .width = 74, .height = 60},
    {.id = IDC_CHILD_UP, .kind = ControlKind::Button, .text = "Up", .x = 82, .y = 53, .width = 22, .height = 14},
    {.id = IDC_CHILD_DOWN, .kind = ControlKind::Button, .text = "Down", .x = 82, .y = 70, .width = 22, .height = 14},
    {.id = IDC_THRESHOLD_LABEL, .kind = ControlKind::StaticText, .text = "Threshold", .x = 5, .y = 119, .width = 34, .height = 8},
    {.id = IDC_THRESHOLD_EDIT, .kind = ControlKind::EditText, .x = 55, .y = 117, .width = 38, .height = 12},
    {.id = IDC_THRESHOLD_SPIN, .kind = ControlKind::Spinner, .x = 94, .y = 117, .width = 7, .height = 12},
    {.id = IDC_AXIS_ALIGNED_BOX, .kind = ControlKind::CheckBox, .text = "Axis Aligned Bound Box", .x = 5, .y = 133, .width = 98, .height = 10},
    {.id = IDC_OBJECT_ORIENTED_BOX, .kind = ControlKind::CheckBox, .text = "Object Oriented Bound Box", .x = 5, .y = 145, .width = 98, .height = 10},
    {.id = IDC_CLIPPING_GROUP, .kind = ControlKind::Group, .text = "Clipping", .x = 3, .y = 158, .width = 102, .height = 46},
    {.id = IDC_BOUND_CULLING, .kind = ControlKind::RadioButton, .text = "BoundCulling", .x = 8, .y = 168, .width = 90, .height = 10},
    {.id = IDC_FACE_CULLING, .kind = ControlKind::RadioButton, .text = "FaceCulling", .x = 8, .y = 180, .width = 90, .height = 10},
    {.id = IDC_FACE_CLIPPING, .kind = ControlKind::RadioButton, .text = "FaceClipping", .x = 8, .y = 192, .width = 90, .height = 10},
    {.id = IDC_SORT_BY_Z, .kind = ControlKind::CheckBox, .text = "Sort by Z", .x = 5, .y = 208, .width = 60, .height = 10},
};

constexpr DialogTemplate kDialogs[] = {
    {.id = IDD_PARAMS_OBJECT, .caption = "", .controls = kObjectPage, .width = 108, .height = 128},
    {.id = IDD_PARAMS_CONTAINER, .caption = "", .controls = kContainerPage, .width = 108, .height = 222},
    {.id = IDD_PARAMS_ALPHA, .caption = "", .controls = kAlphaPage, .width = 108, .height = 62},
    {.id = IDD_PARAMS_TYPES, .caption = "", .controls = {}, .width = 108, .height = 10},
};

PluginLibrary gLibrary{{"EngineParams", kStrings, kDialogs}};

}  // namespace

PluginLibrary& paramsLibrary() { return gLibrary; }

const char* ParamsString(int id) { return gLibrary.GetString(id); }

}  // namespace zeq
