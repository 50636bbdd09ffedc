// Foreign scene files into the headless scene: the mapping rules that can go wrong (matrix
// convention and hierarchy, material ids across merged meshes, texture sets to map channels, skin
// weights and bind matrices, key times to ticks, light kinds) and files that must be refused.
#include "headless/foreign_scene.h"
#include "headless/host.h"
#include "headless/lights.h"
#include "headless/materials.h"
#include "headless/scene_node.h"
#include "headless/skin_modifier.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace headless;
using nlohmann::json;

class Scratch {
public:
    Scratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zeq-foreign-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create a scratch folder");
        path_ = pattern;
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::filesystem::path file(const std::string& name, const std::string& text) const {
        std::ofstream(path_ / name, std::ios::binary) << text;
        return path_ / name;
    }

private:
    std::filesystem::path path_;
};

std::string base64(const std::vector<uint8_t>& bytes) {
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t left = bytes.size() - i;
        const uint32_t n = uint32_t(bytes[i]) << 16 | (left > 1 ? uint32_t(bytes[i + 1]) << 8 : 0u) |
                           (left > 2 ? uint32_t(bytes[i + 2]) : 0u);
        out += digits[(n >> 18) & 63];
        out += digits[(n >> 12) & 63];
        out += left > 1 ? digits[(n >> 6) & 63] : '=';
        out += left > 2 ? digits[n & 63] : '=';
    }
    return out;
}

// A glTF document with one buffer (embedded as a data URI); accessors are appended float or
// unsigned-short arrays.
class Gltf {
public:
    json doc = {{"asset", {{"version", "2.0"}}}, {"accessors", json::array()}, {"bufferViews", json::array()}};

    int floats(const std::vector<float>& values, const char* type) {
        const int components = std::strcmp(type, "SCALAR") == 0 ? 1 : std::strcmp(type, "VEC2") == 0 ? 2
                               : std::strcmp(type, "VEC3") == 0 ? 3 : std::strcmp(type, "VEC4") == 0 ? 4 : 16;
        json accessor = {{"componentType", 5126}, {"count", values.size() / components}, {"type", type}};
        if (std::strcmp(type, "SCALAR") == 0 || std::strcmp(type, "VEC3") == 0) {
            std::vector<float> lo(components, 1e30f), hi(components, -1e30f);
            for (std::size_t i = 0; i < values.size(); ++i) {
                lo[i % components] = std::min(lo[i % components], values[i]);
                hi[i % components] = std::max(hi[i % components], values[i]);
            }
            accessor["min"] = lo;
            accessor["max"] = hi;
        }
        return add(values.data(), values.size() * 4, accessor);
    }
    int shorts(const std::vector<uint16_t>& values, const char* type) {
        const int components = std::strcmp(type, "VEC4") == 0 ? 4 : 1;
        return add(values.data(), values.size() * 2, {{"componentType", 5123}, {"count", values.size() / components}, {"type", type}});
    }
    std::string text() {
        json out = doc;
        out["buffers"] = {{{"byteLength", bytes_.size()}, {"uri", "data:application/octet-stream;base64," + base64(bytes_)}}};
        return out.dump();
    }

private:
    int add(const void* data, std::size_t size, json accessor) {
        while (bytes_.size() % 4) bytes_.push_back(0);
        const auto* p = static_cast<const uint8_t*>(data);
        doc["bufferViews"].push_back({{"buffer", 0}, {"byteOffset", bytes_.size()}, {"byteLength", size}});
        bytes_.insert(bytes_.end(), p, p + size);
        accessor["bufferView"] = doc["bufferViews"].size() - 1;
        doc["accessors"].push_back(accessor);
        return static_cast<int>(doc["accessors"].size() - 1);
    }
    std::vector<uint8_t> bytes_;
};

