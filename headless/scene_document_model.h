#pragma once
// The model of a scene document, between the JSON text and the headless scene. Both directions go
// through it: reading turns JSON into the model and rejects anything the scene could not hold,
// building (scene_document_build.cpp) turns it into scene items and cannot fail; capturing
// (scene_document_capture.cpp) turns a scene into the model and writing streams it out as JSON.
// Reading and writing are driven by the field tables of scene_document_fields.cpp, which list the
// keys of every kind of entry once, with how each is read and written and its default.
//
// References between entries are indices into the model's tables (-1: none). Optional members are
// the values a document may leave out; absent, the scene keeps what a new item holds.
#include "headless/objects.h"
#include "headless/skin_modifier.h"
#include "host/host.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace headless::document {

// The format name and version written into every document and accepted by the loader.
inline constexpr const char* kFormatName = "zeq-scene";
inline constexpr int kFormatVersion = 1;

// Map channels a mesh may use (0 vertex colours, 1 and up texture coordinates).
inline constexpr int kMaxMapChannels = 100;

struct AppData {
    Class_ID classId;
    SClass_ID superClassId = 0;
    uint32_t subId = 0;
    std::vector<uint8_t> bytes;
    bool operator==(const AppData&) const = default;
};

// One parameter value; which member counts depends on the parameter's type. ref indexes the node,
// material or map table for node, material and map parameters.
struct ParamValue {
    float f = 0.0f;
    int i = 0;
    Point3 p;
    std::optional<std::string> s;
    int ref = -1;
    bool operator==(const ParamValue&) const = default;
};

struct ParamModel {
    ParamID id = 0;
    std::string name;
    ParamType2 type = TYPE_FLOAT;
    // One for a plain parameter (none when the document gives no value), the entries of a table.
    std::vector<ParamValue> values;
    bool operator==(const ParamModel&) const = default;
};

struct ParamBlockModel {
    BlockID id = 0;
    std::string name;
    std::vector<ParamModel> params;
    bool operator==(const ParamBlockModel&) const = default;
};

struct LayerModel {
    std::string name;
    bool hidden = false;
};

// ---- Maps ----

struct BitmapMapModel {
    std::string file;
    std::optional<std::pair<int, int>> size;  // pixels
    std::optional<int> filter;                // FILTER_PYR, FILTER_SAT, FILTER_NADA
    std::optional<int> alphaSource;           // ALPHA_FILE, ALPHA_RGB, ALPHA_NONE
    std::optional<bool> alphaAsMono;
};

struct CubeMapModel {
    // The six face images (an entry may be absent).
    std::optional<std::array<std::optional<std::string>, 6>> files;
    // A block that replaces the standard one (none: no block at all).
    std::optional<std::vector<ParamBlockModel>> paramBlocks;
};

struct OtherMapModel {
    Class_ID classId;
    std::vector<int> subMaps;  // map indices, -1 empty
    std::optional<std::vector<ParamBlockModel>> paramBlocks;
};

struct MapModel {
    std::string id;
    std::string name;
    int channel = 1;
    bool showInViewport = false;
    std::vector<AppData> appData;
    std::variant<BitmapMapModel, CubeMapModel, OtherMapModel> kind;
};

// ---- Materials ----

struct StandardMaterialModel {
    std::optional<Color> ambient, diffuse, specular;
    std::optional<float> glossiness, specularLevel, opacity, selfIllumination;
    std::optional<bool> twoSided;
    std::array<int, STD_NUM_TEXMAPS> maps = [] {  // map indices, -1 empty
        std::array<int, STD_NUM_TEXMAPS> empty{};
        empty.fill(-1);
        return empty;
    }();
    std::array<std::optional<float>, STD_NUM_TEXMAPS> amounts;
    std::array<std::optional<bool>, STD_NUM_TEXMAPS> enabled;
};

struct MultiSlot {
    int slot = 0;
    int material = -1;
    std::string name;
};

struct MultiMaterialModel {
    std::vector<MultiSlot> slots;
    int slotCount = 0;  // one past the highest slot id at least
};

struct OtherMaterialModel {
    Class_ID classId;
    std::vector<int> subMaterials;  // material indices, -1 empty
    std::vector<int> subMaps;       // map indices, -1 empty
    bool reportsMulti = false;
    std::optional<Color> diffuse;
};

struct MaterialModel {
    std::string id;
    std::string name;
    bool showInViewport = false;
    int activeMap = -1;
    std::vector<AppData> appData;
    std::variant<StandardMaterialModel, MultiMaterialModel, OtherMaterialModel> kind;
};

// ---- Objects ----

// The on/off switches and the decay type of a light, as the document names them.
struct LightSwitch {
    const char* key;
    int (GenLight::*get)();
    void (GenLight::*set)(int);
    bool isBool;
};
inline constexpr size_t kLightSwitchCount = 11;
const std::array<LightSwitch, kLightSwitchCount>& lightSwitches();

struct MeshObjectModel {
    Mesh mesh;
};

struct PolyObjectModel {
    Mesh mesh;
    Class_ID classId = POLYOBJ_CLASS_ID;
};

