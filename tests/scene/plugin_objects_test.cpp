// Objects of plug-in classes in scene documents: with the plug-in libraries loaded, a LOD helper and
// a sprite are the plug-ins' own objects, and saving writes them in the form a scene without the
// plug-ins writes; an entry the plug-in object cannot hold, or a scene without the plug-ins, keeps
// the class-id object.
#include "headless/demo_scene.h"
#include "headless/host.h"
#include "headless/scene_document.h"
#include "headless/viewport.h"
#include "host/plugin_classes.h"

#include <gtest/gtest.h>

namespace {

using namespace headless;
using namespace zeq;
using nlohmann::json;

// A LOD helper whose levels sit at the scene root (its first display adopts them) and whose stored
// "Current distance" differs from the selected level's distance, and a sprite of 10 × 20.
const char* kPluginScene = R"({
  "objects": [
    {"id": "Lod", "kind": "object", "superClass": "geometry", "classId": ["0xB08FE489", "0x88D0FBBE"],
     "name": "ZeqLOD",
     "paramBlocks": [{"id": 0, "name": "LODObjectParamBlock", "params": [
       {"id": 4, "name": "Nodes list", "type": "node[]", "value": ["Near", "Far"]},
       {"id": 3, "name": "Current distance", "type": "float", "value": 75},
       {"id": 2, "name": "Icon size", "type": "float", "value": 2}]}]},
    {"id": "Flare", "kind": "object", "superClass": "geometry", "classId": ["0x8264D187", "0x6912FD2F"],
     "name": "Sprite",
     "paramBlocks": [{"id": 3, "name": "params", "params": [
       {"id": 4, "name": "width", "type": "float", "value": 10},
       {"id": 5, "name": "height", "type": "float", "value": 20}]}]}
  ],
  "nodes": [
    {"name": "TreeLOD", "object": "Lod"},
    {"name": "Near", "userProperties": {"LODDistance": "10"}},
    {"name": "Far", "userProperties": {"LODDistance": "100"}},
    {"name": "Flare", "object": "Flare", "transform": {"translation": [0, 0, -50]}}
  ]
})";

class PluginObjects : public ::testing::Test {
protected:
    void loadPlugins() {
        for (const char* file : {"/ZeqLOD.so", "/Sprite.so"})
            ASSERT_TRUE(plugins.loadLibrary(std::string(ZEQ_RUNTIME_DIR) + file)) << plugins.failures().front().reason;
        host.setPlugins(&plugins);
    }
    Object* objectOf(const char* node) { return host.GetINodeByName(node)->GetObjectRef(); }

    PluginRegistry plugins;  // outlives the host and the objects its libraries made
    Host host;
};

TEST_F(PluginObjects, AreThePluginsOwnObjectsWithTheirBehaviour) {
    loadPlugins();
    loadSceneDocument(host, json::parse(kPluginScene));

    Object* lod = objectOf("TreeLOD");
    Object* sprite = objectOf("Flare");
    for (Object* object : {lod, sprite}) {
        EXPECT_EQ(dynamic_cast<GenericObject*>(object), nullptr);
        EXPECT_NE(object->GetCreateMouseCallBack(), nullptr);
    }
    EXPECT_STREQ(lod->GetObjectName(), "ZeqLOD");

    // The stored values came back as stored: restoring "Current distance" did not hand it to the
    // selected level as an edit would, and the parameters the entry leaves out keep their defaults.
    IParamBlock2* levels = lod->GetParamBlockByID(LOD_PARAM_BLOCK_ID);
    ASSERT_EQ(levels->Count(LOD_PARAM_NODES_LIST), 2);
    EXPECT_STREQ(levels->GetINode(LOD_PARAM_NODES_LIST, 0, 1)->GetName(), "Far");
    EXPECT_EQ(levels->GetFloat(LOD_PARAM_CURRENT_DISTANCE, 0), 75.0f);
    float nearDistance = 0.0f;
    ASSERT_TRUE(host.GetINodeByName("Near")->GetUserPropFloat("LODDistance", nearDistance));
    EXPECT_EQ(nearDistance, 10.0f);
    EXPECT_EQ(sprite->GetParamBlockByID(SPRITE_PARAM_BLOCK_ID)->GetFloat(SPRITE_PARAM_ORIGIN_X, 0), 0.5f);

    // Display is the LOD object's: its node adopts the levels and shows only the current one.
    Viewport view;
    view.setPerspective(false);
    INode* lodNode = host.GetINodeByName("TreeLOD");
    lod->Display(0, lodNode, &view, 0);
    EXPECT_EQ(lodNode->NumberOfChildren(), 2);
    EXPECT_FALSE(host.GetINodeByName("Near")->IsHidden());
    EXPECT_TRUE(host.GetINodeByName("Far")->IsHidden());
    Box3 icon;
    lod->GetLocalBoundBox(0, lodNode, icon);
    EXPECT_FALSE(icon.IsEmpty());

    // The sprite's bounds are its camera-facing 10 × 20 rectangle.
    Box3 quad;
    sprite->GetWorldBoundBox(0, host.GetINodeByName("Flare"), &view, quad);
    ASSERT_FALSE(quad.IsEmpty());
    EXPECT_NEAR(quad.Width().x, 10.0f, 1e-4f);
    EXPECT_NEAR(quad.Width().y, 20.0f, 1e-4f);
}