// Parent (moved and turned 90° about Z, with an animated translation) holding Child, whose mesh
// has two primitives with two materials (Red blended at half alpha, Blue opaque) and different
// texture sets; a skinned strip over the bones Bone1 → Bone2.
std::string testModel() {
    Gltf g;
    const float s = std::sqrt(0.5f);
    const int posA = g.floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
    const int posB = g.floats({0, 0, 1, 1, 0, 1, 0, 1, 1}, "VEC3");
    const int uvA0 = g.floats({0, 0, 1, 0, 0, 1}, "VEC2");
    const int uvA1 = g.floats({0.25f, 0.25f, 0.75f, 0.25f, 0.25f, 0.75f}, "VEC2");
    const int uvB0 = g.floats({0, 0, 1, 0, 0, 1}, "VEC2");
    const int posC = g.floats({0, 0, 0, 0, 1, 0, 0, 2, 0}, "VEC3");
    const int joints = g.shorts({0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0}, "VEC4");
    const int weights = g.floats({1, 0, 0, 0, 0.5f, 0.5f, 0, 0, 0, 1, 0, 0}, "VEC4");
    const int inverseBind = g.floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1,  //
                                      1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -1, 0, 1},
                                     "MAT4");
    const int times = g.floats({0, 1}, "SCALAR");
    const int moves = g.floats({10, 0, 0, 13, 0, 0}, "VEC3");
    g.doc["scene"] = 0;
    g.doc["scenes"] = {{{"nodes", {0, 2, 3}}}};
    g.doc["nodes"] = {
        {{"name", "Parent"}, {"translation", {10, 0, 0}}, {"rotation", {0, 0, s, s}}, {"children", {1}}},
        {{"name", "Child"}, {"translation", {0, 2, 0}}, {"mesh", 0}},
        {{"name", "Skinned"}, {"mesh", 1}, {"skin", 0}},
        {{"name", "Bone1"}, {"children", {4}}},
        {{"name", "Bone2"}, {"translation", {0, 1, 0}}},
    };
    g.doc["meshes"] = {
        {{"primitives",
          {{{"attributes", {{"POSITION", posA}, {"TEXCOORD_0", uvA0}, {"TEXCOORD_1", uvA1}}}, {"material", 0}},
           {{"attributes", {{"POSITION", posB}, {"TEXCOORD_0", uvB0}}}, {"material", 1}}}}},
        {{"primitives", {{{"attributes", {{"POSITION", posC}, {"JOINTS_0", joints}, {"WEIGHTS_0", weights}}}, {"material", 1}}}}},
    };
    g.doc["skins"] = {{{"joints", {3, 4}}, {"inverseBindMatrices", inverseBind}}};
    g.doc["materials"] = {
        {{"name", "Red"},
         {"pbrMetallicRoughness", {{"baseColorFactor", {1, 0, 0, 0.5}}, {"baseColorTexture", {{"index", 0}, {"texCoord", 1}}}}},
         {"normalTexture", {{"index", 1}}}, {"alphaMode", "BLEND"}},
        // Opaque, so its alpha is unused; its texture names a set its meshes lack.
        {{"name", "Blue"},
         {"pbrMetallicRoughness", {{"baseColorFactor", {0, 0, 1, 0.5}}, {"baseColorTexture", {{"index", 1}, {"texCoord", 1}}}}}},
    };
    g.doc["images"] = {{{"uri", "red%20paint.png"}}, {{"uri", "normal.png"}}};
    g.doc["textures"] = {{{"source", 0}}, {{"source", 1}}};
    json sampler = {{"input", times}, {"output", moves}};
    json channel = {{"sampler", 0}, {"target", {{"node", 0}, {"path", "translation"}}}};
    g.doc["animations"] = json::array({{{"samplers", json::array({sampler})}, {"channels", json::array({channel})}}});
    return g.text();
}

void expectNear(const Point3& actual, const Point3& expected, const std::string& what, float tolerance = 1e-5f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance) << what;
    EXPECT_NEAR(actual.y, expected.y, tolerance) << what;
    EXPECT_NEAR(actual.z, expected.z, tolerance) << what;
}

class ForeignReadModel : public ::testing::Test {
protected:
    void SetUp() override { report = loadForeignScene(host, scratch.file("model.gltf", testModel())); }
    Node* node(const char* name) {
        Node* found = host.scene().findNode(name);
        if (!found) throw std::runtime_error(std::string("no node ") + name);
        return found;
    }
    Scratch scratch;
    Host host;
    ForeignReadReport report;
};

TEST_F(ForeignReadModel, HierarchyAndMatricesGiveTheFilesWorldPositions) {
    Node* child = node("Child");
    EXPECT_EQ(child->GetParentNode(), node("Parent"));
    // (1, 0, 0) in Child: +2 in y, turned 90° about Z, +10 in x.
    const auto& mesh = static_cast<TriObject*>(child->GetObjectRef())->mesh;
    bool found = false;
    for (const Point3& p : mesh.verts) {
        if (p == Point3(1, 0, 0)) {
            expectNear(child->GetObjectTM(0).PointTransform(p), {8, 1, 0}, "at tick 0");
            expectNear(child->GetObjectTM(4800).PointTransform(p), {11, 1, 0}, "at 1 s");
            found = true;
        }
    }
    EXPECT_TRUE(found);
    // The animation: keys at 0 and 1 s become ticks 0 and 4800, and so does the range.
    std::vector<TimeValue> ticks;
    for (const TransformKey& key : node("Parent")->track().Keys()) ticks.push_back(key.time);
    EXPECT_EQ(ticks, (std::vector<TimeValue>{0, 4800}));
    EXPECT_EQ(host.GetAnimRange().Start(), 0);
    EXPECT_EQ(host.GetAnimRange().End(), 4800);
    EXPECT_EQ(report.animatedNodes, 1u);
}

