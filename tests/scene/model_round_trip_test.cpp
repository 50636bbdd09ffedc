// Scene documents through the model: random documents (seeded) and documents saved by earlier
// versions load, save and load again without change, numbers keeping their exact bits.
#include "headless/demo_scene.h"
#include "headless/scene_document.h"
#include "headless/scene_document_model.h"
#include "support.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>

namespace {

using namespace headless;
using nlohmann::json;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string modelRoundTrip(const std::string& text) {
    std::string out;
    document::writeScene(document::readScene(text), [&](const char* data, size_t size) { out.append(data, size); });
    return out;
}

// A random valid document: every kind of entry with random optional keys. References point only
// to entries before them, so that no containment loops.
class RandomDocument {
public:
    explicit RandomDocument(uint32_t seed) : random_(seed) {}

    json make() {
        json doc{{"format", "zeq-scene"}, {"version", 1}, {"ticksPerFrame", pick(1, 4800)},
                 {"animationRange", {0, pick(0, 9600)}}, {"ambient", point()}, {"time", pick(-100, 100)}};
        doc["layers"] = {{{"name", "0"}}, {{"name", "Layer"}, {"hidden", coin()}}};
        maps_ = pick(0, 4);
        for (int i = 0; i < maps_; ++i) doc["maps"].push_back(map(i));
        materials_ = pick(0, 4);
        for (int i = 0; i < materials_; ++i) doc["materials"].push_back(material(i));
        objects_ = pick(1, 5);
        for (int i = 0; i < objects_; ++i) doc["objects"].push_back(object(i));
        for (int i = 0, n = pick(1, 6); i < n; ++i) doc["nodes"].push_back(node(i));
        doc["selection"] = {"N0"};
        return doc;
    }
    // Every finite float given as a vertex coordinate, in document order.
    std::vector<float> floats;

private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool coin() { return pick(0, 1) == 1; }
    // Any float bit pattern but NaN, which documents write without its payload.
    float anyFloat() {
        float f;
        do f = std::bit_cast<float>(static_cast<uint32_t>(random_()));
        while (std::isnan(f));
        return f;
    }
    json number(float f) { return std::isinf(f) ? json(f > 0 ? "inf" : "-inf") : json(static_cast<double>(f)); }
    json point() { return {number(anyFloat()), number(anyFloat()), number(anyFloat())}; }
    std::string ref(const char* prefix, int below) { return below > 0 ? prefix + std::to_string(pick(0, below - 1)) : ""; }

    json blocks() {
        json params = json::array();
        const char* types[] = {"float", "int", "bool", "point3", "string", "node", "float[]", "node[]"};
        for (int i = 0, n = pick(0, 4); i < n; ++i) {
            const std::string type = types[pick(0, 7)];
            json param{{"id", i}, {"type", type}, {"name", "p" + std::to_string(i)}};
            if (type == "float") param["value"] = number(anyFloat());
            if (type == "int") param["value"] = pick(-5, 5);
            if (type == "bool") param["value"] = coin();
            if (type == "point3") param["value"] = point();
            if (type == "string") param["value"] = coin() ? json("text \"quoted\"\n") : json(nullptr);
            if (type == "node") param["value"] = "N0";
            if (type == "float[]") param["value"] = {1.5, -2};
            if (type == "node[]") param["value"] = {"N0", nullptr};
            params.push_back(param);
        }
        return json::array({{{"id", 0}, {"name", "block"}, {"params", params}}});
    }

    json map(int i) {
        json m{{"id", "M" + std::to_string(i)}, {"channel", pick(0, 3)}};
        switch (pick(0, 2)) {
        case 0:
            m.update({{"kind", "bitmap"}, {"file", "t.png"}, {"size", {pick(0, 512), pick(0, 512)}}, {"filter", "summedArea"}});
            break;
        case 1: m.update({{"kind", "cube"}, {"files", {"a", nullptr, "c", "d", "e", "f"}}}); break;
        default:
            m.update({{"kind", "other"}, {"classId", {"0x1", "0x2"}}, {"paramBlocks", blocks()}});
            if (i > 0) m["subMaps"] = {ref("M", i), nullptr};
        }
        return m;
    }

