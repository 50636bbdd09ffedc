// Scene document -> checked model. Every problem is reported as "<JSON path>: <problem>" through
// SceneDocumentError; nothing here touches a scene.
#include "headless/scene_document.h"
#include "headless/scene_document_model.h"

#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <unordered_map>
#include <unordered_set>

namespace headless::document {

using nlohmann::json;

namespace {

// ---- JSON values with their paths ----

std::string describe(const json& value) {
    switch (value.type()) {
    case json::value_t::null: return "null";
    case json::value_t::boolean: return "a boolean";
    case json::value_t::string: return "a string";
    case json::value_t::array: return "an array";
    case json::value_t::object: return "an object";
    case json::value_t::binary: return "binary data";
    case json::value_t::discarded: return "nothing";
    default: return "a number";
    }
}

std::string inQuotes(const std::string& text) { return "\"" + text + "\""; }

// A JSON value and where it sits in the document ("nodes[3].object").
struct Item {
    const json* value;
    std::string path;

    const json& operator*() const { return *value; }
    const json* operator->() const { return value; }

    [[noreturn]] void fail(const std::string& problem) const {
        throw SceneDocumentError((path.empty() ? std::string("document") : path) + ": " + problem);
    }
    Item at(const std::string& key) const { return {&(*value)[key], path.empty() ? key : path + "." + key}; }
    Item at(size_t index) const { return {&(*value)[index], path + "[" + std::to_string(index) + "]"}; }
};

// The fields of a JSON object. allow() rejects every key it does not list, so that a misspelt
// field is reported rather than silently ignored.
class Fields {
public:
    explicit Fields(const Item& item) : item_(item) {
        if (!item->is_object()) item.fail("expected an object, got " + describe(*item));
    }

    void allow(std::initializer_list<const char*> keys) const {
        for (const auto& [key, value] : item_->items()) {
            bool known = false;
            for (const char* allowed : keys) known = known || key == allowed;
            if (!known) item_.at(key).fail("unknown field");
        }
    }
    bool has(const char* key) const { return item_->contains(key); }
    std::optional<Item> optional(const char* key) const {
        if (!item_->contains(key)) return std::nullopt;
        return item_.at(key);
    }
    Item required(const char* key) const {
        if (!item_->contains(key)) item_.fail(std::string("missing field \"") + key + "\"");
        return item_.at(key);
    }
    const Item& item() const { return item_; }

private:
    Item item_;
};

const json& arrayOf(const Item& item) {
    if (!item->is_array()) item.fail("expected an array, got " + describe(*item));
    return *item;
}

std::string readString(const Item& item) {
    if (!item->is_string()) item.fail("expected a string, got " + describe(*item));
    return item->get<std::string>();
}

bool readBool(const Item& item) {
    if (!item->is_boolean()) item.fail("expected true or false, got " + describe(*item));
    return item->get<bool>();
}

float readFloat(const Item& item) {
    if (item->is_string()) {
        const std::string text = item->get<std::string>();
        if (text == "inf") return std::numeric_limits<float>::infinity();
        if (text == "-inf") return -std::numeric_limits<float>::infinity();
        if (text == "nan") return std::numeric_limits<float>::quiet_NaN();
        item.fail("expected a number, got " + inQuotes(text));
    }
    if (!item->is_number()) item.fail("expected a number, got " + describe(*item));
    const double value = item->get<double>();
    if (!std::isfinite(value) || std::fabs(value) > FLT_MAX) item.fail("number out of the range of a float");
    return static_cast<float>(value);
}

int64_t readInteger(const Item& item, int64_t low, int64_t high) {
    if (!item->is_number()) item.fail("expected an integer, got " + describe(*item));
    int64_t value = 0;
    if (item->is_number_unsigned()) {
        const uint64_t u = item->get<uint64_t>();
        if (u > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) item.fail("integer out of range");
        value = static_cast<int64_t>(u);
    } else if (item->is_number_integer()) {
        value = item->get<int64_t>();
    } else {
        const double d = item->get<double>();
        if (!(std::fabs(d) < 9.0e15) || d != std::floor(d)) item.fail("expected an integer, got " + item->dump());
        value = static_cast<int64_t>(d);
    }
    if (value < low || value > high)
        item.fail("must be between " + std::to_string(low) + " and " + std::to_string(high) + ", got " +
                  std::to_string(value));
    return value;
}

int readInt(const Item& item, int low = std::numeric_limits<int>::min(), int high = std::numeric_limits<int>::max()) {
    return static_cast<int>(readInteger(item, low, high));
}

// A 32-bit id: a number, or a string "0x" followed by one to eight hex digits.
uint32_t readId(const Item& item) {
    if (item->is_string()) {
        const std::string text = item->get<std::string>();
        bool ok = text.size() > 2 && text.size() <= 10 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        for (size_t i = 2; ok && i < text.size(); ++i) ok = std::isxdigit(static_cast<unsigned char>(text[i])) != 0;
        if (!ok) item.fail("expected a number or a hex string such as \"0x1A2B3C4D\", got " + inQuotes(text));
        return static_cast<uint32_t>(std::strtoul(text.c_str() + 2, nullptr, 16));
    }
    if (!item->is_number()) item.fail("expected a number or a hex string such as \"0x1A2B3C4D\", got " + describe(*item));
    return static_cast<uint32_t>(readInteger(item, 0, 0xFFFFFFFFll));
}

Class_ID readClassId(const Item& item) {
    const json& array = arrayOf(item);
    if (array.size() != 2) item.fail("expected two ids [partA, partB], got " + std::to_string(array.size()) + " values");
    return Class_ID(readId(item.at(0)), readId(item.at(1)));
}

SClass_ID readSuperClass(const Item& item) {
    if (item->is_string()) {
        const std::string text = item->get<std::string>();
        if (auto id = superClassFromName(text)) return *id;
        if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0) return readId(item);
        item.fail("unknown super class " + inQuotes(text) +
                  " (expected geometry, helper, shape, light, camera or a number)");
    }
    return readId(item);
}

// Three numbers; with allowTwo, two numbers give the third as 0 (texture coordinates).
Point3 readPoint3(const Item& item, bool allowTwo = false) {
    const json& array = arrayOf(item);
    if (array.size() != 3 && !(allowTwo && array.size() == 2))
        item.fail(std::string("expected ") + (allowTwo ? "2 or 3" : "3") + " numbers, got " +
                  std::to_string(array.size()));
    Point3 p;
    for (size_t i = 0; i < array.size(); ++i) p[static_cast<int>(i)] = readFloat(item.at(i));
    return p;
}

Color readColor(const Item& item) { return Color(readPoint3(item)); }

// Twelve numbers (the X, Y and Z axis rows, then the translation row), or an object with
// "translation", "rotation" (degrees about X, then Y, then Z) and "scale", applied as scale, then
// rotation, then translation.
Matrix3 readMatrix(const Item& item) {
    if (item->is_array()) {
        const json& array = *item;
        if (array.size() != 12)
            item.fail("expected 12 numbers (X, Y and Z axis rows, then translation), got " +
                      std::to_string(array.size()));
        Matrix3 m;
        for (int row = 0; row < 4; ++row)
            for (int col = 0; col < 3; ++col) m.m[row][col] = readFloat(item.at(static_cast<size_t>(row * 3 + col)));
        return m;
    }
    if (!item->is_object()) item.fail("expected 12 numbers or an object with translation, rotation and scale");
    Fields f(item);
    f.allow({"translation", "rotation", "scale"});
    Matrix3 m;
    if (auto s = f.optional("scale")) m = m * ScaleMatrix(readPoint3(*s));
    if (auto r = f.optional("rotation")) {
        const Point3 degrees = readPoint3(*r);
        constexpr double kRadians = 3.14159265358979323846 / 180.0;
        m = m * RotateXMatrix(static_cast<float>(degrees.x * kRadians));
        m = m * RotateYMatrix(static_cast<float>(degrees.y * kRadians));
        m = m * RotateZMatrix(static_cast<float>(degrees.z * kRadians));
    }
    if (auto t = f.optional("translation")) m = m * TransMatrix(readPoint3(*t));
    return m;
}

std::vector<uint8_t> readHex(const Item& item) {
    const std::string text = readString(item);
    if (text.size() % 2 != 0) item.fail("expected an even number of hex digits");
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() / 2);
    auto digit = [&](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        item.fail("expected hex digits, found " + inQuotes(std::string(1, c)));
    };
    for (size_t i = 0; i < text.size(); i += 2) bytes.push_back(static_cast<uint8_t>(digit(text[i]) * 16 + digit(text[i + 1])));
    return bytes;
}