TEST_F(ForeignReadModel, MergedMeshesKeepTheirMaterialsAndTextureSets) {
    Node* child = node("Child");
    const Mesh& mesh = static_cast<TriObject*>(child->GetObjectRef())->mesh;
    ASSERT_EQ(mesh.getNumFaces(), 2);
    Mtl* multi = child->GetMtl();
    ASSERT_NE(multi, nullptr);
    ASSERT_EQ(multi->NumSubMtls(), 2);
    ASSERT_TRUE(mesh.mapSupport(1));
    ASSERT_TRUE(mesh.mapSupport(2));
    for (const Face& face : mesh.faces) {
        // Faces at z = 0 come from the red primitive, which alone has a second texture set.
        const bool red = mesh.verts[face.v[0]].z == 0.0f;
        Mtl* sub = multi->GetSubMtl(face.getMatID());
        ASSERT_NE(sub, nullptr);
        EXPECT_STREQ(sub->GetName(), red ? "Red" : "Blue");
        const Point3 uv = mesh.Map(2).tv[mesh.Map(2).tf[&face - mesh.faces.data()].t[1]];
        // glTF counts v from the top; the host from the bottom.
        expectNear(uv, red ? Point3(0.75f, 0.75f, 0.0f) : Point3(0.0f, 0.0f, 0.0f), "second set, corner 1");
    }
    auto* red = static_cast<StdMat*>(multi->GetSubMtl(0));
    EXPECT_EQ(red->GetDiffuse(0), Color(1, 0, 0));
    auto* diffuse = dynamic_cast<BitmapTex*>(red->GetSubTexmap(ID_DI));
    ASSERT_NE(diffuse, nullptr);
    EXPECT_STREQ(diffuse->GetMapName(), "red paint.png");  // a URI: %20 is a space
    EXPECT_EQ(red->GetOpacity(0), 0.5f);
    auto* blue = static_cast<StdMat*>(multi->GetSubMtl(1));
    EXPECT_EQ(blue->GetOpacity(0), 1.0f);
    // A set beyond those of the material's meshes: their last (Collada numbers sets from 1).
    auto* blueDiffuse = dynamic_cast<BitmapTex*>(blue->GetSubTexmap(ID_DI));
    ASSERT_NE(blueDiffuse, nullptr);
    EXPECT_EQ(blueDiffuse->GetTheUVGen()->GetMapChannel(), 1);
    EXPECT_EQ(diffuse->GetTheUVGen()->GetMapChannel(), 2);
    auto* bump = dynamic_cast<BitmapTex*>(red->GetSubTexmap(ID_BU));
    ASSERT_NE(bump, nullptr);
    EXPECT_STREQ(bump->GetMapName(), "normal.png");
}

TEST_F(ForeignReadModel, SkinsCarryBonesBindPoseAndWeights) {
    Node* skinned = node("Skinned");
    auto* stack = dynamic_cast<IDerivedObject*>(skinned->GetObjectRef());
    ASSERT_NE(stack, nullptr);
    auto* skin = dynamic_cast<SkinModifier*>(stack->GetModifier(0));
    ASSERT_NE(skin, nullptr);
    ASSERT_EQ(skin->bones().size(), 2u);
    EXPECT_EQ(skin->bones()[0].node, node("Bone1"));
    EXPECT_EQ(skin->bones()[1].node, node("Bone2"));
    expectNear(skin->bones()[1].initTM.GetTrans(), node("Bone2")->GetNodeTM(0).GetTrans(), "bind pose of Bone2");
    const Mesh& mesh = static_cast<TriObject*>(stack->GetObjRef())->mesh;
    ASSERT_EQ(skin->vertices().size(), mesh.verts.size());
    for (std::size_t v = 0; v < mesh.verts.size(); ++v) {
        // Vertex at y = 0: Bone1 only; y = 1: half each; y = 2: Bone2 only.
        const float y = mesh.verts[v].y;
        float weights[2] = {0, 0};
        for (const SkinModifier::Assignment& a : skin->vertices()[v]) weights[a.bone] += a.weight;
        EXPECT_FLOAT_EQ(weights[0], 1.0f - y / 2.0f) << "vertex at y = " << y;
        EXPECT_FLOAT_EQ(weights[1], y / 2.0f) << "vertex at y = " << y;
    }
    EXPECT_EQ(report.skins, 1u);
}