    json material(int i) {
        json m{{"id", "T" + std::to_string(i)}, {"name", coin() ? "named" : "T" + std::to_string(i)}};
        switch (pick(0, 2)) {
        case 0:
            m.update({{"kind", "standard"}, {"diffuse", {0.5, 0.25, 1}}, {"opacity", number(anyFloat())}, {"twoSided", coin()}});
            if (auto map = ref("M", maps_); !map.empty()) m["maps"] = {{"bump", map}};
            m["mapAmounts"] = {{"diffuse", 0.5}};
            break;
        case 1:
            m["kind"] = "multi";
            m["subMaterials"] = {{{"id", 3}, {"material", i > 0 ? json(ref("T", i)) : json(nullptr)}, {"name", "slot"}}};
            if (coin()) m["count"] = 9;
            break;
        default: m.update({{"kind", "other"}, {"classId", {"0x10", "0x20"}}, {"multi", coin()}});
        }
        return m;
    }

    json mesh() {
        const int vertices = pick(3, 8), faces = pick(1, 6);
        json verts = json::array(), tris = json::array(), uv = json::array();
        for (int v = 0; v < vertices; ++v) {
            json p = json::array();
            for (int k = 0; k < 3; ++k) {
                const float f = anyFloat();
                if (std::isfinite(f)) floats.push_back(f);
                p.push_back(number(f));
            }
            verts.push_back(p);
            uv.push_back({pick(0, 4) * 0.25, 0.5});
        }
        for (int f = 0; f < faces; ++f) tris.push_back({pick(0, vertices - 1), pick(0, vertices - 1), pick(0, vertices - 1)});
        json m{{"vertices", verts}, {"faces", tris}, {"smoothingGroups", pick(0, 3)}, {"edges", coin() ? 7 : 5}};
        if (coin()) m["materialIds"] = json::array();
        for (int f = 0; f < faces && m.contains("materialIds"); ++f) m["materialIds"].push_back(pick(0, 3));
        if (coin()) m["hiddenFaces"] = {0};
        if (coin()) m["channels"] = {{{"channel", 1}, {"vertices", uv}, {"faces", tris}}};
        if (m.contains("channels") && coin()) m["channels"][0]["flags"] = pick(0, 3);
        if (coin()) {
            json ids = json::array();
            for (int f = 0; f < faces; ++f) ids.push_back({0, -1, 0});
            const json explicitNormals = coin() ? json(coin()) : json::array({0});
            m["normals"] = {{"values", {{0, 0, 1}}}, {"faces", ids}, {"explicit", explicitNormals}};
            if (coin()) m["normals"]["specified"] = pick(0, 7);
            if (coin()) m["normals"]["flags"] = pick(0, 15);
        }
        return m;
    }

    json object(int i) {
        json o{{"id", "O" + std::to_string(i)}};
        switch (i == 0 ? 0 : pick(0, 4)) {
        case 0: o.update({{"kind", "mesh"}, {"mesh", mesh()}}); break;
        case 1: {
            const char* types[] = {"omni", "spot", "targetSpot", "directional", "targetDirectional"};
            o.update({{"kind", "light"}, {"type", types[pick(0, 4)]}, {"intensity", 2}, {"shadow", coin()}, {"decayType", pick(0, 2)}});
            break;
        }
        case 2: o.update({{"kind", "camera"}, {"fov", 1.25}, {"near", 0.5}}); break;
        case 3:
            o.update({{"kind", "object"}, {"superClass", "helper"}, {"classId", {"0x5", "0x6"}}, {"paramBlocks", blocks()}});
            if (coin()) o["mesh"] = mesh();
            break;
        default:
            o.update({{"kind", "stack"}, {"base", "O0"}});
            o["modifiers"] = {{{"kind", "skin"}, {"bones", {{{"node", "N0"}}}}, {"weights", {{{0, 0.75}}, json::array()}}},
                              {{"kind", "modifier"}, {"classId", {"0x7", "0x8"}}, {"enabled", false}}};
        }
        return o;
    }

