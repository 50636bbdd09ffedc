// Nothing is lost on the way back: a file the exporter wrote, imported and exported again with the
// same options, is the same file, for the demo scene and for a scene with the record kinds the demo
// shows only once (skins with several influences, tracks with holds, unsorted LOD levels, cube maps,
// sprites). Each step runs the built `zeq` binary, so each export starts its ids afresh like a new
// session of the host. Then what the importer builds, imports side by side, and bad cross-references.
#include "format/file_io.h"
#include "headless/demo_scene.h"
#include "headless/viewport.h"
#include "host/plugin_classes.h"
#include "host/skin.h"
#include "import/scene_run.h"
#include "support.h"

#include <sys/wait.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <sstream>

namespace zeq::test {
namespace {

const std::string kZeq = std::string(ZEQ_RUNTIME_DIR) + "/zeq";

// Bones listed against their node order, a vertex with three influences, a track that starts late,
// holds and ends at the range's end in a scene of 24 frames a second (a new scene has 30), a LOD
// object whose levels are not sorted by distance, a cube map, one material on two meshes, and a
// sprite. The animated mesh and the LOD object sit away from their pivots. Below a turned and
// scaled parent, a node away from its pivot and a moving one: their matrices relative to the parent
// must not go through the parent's world and back, which rounds them.
constexpr const char kKindsScene[] = R"json({
  "format": "zeq-scene", "version": 1, "ticksPerFrame": 200, "animationRange": [0, 1600],
  "maps": [
    {"id": "Sky", "kind": "cube", "files": ["f0.png", "f1.png", "f2.png", "f3.png", "f4.png", "f5.png"]},
    {"id": "Paint", "kind": "bitmap", "file": "paint.png"}
  ],
  "materials": [{"id": "Shiny", "kind": "standard", "maps": {"diffuse": "Paint", "reflection": "Sky"}}],
  "objects": [
    {"id": "Quad", "kind": "mesh", "mesh": {"vertices": [[0,0,0], [1,0,0], [1,1,0], [0,1,0]],
                                            "faces": [[0,1,2], [2,3,0]],
                                            "channels": [{"channel": 2, "vertices": [[0,0], [1,0], [1,1], [0,1]],
                                                          "faces": [[0,1,2], [2,3,0]]}]}},
    {"id": "SkinBase", "kind": "mesh", "mesh": {"vertices": [[0,0,0], [1,0,0], [1,1,0], [0,1,0]],
                                                "faces": [[0,1,2], [2,3,0]]}},
    {"id": "Skinned", "kind": "stack", "base": "SkinBase", "modifiers": [{"kind": "skin",
      "bones": [{"node": "J3", "initialMatrix": {"translation": [0, 0, 2]}},
                {"node": "J1", "initialMatrix": {"translation": [1, 0, 0]}},
                {"node": "J2", "initialMatrix": {"translation": [1, 0, 1]}}],
      "skinMatrix": {"translation": [0, 0, 1]},
      "weights": [[[0, 0.25], [1, 0.25], [2, 0.5]], [[1, 1]], [[2, 1]], []]}]},
    {"id": "Bone", "kind": "object", "superClass": "geometry", "classId": ["0x28BF6E8D", "0x2ECCA840"]},
    {"id": "Lod", "kind": "object", "superClass": "geometry", "classId": ["0xB08FE489", "0x88D0FBBE"],
     "paramBlocks": [{"id": 0, "params": [{"id": 4, "name": "Nodes list", "type": "node[]", "value": ["Far", "Near"]}]}]},
    {"id": "Flare", "kind": "object", "superClass": "geometry", "classId": ["0x8264D187", "0x6912FD2F"],
     "paramBlocks": [{"id": 3, "params": [
       {"id": 0, "type": "float", "value": 0.25}, {"id": 1, "type": "float", "value": 0.75},
       {"id": 2, "type": "int", "value": 90}, {"id": 3, "type": "bool", "value": false},
       {"id": 4, "type": "float", "value": 3.5}, {"id": 5, "type": "float", "value": 1.5}]}]}
  ],
  "nodes": [
    {"name": "J1", "object": "Bone", "transform": {"translation": [1, 0, 0]}},
    {"name": "J2", "parent": "J1", "object": "Bone", "transform": {"translation": [0, 0, 1]}},
    {"name": "J3", "object": "Bone", "transform": {"translation": [0, 0, 2]}},
    {"name": "Body", "object": "Skinned", "material": "Shiny", "transform": {"translation": [0, 0, 1]}},
    {"name": "Plate", "object": "Quad", "material": "Shiny", "transform": {"translation": [5, 0, 0]}},
    {"name": "Mover", "object": "Quad", "objectOffset": {"translation": [0, 0, 1]}, "keys": [
      {"tick": 0, "transform": {"translation": [0, 0, 0]}},
      {"tick": 320, "transform": {"translation": [0, 0, 0]}},
      {"tick": 480, "transform": {"translation": [1, 0, 0]}},
      {"tick": 960, "transform": {"translation": [1, 0, 0]}},
      {"tick": 1120, "transform": {"translation": [2, 0, 0], "rotation": [0, 0, 30]}},
      {"tick": 1600, "transform": {"translation": [3, 0, 0]}}]},
    {"name": "LodHolder", "object": "Lod", "transform": {"translation": [0, 5, 0]},
     "objectOffset": {"translation": [0, 0, 2], "rotation": [0, 0, 90]}},
    {"name": "Far", "parent": "LodHolder", "object": "Quad", "hidden": true, "userProperties": {"LODDistance": "300.5"}},
    {"name": "Near", "parent": "LodHolder", "object": "Quad", "userProperties": {"LODDistance": "10"}},
    {"name": "Flare", "object": "Flare", "material": "Shiny"},
    {"name": "Arm", "transform": {"translation": [1, 2, 3], "rotation": [10, 20, 33], "scale": [1.5, 1.5, 1.5]}},
    {"name": "Hand", "parent": "Arm", "object": "Quad",
     "transform": {"translation": [0.3, 0.7, 0.1], "rotation": [5, 7, 11]},
     "objectOffset": {"translation": [0.1, 0.2, 0.3], "rotation": [0, 30, 0]}},
    {"name": "Finger", "parent": "Arm", "keys": [
      {"tick": 0, "transform": {"translation": [0.1, 0, 0], "rotation": [0, 0, 10]}},
      {"tick": 1600, "transform": {"translation": [0.3, 0, 0], "rotation": [0, 0, 70]}}]}
  ]
})json";