// Lights of every kind, in a file without meshes. Nodes take their name attributes, not their XML
// ids ("P-node"), unless a node has no name: then the file is read by its ids. Up axis and unit
// change no coordinate.
TEST(ForeignRead, LightKindsAndColladaNodeNames) {
    Scratch scratch;
    for (const bool named : {true, false}) {
        auto node = [&](const char* name) {
            return std::string("<node id=\"") + name + "-node\"" + (named ? std::string(" name=\"") + name + "\"" : "") + ">";
        };
        const auto file = scratch.file(named ? "named.dae" : "unnamed.dae", R"(<?xml version="1.0"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
 <asset>)" + std::string(named ? "<up_axis>Y_UP</up_axis>" : "<unit meter=\"0.01\"/><up_axis>Z_UP</up_axis>") + R"(</asset>
 <library_lights>
  <light id="amb" name="amb"><technique_common><ambient><color>0.1 0.2 0.3</color></ambient></technique_common></light>
  <light id="pt" name="pt"><technique_common><point><color>2 1 0.5</color></point></technique_common></light>
  <light id="sp" name="sp"><technique_common><spot><color>1 1 1</color><falloff_angle>40</falloff_angle></spot></technique_common></light>
  <light id="dir" name="dir"><technique_common><directional><color>0.5 0.5 0.5</color></directional></technique_common></light>
 </library_lights>
 <library_visual_scenes><visual_scene id="s">
  )" + node("A") + R"(<instance_light url="#amb"/></node>
  )" + node("P") + R"(<translate>1 2 3</translate><instance_light url="#pt"/></node>
  )" + node("S@1") + R"(<instance_light url="#sp"/></node>
  <node id="D-node" name="D"><instance_light url="#dir"/></node>
 </visual_scene></library_visual_scenes>
 <scene><instance_visual_scene url="#s"/></scene>
</COLLADA>)");
        Host host;
        const ForeignReadReport report = loadForeignScene(host, file);
        struct Case {
            std::string node;
            int type;
            Point3 color;
            float intensity;
        };
        // D has a name in both files: the file without the other names is read by ids throughout.
        const std::string suffix = named ? "" : "-node";
        const Case cases[] = {{"P" + suffix, OMNI_LIGHT, {1.0f, 0.5f, 0.25f}, 2},
                              {"S@1" + suffix, FSPOT_LIGHT, {1.0f, 1.0f, 1.0f}, 1},
                              {"D" + suffix, DIR_LIGHT, {0.5f, 0.5f, 0.5f}, 1}};
        for (const Case& c : cases) {
            Node* holder = host.scene().findNode(c.node);
            ASSERT_NE(holder, nullptr) << c.node;
            Object* object = holder->GetObjectRef();
            if (!object && holder->NumberOfChildren() > 0) object = holder->GetChildNode(0)->GetObjectRef();
            auto* light = dynamic_cast<GenLight*>(object);
            ASSERT_NE(light, nullptr) << c.node;
            EXPECT_EQ(light->Type(), c.type) << c.node;
            expectNear(light->GetRGBColor(0), c.color, c.node);
            EXPECT_FLOAT_EQ(light->GetIntensity(0), c.intensity) << c.node;
        }
        expectNear(host.GetAmbient(0), {0.1f, 0.2f, 0.3f}, "ambient colour");
        EXPECT_EQ(report.lights, 3u);
        // The file's own coordinates, whatever up axis and unit it names.
        expectNear(host.scene().findNode("P" + suffix)->GetNodeTM(0).GetTrans(), {1, 2, 3}, "P's place");
        // The file holds no mesh, and none is made up (Assimp's reader would make a skinned mesh of
        // the node tree, with the light nodes as its bones).
        for (Node* n : host.scene().nodes())
            EXPECT_TRUE(!n->GetObjectRef() || n->GetObjectRef()->SuperClassID() == LIGHT_CLASS_ID) << n->GetName();
    }
}

// glTF measures a spot's cones from its axis, where the host takes whole cones; and its reader
// copies a camera node's translation into the camera, which must not move it a second time.
TEST(ForeignRead, GltfSpotConesAndCamerasOnTheirNodes) {
    Scratch scratch;
    const auto file = scratch.file("lit.gltf", R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0, 1]}],
      "extensionsUsed": ["KHR_lights_punctual"], "extensions": {"KHR_lights_punctual": {"lights": [
        {"type": "spot", "spot": {"innerConeAngle": 0.25, "outerConeAngle": 0.5}}]}},
      "cameras": [{"type": "perspective", "perspective": {"yfov": 0.7, "aspectRatio": 1.5, "znear": 0.1, "zfar": 100}},
                  {"type": "perspective", "perspective": {"yfov": 0.5, "znear": 0.1}}],
      "nodes": [{"name": "Spot", "translation": [1, 2, 3], "extensions": {"KHR_lights_punctual": {"light": 0}}},
                {"name": "Eye", "translation": [0.5, 0.5, 3], "camera": 0, "children": [2]},
                {"name": "Free", "camera": 1}]})");
    Host host;
    host.SetRendWidth(800);
    host.SetRendHeight(400);
    loadForeignScene(host, file);
    auto* spot = dynamic_cast<GenLight*>(host.scene().findNode("Spot")->GetObjectRef());
    ASSERT_NE(spot, nullptr);
    EXPECT_NEAR(spot->GetFallsize(0), 57.29578f, 1e-3f);
    EXPECT_NEAR(spot->GetHotspot(0), 28.64789f, 1e-3f);
    Node* eye = host.scene().findNode("Eye");
    ASSERT_NE(eye, nullptr);
    auto* camera = dynamic_cast<Camera*>(eye->GetObjectRef());
    ASSERT_NE(camera, nullptr);
    // The host keeps the horizontal angle: 2 atan(aspect tan(vertical / 2)).
    EXPECT_NEAR(camera->GetFOV(0), 2 * std::atan(1.5f * std::tan(0.35f)), 1e-5f);
    expectNear(eye->GetNodeTM(0).GetTrans(), {0.5f, 0.5f, 3.0f}, "the camera's place");
    // Without an aspect ratio, the viewport's.
    auto* free = dynamic_cast<Camera*>(host.scene().findNode("Free")->GetObjectRef());
    ASSERT_NE(free, nullptr);
    EXPECT_NEAR(free->GetFOV(0), 2 * std::atan(2.0f * std::tan(0.25f)), 1e-5f);

    // glTF 1.0: its cameras look down -Z too, and its shininess is a specular exponent.
    const auto old = scratch.file("old.gltf", R"({"asset": {"version": "1.0"}, "extensionsUsed": ["KHR_materials_common"],
      "buffers": {"b": {"byteLength": 44, "type": "arraybuffer",
        "uri": "data:application/octet-stream;base64,AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAAAAABAAIAAAA="}},
      "bufferViews": {"v": {"buffer": "b", "byteOffset": 0, "byteLength": 36, "target": 34962},
                      "i": {"buffer": "b", "byteOffset": 36, "byteLength": 6, "target": 34963}},
      "accessors": {"p": {"bufferView": "v", "byteOffset": 0, "byteStride": 12, "componentType": 5126, "count": 3,
                          "type": "VEC3", "min": [0, 0, 0], "max": [1, 1, 0]},
                    "x": {"bufferView": "i", "byteOffset": 0, "componentType": 5123, "count": 3, "type": "SCALAR"}},
      "materials": {"m": {"name": "Shiny", "extensions": {"KHR_materials_common": {"technique": "PHONG",
        "values": {"diffuse": [0.8, 0.1, 0.1, 1], "shininess": 50}}}}},
      "meshes": {"me": {"primitives": [{"attributes": {"POSITION": "p"}, "indices": "x", "material": "m", "mode": 4}]}},
      "cameras": {"c": {"type": "perspective", "perspective": {"aspectRatio": 2.0, "yfov": 0.5, "znear": 0.1}}},
      "nodes": {"nd": {"name": "Tri", "meshes": ["me"]}, "cn": {"name": "Cam", "camera": "c", "translation": [0, 0, 5]}},
      "scenes": {"s": {"nodes": ["nd", "cn"]}}, "scene": "s"})");
    Host first;
    loadForeignScene(first, old);
    Node* triangle = first.scene().findNode("nd");  // glTF 1.0 nodes are named by their keys
    ASSERT_NE(triangle, nullptr);
    auto* shiny = dynamic_cast<StdMat*>(triangle->GetMtl());
    ASSERT_NE(shiny, nullptr);
    EXPECT_NEAR(shiny->GetShininess(0), 0.5f, 1e-6f);
    bool looked = false;
    for (Node* node : first.scene().nodes()) {
        if (!dynamic_cast<Camera*>(node->GetObjectRef())) continue;
        expectNear(node->GetNodeTM(0).GetRow(2), {0.0f, 0.0f, 1.0f}, "the camera's Z axis (it looks down -Z)");
        looked = true;
    }
    EXPECT_TRUE(looked);
}