TEST_F(PluginObjects, SaveInTheDocumentFormAndLoadAgainAsPluginObjects) {
    // Each host is the running one while it lives, so the plain one ends before the test host loads.
    json withoutPlugins;
    {
        Host plain;
        buildDemoScene(plain);
        withoutPlugins = saveSceneDocument(plain);
    }

    loadPlugins();
    buildDemoScene(host);
    ASSERT_EQ(dynamic_cast<GenericObject*>(objectOf("TreeLOD")), nullptr);
    ASSERT_EQ(dynamic_cast<GenericObject*>(objectOf("Flare")), nullptr);
    const json first = saveSceneDocument(host);
    EXPECT_EQ(first.dump(1), withoutPlugins.dump(1));

    Host again;
    again.setPlugins(&plugins);
    loadSceneDocument(again, first);
    for (const char* node : {"TreeLOD", "Flare"}) {
        Object* object = again.GetINodeByName(node)->GetObjectRef();
        EXPECT_EQ(dynamic_cast<GenericObject*>(object), nullptr) << node;
        EXPECT_NE(object->GetCreateMouseCallBack(), nullptr) << node;
    }
    EXPECT_EQ(saveSceneDocument(again).dump(1), first.dump(1));
}

// Entries the plug-in object cannot hold in full, and a scene without the plug-ins, keep the class-id
// object with everything the entry says.
TEST_F(PluginObjects, ClassIdObjectWhereThePluginObjectCannotHoldTheEntry) {
    const json lodParam = {{"id", 2}, {"name", "Icon size"}, {"type", "float"}, {"value", 2}};
    const struct {
        const char* what;
        bool plugins;
        json blocks;
        json extra;
    } cases[] = {
        {"no plug-ins loaded", false, {{{"id", 0}, {"name", "LODObjectParamBlock"}, {"params", {lodParam}}}}, json::object()},
        {"unknown parameter", true,
         {{{"id", 0}, {"name", "LODObjectParamBlock"},
           {"params", {lodParam, {{"id", 99}, {"name", "extra"}, {"type", "int"}, {"value", 7}}}}}},
         json::object()},
        {"parameter of another type", true,
         {{{"id", 0}, {"name", "LODObjectParamBlock"},
           {"params", {{{"id", 2}, {"name", "Icon size"}, {"type", "string"}, {"value", "big"}}}}}},
         json::object()},
        {"table where the plug-in has one value", true,
         {{{"id", 0}, {"name", "LODObjectParamBlock"},
           {"params", {{{"id", 2}, {"name", "Icon size"}, {"type", "float[]"}, {"value", {1, 2}}}}}}},
         json::object()},
        {"unknown block", true, {{{"id", 7}, {"name", "other"}, {"params", {lodParam}}}}, json::object()},
        {"a mesh of its own", true, {{{"id", 0}, {"name", "LODObjectParamBlock"}, {"params", {lodParam}}}},
         {{"mesh", {{"vertices", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}}, {"faces", {{0, 1, 2}}}}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PluginRegistry registry;
        Host scene;
        if (c.plugins) {
            ASSERT_TRUE(registry.loadLibrary(std::string(ZEQ_RUNTIME_DIR) + "/ZeqLOD.so"));
            scene.setPlugins(&registry);
        }
        json entry = {{"id", "Lod"},
                      {"kind", "object"},
                      {"superClass", "geometry"},
                      {"classId", {"0xB08FE489", "0x88D0FBBE"}},
                      {"name", "ZeqLOD"},
                      {"paramBlocks", c.blocks}};
        entry.update(c.extra);
        loadSceneDocument(scene, {{"objects", {entry}}, {"nodes", {{{"name", "TreeLOD"}, {"object", "Lod"}}}}});
        EXPECT_NE(dynamic_cast<GenericObject*>(scene.GetINodeByName("TreeLOD")->GetObjectRef()), nullptr);
        const json saved = saveSceneDocument(scene);
        ASSERT_EQ(saved["objects"].size(), 1u);
        EXPECT_EQ(saved["objects"][0]["paramBlocks"], c.blocks);
    }
}

}  // namespace
