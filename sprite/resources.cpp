// The Sprite string table, the parameter rollup page and the library state.
#include "sprite/resources.h"

namespace zeq {
namespace {

constexpr StringResource kStrings[] = {
    {IDS_SPRITE_CATEGORY, "Keldane"},
    {IDS_SPRITE_CLASS_NAME, "Sprite"},
    {IDS_SPRITE_PARAMS, "Parameters"},
    {IDS_SPRITE_SPIN, "Spin"},
    {IDS_SPRITE_CHECKBOX, "CheckBox"},
};

// The page is 105 × 123 dialog units; edit fields sit left of their spinners.
constexpr DialogControl kParamsPage[] = {
    {.kind = ControlKind::StaticText, .text = "OriginX", .x = 42, .y = 6, .width = 24, .height = 12},
    {.id = IDC_SPRITE_ORIGINX_EDIT, .kind = ControlKind::EditText, .x = 72, .y = 6, .width = 24, .height = 12},
    {.id = IDC_SPRITE_ORIGINX_SPIN, .kind = ControlKind::Spinner, .x = 96, .y = 6, .width = 6, .height = 12},
    {.kind = ControlKind::StaticText, .text = "OriginY", .x = 42, .y = 24, .width = 24, .height = 12},
    {.id = IDC_SPRITE_ORIGINY_EDIT, .kind = ControlKind::EditText, .x = 72, .y = 24, .width = 24, .height = 12},
    {.id = IDC_SPRITE_ORIGINY_SPIN, .kind = ControlKind::Spinner, .x = 96, .y = 24, .width = 6, .height = 12},
    {.kind = ControlKind::StaticText, .text = "Rotation", .x = 42, .y = 42, .width = 26, .height = 8},
    {.id = IDC_SPRITE_ROTATION_EDIT, .kind = ControlKind::EditText, .x = 72, .y = 42, .width = 24, .height = 12},
    {.id = IDC_SPRITE_ROTATION_SPIN, .kind = ControlKind::Spinner, .x = 96, .y = 42, .width = 6, .height = 12},
    {.id = IDC_SPRITE_AUTOSIZE, .kind = ControlKind::CheckBox, .text = "Autosize", .x = 6, .y = 60, .width = 42, .height = 10},
    {.kind = ControlKind::StaticText, .text = "Width", .x = 42, .y = 72, .width = 18, .height = 8},
    {.id = IDC_SPRITE_WIDTH_EDIT, .kind = ControlKind::EditText, .x = 72, .y = 72, .width = 24, .height = 12},
    {.id = IDC_SPRITE_WIDTH_SPIN, .kind = ControlKind::Spinner, .x = 96, .y = 72, .width = 6, .height = 12},
    {.kind = ControlKind::StaticText, .text = "Height", .x = 42, .y = 90, .width = 21, .height = 8},
    {.id = IDC_SPRITE_HEIGHT_EDIT, .kind = ControlKind::EditText, .x = 72, .y = 90, .width = 24, .height = 12},
    {.id = IDC_SPRITE_HEIGHT_SPIN, .kind = ControlKind::Spinner, .x = 96, .y = 90, .width = 6, .height = 12},
    {.id = IDC_SPRITE_PERSPECTIVE_SCALE, .kind = ControlKind::CheckBox, .text = "PerspectiveScale", .x = 6, .y = 108, .width = 66, .height = 10},
};

constexpr DialogTemplate kDialogs[] = {
    {.id = IDD_SPRITE_PARAMS, .caption = "", .controls = kParamsPage, .width = 105, .height = 123},
};

PluginLibrary gLibrary{{"Sprite", kStrings, kDialogs}};

}  // namespace

PluginLibrary& spriteLibrary() { return gLibrary; }

const char* SpriteString(int id) { return gLibrary.GetString(id); }

}  // namespace zeq