// Material values glTF gives on scales of its own, and names several nodes share: a skin's bone is
// the node of its name that stands where the skin binds it; channels of a shared name are named.
TEST(ForeignRead, GltfMaterialValuesAndNamesNodesShare) {
    Gltf g;
    const int positions = g.floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
    const int joints = g.shorts({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "VEC4");
    const int weights = g.floats({1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}, "VEC4");
    const int inverseBind = g.floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -5, 0, 0, 1}, "MAT4");
    const int times = g.floats({0, 1}, "SCALAR");
    const int moves = g.floats({0, 0, 0, 0, 1, 0}, "VEC3");
    const json materials[] = {
        {{"name", "Glossy"}, {"extensions", {{"KHR_materials_pbrSpecularGlossiness", {{"glossinessFactor", 0.3}}}}}},
        {{"name", "Rough"}, {"pbrMetallicRoughness", {{"roughnessFactor", 0.2}, {"metallicFactor", 0}}}},
        {{"name", "Masked"}, {"pbrMetallicRoughness", {{"baseColorFactor", {1, 1, 1, 0.8}}}}, {"alphaMode", "MASK"}},
        {{"name", "Glowing"},
         {"pbrMetallicRoughness", {{"baseColorFactor", {0.8, 0.4, 0, 1}}}},
         {"emissiveFactor", {0.4, 0.2, 0}}},
    };
    g.doc["extensionsUsed"] = {"KHR_materials_pbrSpecularGlossiness"};
    g.doc["scene"] = 0;
    g.doc["scenes"] = {{{"nodes", {0, 1, 2, 3, 4, 6}}}};
    g.doc["nodes"] = json::array();
    for (int m = 0; m < 4; ++m) {
        g.doc["materials"].push_back(materials[m]);
        g.doc["meshes"].push_back({{"primitives", {{{"attributes", {{"POSITION", positions}}}, {"material", m}}}}});
        g.doc["nodes"].push_back({{"name", materials[m]["name"]}, {"mesh", m}});
    }
    // Two rigs of a "Bone" each, the second at x = 5, which the skin binds.
    g.doc["nodes"][3]["children"] = {5};
    g.doc["nodes"].push_back({{"name", "RigB"}, {"translation", {5, 0, 0}}, {"children", {7}}});
    g.doc["nodes"].push_back({{"name", "Bone"}});
    g.doc["nodes"].push_back({{"name", "Body"}, {"mesh", 4}, {"skin", 0}});
    g.doc["nodes"].push_back({{"name", "Bone"}});
    g.doc["meshes"].push_back(
        {{"primitives", {{{"attributes", {{"POSITION", positions}, {"JOINTS_0", joints}, {"WEIGHTS_0", weights}}}}}}});
    g.doc["skins"] = {{{"joints", {7}}, {"inverseBindMatrices", inverseBind}}};
    json sampler = {{"input", times}, {"output", moves}};
    json channel = {{"sampler", 0}, {"target", {{"node", 7}, {"path", "translation"}}}};
    g.doc["animations"] = json::array({{{"samplers", json::array({sampler})}, {"channels", json::array({channel})}}});
    Scratch scratch;
    Host host;
    const ForeignReadReport report = loadForeignScene(host, scratch.file("shared.gltf", g.text()));

    auto material = [&](const char* name) {
        auto* found = dynamic_cast<StdMat*>(host.scene().findNode(name)->GetMtl());
        if (!found) throw std::runtime_error(std::string("no standard material on ") + name);
        return found;
    };
    EXPECT_NEAR(material("Glossy")->GetShininess(0), 0.3f, 1e-5f);
    EXPECT_NEAR(material("Rough")->GetShininess(0), 0.64f, 1e-5f);  // (1 - roughness)^2
    EXPECT_EQ(material("Masked")->GetOpacity(0), 1.0f);               // alpha 0.8 reaches the cutoff 0.5
    EXPECT_NEAR(material("Glowing")->GetSelfIllum(0), 0.5f, 1e-5f);

    auto* stack = dynamic_cast<IDerivedObject*>(host.scene().findNode("Body")->GetObjectRef());
    ASSERT_NE(stack, nullptr);
    auto* skin = dynamic_cast<SkinModifier*>(stack->GetModifier(0));
    ASSERT_NE(skin, nullptr);
    ASSERT_EQ(skin->bones().size(), 1u);
    EXPECT_EQ(skin->bones()[0].node->GetParentNode(), host.scene().findNode("RigB"));
    const std::string warnings = [&] {
        std::string all;
        for (const std::string& line : report.warnings) all += line + "\n";
        return all;
    }();
    EXPECT_NE(warnings.find("1 node name (\"Bone\") shared by several nodes"), std::string::npos) << warnings;
}

