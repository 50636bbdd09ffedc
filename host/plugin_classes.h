#pragma once
// Identity of the suite's own plug-in classes. The plug-ins recognise each other's objects in a
// scene by these ids (the exporter and the engine-parameter utility find LOD and sprite objects this
// way), and the host registers each class under (super class id, class id).
#include "host/ids.h"

namespace zeq {

inline constexpr Class_ID EXPORT_CLASS_ID{0x57C07704, 0x66433F56};
inline constexpr SClass_ID EXPORT_SUPER_CLASS_ID = SCENE_EXPORT_CLASS_ID;

inline constexpr Class_ID ZEQ_IMPORT_CLASS_ID{0x4DDA2CFA, 0x577C5E82};
inline constexpr SClass_ID ZEQ_IMPORT_SUPER_CLASS_ID = SCENE_IMPORT_CLASS_ID;

inline constexpr Class_ID KELDANE_GUP_CLASS_ID{0x7952E048, 0xB8163C3D};
inline constexpr SClass_ID KELDANE_GUP_SUPER_CLASS_ID = GUP_CLASS_ID;

inline constexpr Class_ID LOD_OBJECT_CLASS_ID{0xB08FE489, 0x88D0FBBE};
inline constexpr SClass_ID LOD_OBJECT_SUPER_CLASS_ID = GEOMOBJECT_CLASS_ID;

inline constexpr Class_ID LOD_DISTANCE_EDITOR_CLASS_ID{0x9A73F15F, 0x8FF5840C};
inline constexpr Class_ID LOD_LEVEL_SELECTOR_CLASS_ID{0x7EED48B1, 0x68FF67B4};
inline constexpr SClass_ID LOD_TOOL_SUPER_CLASS_ID = UTILITY_CLASS_ID;

inline constexpr Class_ID SPRITE_CLASS_ID{0x8264D187, 0x6912FD2F};
inline constexpr SClass_ID SPRITE_SUPER_CLASS_ID = GEOMOBJECT_CLASS_ID;

// Parameter blocks the exporter reads from LOD and sprite objects: the LOD object's block (id 0,
// position 0) holds its level nodes in "Nodes list"; the sprite's block (id 3, position 0) holds the
// rectangle's settings.
inline constexpr BlockID LOD_PARAM_BLOCK_ID = 0;
inline constexpr ParamID LOD_PARAM_PICK_NODE = 0;
inline constexpr ParamID LOD_PARAM_CENTER_ALIGN = 1;
inline constexpr ParamID LOD_PARAM_ICON_SIZE = 2;
inline constexpr ParamID LOD_PARAM_CURRENT_DISTANCE = 3;
inline constexpr ParamID LOD_PARAM_NODES_LIST = 4;
inline constexpr ParamID LOD_PARAM_NODES_VIEW = 5;

inline constexpr BlockID SPRITE_PARAM_BLOCK_ID = 3;
inline constexpr ParamID SPRITE_PARAM_ORIGIN_X = 0;
inline constexpr ParamID SPRITE_PARAM_ORIGIN_Y = 1;
inline constexpr ParamID SPRITE_PARAM_ROTATION = 2;
inline constexpr ParamID SPRITE_PARAM_PERSPECTIVE_SCALE = 3;
inline constexpr ParamID SPRITE_PARAM_WIDTH = 4;
inline constexpr ParamID SPRITE_PARAM_HEIGHT = 5;
inline constexpr ParamID SPRITE_PARAM_AUTOSIZE = 6;

// Node user property holding a LOD level's switching distance, and the one the importer writes.
inline constexpr const char* LOD_DISTANCE_PROPERTY = "LODDistance";
inline constexpr const char* PROTOCOL_ID_PROPERTY = "ProtocolID";

}  // namespace zeq
