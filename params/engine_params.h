#pragma once
// The engine-parameter model: which settings an artist can attach to a scene object, the slot
// (application-data sub id) each one is stored under, the value read when nothing is stored, the
// blend-mode names, the helper type lists and the kinds a selected node is classified into.
#include "host/types.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeq {

// Sub ids of the engine-parameter chunks. Slots 0 to 12 live on a node's base object (instances
// share them); ChildOrder lives on the child node itself.
enum EngineParamSlot : uint32_t {
    ALPHA = 0,
    BLEND_MODE = 1,
    SORTING = 2,
    OPTIMIZE = 3,
    THRESHOLD = 4,
    CLIPPING = 5,
    CONTAINER_TYPE = 6,
    AXIS_ALIGNED_BOUND_BOX = 7,
    OBJECT_ORIENTED_BOUND_BOX = 8,
    HELPER_TYPE = 9,
    SPLITTER = 10,
    BASE_GEOMETRY = 11,
    SORT_BY_Z = 12,
    CHILD_ORDER = 13,
};

// Stored values of the sorting slot.
enum class Sorting : int { STATIC_BSP = 0, DYNAMIC_BSP = 1, NONE = 2, AVERAGE_Z = 3 };
// Stored values of the clipping slot.
enum class Clipping : int { BOUND_CULLING = 0, FACE_CULLING = 1, FACE_CLIPPING = 2 };
// Stored values of the container-type slot.
enum class ContainerType : int { OBJECT3D = 0, DISTANCE_SORT = 1, BSP_TREE = 2, KD_TREE = 3, CONFLICT = 4 };

// What a missing chunk reads as. A chunk holding the sentinel itself counts as unset too.
inline constexpr int32_t kParamUnsetInt = 201000000;
inline constexpr float kParamUnsetFloat = 2.01e8f;

// Values read when a slot is unset (sorting has none: it is shown as "None"; the helper type falls
// back to the last chosen index; child order to the child's current position).
inline constexpr float kDefaultAlpha = 1.0f;
inline constexpr int kDefaultBlendMode = 10;  // "normal"
inline constexpr float kDefaultThreshold = 0.01f;
inline constexpr Clipping kDefaultClipping = Clipping::FACE_CLIPPING;
inline constexpr ContainerType kDefaultContainerType = ContainerType::OBJECT3D;

// Blend-mode names; the position of a name is the value stored in the blend-mode slot.
inline constexpr std::array<const char*, 15> BlendModeNames = {
    "add",   "alpha",    "darken", "difference", "erase",  "hardlight", "invert", "layer",
    "lighten", "multiply", "normal", "overlay",   "screen", "shader",    "subtract"};
// Position of a blend-mode name; none for a name the table does not have.
std::optional<int> blendModeIndex(std::string_view name);

// How a selected node takes part in the engine: it decides which panels edit it.
enum class EngineObjectKind : int {
    GEOMETRY = 0,
    CONTAINER = 1,
    HELPER_LIST_1 = 2,
    HELPER_LIST_2 = 3,
    HELPER_LIST_0 = 4,
    OTHER_ENGINE = 5,
    NONE = 6,
};

// Classes of engine objects made by plug-ins outside this suite, known here only by id, and the
// host class whose objects never carry engine parameters.
inline constexpr Class_ID HELPER_LIST_0_CLASS_ID{0x51724D43, 0x76A83D61};
inline constexpr Class_ID HELPER_LIST_1_CLASS_ID{0x17656FC1, 0x608500A3};
inline constexpr Class_ID HELPER_LIST_2_CLASS_ID{0xCFA83D70, 0xD3BF3656};
inline constexpr Class_ID OTHER_ENGINE_CLASS_ID{0x28BF6E8D, 0x2ECCA840};
inline constexpr Class_ID NO_ENGINE_PARAMS_CLASS_ID{0x92AAB38C, 0};

// The type names offered for one kind of engine helper object. With multiChoice each name has its
// own 0/1 flag (sub id = position of the name); otherwise the helper-type slot holds the chosen
// position. Stored values are positions, so the order of the names must never change.
struct HelperTypeList {
    std::vector<std::string> names;
    bool multiChoice = false;
};

// The three helper lists, indexed as the scripting interface numbers them (0, 1, 2).
using HelperTypeLists = std::array<HelperTypeList, 3>;

// One row of the carry-over table used when a node's base object is replaced.
struct MigratedParam {
    uint32_t subId;
    bool isFloat;
};
// Slots carried over from the old base object to the new one, in the order they are copied. Slots
// 8 to 13 are not carried over.
inline constexpr std::array<MigratedParam, 10> MigratedParams = {{{CONTAINER_TYPE, false},
                                                                  {AXIS_ALIGNED_BOUND_BOX, false},
                                                                  {AXIS_ALIGNED_BOUND_BOX, false},
                                                                  {THRESHOLD, true},
                                                                  {SORTING, false},
                                                                  {OPTIMIZE, false},
                                                                  {THRESHOLD, true},
                                                                  {CLIPPING, false},
                                                                  {ALPHA, true},
                                                                  {BLEND_MODE, false}}};

}  // namespace zeq