int runZeq(const std::string& arguments, std::string& err, const std::string& errFile) {
    const std::string command =
        "'" + kZeq + "' --plugins '" + ZEQ_RUNTIME_DIR + "' " + arguments + " >/dev/null 2>'" + errFile + "'";
    const int raw = std::system(command.c_str());
    std::ifstream in(errFile);
    err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

class Lossless : public ImportTest {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kZeq)) GTEST_SKIP() << kZeq << " has not been built";
    }

    void zeq(const std::string& arguments) {
        std::string err;
        ASSERT_EQ(runZeq(arguments, err, path("stderr.txt")), 0) << arguments << "\n" << err;
    }

    // Exports `scene` (empty: the demo), then `rounds` times imports the last file and exports the
    // imported scene again; returns the files in order.
    std::vector<std::string> roundTrips(const std::string& scene, const std::string& options, int rounds) {
        std::vector<std::string> files{path("trip0.zeq")};
        zeq("export " + scene + " -o '" + files[0] + "' " + options);
        for (int i = 1; i <= rounds && !HasFatalFailure(); ++i) {
            const std::string document = path("trip" + std::to_string(i) + ".json");
            files.push_back(path("trip" + std::to_string(i) + ".zeq"));
            zeq("import '" + files[i - 1] + "' -o '" + document + "'");
            zeq("export '" + document + "' -o '" + files[i] + "' " + options);
        }
        return files;
    }

    // The files from `from` on hold the vertex data of files[from].
    static void expectSameVertexBuffers(const std::vector<std::string>& files, std::size_t from) {
        const SceneFile first = decodeSceneFile(readFileBytes(files[from]));
        for (std::size_t i = from + 1; i < files.size(); ++i)
            EXPECT_TRUE(first.root.vertexBuffers == decodeSceneFile(readFileBytes(files[i])).root.vertexBuffers)
                << "round trip " << i;
    }

    std::string writeKindsScene() {
        const std::string document = path("kinds.json");
        std::ofstream(document) << kKindsScene;
        return "'" + document + "'";
    }

    // Imports a file into the fixture's host with the LOD and sprite plug-ins loaded.
    void importWithPlugins(const std::string& file) {
        if (!plugins_.findImporterFor("zeq")) {
            for (const char* library : {"ZeqLOD.so", "Sprite.so", "SceneLoader.so"})
                ASSERT_TRUE(plugins_.loadLibrary(std::string(ZEQ_RUNTIME_DIR) + "/" + library)) << library;
            host_.setPlugins(&plugins_);
        }
        ASSERT_EQ(host_.importFile(file), IMPEXP_SUCCESS) << warnings();
    }

    headless::PluginRegistry plugins_;
};

// The second file is the first to the byte; where it is not, the differing records are named.
void expectSameFile(const std::string& first, const std::string& second, const std::string& label) {
    const ByteBuffer a = readFileBytes(first), b = readFileBytes(second);
    if (a == b) return;
    const SceneFile before = decodeSceneFile(a), after = decodeSceneFile(b);
    EXPECT_TRUE(before == after) << label << ": the files differ in their records";
    EXPECT_TRUE(before != after) << label << ": the same records, written to other bytes";
}

class SameFileBack : public Lossless, public ::testing::WithParamInterface<const char*> {};

TEST_P(SameFileBack, DemoSceneExportImportExportGivesTheSameFile) {
    const auto files = roundTrips("", GetParam(), 1);
    if (HasFatalFailure()) return;
    expectSameFile(files[0], files[1], std::string("options: ") + GetParam());
}

INSTANTIATE_TEST_SUITE_P(OptionSets, SameFileBack,
                         ::testing::Values("", "--normals", "--normals --tangents",
                                           "--normals --tangents --animation", "--half", "--atf",
                                           "--animation-only"));

TEST_F(Lossless, EveryRecordKindComesBackTheSame) {
    const auto files = roundTrips(writeKindsScene(), "--normals --tangents --animation", 1);
    if (HasFatalFailure()) return;
    expectSameFile(files[0], files[1], "record kinds");
}