// A value given once for every face, or one value per face.
template <typename Apply>
void readPerFace(const Item& item, size_t faceCount, int64_t low, int64_t high, Apply apply) {
    if (item->is_array()) {
        if (item->size() != faceCount)
            item.fail(std::to_string(item->size()) + " entries for " + std::to_string(faceCount) + " faces");
        for (size_t i = 0; i < faceCount; ++i) apply(i, readInteger(item.at(i), low, high));
    } else {
        const int64_t value = readInteger(item, low, high);
        for (size_t i = 0; i < faceCount; ++i) apply(i, value);
    }
}

// Three indices below count.
std::array<uint32_t, 3> readTriangle(const Item& item, size_t count, const char* what) {
    const json& array = arrayOf(item);
    if (array.size() != 3) item.fail("expected 3 indices, got " + std::to_string(array.size()));
    std::array<uint32_t, 3> corners{};
    for (size_t k = 0; k < 3; ++k) {
        const Item corner = item.at(k);
        const int64_t index = readInteger(corner, 0, std::numeric_limits<uint32_t>::max());
        if (static_cast<uint64_t>(index) >= count)
            corner.fail(std::string(what) + " " + std::to_string(index) + " out of range (there are " +
                        std::to_string(count) + ")");
        corners[k] = static_cast<uint32_t>(index);
    }
    return corners;
}

using IdTable = std::unordered_map<std::string, int>;

// The cycle check of one table: entry i refers to each target of edges[i], at the given path.
struct Edge {
    int target;
    std::string path;
};

void rejectCycles(const std::vector<std::vector<Edge>>& edges, const std::vector<std::string>& ids) {
    enum State : uint8_t { Unvisited, Active, Done };
    std::vector<State> state(edges.size(), Unvisited);
    for (size_t start = 0; start < edges.size(); ++start) {
        if (state[start] != Unvisited) continue;
        // Iterative depth-first search; stack entries are (entry, next edge).
        std::vector<std::pair<int, size_t>> stack{{static_cast<int>(start), 0}};
        state[start] = Active;
        while (!stack.empty()) {
            auto& [entry, next] = stack.back();
            if (next == edges[entry].size()) {
                state[entry] = Done;
                stack.pop_back();
                continue;
            }
            const Edge& edge = edges[entry][next++];
            if (edge.target < 0) continue;
            if (state[edge.target] == Active) {
                std::string loop;
                bool inLoop = false;
                for (const auto& frame : stack) {
                    inLoop = inLoop || frame.first == edge.target;
                    if (inLoop) loop += inQuotes(ids[frame.first]) + " -> ";
                }
                throw SceneDocumentError(edge.path + ": cycle " + loop + inQuotes(ids[edge.target]));
            }
            if (state[edge.target] == Unvisited) {
                state[edge.target] = Active;
                stack.emplace_back(edge.target, 0);
            }
        }
    }
}

// ---- The parser ----

class Parser {
public:
    SceneModel parse(const json& document);

private:
    void parseSettings(const Fields& root);
    void collectIds(const Fields& root, const char* key, const char* what, IdTable& table, bool nodes);
    void parseLayers(const Item& item);
    MapModel parseMap(const Item& item);
    MaterialModel parseMaterial(const Item& item);
    ObjectModel parseObject(const Item& item);
    ModifierModel parseModifier(const Item& item);
    NodeModel parseNode(const Item& item);
    Mesh parseMesh(const Item& item);
    void parseChannel(const Item& item, Mesh& mesh, std::vector<bool>& seen);
    void parseNormals(const Item& item, Mesh& mesh);
    LightModel parseLight(const Fields& f);
    std::vector<ParamBlockModel> parseParamBlocks(const Item& item);
    ParamModel parseParam(const Item& item);
    ParamValue parseParamValue(const Item& item, ParamType2 base);
    std::vector<AppData> parseAppData(const Item& item);

    // The entry an id names; null is allowed (-1) only with allowNull.
    int resolve(const Item& item, const IdTable& table, const char* what, bool allowNull = false);
    std::vector<int> resolveList(const Item& item, const IdTable& table, const char* what);

    SceneModel model_;
    IdTable nodeIds_, objectIds_, materialIds_, mapIds_;
    std::unordered_set<std::string> layerNames_;
};

int Parser::resolve(const Item& item, const IdTable& table, const char* what, bool allowNull) {
    if (item->is_null() && allowNull) return -1;
    if (!item->is_string())
        item.fail(std::string("expected the id of a ") + what + (allowNull ? " or null" : "") + ", got " +
                  describe(*item));
    const std::string id = item->get<std::string>();
    auto found = table.find(id);
    if (found == table.end()) item.fail(std::string("no ") + what + " " + inQuotes(id));
    return found->second;
}

