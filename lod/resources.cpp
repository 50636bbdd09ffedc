// The ZeqLOD string table, dialog templates and library state.
#include "lod/resources.h"

namespace zeq {
namespace {

constexpr StringResource kStrings[] = {
    {IDS_LIBDESCRIPTION, "Zeq LOD object"},
    {IDS_CATEGORY, "Keldane"},
    {IDS_CLASS_NAME, "ZeqLOD"},
    {IDS_PARAMS, "Parameters"},
    {IDS_SPIN, "Spin"},
    {IDS_LOD_ROLLUP_TITLE, "Level Of Detail"},
    {IDS_PICK_PROMPT, "Pick an object to add to the LOD list"},
    {IDS_LOD, "LOD"},
    {IDS_DISTANCE_EDITOR_CLASS, "LOD's distance editor"},
    {IDS_DISTANCE_EDITOR_TITLE, "LOD's distance editor"},
    {IDS_LEVEL_SELECTOR_CLASS, "LOD's level selector"},
    {IDS_LEVEL_SELECTOR_TITLE, "LOD's level selector"},
};

using K = ControlKind;

// The LOD object's page: picking levels, the level list with its delete and select buttons, the
// selected level's distance, centring and the icon size.
constexpr DialogControl kLodPanel[] = {
    {IDC_PICK_NODE, K::PickButton, "Pick Objects", false, true, 6, 4, 96, 14},
    {IDC_LEVEL_LIST, K::ListBox, "", false, true, 6, 22, 96, 60},
    {IDC_DELETE_LEVEL, K::Button, "Delete", false, true, 6, 86, 46, 14},
    {IDC_SELECT_LEVEL, K::Button, "Select", false, true, 56, 86, 46, 14},
    {IDC_STATIC, K::StaticText, "Distance:", false, true, 6, 106, 34, 8},
    {IDC_DISTANCE_EDIT, K::EditText, "", false, true, 46, 104, 46, 12},
    {IDC_DISTANCE_SPIN, K::Spinner, "", false, true, 92, 104, 10, 12},
    {IDC_CENTER_ALIGN, K::CheckBox, "Center align child", false, true, 6, 122, 96, 10},
    {IDC_STATIC, K::StaticText, "Icon size:", false, true, 6, 140, 34, 8},
    {IDC_ICON_SIZE_EDIT, K::EditText, "", false, true, 46, 138, 46, 12},
    {IDC_ICON_SIZE_SPIN, K::Spinner, "", false, true, 92, 138, 10, 12},
};

// The level selector: one level field and its button.
constexpr DialogControl kLevelSelector[] = {
    {IDC_STATIC, K::StaticText, "Level:", false, true, 6, 8, 30, 8},
    {IDC_LEVEL_EDIT, K::EditText, "1", false, true, 40, 6, 46, 12},
    {IDC_LEVEL_SPIN, K::Spinner, "", false, true, 86, 6, 10, 12},
    {IDC_SELECTOR_SELECT, K::Button, "Select", false, true, 6, 24, 96, 14},
};

// The distance editor: five fixed level fields, one free level with its distance, the selection
// switch and the button.
constexpr DialogControl kDistanceEditor[] = {
    {IDC_STATIC, K::StaticText, "Level 1", false, true, 6, 8, 30, 8},
    {IDC_LEVEL_DISTANCE_EDIT[0], K::EditText, "0", false, true, 40, 6, 46, 12},
    {IDC_LEVEL_DISTANCE_SPIN[0], K::Spinner, "", false, true, 86, 6, 10, 12},
    {IDC_STATIC, K::StaticText, "Level 2", false, true, 6, 24, 30, 8},
    {IDC_LEVEL_DISTANCE_EDIT[1], K::EditText, "0", false, true, 40, 22, 46, 12},
    {IDC_LEVEL_DISTANCE_SPIN[1], K::Spinner, "", false, true, 86, 22, 10, 12},
    {IDC_STATIC, K::StaticText, "Level 3", false, true, 6, 40, 30, 8},
    {IDC_LEVEL_DISTANCE_EDIT[2], K::EditText, "0", false, true, 40, 38, 46, 12},
    {IDC_LEVEL_DISTANCE_SPIN[2], K::Spinner, "", false, true, 86, 38, 10, 12},
    {IDC_STATIC, K::StaticText, "Level 4", false, true, 6, 56, 30, 8},
    {IDC_LEVEL_DISTANCE_EDIT[3], K::EditText, "0", false, true, 40, 54, 46, 12},
    {IDC_LEVEL_DISTANCE_SPIN[3], K::Spinner, "", false, true, 86, 54, 10, 12},
    {IDC_STATIC, K::StaticText, "Level 5", false, true, 6, 72, 30, 8},
    {IDC_LEVEL_DISTANCE_EDIT[4], K::EditText, "0", false, true, 40, 70, 46, 12},
    {IDC_LEVEL_DISTANCE_SPIN[4], K::Spinner, "", false, true, 86, 70, 10, 12},
    {IDC_STATIC, K::StaticText, "Level:", false, true, 6, 92, 30, 8},
    {IDC_LEVEL_EDIT, K::EditText, "6", false, true, 40, 90, 46, 12},
    {IDC_LEVEL_SPIN, K::Spinner, "", false, true, 86, 90, 10, 12},
    {IDC_STATIC, K::StaticText, "Distance", false, true, 6, 108, 30, 8},
    {IDC_EXTRA_DISTANCE_EDIT, K::EditText, "0", false, true, 40, 106, 46, 12},
    {IDC_EXTRA_DISTANCE_SPIN, K::Spinner, "", false, true, 86, 106, 10, 12},
    {IDC_ONLY_SELECTED, K::CheckBox, "Only selected", false, true, 6, 126, 90, 10},
    {IDC_SET_DISTANCES, K::Button, "Set", false, true, 6, 142, 96, 14},
};

constexpr DialogTemplate kDialogs[] = {
    {IDD_LOD_PANEL, "", kLodPanel, 108, 158},
    {IDD_LEVEL_SELECTOR, "", kLevelSelector, 108, 44},
    {IDD_DISTANCE_EDITOR, "", kDistanceEditor, 108, 162},
};

PluginLibrary gLibrary{{"ZeqLOD", kStrings, kDialogs}};

}  // namespace

PluginLibrary& lodLibrary() { return gLibrary; }

const char* GetString(int id) { return gLibrary.GetString(id); }

}  // namespace zeq