// Bones whose parent is no bone: the exporter numbers that parent while it converts the bones,
// before it reaches the parent in the scene; the parent still comes back after its siblings.
TEST_F(Lossless, ParentsOfBonesKeepTheirPlaceAmongTheirSiblings) {
    const std::string objects = R"json(
      {"id": "Quad", "kind": "mesh", "mesh": {"vertices": [[0,0,0], [1,0,0], [1,1,0], [0,1,0]], "faces": [[0,1,2], [2,3,0]]}},
      {"id": "Tri", "kind": "mesh", "mesh": {"vertices": [[0,0,0], [1,0,0], [0,1,0]], "faces": [[0,1,2]]}},
      {"id": "Skinned", "kind": "stack", "base": "Quad", "modifiers": [{"kind": "skin",
        "bones": [{"node": "J1"}, {"node": "J2"}], "weights": [[[0, 1]], [[0, 1]], [[1, 1]], [[1, 1]]]}]},
      {"id": "Bone", "kind": "object", "superClass": "geometry", "classId": ["0x28BF6E8D", "0x2ECCA840"]},
      {"id": "Dummy", "kind": "object", "superClass": "helper", "classId": ["0x00876234", "0x00000000"]},
      {"id": "Bulb", "kind": "light", "type": "omni", "color": [1, 1, 1], "intensity": 1},
      {"id": "Eye", "kind": "camera"})json";
    struct Case {
        const char* what;
        const char* nodes;
    };
    const Case cases[] = {
        {"a rig after a skinned mesh, a light and a camera", R"json(
          {"name": "Body", "object": "Skinned"}, {"name": "Lamp", "object": "Bulb"}, {"name": "View", "object": "Eye"},
          {"name": "Rig", "object": "Dummy", "transform": {"translation": [0, 2, 0]}},
          {"name": "J1", "parent": "Rig", "object": "Bone"}, {"name": "J2", "parent": "J1", "object": "Bone"},
          {"name": "Tip", "parent": "J2", "object": "Dummy"}, {"name": "Last", "object": "Dummy"})json"},
        {"bones below their skinned mesh, which follows a light on its layer", R"json(
          {"name": "Lamp", "object": "Bulb", "layer": "Rigs"}, {"name": "Body", "object": "Skinned", "layer": "Rigs"},
          {"name": "J1", "parent": "Body", "object": "Bone"}, {"name": "J2", "parent": "Body", "object": "Bone"})json"},
        {"a mesh and a helper holding bones the skin lists the other way round", R"json(
          {"name": "Body", "object": "Skinned"}, {"name": "Lamp", "object": "Bulb"},
          {"name": "RigA", "object": "Tri"}, {"name": "J2", "parent": "RigA", "object": "Bone"},
          {"name": "RigB", "object": "Dummy"}, {"name": "J1", "parent": "RigB", "object": "Bone"})json"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string document = path("rig.json");
        std::ofstream(document) << R"({"format": "zeq-scene", "version": 1, "layers": [{"name": "Rigs"}], "objects": [)"
                                << objects << R"(], "nodes": [)" << c.nodes << "]}";
        const auto files = roundTrips("'" + document + "'", "--animation", 1);
        if (HasFatalFailure()) return;
        expectSameFile(files[0], files[1], c.what);
    }
}

// A 16-bit file holds positions cut to 16 bits and the box of the positions they were cut from;
// the first round trip gives that box again, for a box thinner than a 16-bit step too (z), and
// keeps a vertex at zero where the box ends within the first 16-bit step above it, and a vertex
// past the largest 16-bit value, which is written as infinity.
TEST_F(Lossless, HalfFloatMeshKeepsItsBox) {
    const std::string document = path("box.json");
    std::ofstream(document) << R"json({"format": "zeq-scene", "version": 1, "objects": [
      {"id": "Tri", "kind": "mesh", "mesh": {"vertices": [[0.1, 0.2, 40.01], [13.37, 0.3, 40.02], [5.55, 9.99, 40.015]],
                                            "faces": [[0, 1, 2]]}},
      {"id": "Ramp", "kind": "mesh",
       "mesh": {"vertices": [[0, 0, 0], [1, 0, 0], [1, 1, 0.0004]], "faces": [[0, 1, 2]]}},
      {"id": "Far", "kind": "mesh", "mesh": {"vertices": [[0, 0, 0], [280000, 0, 0], [1, -70000, 2]], "faces": [[0, 1, 2]]}}],
     "nodes": [{"name": "Plate", "object": "Tri"}, {"name": "Ramp", "object": "Ramp"}, {"name": "Far", "object": "Far"}]})json";
    const auto files = roundTrips("'" + document + "'", "--half", 1);
    if (HasFatalFailure()) return;
    expectSameFile(files[0], files[1], "first round trip");
}

// A 16-bit file holds a skin's vertices moved by the skin's matrix; far from the origin, moving
// them back on import and forth on export again must not cost them a step of the 16-bit grid.
TEST_F(Lossless, SkinFarFromTheOriginKeepsItsHalfFloatVertices) {
    const std::string document = path("far.json");
    std::ofstream(document) << R"json({"format": "zeq-scene", "version": 1, "objects": [
      {"id": "Quad", "kind": "mesh", "mesh": {"vertices": [[0,0,0], [13,0,0], [13,7,2], [0,9,1]], "faces": [[0,1,2], [2,3,0]]}},
      {"id": "Skinned", "kind": "stack", "base": "Quad", "modifiers": [{"kind": "skin", "bones": [{"node": "J1"}],
        "skinMatrix": {"translation": [3000, 1000, 500], "rotation": [10, 20, 30]},
        "weights": [[[0, 1]], [[0, 1]], [[0, 1]], [[0, 1]]]}]},
      {"id": "Bone", "kind": "object", "superClass": "geometry", "classId": ["0x28BF6E8D", "0x2ECCA840"]}],
     "nodes": [{"name": "J1", "object": "Bone"},
       {"name": "Body", "object": "Skinned", "transform": {"translation": [3000, 1000, 500], "rotation": [10, 20, 30]}}]})json";
    const auto files = roundTrips("'" + document + "'", "--half", 2);
    if (HasFatalFailure()) return;
    expectSameVertexBuffers(files, 0);
}