std::vector<int> Parser::resolveList(const Item& item, const IdTable& table, const char* what) {
    std::vector<int> list;
    for (size_t i = 0; i < arrayOf(item).size(); ++i) list.push_back(resolve(item.at(i), table, what, true));
    return list;
}

SceneModel Parser::parse(const json& document) {
    const Item root{&document, ""};
    Fields f(root);
    f.allow({"format", "version", "ticksPerFrame", "animationRange", "ambient", "renderSize", "time", "layers",
             "maps", "materials", "objects", "nodes", "selection"});
    if (auto format = f.optional("format")) {
        if (readString(*format) != kFormatName)
            format->fail(std::string("expected \"") + kFormatName + "\", got " + inQuotes(format->value->get<std::string>()));
    }
    if (auto version = f.optional("version")) {
        const int v = readInt(*version, 1);
        if (v > kFormatVersion)
            version->fail("version " + std::to_string(v) + " is newer than this program reads (" +
                          std::to_string(kFormatVersion) + ")");
    }
    parseSettings(f);

    // Ids first, so that entries may refer to entries further down.
    collectIds(f, "maps", "map", mapIds_, false);
    collectIds(f, "materials", "material", materialIds_, false);
    collectIds(f, "objects", "object", objectIds_, false);
    collectIds(f, "nodes", "node", nodeIds_, true);

    layerNames_.insert("0");
    if (auto layers = f.optional("layers")) parseLayers(*layers);
    if (auto maps = f.optional("maps"))
        for (size_t i = 0; i < maps->value->size(); ++i) model_.maps.push_back(parseMap(maps->at(i)));
    if (auto materials = f.optional("materials"))
        for (size_t i = 0; i < materials->value->size(); ++i) model_.materials.push_back(parseMaterial(materials->at(i)));
    if (auto objects = f.optional("objects"))
        for (size_t i = 0; i < objects->value->size(); ++i) model_.objects.push_back(parseObject(objects->at(i)));
    if (auto nodes = f.optional("nodes"))
        for (size_t i = 0; i < nodes->value->size(); ++i) model_.nodes.push_back(parseNode(nodes->at(i)));
    if (auto selection = f.optional("selection")) {
        for (size_t i = 0; i < arrayOf(*selection).size(); ++i)
            model_.selection.push_back(resolve(selection->at(i), nodeIds_, "node"));
    }

    // Containment must not loop: a node inside itself, a map or material among its own
    // sub-entries, an object built on itself.
    {
        std::vector<std::vector<Edge>> edges(model_.nodes.size());
        std::vector<std::string> ids;
        for (size_t i = 0; i < model_.nodes.size(); ++i) {
            edges[i].push_back({model_.nodes[i].parent, "nodes[" + std::to_string(i) + "].parent"});
            ids.push_back(model_.nodes[i].id);
        }
        rejectCycles(edges, ids);
    }
    {
        std::vector<std::vector<Edge>> edges(model_.maps.size());
        std::vector<std::string> ids;
        for (size_t i = 0; i < model_.maps.size(); ++i) {
            const auto& subs = model_.maps[i].subMaps;
            for (size_t k = 0; k < subs.size(); ++k)
                edges[i].push_back({subs[k], "maps[" + std::to_string(i) + "].subMaps[" + std::to_string(k) + "]"});
            ids.push_back(model_.maps[i].id);
        }
        rejectCycles(edges, ids);
    }
    {
        std::vector<std::vector<Edge>> edges(model_.materials.size());
        std::vector<std::string> ids;
        for (size_t i = 0; i < model_.materials.size(); ++i) {
            const auto& m = model_.materials[i];
            const std::string at = "materials[" + std::to_string(i) + "]";
            for (size_t k = 0; k < m.slots.size(); ++k)
                edges[i].push_back({m.slots[k].material, at + ".subMaterials[" + std::to_string(k) + "].material"});
            for (size_t k = 0; k < m.subMaterials.size(); ++k)
                edges[i].push_back({m.subMaterials[k], at + ".subMaterials[" + std::to_string(k) + "]"});
            ids.push_back(m.id);
        }
        rejectCycles(edges, ids);
    }
    {
        std::vector<std::vector<Edge>> edges(model_.objects.size());
        std::vector<std::string> ids;
        for (size_t i = 0; i < model_.objects.size(); ++i) {
            const auto& o = model_.objects[i];
            const std::string at = "objects[" + std::to_string(i) + "]";
            edges[i].push_back({o.base, at + ".base"});
            edges[i].push_back({o.source, at + ".source"});
            ids.push_back(o.id);
        }
        rejectCycles(edges, ids);
    }
    return std::move(model_);
}

void Parser::parseSettings(const Fields& f) {
    if (auto t = f.optional("ticksPerFrame")) model_.ticksPerFrame = readInt(*t, 1, TIME_TICKSPERSEC);
    if (auto r = f.optional("animationRange")) {
        if (arrayOf(*r).size() != 2) r->fail("expected [start, end] in ticks");
        const int start = readInt(r->at(0));
        const int end = readInt(r->at(1));
        if (end < start) r->fail("the range ends (" + std::to_string(end) + ") before it starts (" + std::to_string(start) + ")");
        model_.animationRange = Interval(start, end);
    }
    if (auto a = f.optional("ambient")) model_.ambient = readPoint3(*a);
    if (auto s = f.optional("renderSize")) {
        if (arrayOf(*s).size() != 2) s->fail("expected [width, height]");
        model_.renderSize = std::make_pair(readInt(s->at(0), 1, 65535), readInt(s->at(1), 1, 65535));
    }
    if (auto t = f.optional("time")) model_.time = readInt(*t);
}

void Parser::collectIds(const Fields& root, const char* key, const char* what, IdTable& table, bool nodes) {
    auto list = root.optional(key);
    if (!list) return;
    const json& array = arrayOf(*list);
    for (size_t i = 0; i < array.size(); ++i) {
        const Item entry = list->at(i);
        Fields f(entry);
        // A node's id is its name unless it gives one (names need not be unique, ids must).
        const Item idItem = nodes && !f.has("id") ? f.required("name") : f.required("id");
        const std::string id = readString(idItem);
        if (id.empty()) idItem.fail(std::string("the id of a ") + what + " must not be empty");
        auto [it, added] = table.emplace(id, static_cast<int>(i));
        if (!added)
            idItem.fail(std::string("duplicate ") + what + " " + inQuotes(id) + " (also " + key + "[" +
                        std::to_string(it->second) + "])");
    }
}

