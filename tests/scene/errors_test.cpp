// Bad scene documents: each kind of problem is reported with its JSON path and leaves the scene as it
// was; damaged documents and files never crash the loader.
#include "headless/demo_scene.h"
#include "headless/scene_document.h"
#include "support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

namespace {

using namespace headless;
using nlohmann::json;

// A small valid document that the cases below damage one field at a time. Its keys stay in the
// order given (as documents are written); a damaged key may come after the others.
using Doc = nlohmann::ordered_json;
Doc baseDocument() {
    return Doc::parse(R"({
      "layers": [{"name": "Props"}],
      "maps": [{"id": "Tex", "kind": "bitmap", "file": "a.png"},
               {"id": "Bump", "kind": "other", "classId": ["0x243E22C6", "0x63F6A014"], "subMaps": ["Tex"]}],
      "materials": [{"id": "Mat", "kind": "standard", "maps": {"diffuse": "Tex"}},
                    {"id": "Multi", "kind": "multi", "subMaterials": [{"id": 1, "material": "Mat"}]}],
      "objects": [
        {"id": "Box", "kind": "mesh",
         "mesh": {"vertices": [[0, 0, 0], [1, 0, 0], [0, 1, 0]], "faces": [[0, 1, 2]],
                  "channels": [{"channel": 1, "vertices": [[0, 0], [1, 0], [0, 1]], "faces": [[0, 1, 2]]}]}},
        {"id": "Lod", "kind": "object", "superClass": "geometry", "classId": ["0xB08FE489", "0x88D0FBBE"],
         "paramBlocks": [{"id": 0, "params": [{"id": 4, "type": "node[]", "value": ["A"]}]}]},
        {"id": "Skinned", "kind": "stack", "base": "Box",
         "modifiers": [{"kind": "skin", "bones": [{"node": "A"}], "weights": [[[0, 1]], [[0, 1]], [[0, 1]]]}]},
        {"id": "Sun", "kind": "light", "type": "directional"}
      ],
      "nodes": [{"name": "A", "object": "Box", "material": "Multi", "layer": "Props"},
                {"name": "B", "parent": "A", "object": "Lod"},
                {"name": "C", "object": "Skinned", "keys": [{"tick": 0, "transform": {"translation": [1, 2, 3]}}]}]
    })");
}

struct BadField {
    const char* what;
    std::function<void(Doc&)> damage;
    const char* message;
};