// A 16-bit skin's normals, turned by the skin's matrix: each comes back as one that the exporter
// cuts to the stored 16 bits again, so that no round trip moves them (they drifted a 16-bit step a
// round trip, without end, for normals whose step the unit sphere only grazes).
TEST_F(Lossless, HalfFloatSkinNormalsHoldStill) {
    std::string vertices, normals, faces, weights;
    constexpr int kCount = 1000;
    for (int i = 0; i < kCount; ++i) {
        const double a = i * 0.37, b = i * 0.61;
        const std::string sep = i ? ", " : "";
        vertices += sep + "[" + std::to_string(i) + ", " + std::to_string(i % 7) + ", " + std::to_string(i % 5) + "]";
        normals += sep + "[" + std::to_string(std::cos(a) * std::sin(b)) + ", " +
                   std::to_string(std::sin(a) * std::sin(b)) + ", " + std::to_string(std::cos(b)) + "]";
        weights += sep + "[[0, 1]]";
        if (i + 2 < kCount)
            faces += std::string(i ? ", " : "") + "[" + std::to_string(i) + ", " + std::to_string(i + 1) + ", " +
                     std::to_string(i + 2) + "]";
    }
    const std::string document = path("normals.json");
    std::ofstream(document) << R"({"format": "zeq-scene", "version": 1, "objects": [
      {"id": "Strip", "kind": "mesh", "mesh": {"vertices": [)" << vertices << R"(], "faces": [)" << faces
                            << R"(], "normals": {"values": [)" << normals << R"(], "faces": [)" << faces << R"(]}}},
      {"id": "Skinned", "kind": "stack", "base": "Strip", "modifiers": [{"kind": "skin", "bones": [{"node": "J1"}],
        "skinMatrix": {"translation": [1, 2, 3], "rotation": [10, 20, 30]}, "weights": [)" << weights << R"(]}]},
      {"id": "Bone", "kind": "object", "superClass": "geometry", "classId": ["0x28BF6E8D", "0x2ECCA840"]}],
     "nodes": [{"name": "J1", "object": "Bone"},
       {"name": "Body", "object": "Skinned", "transform": {"translation": [1, 2, 3], "rotation": [10, 20, 30]}}]})";
    const auto files = roundTrips("'" + document + "'", "--half --normals", 3);
    if (HasFatalFailure()) return;
    expectSameVertexBuffers(files, 1);
}

// One object shown by a skinned node and a plain mesh node: the file holds its index buffer and
// box once, and so does the file exported after the import, whichever node comes first and
// whether the skin's matrix is the node's, the identity, or one that 16-bit data rounds, and
// whether the mesh node has the skin's multi-material or one material of its own. Its
// faces' materials are out of surface order, so the skin's surfaces must take the faces in the
// order the mesh's import gave them.
TEST_F(Lossless, ObjectOfASkinAndAMeshIsWrittenOnceAgain) {
    struct Case {
        const char* what;
        const char* skinMatrix;
        const char* body;
        const char* options;
        bool skinFirst;
        const char* plateMaterial;
    };
    const Case cases[] = {
        {"moved skin", R"({"translation": [0, 0, 1]})", R"({"translation": [0, 0, 1]})", "--normals", true, "Both"},
        {"identity skin", "{}", R"({"translation": [4, 2, 1]})", "", false, "Both"},
        {"16-bit, far and turned", R"({"translation": [3000, 1000, 500], "rotation": [10, 20, 30]})",
         R"({"translation": [3000, 1000, 500], "rotation": [10, 20, 30]})", "--half --normals", false, "Both"},
        {"mesh of one material first", "{}", "{}", "", false, "Wood"},
        {"mesh of one material after", "{}", "{}", "--normals", true, "Iron"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string body =
            std::string(R"({"name": "Body", "object": "Skinned", "material": "Both", "transform": )") + c.body + "}";
        const std::string plate = std::string(R"({"name": "Plate", "object": "Quad", "material": ")") +
                                  c.plateMaterial + R"(", "transform": {"translation": [5, 0, 0]}})";
        const std::string document = path("shared.json");
        std::ofstream(document) << R"json({"format": "zeq-scene", "version": 1,
          "materials": [{"id": "Wood", "kind": "standard"}, {"id": "Iron", "kind": "standard"}, {"id": "Both",
            "kind": "multi", "subMaterials": [{"id": 0, "material": "Wood"}, {"id": 1, "material": "Iron"}]}],
          "objects": [{"id": "Quad", "kind": "mesh", "mesh": {"vertices": [[0,0,0], [13,0,0], [13,7,2], [0,9,1]],
            "faces": [[0,1,2], [2,3,0]], "materialIds": [1, 0]}},
          {"id": "Skinned", "kind": "stack", "base": "Quad", "modifiers": [{"kind": "skin", "bones": [{"node": "J1"}],
            "skinMatrix": )json" << c.skinMatrix << R"json(, "weights": [[[0, 1]], [[0, 1]], [[0, 1]], [[0, 1]]]}]},
          {"id": "Bone", "kind": "object", "superClass": "geometry", "classId": ["0x28BF6E8D", "0x2ECCA840"]}],
         "nodes": [{"name": "J1", "object": "Bone"}, )json"
                                << (c.skinFirst ? body + ", " + plate : plate + ", " + body) << "]}";
        const auto files = roundTrips("'" + document + "'", c.options, 2);
        if (HasFatalFailure()) return;
        EXPECT_EQ(decodeSceneFile(readFileBytes(files[0])).root.indexBuffers->size(), 1u);
        expectSameFile(files[0], files[1], c.what);
        expectSameFile(files[1], files[2], c.what);
    }
}