// A mesh of more vertices than a host mesh takes is cut into sibling pieces in its node's place,
// which move with the node's keys.
TEST(ForeignRead, PiecesOfACutMeshTakeTheNodesKeys) {
    Scratch scratch;
    constexpr int kVertices = 70002;
    std::string bin;
    auto put = [&](float value) { bin.append(reinterpret_cast<const char*>(&value), sizeof value); };
    for (int v = 0; v < kVertices; ++v) {
        put(float(v / 3));
        put(float(v % 3 == 1));
        put(float(v % 3 == 2));
    }
    const std::size_t positions = bin.size();
    for (const float value : {0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 5.0f}) put(value);
    scratch.file("big.bin", bin);
    const std::string views = "[{\"buffer\": 0, \"byteLength\": " + std::to_string(positions) +
                              "}, {\"buffer\": 0, \"byteOffset\": " + std::to_string(positions) +
                              ", \"byteLength\": 8}, {\"buffer\": 0, \"byteOffset\": " + std::to_string(positions + 8) +
                              ", \"byteLength\": 24}]";
    const auto file = scratch.file("big.gltf", R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}],
      "nodes": [{"name": "Big", "mesh": 0}], "meshes": [{"primitives": [{"attributes": {"POSITION": 0}}]}],
      "buffers": [{"uri": "big.bin", "byteLength": )" + std::to_string(bin.size()) + R"(}], "bufferViews": )" + views + R"(,
      "accessors": [{"bufferView": 0, "componentType": 5126, "count": )" + std::to_string(kVertices) + R"(, "type": "VEC3",
                     "min": [0, 0, 0], "max": [23333, 1, 1]},
                    {"bufferView": 1, "componentType": 5126, "count": 2, "type": "SCALAR", "min": [0], "max": [1]},
                    {"bufferView": 2, "componentType": 5126, "count": 2, "type": "VEC3"}],
      "animations": [{"channels": [{"sampler": 0, "target": {"node": 0, "path": "translation"}}],
                      "samplers": [{"input": 1, "output": 2}]}]})");
    Host host;
    loadForeignScene(host, file);
    Node* part = host.scene().findNode("Big_part2");
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(part->GetNodeTM(4800).GetTrans(), Point3(0.0f, 0.0f, 5.0f));
    EXPECT_EQ(host.scene().findNode("Big")->GetNodeTM(4800).GetTrans(), Point3(0.0f, 0.0f, 5.0f));
}

// A reader that turns a Z-up file Y-up through a root of its own (DXF here, like 3DS and ASE) does
// not turn the scene: the corner at z = 1 stays there.
TEST(ForeignRead, ZUpFormatsKeepTheirCoordinates) {
    Scratch scratch;
    const char* face = "0\nSECTION\n2\nENTITIES\n0\n3DFACE\n8\n0\n10\n0\n20\n0\n30\n0\n11\n1\n21\n0\n31\n0\n"
                       "12\n0\n22\n0\n32\n1\n13\n0\n23\n0\n33\n1\n0\nENDSEC\n0\nEOF\n";
    Host host;
    loadForeignScene(host, scratch.file("face.dxf", face));
    ASSERT_EQ(host.scene().nodes().size(), 1u);
    Node* node = host.scene().nodes().front();
    const Mesh& mesh = static_cast<TriObject*>(node->GetObjectRef())->mesh;
    float highest = -1.0f;
    for (const Point3& corner : mesh.verts) highest = std::max(highest, node->GetObjectTM(0).PointTransform(corner).z);
    EXPECT_FLOAT_EQ(highest, 1.0f);

    // A camera a 3DS file animates stands where its keys place it, once (the reader also gives
    // that place as the camera's position).
    const std::filesystem::path animated = "/usr/share/assimp/models/3DS/CameraRollAnim.3ds";
    if (!std::filesystem::exists(animated)) GTEST_SKIP() << "the model corpus is not installed";
    Host cameraHost;
    loadForeignScene(cameraHost, animated);
    bool placed = false;
    for (Node* n : cameraHost.scene().nodes()) {
        if (!dynamic_cast<Camera*>(n->GetObjectRef())) continue;
        expectNear(n->GetNodeTM(0).GetTrans(), {-153.077f, 3.27201f, 22.7776f}, "the camera's place", 1e-3f);
        placed = true;
    }
    EXPECT_TRUE(placed);
}