    json node(int i) {
        // Every other node shares a name with the one before and has an id of its own.
        json n{{"name", "N" + std::to_string(i % 2 ? i - 1 : i)}};
        if (i % 2) n["id"] = "N" + std::to_string(i);
        if (i > 0) n["parent"] = ref("N", i);
        n["object"] = ref("O", objects_);
        if (auto m = ref("T", materials_); !m.empty()) n["material"] = m;
        if (coin()) n["layer"] = "Layer";
        if (coin()) n["keys"] = {{{"tick", 0}, {"transform", {{"translation", {pick(-9, 9), 0.125, -3.5}}}}}, {{"tick", 160}, {"transform", json::array({1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 2, 3})}}};
        else n["transform"] = {{"rotation", {pick(0, 90), 0, 45}}, {"scale", {2, 2, 2}}};
        n["userProperties"] = {{"LODDistance", pick(0, 100)}, {"note", "x"}};
        n["appData"] = {{{"classId", {"0x1", "0x2"}}, {"superClassId", "0x3"}, {"subId", 4}, {"data", "00ff"}}};
        if (coin()) n["hidden"] = true;
        return n;
    }

    int maps_ = 0, materials_ = 0, objects_ = 0;

    std::mt19937 random_;
};

// Vertex coordinates of every mesh the scene's nodes show, in node order.
void collectFloats(INode* root, std::vector<float>& out) {
    for (INode* node : scene_test::allNodes(root))
        if (auto* tri = dynamic_cast<TriObject*>(node->GetObjectRef()))
            for (const Point3& p : tri->mesh.verts)
                for (int k = 0; k < 3; ++k)
                    if (std::isfinite(p[k])) out.push_back(p[k]);
}

TEST(SceneDocumentModel, RandomDocumentsLoadSaveLoadUnchanged) {
    for (uint32_t seed = 1; seed <= 60; ++seed) {
        RandomDocument random(seed);
        const std::string text = random.make().dump();
        Host first;
        ASSERT_NO_THROW(loadSceneDocumentText(first, text)) << "seed " << seed;
        const std::string saved = saveSceneDocumentText(first);
        EXPECT_EQ(modelRoundTrip(saved), saved) << "seed " << seed;
        Host second;
        loadSceneDocumentText(second, saved);
        EXPECT_EQ(saveSceneDocumentText(second), saved) << "seed " << seed;
        scene_test::expectSameScene(first, second);
        // Coordinates keep their exact bits through the saved text.
        std::vector<float> loaded;
        collectFloats(second.GetRootNode(), loaded);
        for (float f : loaded)
            EXPECT_NE(std::find_if(random.floats.begin(), random.floats.end(),
                                   [&](float g) { return std::bit_cast<uint32_t>(f) == std::bit_cast<uint32_t>(g); }),
                      random.floats.end())
                << "seed " << seed;
    }
}

// Documents saved before the model was described by field tables load to the scene they were
// saved from, and save again with the same content.
TEST(SceneDocumentModel, EarlierSavedDocumentsLoadTheSame) {
    const std::string folder = std::string(ZEQ_TEST_DATA_DIR) + "/scene/";
    {
        Host saved;
        loadSceneDocumentFile(saved, folder + "demo_saved_v1.json");
        Host demo;
        buildDemoScene(demo);
        scene_test::expectSameScene(demo, saved);
    }
    for (const char* name : {"demo_saved_v1.json", "demo_imported_v1.json"}) {
        Host host;
        loadSceneDocumentFile(host, folder + name);
        EXPECT_EQ(saveSceneDocument(host), json::parse(readFile(folder + name))) << name;
    }
}

// Saved documents are indented for people (a tab a level), small number arrays on one line each.
TEST(SceneDocumentModel, SavedTextKeepsNumberArraysOnOneLine) {
    Host demo;
    buildDemoScene(demo);
    const std::string text = saveSceneDocumentText(demo);
    EXPECT_NE(text.find("\"vertices\": [\n"), std::string::npos);
    EXPECT_NE(text.find("\t[-0.5,-0.5,-0.5],\n"), std::string::npos);
    EXPECT_NE(text.find("\"classId\": [\"0x"), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
}

// Names that are not UTF-8 (foreign files bring them) keep their valid parts; each stray byte is
// saved as U+FFFD, so that the document stays JSON. Control characters are escaped. Two nodes and
// layers whose names differ only in stray bytes stay two nodes with ids of their own.
TEST(SceneDocumentModel, NamesThatAreNotUtf8SaveAsReplacementCharacters) {
    Host host;
    for (const char* name : {"caf\xC3\xA9 \xFF\xC3 tab\t", "caf\xC3\xA9 \xFE\xC3 tab\t"})
        host.scene().createNode(name)->SetLayer(host.scene().newLayer(name));
    const std::string saved = saveSceneDocumentText(host);
    Host again;
    loadSceneDocumentText(again, saved);
    ASSERT_EQ(again.scene().nodes().size(), 2u);
    for (int i = 0; i < 2; ++i)
        EXPECT_STREQ(again.GetRootNode()->GetChildNode(i)->GetName(), "caf\xC3\xA9 \xEF\xBF\xBD\xEF\xBF\xBD tab\t");
}

// Integers too long for 64 bits are numbers like any other (read as doubles). The largest floats,
// saved as 3.4028235e+38 (a little above them), load as themselves. A number beyond any float or
// double, which is still JSON, is refused with where it is, as is text that is not JSON.
TEST(SceneDocumentModel, LongIntegersLoadAndBadNumbersAreLocated) {
    Host host;
    loadSceneDocumentText(host, R"({"ambient": [123456789012345678901234, 0, 1]})");
    EXPECT_EQ(host.GetAmbient(0).x, static_cast<float>(123456789012345678901234.0));
    constexpr float kLargest = std::numeric_limits<float>::max();
    host.SetAmbient(0, Point3(kLargest, -kLargest, 1.0f));
    Host again;
    loadSceneDocumentText(again, saveSceneDocumentText(host));
    EXPECT_EQ(again.GetAmbient(0), Point3(kLargest, -kLargest, 1.0f));
    // A NaN keeps its sign (the host makes negative ones: inf times 0).
    loadSceneDocumentText(host, R"({"ambient": ["-nan", "nan", 1]})");
    Host signs;
    loadSceneDocumentText(signs, saveSceneDocumentText(host));
    const Point3 nans = signs.GetAmbient(0);
    EXPECT_TRUE(std::isnan(nans.x) && std::signbit(nans.x) && std::isnan(nans.y) && !std::signbit(nans.y));
    using namespace std::string_literals;
    const std::pair<std::string, const char*> bad[] = {
        {R"({"ambient": [3.4028236e+38, 0, 1]})", "ambient[0]: number out of the range of a float"},
        {R"({"ambient": [1e400, 0, 1]})", "ambient[0]: number out of the range of a float"},
        {R"({"time": -1e400})", "time: expected an integer, got -1e400"},
        {R"({"time": -9223372036854775809})", "time: expected an integer, got -9223372036854775809"},
        {"{\n  \"ambient\": [1, 0, 1]]}", "invalid JSON: parse error at line 2, column 23"},
        // Columns count characters, as editors do, not bytes.
        {R"({"nodes":[{"name":"é€😀", "hidden": 1]})", "invalid JSON: parse error at line 1, column 37"},
        {"{\0}\0"s, "invalid JSON: the text is UTF-16"},  // without a byte order mark
        // A zero byte does not end the text: zeroes after a whole document (a damaged file) too.
        {"{\"ambient\": [1, 0, 1]}\n\0\0"s, "invalid JSON: parse error at line 2, column 1: a zero byte"},
    };
    for (const auto& [text, message] : bad) {
        try {
            loadSceneDocumentText(host, text);
            ADD_FAILURE() << text;
        } catch (const SceneDocumentError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(message, 0), 0u) << e.what();
        }
    }
}

// A matrix that is the identity but for a negative zero is no default to leave out: through the
// scene and back, transforms, object offsets and skin matrices keep the sign (it came back 0).
TEST(SceneDocumentModel, NegativeZeroesAreNoIdentity) {
    const std::string zero = "[1,0,0,0,1,0,0,0,1,-0.0,0,0]";
    const std::string text = R"({"objects": [{"id": "M", "kind": "mesh", "mesh": {"vertices": [[0, 0, 0], [1, 0, 0], [0, 1, 0]],
        "faces": [[0, 1, 2]]}}, {"id": "S", "kind": "stack", "base": "M", "modifiers": [{"kind": "skin",
        "bones": [{"node": "B", "initialMatrix": [1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0]}], "skinMatrix": )" + zero + R"(}]}],
        "nodes": [{"name": "B", "transform": )" + zero + R"(, "objectOffset": )" + zero + R"(}, {"name": "N", "object": "S"}]})";
    Host host;
    loadSceneDocumentText(host, text);
    const std::string saved = saveSceneDocumentText(host);
    size_t count = 0;
    for (size_t at = saved.find(zero); at != std::string::npos; at = saved.find(zero, at + 1)) ++count;
    EXPECT_EQ(count, 3u) << saved;
}