// A skin applied with the node's matrix has its vertices, normals and tangents moved and turned
// with it; they are moved and turned back on import, to vertices and normals from which the
// exporter writes the same bits again: under a turned and unevenly scaled matrix, under one that
// shrinks the skin far from the origin (moving back stretches the rounding of the file), and for a
// node moved after its skin was applied (its matrix is no longer the skin's). The bone's bind
// matrix comes back as one whose inverse is the stored bind transform again.
TEST_F(Lossless, VerticesAndNormalsOfATurnedSkinComeBackTheSame) {
    const std::pair<const char*, const char*> cases[] = {
        {R"({"translation": [1, 2, 3], "rotation": [10, 20, 30], "scale": [1.5, 0.5, 2]})", nullptr},
        {R"({"translation": [5, 2, 3], "scale": [0.001, 0.001, 0.001]})", nullptr},
        {R"({"translation": [1, 2, 3], "rotation": [10, 20, 30]})", R"({"translation": [6, -2, 3.5], "rotation": [10, 20, 30]})"},
        {R"({"translation": [1, 2, 3]})", R"({"translation": [6, -2, 3.5], "rotation": [0, 0, 90], "scale": [2, 2, 2]})"},
    };
    for (const auto& [skinMatrix, moved] : cases) {
        SCOPED_TRACE(skinMatrix);
        const std::string document = path("turned.json");
        std::ofstream(document) << R"json({"format": "zeq-scene", "version": 1, "objects": [
          {"id": "Quad", "kind": "mesh",
           "mesh": {"vertices": [[0,0,0], [13,0,0], [13,7,2], [0,9,1]], "faces": [[0,1,2], [2,3,0]]}},
          {"id": "Skinned", "kind": "stack", "base": "Quad", "modifiers": [{"kind": "skin", "bones": [{"node": "J1",
            "initialMatrix": {"translation": [0.3, 7, -2], "rotation": [33, 12, 71], "scale": [1.7, 1.7, 1.7]}}],
            "skinMatrix": )json" << skinMatrix << R"json(, "weights": [[[0, 1]], [[0, 1]], [[0, 1]], [[0, 1]]]}]},
          {"id": "Bone", "kind": "object", "superClass": "geometry", "classId": ["0x28BF6E8D", "0x2ECCA840"]}],
         "nodes": [{"name": "J1", "object": "Bone"},
                   {"name": "Body", "object": "Skinned", "transform": )json" << (moved ? moved : skinMatrix) << "}]}";
        const auto files = roundTrips("'" + document + "'", "--normals --tangents", 2);
        if (HasFatalFailure()) return;
        expectSameFile(files[0], files[1], "first round trip");
        expectSameFile(files[1], files[2], "second round trip");
    }
}

// Normals of every direction and of several lengths keep their values over two round trips. The
// exporter normalises each normal, and a normalised float vector is not always its own
// normalisation; in a 16-bit file it is then cut toward zero, and the stored normal, cut from a
// unit vector, is shorter than one. The last three are rare cases of the 16-bit search, whose
// vector found first was cut to the stored normal but normalised to one that was not yet settled.
TEST_F(Lossless, NormalsKeepTheirValues) {
    constexpr int kTriangles = 151;
    std::vector<std::array<double, 3>> directions;
    for (int i = 0; i < 3 * (kTriangles - 1); ++i) {
        // Directions spread over the sphere (a golden-angle spiral).
        const double z = 1.0 - (2.0 * i + 1.0) / (3.0 * kTriangles), r = std::sqrt(1.0 - z * z);
        const double angle = 2.399963229728653 * i, length = 0.5 + 0.25 * (i % 7);
        directions.push_back({length * r * std::cos(angle), length * r * std::sin(angle), length * z});
    }
    directions.push_back({-0.72772187, 0.401839465, -0.579235971});
    directions.push_back({-0.842071891, 0.616472661, 0.331748247});
    directions.push_back({1.03032672, 1.3750757, 0.159338564});
    for (const char* options : {"--normals", "--half --normals"}) {
        SCOPED_TRACE(options);
        std::ostringstream vertices, faces, normals, normalFaces;
        for (int t = 0; t < kTriangles; ++t) {
            const char* comma = t ? ", " : "";
            vertices << comma << "[" << t << ",0,0], [" << t << ",1,0], [" << t << ",0,1]";
            faces << comma << "[" << 3 * t << "," << 3 * t + 1 << "," << 3 * t + 2 << "]";
            normalFaces << comma << "[" << 3 * t << "," << 3 * t + 1 << "," << 3 * t + 2 << "]";
        }
        for (std::size_t i = 0; i < directions.size(); ++i)
            normals << (i ? ", " : "") << std::setprecision(9) << "[" << directions[i][0] << "," << directions[i][1]
                    << "," << directions[i][2] << "]";
        const std::string document = path("normals.json");
        std::ofstream(document) << R"({"format": "zeq-scene", "version": 1, "objects": [{"id": "Fan", "kind": "mesh", "mesh": {)"
                                << R"("vertices": [)" << vertices.str() << R"(], "faces": [)" << faces.str()
                                << R"(], "normals": {"values": [)" << normals.str() << R"(], "faces": [)"
                                << normalFaces.str() << R"(]}}}], "nodes": [{"name": "Fan", "object": "Fan"}]})";
        const auto files = roundTrips("'" + document + "'", options, 2);
        if (HasFatalFailure()) return;
        expectSameFile(files[0], files[1], "first round trip");
        expectSameFile(files[1], files[2], "second round trip");
    }
}