// An animated node turned 90° about Z and scaled twice along its own X: its X axis points along
// the parent's Y, twice as long, at every key (keys made from the parts sheared it: scaled along
// the parent's X, then turned).
TEST(ForeignRead, KeysScaleBeforeTheyTurnAndHoldExactly) {
    Gltf g;
    const float s = std::sqrt(0.5f);
    const int position = g.floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
    const int times = g.floats({0, 1}, "SCALAR");
    const int scales = g.floats({2, 1, 1, 2, 1, 1}, "VEC3");
    // A second node holds a turn of 20° about Z from 0 to 0.5 s, then turns on.
    const int holdTimes = g.floats({0, 0.5f, 1}, "SCALAR");
    const int turns = g.floats({0, 0, 0.173648193f, 0.98480773f, 0, 0, 0.173648193f, 0.98480773f, 0, 0, s, s}, "VEC4");
    // A third steps from x = 0 to x = 5 at 1 s.
    const int steps = g.floats({0, 0, 0, 5, 0, 0}, "VEC3");
    g.doc["scene"] = 0;
    g.doc["scenes"] = {{{"nodes", {0, 1, 2}}}};
    g.doc["nodes"] = {{{"name", "Squash"}, {"rotation", {0, 0, s, s}}, {"mesh", 0}},
                      {{"name", "Hold"}, {"mesh", 0}},
                      {{"name", "Step"}, {"mesh", 0}}};
    g.doc["meshes"] = {{{"primitives", {{{"attributes", {{"POSITION", position}}}}}}}};
    g.doc["animations"] = {{{"samplers", {{{"input", times}, {"output", scales}},
                                          {{"input", holdTimes}, {"output", turns}},
                                          {{"input", times}, {"output", steps}, {"interpolation", "STEP"}}}},
                            {"channels", {{{"sampler", 0}, {"target", {{"node", 0}, {"path", "scale"}}}},
                                          {{"sampler", 1}, {"target", {{"node", 1}, {"path", "rotation"}}}},
                                          {{"sampler", 2}, {"target", {{"node", 2}, {"path", "translation"}}}}}}}};
    Scratch scratch;
    Host host;
    loadForeignScene(host, scratch.file("squash.gltf", g.text()));
    Node* node = host.scene().findNode("Squash");
    ASSERT_NE(node, nullptr);
    ASSERT_EQ(node->track().Keys().size(), 2u);
    for (const TransformKey& key : node->track().Keys()) expectNear(key.tm.GetRow(0), {0, 2, 0}, "X axis");
    // A key at its own time is the file's value, not a blend of it with the next: the held turn
    // gives two equal keys, which an export makes one.
    const std::vector<TransformKey>& held = host.scene().findNode("Hold")->track().Keys();
    ASSERT_EQ(held.size(), 3u);
    EXPECT_TRUE(held[0].tm == held[1].tm);
    // A step holds its value until the next key, where Assimp's reader would blend.
    Node* step = host.scene().findNode("Step");
    EXPECT_EQ(step->GetNodeTM(4799).GetTrans(), Point3(0, 0, 0));
    EXPECT_EQ(step->GetNodeTM(4800).GetTrans(), Point3(5, 0, 0));
    EXPECT_EQ(host.GetTicksPerFrame(), 160);
}

// Keys on a grid of frames (to the nearest tick: a rounded frame time drifts), two of them a frame
// apart, 20 frames a second or more, are the file's frames: where the scene's 30 a second would
// fall between them, the scene takes the file's frame. Sparser keys are poses, even where their
// times are multiples of a short step.
TEST(ForeignRead, SampledAnimationSetsTheScenesFrame) {
    const struct {
        std::vector<float> times;
        int ticksPerFrame;
    } cases[] = {{{0, 1 / 24.0f, 2 / 24.0f}, 200}, {{0, 1 / 60.0f, 3 / 60.0f}, 80}, {{0, 1 / 30.0f, 0.1f}, 160},
                 {{0, 0.5f, 1}, 160},                {{0, 0.01f, 0.02f}, 48},        {{0, 2.5f + 1 / 60.0f, 5}, 160},
                 {{0, 0.0083333f, 8.3333f}, 40}};
    for (const auto& c : cases) {
        Gltf g;
        const int position = g.floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
        const int times = g.floats(c.times, "SCALAR");
        const int moves = g.floats({0, 0, 0, 1, 0, 0, 2, 0, 0}, "VEC3");
        g.doc["scene"] = 0;
        g.doc["scenes"] = {{{"nodes", {0}}}};
        g.doc["nodes"] = {{{"name", "Mover"}, {"mesh", 0}}};
        g.doc["meshes"] = {{{"primitives", {{{"attributes", {{"POSITION", position}}}}}}}};
        g.doc["animations"] = {{{"samplers", {{{"input", times}, {"output", moves}}}},
                                {"channels", {{{"sampler", 0}, {"target", {{"node", 0}, {"path", "translation"}}}}}}}};
        Scratch scratch;
        Host host;
        loadForeignScene(host, scratch.file("mover.gltf", g.text()));
        EXPECT_EQ(host.GetTicksPerFrame(), c.ticksPerFrame) << c.times[1];
    }
}