const BadField kBadFields[] = {
    {"missing reference", [](Doc& d) { d["nodes"][2]["object"] = "Box02"; }, R"(nodes[2].object: no object "Box02")"},
    {"missing material", [](Doc& d) { d["nodes"][0]["material"] = "Wood"; }, R"(nodes[0].material: no material "Wood")"},
    {"missing node in a parameter table", [](Doc& d) { d["objects"][1]["paramBlocks"][0]["params"][0]["value"][0] = "Z"; },
     R"(objects[1].paramBlocks[0].params[0].value[0]: no node "Z")"},
    {"wrong type", [](Doc& d) { d["nodes"][0]["name"] = 5; }, "nodes[0].name: expected a string, got a number"},
    {"zero character", [](Doc& d) { d["nodes"][0]["name"] = std::string("A\0B", 3); },
     R"(nodes[0].name: text holds a zero character (\u0000), which the host cannot keep)"},
    {"wrong type of a parameter value", [](Doc& d) { d["objects"][1]["paramBlocks"][0]["params"][0]["value"][0] = 3; },
     "objects[1].paramBlocks[0].params[0].value[0]: expected the id of a node or null, got a number"},
    {"not an object", [](Doc& d) { d["nodes"][1] = Doc::array(); }, "nodes[1]: expected an object, got an array"},
    {"missing field", [](Doc& d) { d["nodes"][1].erase("name"); }, R"(nodes[1]: missing field "name")"},
    {"unknown field", [](Doc& d) { d["nodes"][0]["colour"] = "red"; }, "nodes[0].colour: unknown field"},
    {"misspelt field", [](Doc& d) { d["nodes"][1]["Parnet"] = "A"; }, R"(nodes[1].Parnet: unknown field (did you mean "parent"?))"},
    {"missing kind", [](Doc& d) { d["objects"][3].erase("kind"); }, R"(objects[3]: missing field "kind")"},
    {"app data given twice",
     [](Doc& d) {
         const Doc chunk = {{"classId", {"0x1", "0x2"}}, {"superClassId", "0x3"}, {"subId", 4}, {"data", "00"}};
         d["nodes"][0]["appData"] = {chunk, chunk};
     },
     "nodes[0].appData[1]: the same classId, superClassId and subId as appData[0]"},
    {"unknown object kind", [](Doc& d) { d["objects"][0]["kind"] = "blob"; },
     R"(objects[0].kind: unknown object kind "blob" (expected mesh, poly, object, light, camera or stack))"},
    {"unknown light type", [](Doc& d) { d["objects"][3]["type"] = "sun"; },
     R"(objects[3].type: unknown light type "sun" (expected omni, spot, targetSpot, directional or targetDirectional))"},
    {"unknown material slot", [](Doc& d) { d["materials"][0]["maps"]["shiny"] = "Tex"; },
     "materials[0].maps.shiny: unknown map slot (expected ambient, diffuse, specular, glossiness, specularLevel, "
     "selfIllumination, opacity, filter, bump, reflection, refraction or displacement)"},
    {"unknown parameter type", [](Doc& d) { d["objects"][1]["paramBlocks"][0]["params"][0]["type"] = "nodes"; },
     R"(objects[1].paramBlocks[0].params[0].type: unknown parameter type "nodes" (expected float, int, bool, point3, )"
     R"(color, angle, percent, world, string, filename, node, material or map, or one of them followed by [] for a table))"},
    {"vertex index out of range", [](Doc& d) { d["objects"][0]["mesh"]["faces"][0][2] = 3; },
     "objects[0].mesh.faces[0][2]: vertex 3 out of range (there are 3)"},
    {"channel vertex out of range", [](Doc& d) { d["objects"][0]["mesh"]["channels"][0]["faces"][0][1] = 7; },
     "objects[0].mesh.channels[0].faces[0][1]: channel vertex 7 out of range (there are 3)"},
    {"negative index", [](Doc& d) { d["objects"][0]["mesh"]["faces"][0][0] = -1; },
     "objects[0].mesh.faces[0][0]: must be between 0 and 4294967295, got -1"},
    {"per-face list of the wrong length", [](Doc& d) { d["objects"][0]["mesh"]["materialIds"] = {1, 2}; },
     "objects[0].mesh.materialIds: 2 entries for 1 faces"},
    {"material id out of range", [](Doc& d) { d["objects"][0]["mesh"]["materialIds"] = 70000; },
     "objects[0].mesh.materialIds: must be between 0 and 65535, got 70000"},
    {"channel faces not matching the mesh", [](Doc& d) { d["objects"][0]["mesh"]["channels"][0]["faces"].push_back({0, 1, 2}); },
     "objects[0].mesh.channels[0].faces: 2 channel faces for 1 mesh faces (a channel has one face per mesh face)"},
    {"bone out of range", [](Doc& d) { d["objects"][2]["modifiers"][0]["weights"][1][0][0] = 1; },
     "objects[2].modifiers[0].weights[1][0][0]: bone 1 out of range (the skin has 1 bones)"},
    {"bad matrix", [](Doc& d) { d["nodes"][0]["transform"] = {1, 2, 3}; },
     "nodes[0].transform: expected 12 numbers (X, Y and Z axis rows, then translation), got 3"},
    {"transform and keys together", [](Doc& d) { d["nodes"][2]["transform"] = Doc::array({1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}); },
     "nodes[2].transform: a node has either a transform or animation keys, not both"},
    {"repeated key", [](Doc& d) { d["nodes"][2]["keys"].push_back(d["nodes"][2]["keys"][0]); },
     "nodes[2].keys[1].tick: a key at tick 0 is given already (keys[0])"},
    {"bad class id", [](Doc& d) { d["objects"][1]["classId"][0] = "0xZZ"; },
     R"(objects[1].classId[0]: expected a number or a hex string such as "0x1A2B3C4D", got "0xZZ")"},
    {"duplicate id", [](Doc& d) { d["nodes"][1]["name"] = "A"; }, R"(nodes[1].name: duplicate node "A" (also nodes[0]))"},
    {"missing layer", [](Doc& d) { d["nodes"][0]["layer"] = "Lights"; }, R"(nodes[0].layer: no layer "Lights")"},
    {"parent cycle", [](Doc& d) { d["nodes"][0]["parent"] = "B"; }, R"(nodes[1].parent: cycle "A" -> "B" -> "A")"},
    {"map cycle", [](Doc& d) { d["maps"][1]["subMaps"].push_back("Bump"); }, R"(maps[1].subMaps[1]: cycle "Bump" -> "Bump")"},
    {"material cycle", [](Doc& d) { d["materials"][1]["subMaterials"].push_back({{"id", 2}, {"material", "Multi"}}); },
     R"(materials[1].subMaterials[1].material: cycle "Multi" -> "Multi")"},
    {"stack on itself", [](Doc& d) { d["objects"][2]["base"] = "Skinned"; }, R"(objects[2].base: cycle "Skinned" -> "Skinned")"},
    {"float out of range", [](Doc& d) { d["objects"][3]["intensity"] = 1e300; },
     "objects[3].intensity: number out of the range of a float"},
    {"newer version", [](Doc& d) { d["version"] = 2; }, "version: version 2 is newer than this program reads (1)"},
    {"user property key the host would trim", [](Doc& d) { d["nodes"][0]["userProperties"][" pad "] = "x"; },
     R"(nodes[0].userProperties. pad : a user property key is not empty, holds no "=", line break or zero character and has no spaces at its ends; got " pad ")"},
    {"user property value on two lines", [](Doc& d) { d["nodes"][0]["userProperties"]["note"] = "a\nb"; },
     "nodes[0].userProperties.note: a user property value holds no line break"},
    {"other format", [](Doc& d) { d["format"] = "gltf"; }, R"(format: expected "zeq-scene", got "gltf")"},
    {"range ending before it starts", [](Doc& d) { d["animationRange"] = {100, 0}; },
     "animationRange: the range ends (0) before it starts (100)"},
    {"root not an object", [](Doc& d) { d = Doc::array(); }, "document: expected an object, got an array"},
    {"cube files without a block to hold them",
     [](Doc& d) {
         d["maps"].push_back({{"id", "Sky"}, {"kind", "cube"}, {"files", {"a", "b", "c", "d", "e", "f"}}, {"paramBlocks", Doc::array()}});
     },
     R"(maps[2].paramBlocks: no parameter 10 (a table of at least six texts) to hold the names of "files")"},
};