// A mesh whose faces' materials interleave: the file lists the triangles by material, and the
// import puts the faces back in the order that numbers the vertices as the file does, also when
// the first node to show the geometry has one material (its one surface tells nothing of the order).
TEST_F(Lossless, InterleavedMaterialsKeepTheirVertexOrder) {
    const std::string document = path("interleaved.json");
    std::ofstream(document) << R"json({"format": "zeq-scene", "version": 1,
      "materials": [{"id": "Wood", "kind": "standard"}, {"id": "Iron", "kind": "standard"},
                    {"id": "Both", "kind": "multi", "subMaterials": [{"id": 0, "material": "Wood"}, {"id": 1, "material": "Iron"}]}],
      "objects": [{"id": "Strip", "kind": "mesh", "mesh": {
        "vertices": [[0,0,0], [1,0,0], [0,1,0], [1,1,0], [0,2,0], [1,2,0], [0,3,0]],
        "faces": [[0,1,2], [2,1,3], [2,3,4], [4,3,5], [6,4,5]], "materialIds": [1, 0, 1, 0, 1]}}],
      "nodes": [{"name": "Plain", "object": "Strip", "material": "Wood"},
                {"name": "Strip", "object": "Strip", "material": "Both"}]})json";
    const auto files = roundTrips("'" + document + "'", "--normals", 2);
    if (HasFatalFailure()) return;
    expectSameFile(files[0], files[1], "first round trip");
    expectSameFile(files[1], files[2], "second round trip");

    // The import may put the faces of two materials in another order the vertices allow (here
    // 0, 2, 1 for 0, 1, 2): a vertex's tangent, summed over its faces, must not depend on it.
    std::ofstream(document) << R"json({"format": "zeq-scene", "version": 1,
      "materials": [{"id": "A", "kind": "standard"}, {"id": "B", "kind": "standard"},
                    {"id": "M", "kind": "multi", "subMaterials": [{"id": 0, "material": "A"}, {"id": 1, "material": "B"}]}],
      "objects": [{"id": "S", "kind": "mesh", "mesh": {
        "vertices": [[-0.10481415, 0.01769169, -0.0780269], [1.041568, 0.05028812, -0.26068268],
                     [-0.1947328, 1.1349876, -0.14438759], [0.8937324, 1.1982579, -0.0178419]],
        "faces": [[0, 1, 2], [2, 1, 3], [0, 3, 2]], "materialIds": [0, 1, 0], "smoothingGroups": 1,
        "channels": [{"channel": 1, "vertices": [[0.13458458, -0.00945872], [1.0556273, -0.13975343],
                                                  [0.05394426, 1.1472181], [1.0092725, 1.0965007]],
                      "faces": [[0, 1, 2], [2, 1, 3], [0, 3, 2]]}]}}],
      "nodes": [{"name": "N", "object": "S", "material": "M"}]})json";
    const auto tangents = roundTrips("'" + document + "'", "--tangents", 1);
    if (HasFatalFailure()) return;
    expectSameFile(tangents[0], tangents[1], "tangents");
}

// With 16-bit data and tangents, corners weld by whether their faces' coordinates are mirrored as
// stored: the cut flattens the thin face here (u 0.1 and 0.09999 share a 16-bit step), which then
// shares no corner with its mirrored neighbour, so the file imported gives the vertices it was
// written with.
TEST_F(Lossless, SixteenBitTangentsWeldAsTheFileWasWritten) {
    const std::string document = path("thin.json");
    std::ofstream(document) << R"json({"format": "zeq-scene", "version": 1,
      "objects": [{"id": "Thin", "kind": "mesh", "mesh": {
        "vertices": [[0,0,0], [1,0,0], [0,1,0], [1,1,0]], "faces": [[0,1,2], [1,3,2]], "smoothingGroups": 1,
        "channels": [{"channel": 1, "vertices": [[0.1,0.1], [0.09999,0.2], [0.1,0.3], [0,0.25]],
                      "faces": [[0,1,2], [1,3,2]]}]}}],
      "nodes": [{"name": "Thin", "object": "Thin"}]})json";
    const auto files = roundTrips("'" + document + "'", "--half --normals --tangents", 1);
    if (HasFatalFailure()) return;
    const SceneFile first = decodeSceneFile(readFileBytes(files[0]));
    const SceneFile second = decodeSceneFile(readFileBytes(files[1]));
    EXPECT_EQ(first.root.vertexBuffers->items[0].vertexCount, 6);
    EXPECT_EQ(first.root.indexBuffers, second.root.indexBuffers);
    EXPECT_EQ(first.root.vertexBuffers->items[0].vertexCount, second.root.vertexBuffers->items[0].vertexCount);
}

TEST_F(Lossless, LightsKeepTheirDirectionOverThreeRoundTrips) {
    const auto files = roundTrips("", "", 3);
    if (HasFatalFailure()) return;
    const SceneFile first = decodeSceneFile(readFileBytes(files.front()));
    const SceneFile last = decodeSceneFile(readFileBytes(files.back()));
    ASSERT_EQ(first.root.directionalLights->size(), 1u);
    ASSERT_EQ(first.root.spotLights->size(), 1u);
    EXPECT_EQ(first.root.directionalLights->items[0].transform, last.root.directionalLights->items[0].transform);
    EXPECT_EQ(first.root.spotLights->items[0].transform, last.root.spotLights->items[0].transform);
}

