#pragma once
// The checked form of a scene document, between the JSON text and the headless scene. Parsing
// (scene_document_parse.cpp) turns JSON into this model and rejects anything the scene could not
// hold; building (scene_document_build.cpp) turns the model into scene items and cannot fail.
// References between entries are indices into the model's tables (-1: none).
#include "headless/objects.h"
#include "headless/skin_modifier.h"
#include "host/host.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
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
};

// One parameter value; which member counts depends on the parameter's type. ref indexes the node,
// material or map table for node, material and map parameters.
struct ParamValue {
    float f = 0.0f;
    int i = 0;
    Point3 p;
    std::optional<std::string> s;
    int ref = -1;
};

struct ParamModel {
    ParamID id = 0;
    std::string name;
    ParamType2 type = TYPE_FLOAT;
    std::vector<ParamValue> values;  // one for a plain parameter, the entries of a table
};

struct ParamBlockModel {
    BlockID id = 0;
    std::string name;
    std::vector<ParamModel> params;
};

struct LayerModel {
    std::string name;
    bool hidden = false;
};

enum class MapKind { Bitmap, Cube, Other };

struct MapModel {
    MapKind kind = MapKind::Bitmap;
    std::string id;
    std::string name;
    int channel = 1;
    bool showInViewport = false;
    // Bitmap.
    std::string file;
    std::optional<std::pair<uint16_t, uint16_t>> size;
    std::optional<int> filter;
    std::optional<int> alphaSource;
    std::optional<bool> alphaAsMono;
    // Cube map: the six face images (an entry may be absent).
    std::optional<std::array<std::optional<std::string>, 6>> files;
    // Other maps: class and sub-maps (map indices).
    Class_ID classId;
    std::vector<int> subMaps;
    // Other maps: their blocks; cube maps: a block that replaces the standard one.
    std::optional<std::vector<ParamBlockModel>> paramBlocks;
    std::vector<AppData> appData;
};

enum class MaterialKind { Standard, Multi, Other };

struct MultiSlot {
    int slot = 0;
    int material = -1;
    std::string name;
};

struct MaterialModel {
    MaterialKind kind = MaterialKind::Standard;
    std::string id;
    std::string name;
    bool showInViewport = false;
    int activeMap = -1;
    // Standard (other materials use diffuse too).
    std::optional<Color> ambient, diffuse, specular;
    std::optional<float> glossiness, specularLevel, opacity, selfIllumination;
    std::optional<bool> twoSided;
    std::array<int, STD_NUM_TEXMAPS> maps{};  // map indices, -1 empty
    std::array<std::optional<float>, STD_NUM_TEXMAPS> amounts;
    std::array<std::optional<bool>, STD_NUM_TEXMAPS> enabled;
    // Multi.
    int slotCount = 0;
    std::vector<MultiSlot> slots;
    // Other.
    Class_ID classId;
    std::vector<int> subMaterials;  // material indices, -1 empty
    std::vector<int> subMaps;       // map indices, -1 empty
    bool reportsMulti = false;
    std::vector<AppData> appData;
};

// The on/off switches and the decay type of a light, as the document names them.
struct LightSwitch {
    const char* key;
    int (GenLight::*get)();
    void (GenLight::*set)(int);
    bool isBool;
};
const std::vector<LightSwitch>& lightSwitches();

struct LightModel {
    int type = OMNI_LIGHT;
    std::optional<Point3> color;
    std::optional<float> intensity;
    std::array<std::optional<float>, 4> attenuation;  // ATTEN1_START .. ATTEN_END
    std::optional<float> hotspot, falloff;            // degrees
    std::vector<std::pair<size_t, int>> switches;     // (index in lightSwitches(), value)
};

struct ModifierModel {
    bool isSkin = false;
    Class_ID classId;
    std::string name;
    bool enabled = true;
    // Skin.
    std::vector<std::pair<int, Matrix3>> bones;  // node index, initial matrix
    Matrix3 skinMatrix;
    std::vector<std::vector<SkinModifier::Assignment>> weights;  // per vertex
    std::vector<AppData> appData;
};

enum class ObjectKind { Mesh, Poly, Generic, Light, Camera, Stack };

struct ObjectModel {
    ObjectKind kind = ObjectKind::Mesh;
    std::string id;
    // Mesh, poly, and generic objects with a mesh form.
    Mesh mesh;
    bool hasMesh = false;
    // Poly, generic and camera.
    Class_ID classId;
    // Generic.
    SClass_ID superClass = GEOMOBJECT_CLASS_ID;
    std::string objectName;
    MeshConversion conversion = MeshConversion::None;
    int source = -1;  // object index
    std::vector<ParamBlockModel> paramBlocks;
    // Light.
    LightModel light;
    // Camera.
    float fov = 0.785398f;
    std::optional<float> nearClip, farClip;
    // Stack.
    int base = -1;  // object index
    SClass_ID stackSuperClass = GEN_DERIVOB_CLASS_ID;
    std::vector<ModifierModel> modifiers;  // top first
    std::vector<AppData> appData;
};

struct KeyModel {
    TimeValue tick = 0;
    Matrix3 tm;
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

// JSON -> model; throws SceneDocumentError.
SceneModel parseScene(const nlohmann::json& document);
// Model -> scene items in host's scene.
void buildScene(Host& host, const SceneModel& model);
// Host's scene -> JSON.
nlohmann::json saveScene(Host& host);

// ---- Names shared by the parser and the writer ----

// Parameter types: "float", "int", "bool", "point3", "color", "angle", "percent", "world",
// "string", "filename", "node", "material", "map"; tables add "[]" ("node[]").
std::string paramTypeName(ParamType2 type);
std::optional<ParamType2> paramTypeFromName(const std::string& name);

// Standard material slots: "ambient", "diffuse", ... "displacement" (ID_AM .. ID_DP).
const char* mapSlotName(int slot);
int mapSlotFromName(const std::string& name);  // -1 when unknown

// Light kinds: "omni", "targetSpot", "directional", "spot", "targetDirectional".
const char* lightTypeName(int type);
int lightTypeFromName(const std::string& name);  // -1 when unknown

// Super classes by name ("geometry", "helper", "shape", "light", "camera", ...); empty for others.
std::string superClassName(SClass_ID id);
std::optional<SClass_ID> superClassFromName(const std::string& name);

// ---- Number formatting ----

// A float as the JSON number with the shortest text that reads back as the same float, so that
// 0.1f is written 0.1. Infinities and NaN, which JSON numbers cannot hold, are written as the
// strings "inf", "-inf" and "nan".
nlohmann::json floatJson(float value);
// "0x" and eight upper-case hex digits.
std::string hexId(uint32_t value);

}  // namespace headless::document