TEST(SceneDocumentErrors, EachBadFieldIsNamedWithItsPath) {
    {
        Host host;
        ASSERT_NO_THROW(loadSceneDocumentText(host, baseDocument().dump()));
    }
    for (const BadField& bad : kBadFields) {
        Doc doc = baseDocument();
        bad.damage(doc);
        // The same problem is found with the keys in the order given and sorted by name.
        for (const std::string& text : {doc.dump(), json::parse(doc.dump()).dump()}) {
            Host host;
            try {
                loadSceneDocumentText(host, text);
                ADD_FAILURE() << bad.what << ": loaded";
            } catch (const SceneDocumentError& e) {
                EXPECT_EQ(std::string(e.what()), bad.message) << bad.what;
            }
            // Nothing of a rejected document reaches the scene.
            EXPECT_EQ(host.scene().nodes().size(), 0u) << bad.what;
            EXPECT_EQ(host.scene().ownedCount(), 2u) << bad.what;  // the root and layer "0"
        }
    }
}

TEST(SceneDocumentErrors, FileProblemsAreSceneDocumentErrors) {
    scene_test::ScratchFolder folder;
    Host host;
    EXPECT_THROW(loadSceneDocumentFile(host, folder.file("missing.json")), SceneDocumentError);
    {
        std::ofstream out(folder.file("broken.json"));
        out << "{\"nodes\": [";
    }
    try {
        loadSceneDocumentFile(host, folder.file("broken.json"));
        ADD_FAILURE() << "broken JSON loaded";
    } catch (const SceneDocumentError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("invalid JSON: parse error at line 1, column 12", 0), 0u) << e.what();
    }
    // UTF-16 text (Windows tools write it with a byte order mark) is named as such.
    {
        std::ofstream out(folder.file("utf16.json"), std::ios::binary);
        out << std::string("\xFF\xFE{\0}\0", 6);
    }
    try {
        loadSceneDocumentFile(host, folder.file("utf16.json"));
        ADD_FAILURE() << "UTF-16 loaded";
    } catch (const SceneDocumentError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("invalid JSON: the text is UTF-16", 0), 0u) << e.what();
    }
    // Deep nesting is refused without exhausting the stack.
    {
        std::ofstream out(folder.file("deep.json"));
        out << std::string(200000, '[') << std::string(200000, ']');
    }
    EXPECT_THROW(loadSceneDocumentFile(host, folder.file("deep.json")), SceneDocumentError);
    // Text that cannot be JSON is refused at its first bytes, not read to its end (a device never
    // ends); a file beyond the largest document the parser takes is refused before it is read.
    std::ofstream(folder.file("huge.json")).close();
    std::filesystem::resize_file(folder.file("huge.json"), uint64_t(1) << 32);  // sparse: no disk space
    const std::pair<std::string, std::string> unreadable[] = {
        {"/dev/zero", "invalid JSON: parse error at line 1, column 1: a zero byte"},
        {folder.file("huge.json"), "file too large (4294967296 bytes; the limit is 4294967295)"},
    };
    for (const auto& [path, message] : unreadable) {
        try {
            loadSceneDocumentFile(host, path);
            ADD_FAILURE() << path << " loaded";
        } catch (const SceneDocumentError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(message, 0), 0u) << e.what();
        }
    }
}