void Parser::parseLayers(const Item& item) {
    const json& array = arrayOf(item);
    for (size_t i = 0; i < array.size(); ++i) {
        Fields f(item.at(i));
        f.allow({"name", "hidden"});
        LayerModel layer;
        const Item name = f.required("name");
        layer.name = readString(name);
        if (layer.name.empty()) name.fail("a layer name must not be empty");
        if (layer.name != "0" && !layerNames_.insert(layer.name).second) name.fail("duplicate layer " + inQuotes(layer.name));
        if (auto h = f.optional("hidden")) layer.hidden = readBool(*h);
        model_.layers.push_back(layer);
    }
}

std::vector<AppData> Parser::parseAppData(const Item& item) {
    std::vector<AppData> chunks;
    for (size_t i = 0; i < arrayOf(item).size(); ++i) {
        Fields f(item.at(i));
        f.allow({"classId", "superClassId", "subId", "data"});
        AppData chunk;
        chunk.classId = readClassId(f.required("classId"));
        chunk.superClassId = readSuperClass(f.required("superClassId"));
        if (auto s = f.optional("subId")) chunk.subId = readId(*s);
        if (auto d = f.optional("data")) chunk.bytes = readHex(*d);
        chunks.push_back(std::move(chunk));
    }
    return chunks;
}

// ---- Maps ----

MapModel Parser::parseMap(const Item& item) {
    Fields f(item);
    MapModel map;
    map.id = readString(f.required("id"));
    const Item kind = f.required("kind");
    const std::string k = readString(kind);
    if (k == "bitmap") {
        map.kind = MapKind::Bitmap;
        f.allow({"id", "name", "kind", "channel", "showInViewport", "appData", "file", "size", "filter", "alphaSource",
                 "alphaAsMono"});
    } else if (k == "cube") {
        map.kind = MapKind::Cube;
        f.allow({"id", "name", "kind", "channel", "showInViewport", "appData", "files", "paramBlocks"});
    } else if (k == "other") {
        map.kind = MapKind::Other;
        f.allow({"id", "name", "kind", "channel", "showInViewport", "appData", "classId", "subMaps", "paramBlocks"});
    } else {
        kind.fail("unknown map kind " + inQuotes(k) + " (expected bitmap, cube or other)");
    }
    map.name = f.has("name") ? readString(f.required("name")) : map.id;
    if (auto c = f.optional("channel")) map.channel = readInt(*c, 0, kMaxMapChannels - 1);
    if (auto s = f.optional("showInViewport")) map.showInViewport = readBool(*s);
    if (auto a = f.optional("appData")) map.appData = parseAppData(*a);

    switch (map.kind) {
    case MapKind::Bitmap: {
        map.file = readString(f.required("file"));
        if (auto s = f.optional("size")) {
            if (arrayOf(*s).size() != 2) s->fail("expected [width, height] in pixels");
            map.size = std::make_pair(static_cast<uint16_t>(readInt(s->at(0), 0, 65535)),
                                      static_cast<uint16_t>(readInt(s->at(1), 0, 65535)));
        }
        if (auto fl = f.optional("filter")) {
            const std::string name = readString(*fl);
            if (name == "pyramidal") map.filter = FILTER_PYR;
            else if (name == "summedArea") map.filter = FILTER_SAT;
            else if (name == "none") map.filter = FILTER_NADA;
            else fl->fail("unknown filter " + inQuotes(name) + " (expected pyramidal, summedArea or none)");
        }
        if (auto a = f.optional("alphaSource")) {
            const std::string name = readString(*a);
            if (name == "file") map.alphaSource = ALPHA_FILE;
            else if (name == "rgb") map.alphaSource = ALPHA_RGB;
            else if (name == "none") map.alphaSource = ALPHA_NONE;
            else a->fail("unknown alpha source " + inQuotes(name) + " (expected file, rgb or none)");
        }
        if (auto a = f.optional("alphaAsMono")) map.alphaAsMono = readBool(*a);
        break;
    }
    case MapKind::Cube: {
        if (auto files = f.optional("files")) {
            if (arrayOf(*files).size() != 6) files->fail("expected six file names (or null), got " + std::to_string(files->value->size()));
            std::array<std::optional<std::string>, 6> names;
            for (size_t i = 0; i < 6; ++i) {
                const Item name = files->at(i);
                if (!name->is_null()) names[i] = readString(name);
            }
            map.files = names;
        }
        if (auto blocks = f.optional("paramBlocks")) {
            map.paramBlocks = parseParamBlocks(*blocks);
            if (map.paramBlocks->size() > 1) blocks->fail("a cube map has at most one parameter block");
        }
        break;
    }
    case MapKind::Other: {
        map.classId = readClassId(f.required("classId"));
        if (auto subs = f.optional("subMaps")) map.subMaps = resolveList(*subs, mapIds_, "map");
        if (auto blocks = f.optional("paramBlocks")) map.paramBlocks = parseParamBlocks(*blocks);
        break;
    }
    }
    return map;
}

// ---- Materials ----