// Keys and strings written with escapes, keys in any order or given twice (the last value counts),
// and a byte order mark before the text, read as in the plain form; an earlier value of a key given
// twice must still be JSON, of any type.
TEST(SceneDocumentModel, EscapedAndReorderedKeysReadTheSame) {
    const std::string plain = R"({"objects": [{"id": "P", "kind": "poly", "mesh": {"vertices": [[0, 0, 0], [1, 0, 0], [0, 1, 0]],
        "faces": [[0, 1, 2]]}}], "nodes": [{"name": "N", "object": "P"}, {"name": "M", "parent": "N"}]})";
    const std::string other = R"({"nodes": [{"object": "P", "name": "N"}, {"parent": "N", "name": 5, "name": "M"}],
        "objects": [{"mesh": {"faces": [[0, 1, 2]], "vertices": [[0, 0, 0], [1, 0, 0], [0, 1, 0]]}, "kind": "poly",
        "id": "P"}]})";
    EXPECT_EQ(modelRoundTrip(other), modelRoundTrip(plain));
    EXPECT_EQ(modelRoundTrip("\xEF\xBB\xBF" + plain), modelRoundTrip(plain));
    // A list given twice counts as the last: references go to its entries, and an id only an
    // earlier one has names nothing.
    const std::string twice = R"({"objects": [{"id": "Q", "kind": "camera"}, {"id": "P", "kind": "camera"}],
        "objects": [{"id": "P", "kind": "poly", "mesh": {"vertices": [[0, 0, 0], [1, 0, 0], [0, 1, 0]],
        "faces": [[0, 1, 2]]}}], "nodes": [{"name": "N", "object": "P"}, {"name": "M", "parent": "N"}]})";
    EXPECT_EQ(modelRoundTrip(twice), modelRoundTrip(plain));
    Host gone;
    try {
        loadSceneDocumentText(gone, R"({"objects": [{"id": "Q", "kind": "camera"}], "objects": [], "nodes": [{"name": "N", "object": "Q"}]})");
        ADD_FAILURE() << "no error";
    } catch (const SceneDocumentError& e) {
        EXPECT_STREQ(e.what(), "nodes[0].object: no object \"Q\"");
    }
    // A channel given twice within its entry counts as the last, as every key does (it once left
    // both channels in the mesh); a "kind" given twice, which chooses the entry's keys, must agree.
    auto channels = [](const std::string& entry) {
        return R"({"objects": [{"id": "P", "kind": "poly", "mesh": {"vertices": [[0, 0, 0], [1, 0, 0], [0, 1, 0]],
            "faces": [[0, 1, 2]], "channels": [)" + entry + "]}}]}";
    };
    EXPECT_EQ(modelRoundTrip(channels(R"({"channel": 1, "vertices": [[0.5, 0.5]], "channel": 2})")),
              modelRoundTrip(channels(R"({"channel": 2, "vertices": [[0.5, 0.5]]})")));
    Host kinds;
    try {
        loadSceneDocumentText(kinds, R"({"objects": [{"id": "C", "kind": "camera", "kind": "light"}]})");
        ADD_FAILURE() << "no error";
    } catch (const SceneDocumentError& e) {
        EXPECT_STREQ(e.what(), R"(objects[0].kind: "kind" is given twice: "camera", then "light")");
    }
    // An object's mesh of channels alone is saved too.
    Host bare;
    loadSceneDocumentText(bare, R"({"objects": [{"id": "G", "kind": "object", "superClass": "helper", "classId": [1, 2],
        "mesh": {"vertices": [], "faces": [], "channels": [{"channel": 2, "vertices": [[0.25, 0.75]]}]}}],
        "nodes": [{"name": "G", "object": "G"}]})");
    EXPECT_NE(saveSceneDocumentText(bare).find("[0.25,0.75]"), std::string::npos);
    Host host;
    try {
        loadSceneDocumentText(host, R"({"nodes": [{"name": [1,, 2], "name": "N"}]})");
        ADD_FAILURE() << "no error";
    } catch (const SceneDocumentError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("invalid JSON: parse error at line 1, column 24", 0), 0u) << e.what();
    }
}