// Files that must be refused with one line, leaving the scene as it was.
TEST(ForeignRead, RefusesBrokenFilesWithoutTouchingTheScene) {
    Scratch scratch;
    std::string glb = "glTF";
    glb += std::string("\x02\x00\x00\x00\x00\x10\x00\x00", 8);  // version 2, claims 4096 bytes
    glb += std::string("\x40\x00\x00\x00JSON{\"asset\":{\"version\":", 24);  // cut short
    const std::string missingBuffer = R"({"asset":{"version":"2.0"},"buffers":[{"byteLength":36,"uri":"gone.bin"}],
        "bufferViews":[{"buffer":0,"byteLength":36}],
        "accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3","min":[0,0,0],"max":[1,1,0]}],
        "meshes":[{"primitives":[{"attributes":{"POSITION":0}}]}],"nodes":[{"mesh":0}],"scenes":[{"nodes":[0]}],"scene":0})";
    const std::filesystem::path files[] = {
        scratch.file("truncated.glb", glb),
        scratch.file("missing_buffer.gltf", missingBuffer),
        scratch.file("empty.obj", ""),
        scratch.file("nothing.ply", "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nend_header\n1\n"),
        scratch.file("absent.glb", "").parent_path() / "not_there.glb",
        // PLY headers that never end (the reader would never return).
        scratch.file("unended.ply", "ply\nformat ascii 1.0\nelement vertex 0\nproperty float x\n"),
        scratch.file("glued.ply", "ply\nformat ascii 1.0\nelement vertex 0\nproperty list uchar int vertex_end_header\n"),
        scratch.file("midline.ply", "ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\n6 1 end_header\n1\n"),
        // A face without corners (the triangulation would abort the process).
        scratch.file("cornerless.ply", "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
                     "property float z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n"
                     "0 0 0\n1 0 0\n0 1 0\n0 0 1 2\n"),
    };
    for (const auto& file : files) {
        Host host;
        try {
            loadForeignScene(host, file);
            ADD_FAILURE() << file << " was accepted";
        } catch (const ForeignSceneError& e) {
            const std::string message = e.what();
            EXPECT_FALSE(message.empty()) << file;
            EXPECT_EQ(message.find('\n'), std::string::npos) << file << ": " << message;
            // Refused for what the file is, not stopped by the time limit.
            EXPECT_EQ(message.find("took longer"), std::string::npos) << file << ": " << message;
        }
        EXPECT_TRUE(host.scene().nodes().empty()) << file;
    }
    // A file read with parts missing is read, and the reader's complaint comes with it: an OBJ
    // whose material library is not there loses its materials.
    {
        Host host;
        const ForeignReadReport report = loadForeignScene(
            host, scratch.file("no_library.obj", "mtllib gone.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl Red\nf 1 2 3\n"));
        EXPECT_NE(std::find_if(report.warnings.begin(), report.warnings.end(),
                               [](const std::string& w) { return w.find("material file gone.mtl") != std::string::npos; }),
                  report.warnings.end());
    }
    // A texture on a mesh without texture coordinates cannot be placed: kept, and said so.
    {
        Host host;
        scratch.file("painted.mtl", "newmtl Paint\nKd 1 0 0\nmap_Kd paint.png\n");
        const ForeignReadReport report = loadForeignScene(
            host, scratch.file("painted.obj", "mtllib painted.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl Paint\nf 1 2 3\n"));
        ASSERT_EQ(report.warnings.size(), 1u);
        EXPECT_EQ(report.warnings[0], "1 texture is on meshes without texture coordinates, which cannot place them");
    }
    // The header check must not refuse a sound file with CR LF line ends.
    Host host;
    EXPECT_NO_THROW(loadForeignScene(host, scratch.file("crlf.ply", "ply\r\nformat ascii 1.0\r\nelement vertex 3\r\n"
        "property float x\r\nproperty float y\r\nproperty float z\r\nelement face 1\r\n"
        "property list uchar int vertex_indices\r\nend_header\r\n0 0 0\r\n1 0 0\r\n0 1 0\r\n3 0 1 2\r\n")));
}

TEST(ForeignRead, ExtensionsTellDocumentsFromModels) {
    EXPECT_TRUE(isSceneDocumentPath("a/scene.JSON"));
    EXPECT_FALSE(isSceneDocumentPath("model.glb"));
    EXPECT_TRUE(isForeignReadPath("model.GLB"));
    EXPECT_TRUE(isForeignReadPath("model.fbx"));
    EXPECT_FALSE(isForeignReadPath("scene.json"));
    EXPECT_FALSE(isForeignReadPath("model.nosuchformat"));
    const std::vector<std::string> written = foreignWriteExtensions();
    EXPECT_NE(std::find(written.begin(), written.end(), "glb"), written.end());
}

}  // namespace