MaterialModel Parser::parseMaterial(const Item& item) {
    Fields f(item);
    MaterialModel mtl;
    mtl.maps.fill(-1);
    mtl.id = readString(f.required("id"));
    const Item kind = f.required("kind");
    const std::string k = readString(kind);
    if (k == "standard") {
        mtl.kind = MaterialKind::Standard;
        f.allow({"id", "name", "kind", "showInViewport", "activeMap", "appData", "ambient", "diffuse", "specular",
                 "glossiness", "specularLevel", "opacity", "selfIllumination", "twoSided", "maps", "mapAmounts",
                 "mapEnabled"});
    } else if (k == "multi") {
        mtl.kind = MaterialKind::Multi;
        f.allow({"id", "name", "kind", "showInViewport", "activeMap", "appData", "count", "subMaterials"});
    } else if (k == "other") {
        mtl.kind = MaterialKind::Other;
        f.allow({"id", "name", "kind", "showInViewport", "activeMap", "appData", "classId", "subMaterials", "subMaps",
                 "multi", "diffuse"});
    } else {
        kind.fail("unknown material kind " + inQuotes(k) + " (expected standard, multi or other)");
    }
    mtl.name = f.has("name") ? readString(f.required("name")) : mtl.id;
    if (auto s = f.optional("showInViewport")) mtl.showInViewport = readBool(*s);
    if (auto a = f.optional("activeMap")) mtl.activeMap = resolve(*a, mapIds_, "map", true);
    if (auto a = f.optional("appData")) mtl.appData = parseAppData(*a);
    if (auto d = f.optional("diffuse")) mtl.diffuse = readColor(*d);

    switch (mtl.kind) {
    case MaterialKind::Standard: {
        if (auto c = f.optional("ambient")) mtl.ambient = readColor(*c);
        if (auto c = f.optional("specular")) mtl.specular = readColor(*c);
        if (auto v = f.optional("glossiness")) mtl.glossiness = readFloat(*v);
        if (auto v = f.optional("specularLevel")) mtl.specularLevel = readFloat(*v);
        if (auto v = f.optional("opacity")) mtl.opacity = readFloat(*v);
        if (auto v = f.optional("selfIllumination")) mtl.selfIllumination = readFloat(*v);
        if (auto v = f.optional("twoSided")) mtl.twoSided = readBool(*v);
        // Slot tables: {"diffuse": ..., "bump": ...}.
        auto slots = [&](const char* key, auto read) {
            auto table = f.optional(key);
            if (!table) return;
            Fields slotFields(*table);
            for (const auto& [name, value] : table->value->items()) {
                const Item slotItem = table->at(name);
                const int slot = mapSlotFromName(name);
                if (slot < 0)
                    slotItem.fail("unknown map slot (expected ambient, diffuse, specular, glossiness, specularLevel, "
                                  "selfIllumination, opacity, filter, bump, reflection, refraction or displacement)");
                read(slot, slotItem);
            }
        };
        slots("maps", [&](int slot, const Item& v) { mtl.maps[slot] = resolve(v, mapIds_, "map", true); });
        slots("mapAmounts", [&](int slot, const Item& v) { mtl.amounts[slot] = readFloat(v); });
        slots("mapEnabled", [&](int slot, const Item& v) { mtl.enabled[slot] = readBool(v); });
        break;
    }
    case MaterialKind::Multi: {
        int highest = -1;
        std::unordered_map<int, size_t> used;
        if (auto subs = f.optional("subMaterials")) {
            for (size_t i = 0; i < arrayOf(*subs).size(); ++i) {
                Fields sf(subs->at(i));
                sf.allow({"id", "material", "name"});
                MultiSlot slot;
                const Item slotId = sf.required("id");
                slot.slot = readInt(slotId, 0, 0xFFFF);
                if (auto [it, added] = used.emplace(slot.slot, i); !added)
                    slotId.fail("duplicate sub-material id " + std::to_string(slot.slot) + " (also subMaterials[" +
                                std::to_string(it->second) + "])");
                slot.material = sf.has("material") ? resolve(sf.required("material"), materialIds_, "material", true) : -1;
                if (auto n = sf.optional("name")) slot.name = readString(*n);
                highest = std::max(highest, slot.slot);
                mtl.slots.push_back(std::move(slot));
            }
        }
        mtl.slotCount = highest + 1;
        if (auto c = f.optional("count")) {
            mtl.slotCount = readInt(*c, 0, 0x10000);
            if (mtl.slotCount <= highest)
                c->fail("count " + std::to_string(mtl.slotCount) + " leaves out sub-material id " + std::to_string(highest));
        }
        break;
    }
    case MaterialKind::Other: {
        mtl.classId = readClassId(f.required("classId"));
        if (auto subs = f.optional("subMaterials")) mtl.subMaterials = resolveList(*subs, materialIds_, "material");
        if (auto subs = f.optional("subMaps")) mtl.subMaps = resolveList(*subs, mapIds_, "map");
        if (auto m = f.optional("multi")) mtl.reportsMulti = readBool(*m);
        break;
    }
    }
    return mtl;
}

// ---- Parameter blocks ----

std::vector<ParamBlockModel> Parser::parseParamBlocks(const Item& item) {
    std::vector<ParamBlockModel> blocks;
    std::unordered_map<int, size_t> ids;
    for (size_t b = 0; b < arrayOf(item).size(); ++b) {
        const Item blockItem = item.at(b);
        Fields f(blockItem);
        f.allow({"id", "name", "params"});
        ParamBlockModel block;
        const Item id = f.required("id");
        block.id = static_cast<BlockID>(readInt(id, std::numeric_limits<BlockID>::min(), std::numeric_limits<BlockID>::max()));
        if (auto [it, added] = ids.emplace(block.id, b); !added)
            id.fail("duplicate block id " + std::to_string(block.id) + " (also paramBlocks[" + std::to_string(it->second) + "])");
        if (auto n = f.optional("name")) block.name = readString(*n);
        if (auto params = f.optional("params")) {
            std::unordered_map<int, size_t> paramIds;
            for (size_t p = 0; p < arrayOf(*params).size(); ++p) {
                const Item paramItem = params->at(p);
                ParamModel param = parseParam(paramItem);
                if (auto [it, added] = paramIds.emplace(param.id, p); !added)
                    paramItem.at("id").fail("duplicate parameter id " + std::to_string(param.id) + " (also params[" +
                                            std::to_string(it->second) + "])");
                block.params.push_back(std::move(param));
            }
        }
        blocks.push_back(std::move(block));
    }
    return blocks;
}

ParamModel Parser::parseParam(const Item& item) {
    Fields f(item);
    f.allow({"id", "name", "type", "value"});
    ParamModel param;
    param.id = static_cast<ParamID>(
        readInt(f.required("id"), std::numeric_limits<ParamID>::min(), std::numeric_limits<ParamID>::max()));
    if (auto n = f.optional("name")) param.name = readString(*n);
    const Item typeItem = f.required("type");
    const std::string typeName = readString(typeItem);
    const auto type = paramTypeFromName(typeName);
    if (!type)
        typeItem.fail("unknown parameter type " + inQuotes(typeName) +
                      " (expected float, int, bool, point3, color, angle, percent, world, string, filename, node, "
                      "material or map, or one of them followed by [] for a table)");
    param.type = *type;
    const ParamType2 base = ParamBaseType(*type);
    auto value = f.optional("value");
    if (IsParamTable(*type)) {
        if (value)
            for (size_t i = 0; i < arrayOf(*value).size(); ++i) param.values.push_back(parseParamValue(value->at(i), base));
    } else {
        param.values.push_back(value ? parseParamValue(*value, base) : ParamValue{});
    }
    return param;
}