// An object of any other class: kept by class id, with its parameter blocks; plug-in classes
// become the plug-in's own objects when it is loaded.
struct GenericObjectModel {
    SClass_ID superClass = GEOMOBJECT_CLASS_ID;
    Class_ID classId;
    std::string objectName;
    std::optional<Mesh> mesh;
    MeshConversion conversion = MeshConversion::None;
    int source = -1;  // object index
    std::vector<ParamBlockModel> paramBlocks;
};

struct Attenuation {
    std::optional<float> nearStart, nearEnd, farStart, farEnd;
    bool operator==(const Attenuation&) const = default;
};

struct LightModel {
    int type = OMNI_LIGHT;
    std::optional<Point3> color;
    std::optional<float> intensity;
    Attenuation attenuation;
    std::optional<float> hotspot, falloff;  // degrees
    std::array<std::optional<int>, kLightSwitchCount> switches;  // by lightSwitches() index
};

struct CameraModel {
    Class_ID classId = SIMPLE_CAMERA_CLASS_ID;
    float fov = 0.785398f;
    std::optional<float> nearClip, farClip;
};

struct BoneModel {
    int node = -1;
    Matrix3 initialMatrix;
};

struct SkinModel {
    std::vector<BoneModel> bones;
    Matrix3 skinMatrix;
    std::vector<std::vector<SkinModifier::Assignment>> weights;  // per vertex
};

struct PlainModifierModel {
    Class_ID classId;
    std::string name;
    bool enabled = true;
};

struct ModifierModel {
    std::vector<AppData> appData;
    std::variant<SkinModel, PlainModifierModel> kind;
};

struct StackModel {
    SClass_ID superClass = GEN_DERIVOB_CLASS_ID;
    int base = -1;                         // object index
    std::vector<ModifierModel> modifiers;  // top first
};

struct ObjectModel {
    std::string id;
    std::vector<AppData> appData;
    std::variant<MeshObjectModel, PolyObjectModel, GenericObjectModel, LightModel, CameraModel, StackModel> kind;
};

// ---- Nodes and the scene ----

struct KeyModel {
    TimeValue tick = 0;
    Matrix3 transform;
};

struct NodeModel {
    std::string id;
    std::string name;
    int parent = -1;
    int object = -1;
    int material = -1;
    std::string layer;  // empty: the default layer
    Matrix3 transform;
    std::vector<KeyModel> keys;
    std::optional<Matrix3> objectOffset;
    bool hidden = false, frozen = false, groupHead = false, groupMember = false;
    float visibility = 1.0f;
    bool inheritVisibility = true;
    std::optional<Class_ID> controller;
    std::vector<std::pair<std::string, std::string>> userProperties;
    std::vector<AppData> appData;
};

struct SceneModel {
    std::optional<int> ticksPerFrame;
    std::optional<Interval> animationRange;
    std::optional<Point3> ambient;
    std::optional<std::pair<int, int>> renderSize;
    std::optional<TimeValue> time;
    std::vector<LayerModel> layers;
    std::vector<MapModel> maps;
    std::vector<MaterialModel> materials;
    std::vector<ObjectModel> objects;
    std::vector<NodeModel> nodes;
    std::vector<int> selection;  // node indices in selection order
};

// JSON text -> model; throws SceneDocumentError. With padded, the text is followed by at least
// simdjson::SIMDJSON_PADDING readable bytes and is parsed where it lies; else the parser copies it.
SceneModel readScene(std::string_view text, bool padded = false);
// Model -> scene items in host's scene; meshes are moved out of the model.
void buildScene(Host& host, SceneModel&& model);
// Host's scene -> model.
SceneModel captureScene(Host& host);
// Model -> JSON text, handed to sink piece by piece.
void writeScene(const SceneModel& model, const std::function<void(const char*, size_t)>& sink);

// Whether a value is exactly another: floats by their bits, so that a value left out as its
// default is that default (-0 is not 0, and would come back as 0).
template <class T>
bool isExactly(const T& value, const T& other) {
    if constexpr (std::is_trivially_copyable_v<T>) return std::memcmp(&value, &other, sizeof(T)) == 0;
    else return value == other;
}

// ---- Names shared by reading, writing and capturing ----

// Text as documents hold it: text that is not UTF-8 (names from foreign files) keeps its valid
// parts, and each byte that starts no valid sequence becomes U+FFFD.
std::string utf8Text(std::string_view text);

// A value and its name in documents ("pyramidal", "geometry").
template <class T>
struct Name {
    T value;
    const char* name;
};

// Parameter types: "float", "int", "bool", "point3", "color", "angle", "percent", "world",
// "string", "filename", "node", "material", "map"; tables add "[]" ("node[]").
std::string paramTypeName(ParamType2 type);
std::optional<ParamType2> paramTypeFromName(std::string_view name);

// Standard material slots: "ambient", "diffuse", ... "displacement" (ID_AM .. ID_DP).
const char* mapSlotName(int slot);
int mapSlotFromName(std::string_view name);  // -1 when unknown

// Super classes by name ("geometry", "helper", "shape", "light", "camera"); empty for others.
std::string superClassName(SClass_ID id);
std::optional<SClass_ID> superClassFromName(std::string_view name);

}  // namespace headless::document