// Damaging the demo document at random places with values of random types gives a clean error or a
// scene, never a crash (seeded, so failures repeat).
TEST(SceneDocumentErrors, RandomDamageNeverCrashes) {
    const json demo = json::parse(demoSceneDocument());
    std::vector<json::json_pointer> places;
    std::function<void(const json&, const json::json_pointer&)> collect = [&](const json& v, const json::json_pointer& at) {
        places.push_back(at);
        if (v.is_object())
            for (const auto& [key, child] : v.items()) collect(child, at / key);
        if (v.is_array())
            for (size_t i = 0; i < v.size(); ++i) collect(v[i], at / i);
    };
    collect(demo, json::json_pointer());
    const json replacements[] = {nullptr, -1, 0, 3, 70000, 4294967296.0, 1e39, -0.5, "", "Crate01", "0x", "inf",
                                 json::array(), json::array({1, 2, 3}), json::object(), true};
    std::mt19937 random(20240611);
    int loaded = 0;
    for (int round = 0; round < 400; ++round) {
        json doc = demo;
        for (int hit = 0; hit < 1 + round % 3; ++hit) {
            const auto& at = places[random() % places.size()];
            if (!doc.contains(at)) continue;
            doc[at] = replacements[random() % std::size(replacements)];
        }
        Host host;
        try {
            loadSceneDocument(host, doc);
            ++loaded;
            // Whatever loads also saves and loads again.
            const json saved = saveSceneDocument(host);
            Host again;
            loadSceneDocument(again, saved);
        } catch (const SceneDocumentError&) {
        }
    }
    EXPECT_GT(loaded, 0);
}

}  // namespace
