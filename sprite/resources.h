#pragma once
// Resources of the Sprite library: its string table, the rollup page of the sprite's parameters as
// a dialog template, and the library state the host contract asks for (the module handle stored at
// attach and the shared string buffer).
#include "host/plugin_library.h"

namespace zeq {

// Numbers of the string table. The library has no description string (number 1).
inline constexpr int IDS_SPRITE_LIBDESCRIPTION = 1;
inline constexpr int IDS_SPRITE_CATEGORY = 2;    // "Keldane"
inline constexpr int IDS_SPRITE_CLASS_NAME = 3;  // "Sprite"
inline constexpr int IDS_SPRITE_PARAMS = 4;      // "Parameters"
inline constexpr int IDS_SPRITE_SPIN = 5;        // "Spin"
inline constexpr int IDS_SPRITE_CHECKBOX = 6;    // "CheckBox"

// The rollup page and its controls.
inline constexpr int IDD_SPRITE_PARAMS = 101;
inline constexpr int IDC_SPRITE_ORIGINX_EDIT = 1002;
inline constexpr int IDC_SPRITE_AUTOSIZE = 1003;
inline constexpr int IDC_SPRITE_ROTATION_EDIT = 1004;
inline constexpr int IDC_SPRITE_ORIGINX_SPIN = 1005;
inline constexpr int IDC_SPRITE_ORIGINY_SPIN = 1006;
inline constexpr int IDC_SPRITE_ROTATION_SPIN = 1007;
inline constexpr int IDC_SPRITE_ORIGINY_EDIT = 1008;
inline constexpr int IDC_SPRITE_WIDTH_EDIT = 1009;
inline constexpr int IDC_SPRITE_PERSPECTIVE_SCALE = 1010;
inline constexpr int IDC_SPRITE_WIDTH_SPIN = 1011;
inline constexpr int IDC_SPRITE_HEIGHT_EDIT = 1012;
inline constexpr int IDC_SPRITE_HEIGHT_SPIN = 1013;

// The library's process-wide state: one per loaded copy of the library.
PluginLibrary& spriteLibrary();

// String `id` of the table, copied into the library's shared 256-character buffer (each call
// overwrites the previous result); null while the module handle is not stored or for an unknown id.
const char* SpriteString(int id);

}  // namespace zeq