// What each record kind that can break in its own way becomes in the host.
TEST_F(Lossless, ImportedKindsKeepOrderWeightsLevelsFacesAndSharing) {
    zeq("export " + writeKindsScene() + " -o '" + path("kinds.zeq") + "' --animation");
    if (HasFatalFailure()) return;
    importWithPlugins(path("kinds.zeq"));
    if (HasFatalFailure()) return;

    // Skin: bones in the skin's order, not the nodes'; three influences of vertex 0 as written.
    auto* stack = dynamic_cast<IDerivedObject*>(node("Body")->GetObjectRef());
    ASSERT_NE(stack, nullptr);
    auto* skin = static_cast<ISkin*>(stack->GetModifier(0)->GetInterface(I_SKIN));
    ASSERT_NE(skin, nullptr);
    ASSERT_EQ(skin->GetNumBones(), 3);
    EXPECT_STREQ(skin->GetBone(0)->GetName(), "J3");
    EXPECT_STREQ(skin->GetBone(2)->GetName(), "J2");
    ISkinContextData* weights = skin->GetContextInterface(node("Body"));
    ASSERT_NE(weights, nullptr);
    ASSERT_EQ(weights->GetNumAssignedBones(0), 3);
    EXPECT_EQ(weights->GetAssignedBone(0, 2), 2);
    EXPECT_FLOAT_EQ(weights->GetBoneWeight(0, 2), 0.5f);
    EXPECT_EQ(weights->GetNumAssignedBones(3), 0);

    // Track: identity until a frame before the first key (the scene took the file's frames),
    // held between equal keys, the last key at the range's end.
    INode* mover = node("Mover");
    EXPECT_EQ(host_.GetTicksPerFrame(), 200);
    EXPECT_TRUE(mover->GetNodeTM(0).IsIdentity());
    EXPECT_TRUE(mover->GetNodeTM(200).IsIdentity());
    EXPECT_EQ(mover->GetNodeTM(800).GetTrans(), Point3(1, 0, 0));
    EXPECT_EQ(mover->GetNodeTM(1600).GetTrans(), Point3(3, 0, 0));

    // LOD object: levels in the file's order below the LOD node, distances on the levels; the
    // node and its pivot offset are one node again.
    EXPECT_EQ(node("LodHolder")->GetObjectOffsetTM().GetTrans(), Point3(0, 0, 2));
    Object* lod = node("LodHolder")->GetObjectRef();
    ASSERT_EQ(lod->ClassID(), LOD_OBJECT_CLASS_ID);
    IParamBlock2* levels = lod->GetParamBlock(0);
    ASSERT_EQ(levels->Count(LOD_PARAM_NODES_LIST), 2);
    EXPECT_EQ(levels->GetINode(LOD_PARAM_NODES_LIST, 0, 0), node("Far"));
    EXPECT_EQ(node("Far")->GetParentNode(), node("LodHolder"));
    float distance = 0;
    EXPECT_TRUE(node("Far")->GetUserPropFloat(LOD_DISTANCE_PROPERTY, distance));
    EXPECT_EQ(distance, 300.5f);
    // The object is drawn, and keeps showing the level the file shows (the second) with its list
    // filled once it is displayed.
    EXPECT_GT(levels->GetFloat(LOD_PARAM_ICON_SIZE), 0.0f);
    headless::Viewport view;
    lod->Display(0, node("LodHolder"), &view, 0);
    EXPECT_FALSE(view.window().draws().empty());
    EXPECT_TRUE(node("Far")->IsHidden());
    EXPECT_FALSE(node("Near")->IsHidden());
    ASSERT_EQ(levels->Count(LOD_PARAM_NODES_VIEW), 2);
    EXPECT_STREQ(levels->GetStr(LOD_PARAM_NODES_VIEW, 0, 1), ">>Near [10.00]<<");

    // Cube map: the six faces in the host's order; one material on two meshes and the sprite.
    auto* shiny = dynamic_cast<StdMat*>(node("Plate")->GetMtl());
    ASSERT_NE(shiny, nullptr);
    EXPECT_EQ(node("Body")->GetMtl(), shiny);
    EXPECT_EQ(node("Flare")->GetMtl(), shiny);
    Texmap* cube = shiny->GetSubTexmap(ID_RL);
    ASSERT_NE(cube, nullptr);
    ASSERT_EQ(cube->ClassID(), ACUBIC_CLASS_ID);
    for (int face = 0; face < 6; ++face)
        EXPECT_EQ(std::string(cube->GetParamBlock(0)->GetStr(ACUBIC_BITMAP_NAMES_PARAM, 0, face)),
                  "f" + std::to_string(face) + ".png");
    EXPECT_EQ(node("Flare")->GetObjectRef()->GetParamBlock(0)->GetInt(SPRITE_PARAM_ROTATION), 90);
    EXPECT_TRUE(warnings().empty()) << warnings();
}

// A sprite keeps whole degrees: a rotation between them is rounded, and named in the warning.
TEST_F(Lossless, ASpriteRotationBetweenWholeDegreesIsNamed) {
    zeq("export " + writeKindsScene() + " -o '" + path("kinds.zeq") + "'");
    if (HasFatalFailure()) return;
    SceneFile file = decodeSceneFile(readFileBytes(path("kinds.zeq")));
    file.root.sprites->items[0].rotation = 0.5f;
    importWithPlugins(writeScene(file));
    if (HasFatalFailure()) return;
    EXPECT_EQ(node("Flare")->GetObjectRef()->GetParamBlock(0)->GetInt(SPRITE_PARAM_ROTATION), 29);
    EXPECT_NE(warnings().find("rotation 0.5 rounded to 29 whole degrees"), std::string::npos) << warnings();
}