ParamValue Parser::parseParamValue(const Item& item, ParamType2 base) {
    ParamValue v;
    switch (base) {
    case TYPE_INT: v.i = readInt(item); break;
    case TYPE_BOOL: v.i = readBool(item) ? 1 : 0; break;
    case TYPE_POINT3:
    case TYPE_RGBA: v.p = readPoint3(item); break;
    case TYPE_STRING:
    case TYPE_FILENAME:
        if (!item->is_null()) v.s = readString(item);
        break;
    case TYPE_INODE: v.ref = resolve(item, nodeIds_, "node", true); break;
    case TYPE_MTL: v.ref = resolve(item, materialIds_, "material", true); break;
    case TYPE_TEXMAP: v.ref = resolve(item, mapIds_, "map", true); break;
    default: v.f = readFloat(item); break;
    }
    return v;
}

// ---- Objects ----

ObjectModel Parser::parseObject(const Item& item) {
    Fields f(item);
    ObjectModel object;
    object.id = readString(f.required("id"));
    const Item kind = f.required("kind");
    const std::string k = readString(kind);
    if (k == "mesh") {
        object.kind = ObjectKind::Mesh;
        f.allow({"id", "kind", "appData", "mesh"});
    } else if (k == "poly") {
        object.kind = ObjectKind::Poly;
        f.allow({"id", "kind", "appData", "mesh", "classId"});
    } else if (k == "object") {
        object.kind = ObjectKind::Generic;
        f.allow({"id", "kind", "appData", "superClass", "classId", "name", "mesh", "conversion", "source", "paramBlocks"});
    } else if (k == "light") {
        object.kind = ObjectKind::Light;  // parseLight checks the light's fields
    } else if (k == "camera") {
        object.kind = ObjectKind::Camera;
        f.allow({"id", "kind", "appData", "classId", "fov", "near", "far"});
    } else if (k == "stack") {
        object.kind = ObjectKind::Stack;
        f.allow({"id", "kind", "appData", "superClass", "base", "modifiers"});
    } else {
        kind.fail("unknown object kind " + inQuotes(k) + " (expected mesh, poly, object, light, camera or stack)");
    }
    if (auto a = f.optional("appData")) object.appData = parseAppData(*a);

    switch (object.kind) {
    case ObjectKind::Mesh:
        object.mesh = parseMesh(f.required("mesh"));
        object.hasMesh = true;
        break;
    case ObjectKind::Poly:
        object.mesh = parseMesh(f.required("mesh"));
        object.hasMesh = true;
        object.classId = f.has("classId") ? readClassId(f.required("classId")) : POLYOBJ_CLASS_ID;
        break;
    case ObjectKind::Generic: {
        object.superClass = readSuperClass(f.required("superClass"));
        object.classId = readClassId(f.required("classId"));
        if (auto n = f.optional("name")) object.objectName = readString(*n);
        if (auto m = f.optional("mesh")) {
            object.mesh = parseMesh(*m);
            object.hasMesh = true;
            object.conversion = MeshConversion::Triangle;
        }
        if (auto c = f.optional("conversion")) {
            const std::string name = readString(*c);
            if (name == "triangle") object.conversion = MeshConversion::Triangle;
            else if (name == "polygon") object.conversion = MeshConversion::PolygonOnly;
            else if (name == "none") object.conversion = MeshConversion::None;
            else c->fail("unknown conversion " + inQuotes(name) + " (expected triangle, polygon or none)");
            if (object.conversion != MeshConversion::None && !object.hasMesh) c->fail("a conversion needs a \"mesh\"");
        }
        if (auto s = f.optional("source")) object.source = resolve(*s, objectIds_, "object", true);
        if (auto b = f.optional("paramBlocks")) object.paramBlocks = parseParamBlocks(*b);
        break;
    }
    case ObjectKind::Light: object.light = parseLight(f); break;
    case ObjectKind::Camera:
        object.classId = f.has("classId") ? readClassId(f.required("classId")) : SIMPLE_CAMERA_CLASS_ID;
        if (auto v = f.optional("fov")) object.fov = readFloat(*v);
        if (auto v = f.optional("near")) object.nearClip = readFloat(*v);
        if (auto v = f.optional("far")) object.farClip = readFloat(*v);
        break;
    case ObjectKind::Stack: {
        if (auto b = f.optional("base")) object.base = resolve(*b, objectIds_, "object", true);
        if (auto s = f.optional("superClass")) {
            object.stackSuperClass = readId(*s);
            if (!IsDerivedObjectSuperClass(object.stackSuperClass))
                s->fail("a modifier stack has super class 2, 3 or 4, got " + std::to_string(object.stackSuperClass));
        }
        if (auto mods = f.optional("modifiers"))
            for (size_t i = 0; i < arrayOf(*mods).size(); ++i) object.modifiers.push_back(parseModifier(mods->at(i)));
        break;
    }
    }
    return object;
}

LightModel Parser::parseLight(const Fields& f) {
    std::vector<const char*> keys = {"id", "kind", "appData", "type", "color", "intensity", "attenuation", "hotspot", "falloff"};
    for (const auto& s : lightSwitches()) keys.push_back(s.key);
    for (const auto& [key, value] : f.item()->items()) {
        bool known = false;
        for (const char* allowed : keys) known = known || key == allowed;
        if (!known) f.item().at(key).fail("unknown field");
    }
    LightModel light;
    const Item typeItem = f.required("type");
    const std::string typeName = readString(typeItem);
    light.type = lightTypeFromName(typeName);
    if (light.type < 0)
        typeItem.fail("unknown light type " + inQuotes(typeName) + " (expected omni, spot, targetSpot, directional or targetDirectional)");
    if (auto c = f.optional("color")) light.color = readPoint3(*c);
    if (auto v = f.optional("intensity")) light.intensity = readFloat(*v);
    if (auto a = f.optional("attenuation")) {
        Fields af(*a);
        af.allow({"nearStart", "nearEnd", "farStart", "farEnd"});
        const char* names[4] = {"nearStart", "nearEnd", "farStart", "farEnd"};
        for (int i = 0; i < 4; ++i)
            if (auto v = af.optional(names[i])) light.attenuation[i] = readFloat(*v);
    }
    if (auto v = f.optional("hotspot")) light.hotspot = readFloat(*v);
    if (auto v = f.optional("falloff")) light.falloff = readFloat(*v);
    const auto& switches = lightSwitches();
    for (size_t i = 0; i < switches.size(); ++i) {
        if (auto v = f.optional(switches[i].key))
            light.switches.emplace_back(i, switches[i].isBool ? (readBool(*v) ? 1 : 0) : readInt(*v));
    }
    return light;
}