// Chains as long as a document may make them: a map among the sub-maps of a map, a stack on a
// stack, an object standing for another, a node below a node. Saving walks them without deep
// recursion (which ended the process) and names their links with ids of bounded length (they grew
// a word a link).
TEST(SceneDocumentModel, DeepChainsSave) {
    constexpr int kLinks = 20000;
    std::string maps, objects, nodes;
    for (int i = 0; i < kLinks; ++i) {
        const std::string n = std::to_string(i), next = std::to_string(i + 1);
        const bool last = i + 1 == kLinks;
        maps += R"({"id": "M)" + n + R"(", "kind": "other", "classId": [1, 2], "subMaps": [)" + (last ? "" : "\"M" + next + "\"") + "]},";
        objects += R"({"id": "S)" + n + R"(", "kind": "stack", "base": ")" + (last ? "Tri" : "S" + next) + "\"},";
        objects += R"({"id": "G)" + n + R"(", "kind": "object", "superClass": "helper", "classId": [1, 2], "source": ")" +
                   (last ? "Tri" : "G" + next) + "\"},";
        nodes += R"({"name": "N)" + n + "\"" + (i ? R"(, "parent": "N)" + std::to_string(i - 1) + "\"" : "") + "},";
    }
    const std::string text = R"({"maps": [)" + maps + R"({"id": "Top", "kind": "other", "classId": [1, 2], "subMaps": ["M0"]}],
        "materials": [{"id": "Mat", "kind": "standard", "maps": {"diffuse": "Top"}}],
        "objects": [)" + objects + R"({"id": "Tri", "kind": "mesh", "mesh": {"vertices": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2]]}}],
        "nodes": [)" + nodes + R"({"name": "A", "object": "S0", "material": "Mat"}, {"name": "B", "object": "G0"}]})";
    Host host;
    loadSceneDocumentText(host, text);
    const json saved = saveSceneDocument(host);
    EXPECT_EQ(saved["maps"].size(), kLinks + 1u);
    EXPECT_EQ(saved["objects"].size(), 2u * kLinks + 1);
    EXPECT_EQ(saved["nodes"].size(), kLinks + 2u);
    size_t longest = 0;
    for (const json& object : saved["objects"]) longest = std::max(longest, object["id"].get<std::string>().size());
    EXPECT_LE(longest, 300u);
}

// Damaged text (cut short, bytes changed) gives a scene or one SceneDocumentError, never a crash or
// another exception (seeded, so failures repeat).

TEST(SceneDocumentModel, DamagedTextNeverCrashes) {
    const std::string demo = demoSceneDocument();
    const std::string bytes = "{}[]\",:0-e.\\ \x80\xff";
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        std::string text = demo.substr(0, round % 3 == 0 ? random() % demo.size() : demo.size());
        for (int hit = 0; hit < 1 + round % 4 && !text.empty(); ++hit)
            text[random() % text.size()] = bytes[random() % bytes.size()];
        Host host;
        try {
            loadSceneDocumentText(host, text);
        } catch (const SceneDocumentError&) {
        }
    }
}

}  // namespace