TEST_F(Lossless, ImportingTwiceKeepsTheCopiesApart) {
    zeq("export " + writeKindsScene() + " -o '" + path("kinds.zeq") + "'");
    if (HasFatalFailure()) return;
    importWithPlugins(path("kinds.zeq"));
    const std::size_t once = sceneNodeCount();
    importWithPlugins(path("kinds.zeq"));
    if (HasFatalFailure()) return;
    EXPECT_EQ(sceneNodeCount(), 2 * once);

    // Each copy's skin deforms by its own bones, each LOD object lists its own levels, and each
    // copy has its own materials.
    std::vector<INode*> bodies, holders, j3s;
    for (headless::Node* n : host_.scene().nodes()) {
        const std::string name = n->GetName();
        if (name == "Body") bodies.push_back(n);
        if (name == "LodHolder") holders.push_back(n);
        if (name == "J3") j3s.push_back(n);
    }
    ASSERT_EQ(bodies.size(), 2u);
    ASSERT_EQ(holders.size(), 2u);
    ASSERT_EQ(j3s.size(), 2u);
    for (int copy = 0; copy < 2; ++copy) {
        auto* stack = dynamic_cast<IDerivedObject*>(bodies[copy]->GetObjectRef());
        auto* skin = static_cast<ISkin*>(stack->GetModifier(0)->GetInterface(I_SKIN));
        EXPECT_EQ(skin->GetBone(0), j3s[copy]);
        INode* level = holders[copy]->GetObjectRef()->GetParamBlock(0)->GetINode(LOD_PARAM_NODES_LIST, 0, 0);
        EXPECT_EQ(level->GetParentNode(), holders[copy]);
    }
    EXPECT_NE(bodies[0]->GetMtl(), bodies[1]->GetMtl());
}

// Records that name records of the wrong kind, or none: the import ends with the one warning box.
TEST_F(Lossless, CrossKindReferencesEndInOneWarning) {
    struct Case {
        const char* what;
        void (*damage)(SceneFile&);
        const char* warning;
    };
    const Case cases[] = {
        {"a skin naming a light",
         [](SceneFile& f) { f.root.skins->items[0].jointBindTransforms.items[0].jointId = 50; },
         "joint 50 names a directional light"},
        {"a skin naming no node",
         [](SceneFile& f) { f.root.skins->items[0].jointBindTransforms.items[0].jointId = 777; },
         "joint 777 names no node"},
        {"a LOD naming itself", [](SceneFile& f) { f.extra2.lods->items[0].objectIds.items[0] = 60; },
         "is the group itself"},
        {"a LOD below its level", [](SceneFile& f) { f.extra2.lods->items[0].parentId = 41; },
         "level 41 is above the group in the hierarchy"},
        {"a LOD naming a missing level", [](SceneFile& f) { f.extra2.lods->items[0].objectIds.items[0] = 999; },
         "level 999 names no node"},
        {"a layer naming a missing node", [](SceneFile& f) { f.extra1.layers->items[0].objectIds->items[0] = 404; },
         "member 404 names no node"},
        {"a joint index beyond the bones",
         [](SceneFile& f) {
             ByteBuffer& bytes = f.root.vertexBuffers->items[0].byteBuffer;
             const ByteBuffer big = floatBytes({30.0f});  // bone 10 of 1
             for (int i = 0; i < 4; ++i) bytes.data()[12 + i] = big.data()[i];
         },
         "names a joint outside the 1 joints of its surface"},
    };
    for (const Case& c : cases) {
        SceneFile file;
        file.root = emptyRoot();
        file.root.vertexBuffers->add(vertexBuffer(1, {A::POSITION, A::JOINTS}, 3,
                                                  floatBytes({0, 0, 0, 0, 1, 0, 0,  //
                                                              1, 0, 0, 0, 1, 0, 0,  //
                                                              0, 1, 0, 0, 1, 0, 0})));
        file.root.indexBuffers->add(indexBuffer(1, {0, 1, 2}));
        Zeq2Skin skin;
        skin.id = 40;
        skin.name = "Skin";
        skin.indexBufferId = 1;
        skin.vertexBufferIds.add(1);
        skin.jointBindTransforms.add({moveTo(0, 0, 0), 41});
        skin.visible = true;
        file.root.skins.emplace().add(skin);
        Zeq2Joint joint;
        joint.id = 41;
        joint.name = "Joint";
        joint.visible = true;
        file.root.joints.emplace().add(joint);
        Zeq2DirectionalLight light;
        light.id = 50;
        light.name = "Sun";
        file.root.directionalLights->add(light);
        Zeq2LOD lod;
        lod.id = 60;
        lod.name = "Group";
        lod.objectIds.add(41);
        lod.distances.add(5.0f);
        file.extra2.lods.emplace().add(lod);
        Zeq2Layer layer;
        layer.name = "Layer";
        layer.objectIds = TArray<int64_t>({40, 41});
        file.extra1.layers.emplace().add(layer);
        Zeq2Track track;
        track.objectName = "Nowhere";  // no node of that name: a helper gets its keys
        track.keyframes.add({0.0f, moveTo(1, 0, 0)});
        track.keyframes.add({1.0f, moveTo(2, 0, 0)});
        file.root.tracks.emplace().add(track);
        c.damage(file);

        headless::Host host;
        host.ui().setProgressStream(nullptr);
        ASSERT_EQ(host.importFile(GetZeqImportClassDesc(), writeScene(file)), IMPEXP_SUCCESS) << c.what;
        int warningBoxes = 0;
        std::string text;
        for (const auto& box : host.ui().messageBoxes()) {
            warningBoxes += box.caption == "Warning";
            text += box.text;
        }
        EXPECT_EQ(warningBoxes, 1) << c.what;
        EXPECT_NE(text.find(c.warning), std::string::npos) << c.what << ": " << text;
        ASSERT_NE(host.scene().findNode("Nowhere"), nullptr) << c.what;
        EXPECT_EQ(host.scene().findNode("Nowhere")->GetNodeTM(4800).GetTrans(), Point3(2, 0, 0)) << c.what;
    }
}

}  // namespace
}  // namespace zeq::test