ModifierModel Parser::parseModifier(const Item& item) {
    Fields f(item);
    ModifierModel mod;
    const Item kind = f.required("kind");
    const std::string k = readString(kind);
    if (k == "skin") {
        mod.isSkin = true;
        f.allow({"kind", "appData", "bones", "skinMatrix", "weights"});
    } else if (k == "modifier") {
        f.allow({"kind", "appData", "enabled", "classId", "name"});
    } else {
        kind.fail("unknown modifier kind " + inQuotes(k) + " (expected skin or modifier)");
    }
    if (auto a = f.optional("appData")) mod.appData = parseAppData(*a);
    if (auto e = f.optional("enabled")) mod.enabled = readBool(*e);
    if (!mod.isSkin) {
        mod.classId = readClassId(f.required("classId"));
        if (auto n = f.optional("name")) mod.name = readString(*n);
        return mod;
    }
    if (auto bones = f.optional("bones")) {
        for (size_t i = 0; i < arrayOf(*bones).size(); ++i) {
            Fields bf(bones->at(i));
            bf.allow({"node", "initialMatrix"});
            const int node = resolve(bf.required("node"), nodeIds_, "node", true);
            Matrix3 initial;
            if (auto m = bf.optional("initialMatrix")) initial = readMatrix(*m);
            mod.bones.emplace_back(node, initial);
        }
    }
    if (auto m = f.optional("skinMatrix")) mod.skinMatrix = readMatrix(*m);
    if (auto weights = f.optional("weights")) {
        for (size_t v = 0; v < arrayOf(*weights).size(); ++v) {
            const Item vertex = weights->at(v);
            std::vector<SkinModifier::Assignment> assignments;
            for (size_t a = 0; a < arrayOf(vertex).size(); ++a) {
                const Item pair = vertex.at(a);
                if (arrayOf(pair).size() != 2) pair.fail("expected [bone, weight]");
                SkinModifier::Assignment assignment;
                const Item bone = pair.at(0);
                assignment.bone = readInt(bone, 0);
                if (static_cast<size_t>(assignment.bone) >= mod.bones.size())
                    bone.fail("bone " + std::to_string(assignment.bone) + " out of range (the skin has " +
                              std::to_string(mod.bones.size()) + " bones)");
                assignment.weight = readFloat(pair.at(1));
                assignments.push_back(assignment);
            }
            mod.weights.push_back(std::move(assignments));
        }
    }
    return mod;
}

// ---- Meshes ----

Mesh Parser::parseMesh(const Item& item) {
    Fields f(item);
    f.allow({"vertices", "faces", "materialIds", "smoothingGroups", "edges", "hiddenFaces", "channels", "normals"});
    Mesh mesh;
    const Item verts = f.required("vertices");
    const size_t vertexCount = arrayOf(verts).size();
    mesh.setNumVerts(static_cast<int>(vertexCount));
    for (size_t i = 0; i < vertexCount; ++i) mesh.verts[i] = readPoint3(verts.at(i));

    const Item faces = f.required("faces");
    const size_t faceCount = arrayOf(faces).size();
    mesh.setNumFaces(static_cast<int>(faceCount));
    for (size_t i = 0; i < faceCount; ++i) {
        const auto corners = readTriangle(faces.at(i), vertexCount, "vertex");
        mesh.faces[i].setVerts(corners[0], corners[1], corners[2]);
        mesh.faces[i].flags = EDGE_ALL;
    }
    if (auto ids = f.optional("materialIds"))
        readPerFace(*ids, faceCount, 0, 0xFFFF, [&](size_t i, int64_t v) { mesh.faces[i].setMatID(static_cast<MtlID>(v)); });
    if (auto groups = f.optional("smoothingGroups"))
        readPerFace(*groups, faceCount, 0, 0xFFFFFFFFll,
                    [&](size_t i, int64_t v) { mesh.faces[i].smGroup = static_cast<uint32_t>(v); });
    if (auto edges = f.optional("edges"))
        readPerFace(*edges, faceCount, 0, 7, [&](size_t i, int64_t v) {
            mesh.faces[i].flags = (mesh.faces[i].flags & ~EDGE_ALL) | static_cast<uint32_t>(v);
        });
    if (auto hidden = f.optional("hiddenFaces")) {
        for (size_t i = 0; i < arrayOf(*hidden).size(); ++i) {
            const Item index = hidden->at(i);
            const int64_t face = readInteger(index, 0, std::numeric_limits<int32_t>::max());
            if (static_cast<size_t>(face) >= faceCount)
                index.fail("face " + std::to_string(face) + " out of range (there are " + std::to_string(faceCount) + ")");
            mesh.faces[face].flags |= FACE_HIDDEN;
        }
    }
    if (auto channels = f.optional("channels")) {
        std::vector<bool> seen(kMaxMapChannels, false);
        for (size_t i = 0; i < arrayOf(*channels).size(); ++i) parseChannel(channels->at(i), mesh, seen);
    }
    if (auto normals = f.optional("normals")) parseNormals(*normals, mesh);
    return mesh;
}

void Parser::parseChannel(const Item& item, Mesh& mesh, std::vector<bool>& seen) {
    Fields f(item);
    f.allow({"channel", "vertices", "faces", "flags"});
    const Item channelItem = f.required("channel");
    const int channel = readInt(channelItem, 0, kMaxMapChannels - 1);
    if (seen[channel]) channelItem.fail("channel " + std::to_string(channel) + " is given twice");
    seen[channel] = true;
    if (channel >= mesh.getNumMaps()) mesh.setNumMaps(channel + 1, true);
    MeshMap& map = mesh.Map(channel);

    if (auto verts = f.optional("vertices")) {
        map.tv.resize(arrayOf(*verts).size());
        for (size_t i = 0; i < map.tv.size(); ++i) map.tv[i] = readPoint3(verts->at(i), true);
    }
    if (auto faces = f.optional("faces")) {
        const size_t count = arrayOf(*faces).size();
        if (count != 0 && count != mesh.faces.size())
            faces->fail(std::to_string(count) + " channel faces for " + std::to_string(mesh.faces.size()) +
                        " mesh faces (a channel has one face per mesh face)");
        map.tf.resize(count);
        for (size_t i = 0; i < count; ++i) {
            const auto corners = readTriangle(faces->at(i), map.tv.size(), "channel vertex");
            map.tf[i].setTVerts(corners[0], corners[1], corners[2]);
        }
    }
    map.flags = map.tf.empty() ? 0 : MESHMAP_USED;
    if (auto flags = f.optional("flags")) map.flags = static_cast<uint32_t>(readId(*flags));
}

void Parser::parseNormals(const Item& item, Mesh& mesh) {
    Fields f(item);
    f.allow({"values", "faces", "explicit", "specified", "flags"});
    mesh.SpecifyNormals();
    MeshNormalSpec& normalSpec = *mesh.GetSpecifiedNormals();
    if (auto values = f.optional("values")) {
        normalSpec.SetNumNormals(static_cast<int>(arrayOf(*values).size()));
        for (size_t i = 0; i < values->value->size(); ++i) normalSpec.Normal(static_cast<int>(i)) = readPoint3(values->at(i));
    }
    const size_t normalCount = static_cast<size_t>(normalSpec.GetNumNormals());
    if (auto faces = f.optional("faces")) {
        const size_t count = arrayOf(*faces).size();
        if (count != 0 && count != mesh.faces.size())
            faces->fail(std::to_string(count) + " normal faces for " + std::to_string(mesh.faces.size()) + " mesh faces");
        normalSpec.SetNumFaces(static_cast<int>(count));
        for (size_t i = 0; i < count; ++i) {
            const Item face = faces->at(i);
            if (arrayOf(face).size() != 3) face.fail("expected 3 normal ids, got " + std::to_string(face->size()));
            for (size_t k = 0; k < 3; ++k) {
                const Item corner = face.at(k);
                // -1: a corner without a normal.
                const int id = readInt(corner, -1);
                if (id >= 0 && static_cast<size_t>(id) >= normalCount)
                    corner.fail("normal " + std::to_string(id) + " out of range (there are " + std::to_string(normalCount) + ")");
                normalSpec.Face(static_cast<int>(i)).SetNormalID(static_cast<int>(k), id);
                normalSpec.Face(static_cast<int>(i)).SpecifyNormalID(static_cast<int>(k), true);
            }
        }
    }
    // Explicit: true (all, the default), false (none) or the list of explicit normal ids.
    bool allExplicit = true;
    std::vector<int> explicitIds;
    if (auto e = f.optional("explicit")) {
        if (e->value->is_boolean()) {
            allExplicit = e->value->get<bool>();
        } else {
            allExplicit = false;
            for (size_t i = 0; i < arrayOf(*e).size(); ++i) {
                const Item id = e->at(i);
                const int n = readInt(id, 0);
                if (static_cast<size_t>(n) >= normalCount)
                    id.fail("normal " + std::to_string(n) + " out of range (there are " + std::to_string(normalCount) + ")");
                explicitIds.push_back(n);
            }
        }
    }
    for (size_t i = 0; i < normalCount; ++i) normalSpec.SetNormalExplicit(static_cast<int>(i), allExplicit);
    for (int id : explicitIds) normalSpec.SetNormalExplicit(id, true);
    // Specified corners per face as bits (1 corner 0, 2 corner 1, 4 corner 2); default all.
    if (auto s = f.optional("specified")) {
        readPerFace(*s, static_cast<size_t>(normalSpec.GetNumFaces()), 0, 7, [&](size_t i, int64_t bits) {
            for (int k = 0; k < 3; ++k) normalSpec.Face(static_cast<int>(i)).SpecifyNormalID(k, (bits >> k) & 1);
        });
    }
    uint32_t flags = MESH_NORMAL_NORMALS_BUILT | MESH_NORMAL_NORMALS_COMPUTED;
    if (auto fl = f.optional("flags")) flags = readId(*fl);
    normalSpec.ClearFlag(0xFFFFFFFFu);
    normalSpec.SetFlag(flags);
}

// ---- Nodes ----

NodeModel Parser::parseNode(const Item& item) {
    Fields f(item);
    f.allow({"id", "name", "parent", "object", "material", "layer", "transform", "keys", "objectOffset", "hidden",
             "frozen", "groupHead", "groupMember", "visibility", "inheritVisibility", "controller", "userProperties",
             "appData"});
    NodeModel node;
    node.name = readString(f.required("name"));
    node.id = f.has("id") ? readString(f.required("id")) : node.name;
    if (auto p = f.optional("parent")) node.parent = resolve(*p, nodeIds_, "node", true);
    if (auto o = f.optional("object")) node.object = resolve(*o, objectIds_, "object", true);
    if (auto m = f.optional("material")) node.material = resolve(*m, materialIds_, "material", true);
    if (auto l = f.optional("layer")) {
        node.layer = readString(*l);
        if (!layerNames_.count(node.layer)) l->fail("no layer " + inQuotes(node.layer));
        if (node.layer == "0") node.layer.clear();
    }
    if (auto keys = f.optional("keys")) {
        if (f.has("transform")) f.required("transform").fail("a node has either a transform or animation keys, not both");
        std::unordered_map<TimeValue, size_t> ticks;
        for (size_t i = 0; i < arrayOf(*keys).size(); ++i) {
            Fields kf(keys->at(i));
            kf.allow({"tick", "transform"});
            KeyModel key;
            const Item tick = kf.required("tick");
            key.tick = readInt(tick);
            if (auto [it, added] = ticks.emplace(key.tick, i); !added)
                tick.fail("a key at tick " + std::to_string(key.tick) + " is given already (keys[" + std::to_string(it->second) + "])");
            key.tm = readMatrix(kf.required("transform"));
            node.keys.push_back(key);
        }
    }
    if (auto t = f.optional("transform")) node.transform = readMatrix(*t);
    if (auto o = f.optional("objectOffset")) node.objectOffset = readMatrix(*o);
    if (auto v = f.optional("hidden")) node.hidden = readBool(*v);
    if (auto v = f.optional("frozen")) node.frozen = readBool(*v);
    if (auto v = f.optional("groupHead")) node.groupHead = readBool(*v);
    if (auto v = f.optional("groupMember")) node.groupMember = readBool(*v);
    if (auto v = f.optional("visibility")) node.visibility = readFloat(*v);
    if (auto v = f.optional("inheritVisibility")) node.inheritVisibility = readBool(*v);
    if (auto c = f.optional("controller")) node.controller = readClassId(*c);
    if (auto props = f.optional("userProperties")) {
        Fields pf(*props);
        for (const auto& [key, value] : props->value->items()) {
            const Item prop = props->at(key);
            // Numbers and booleans are taken as their text, as the host stores every property.
            std::string text;
            if (value.is_string()) text = value.get<std::string>();
            else if (value.is_number() || value.is_boolean()) text = value.dump();
            else prop.fail("expected a string, number or boolean, got " + describe(value));
            node.userProperties.emplace_back(key, text);
        }
    }
    if (auto a = f.optional("appData")) node.appData = parseAppData(*a);
    return node;
}

}  // namespace

SceneModel parseScene(const json& document) { return Parser().parse(document); }

}  // namespace headless::document
