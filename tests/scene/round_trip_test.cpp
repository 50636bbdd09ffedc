// Scene documents: saving a scene and loading the result gives the same scene (the demo scene, and a
// scene made the way the importer makes one), and the demo scene holds what the exporter handles.
#include "headless/demo_scene.h"
#include "headless/scene_document.h"
#include "host/plugin_classes.h"
#include "support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <limits>
#include <set>

namespace {

using namespace headless;
using nlohmann::json;
using scene_test::allNodes;
using scene_test::expectSameScene;

TEST(SceneDocumentRoundTrip, DemoSaveLoadSaveGivesTheSameDocumentAndScene) {
    Host demo;
    buildDemoScene(demo);
    const json first = saveSceneDocument(demo);
    {
        Host copy;
        loadSceneDocument(copy, first);
        const json second = saveSceneDocument(copy);
        EXPECT_EQ(first.dump(1), second.dump(1));
        expectSameScene(demo, copy);
    }
    // The hand-written demo text and its saved form describe the same scene.
    Host fromText;
    loadSceneDocument(fromText, json::parse(demoSceneDocument()));
    expectSameScene(demo, fromText);
}

TEST(SceneDocumentRoundTrip, KeepsWhatTheImporterCreates) {
    Host source;
    ImportInterface ii(source);

    // A quad as the importer builds it: faces with material ids 0 and 2, texture channel 1 and
    // explicit normals.
    TriObject* tri = CreateNewTriObject();
    Mesh& mesh = tri->mesh;
    mesh.setNumVerts(4);
    mesh.verts = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    mesh.setNumFaces(2);
    mesh.faces[0].setVerts(0, 1, 2);
    mesh.faces[1].setVerts(2, 3, 0);
    mesh.faces[1].setMatID(2);
    mesh.faces[0].setSmGroup(1);
    mesh.setMapSupport(1);
    mesh.Map(1).setNumVerts(4);
    mesh.Map(1).tv = {{0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}, {1.0f, 1.0f, 0.0f}, {0.0f, 1.0f, 0.5f}};
    mesh.Map(1).tf[0].setTVerts(0, 1, 2);
    mesh.Map(1).tf[1].setTVerts(2, 3, 0);
    mesh.SpecifyNormals();
    MeshNormalSpec* normals = mesh.GetSpecifiedNormals();
    normals->SetNumFaces(2);
    for (int f = 0; f < 2; ++f)
        for (int k = 0; k < 3; ++k) normals->SetNormal(f, k, Point3(0.0f, 0.1f * k, 1.0f).Normalize());

    BitmapTex* texture = NewDefaultBitmapTex();
    texture->SetMapName("C:\\maps\\paint.png");
    StdMat* paint = NewDefaultStdMat();
    paint->SetName("Paint");
    paint->SetSubTexmap(ID_DI, texture);
    paint->SetMtlFlag(MTL_TEX_DISPLAY_ENABLED);
    paint->SetActiveTexmap(texture);
    paint->SetDiffuse(Color(0.1f, 0.2f, 0.3f), 0);
    MultiMtl* multi = NewDefaultMultiMtl();
    multi->SetName("Multi");
    multi->SetNumSubMtls(3);
    multi->SetSubMtl(0, paint);
    multi->SetSubMtl(2, NewDefaultStdMat());

    // Two nodes share the quad and have the same name; a third has none. The importer links
    // children to parents after creating every node.
    ImpNode* first = ii.CreateNode();
    first->Reference(tri);
    first->SetName("Quad");
    first->SetTransform(0, TransMatrix({1, 2, 3}));
    ii.AddNodeToScene(first);
    ImpNode* second = ii.CreateNode();
    second->Reference(tri);
    second->SetName("Quad");
    Matrix3 turned = RotateZMatrix(0.5f);
    turned.SetTrans({4, 5, 6});
    second->SetTransform(0, turned);
    ii.AddNodeToScene(second);
    first->GetINode()->AttachChild(second->GetINode(), true);
    first->GetINode()->SetMtl(multi);
    second->GetINode()->SetMtl(paint);
    first->GetINode()->SetUserPropInt(zeq::PROTOCOL_ID_PROPERTY, 7);
    second->GetINode()->SetUserPropInt(zeq::PROTOCOL_ID_PROPERTY, 8);

    GenLight* light = ii.CreateLightObject(FSPOT_LIGHT);
    light->SetRGBColor(0, {1.0f, 0.5f, 0.25f});
    light->SetIntensity(0, 2.0f);
    light->SetAtten(0, ATTEN_START, 3.0f);
    light->SetAtten(0, ATTEN_END, 9.0f);
    light->SetHotspot(0, 20.0f);
    light->SetFallsize(0, 35.0f);
    light->SetUseAtten(1);
    ImpNode* unnamed = ii.CreateNode();
    unnamed->Reference(light);
    unnamed->SetTransform(0, TransMatrix({0, 0, 5}));
    ii.AddNodeToScene(unnamed);
    ii.SetAmbient(0, {0.5f, 0.25f, 0.125f});

    const json saved = saveSceneDocument(source);
    // The second "Quad" and the unnamed node are told apart by ids.
    ASSERT_EQ(saved["nodes"].size(), 3u);
    EXPECT_EQ(saved["nodes"][1]["id"], "Quad#2");
    EXPECT_EQ(saved["nodes"][1]["parent"], "Quad");
    EXPECT_EQ(saved["nodes"][2]["id"], "node#1");
    EXPECT_EQ(saved["objects"].size(), 2u);  // the shared quad once, and the light

    Host copy;
    loadSceneDocument(copy, saved);
    expectSameScene(source, copy);
    EXPECT_EQ(saved.dump(1), saveSceneDocument(copy).dump(1));
    // Both nodes still share one object.
    const auto nodes = allNodes(copy.GetRootNode());
    EXPECT_EQ(nodes[0]->GetObjectRef(), nodes[1]->GetObjectRef());
    auto* copiedPaint = dynamic_cast<StdMat*>(nodes[1]->GetMtl());
    ASSERT_NE(copiedPaint, nullptr);
    EXPECT_EQ(nodes[0]->GetMtl()->GetSubMtl(0), copiedPaint);
    EXPECT_STREQ(static_cast<BitmapTex*>(copiedPaint->GetSubTexmap(ID_DI))->GetMapName(), "C:\\maps\\paint.png");
    EXPECT_TRUE(copiedPaint->TestMtlFlag(MTL_TEX_DISPLAY_ENABLED));
    EXPECT_EQ(copiedPaint->GetActiveTexmap(), copiedPaint->GetSubTexmap(ID_DI));
}

TEST(SceneDocumentRoundTrip, ReferencesReachTheRightNodeAmongNamesakes) {
    Host source;
    Scene& scene = source.scene();
    Node* a = scene.createNode("Box");
    Node* b = scene.createNode("Box");
    b->setLocalTM(TransMatrix({5, 0, 0}));
    GenericObject* lod = scene.newObject(zeq::LOD_OBJECT_SUPER_CLASS_ID, zeq::LOD_OBJECT_CLASS_ID, "ZeqLOD");
    ParamBlock* block = lod->addParamBlock(zeq::LOD_PARAM_BLOCK_ID);
    block->addParam(zeq::LOD_PARAM_NODES_LIST, "Nodes list", TYPE_INODE_TAB);
    INode* levels[] = {b, a};
    block->Append(zeq::LOD_PARAM_NODES_LIST, 2, levels);
    block->addParam(7, "limits", TYPE_FLOAT_TAB);
    const float limits[] = {std::numeric_limits<float>::infinity(), 0.1f};
    block->Append(7, 2, limits);
    scene.createNode("Helper")->SetObjectRef(lod);

    const json saved = saveSceneDocument(source);
    const json& values = saved["objects"][0]["paramBlocks"][0]["params"][0]["value"];
    EXPECT_EQ(values, json::array({"Box#2", "Box"}));
    // Floats are written with the shortest text that reads back the same; infinity as a string.
    EXPECT_EQ(saved["objects"][0]["paramBlocks"][0]["params"][1]["value"].dump(), "[\"inf\",0.1]");

    Host copy;
    loadSceneDocument(copy, saved);
    INode* helper = copy.GetINodeByName("Helper");
    IParamBlock2* copied = helper->GetObjectRef()->GetParamBlock(0);
    EXPECT_EQ(copied->GetINode(zeq::LOD_PARAM_NODES_LIST, 0, 0)->GetNodeTM(0).GetTrans(), Point3(5, 0, 0));
    EXPECT_EQ(copied->GetINode(zeq::LOD_PARAM_NODES_LIST, 0, 1)->GetNodeTM(0).GetTrans(), Point3(0, 0, 0));
    EXPECT_EQ(copied->GetFloat(7, 0, 0), std::numeric_limits<float>::infinity());
    EXPECT_EQ(copied->GetFloat(7, 0, 1), 0.1f);
}

// A nameless bitmap takes the name of its file as id, without the folder, also a Windows one.
TEST(SceneDocumentRoundTrip, NamelessBitmapsTakeTheirFileNameAsId) {
    Host host;
    Scene& scene = host.scene();
    StandardMaterial* paint = scene.newStdMat("Paint");
    paint->SetSubTexmap(ID_DI, scene.newBitmapTex("C:\\tex\\wood.png", 1));
    paint->SetSubTexmap(ID_SP, scene.newBitmapTex("maps/stone.png", 1));
    scene.createNode("N")->SetMtl(paint);
    std::set<std::string> ids;
    const json saved = saveSceneDocument(host);
    for (const json& map : saved["maps"]) ids.insert(map["id"].get<std::string>());
    EXPECT_EQ(ids, (std::set<std::string>{"wood.png", "stone.png"}));
}

TEST(SceneDocumentRoundTrip, FilesAreWrittenWholeAndReadBack) {
    scene_test::ScratchFolder folder;
    const std::string path = folder.file("scene.json");
    {
        std::ofstream old(path);
        old << "old content";
    }
    Host demo;
    buildDemoScene(demo);
    saveSceneDocumentFile(demo, path);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"scene.json"});  // no temporary file left

    Host copy;
    loadSceneDocumentFile(copy, path);
    expectSameScene(demo, copy);

    // A target in a missing folder fails and leaves nothing behind.
    EXPECT_THROW(saveSceneDocumentFile(demo, folder.file("missing/scene.json")), std::runtime_error);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"scene.json"});
}

TEST(SceneDocumentLoad, AddsToTheSceneAndSetsOnlyTheSettingsItNames) {
    Host host;
    host.scene().createNode("Existing");
    host.SetTicksPerFrame(200);
    loadSceneDocument(host, json::parse(R"({"renderSize": [320, 200],
        "layers": [{"name": "0", "hidden": true}, {"name": "Extra"}],
        "nodes": [{"name": "New", "layer": "Extra"}], "selection": ["New"]})"));
    EXPECT_NE(host.GetINodeByName("Existing"), nullptr);
    INode* added = host.GetINodeByName("New");
    ASSERT_NE(added, nullptr);
    EXPECT_STREQ(added->GetLayer()->GetName(), "Extra");
    EXPECT_TRUE(host.scene().defaultLayer()->IsHidden());
    EXPECT_EQ(host.GetTicksPerFrame(), 200);
    EXPECT_EQ(host.GetRendWidth(), 320);
    EXPECT_EQ(host.GetRendHeight(), 200);
    ASSERT_EQ(host.GetSelNodeCount(), 1);
    EXPECT_EQ(host.GetSelNode(0), added);
}

// The host stores user properties as text: numbers keep the text the document gives them, so a long
// integer or an exponent is not rounded through a double, nor refused beyond one.
TEST(SceneDocumentLoad, UserPropertiesKeepNumbersAsWritten) {
    Host host;
    loadSceneDocumentText(host, R"({"nodes": [{"name": "N", "userProperties":
        {"a": 50, "b": 50.0, "c": 1e3, "d": 123456789012345678901234567890, "e": true, "f": 1e999}}]})");
    INode* node = host.GetINodeByName("N");
    ASSERT_NE(node, nullptr);
    for (const auto& [key, text] : {std::pair{"a", "50"}, {"b", "50.0"}, {"c", "1e3"},
                                    {"d", "123456789012345678901234567890"}, {"e", "true"}, {"f", "1e999"}}) {
        std::string value;
        EXPECT_TRUE(node->GetUserPropString(key, value) && value == text) << key << ": " << value;
    }
}

// What the export side relies on: every kind of content of the demo is there and every mesh can be
// exported with tangents.
TEST(DemoScene, HoldsEveryKindOfContentTheExporterHandles) {
    Host host;
    buildDemoScene(host);
    auto node = [&](const char* name) {
        INode* n = host.GetINodeByName(name);
        EXPECT_NE(n, nullptr) << name;
        return n;
    };

    // The crate: a multi-material used through ids 1 and 3, shown by two nodes, one animated.
    INode* crate = node("Crate01");
    EXPECT_EQ(crate->GetObjectRef(), node("Crate02")->GetObjectRef());
    const Mesh& crateMesh = static_cast<TriObject*>(crate->GetObjectRef())->mesh;
    std::set<int> ids;
    for (const Face& f : crateMesh.faces) ids.insert(f.getMatID());
    EXPECT_EQ(ids, (std::set<int>{1, 3}));
    Mtl* multi = crate->GetMtl();
    EXPECT_EQ(multi->ClassID(), MULTI_CLASS_ID);
    EXPECT_EQ(multi->GetSubMtl(1)->ClassID(), DMTL_CLASS_ID);
    EXPECT_EQ(multi->GetSubMtl(3)->ClassID(), DMTL_CLASS_ID);
    Mtl* planks = multi->GetSubMtl(1);
    EXPECT_EQ(planks->GetSubTexmap(ID_DI)->ClassID(), BMTEX_CLASS_ID);
    EXPECT_EQ(planks->GetSubTexmap(ID_BU)->GetSubTexmap(0)->ClassID(), BMTEX_CLASS_ID);
    Texmap* sky = planks->GetSubTexmap(ID_RL);
    EXPECT_EQ(sky->ClassID(), ACUBIC_CLASS_ID);
    for (int face = 0; face < 6; ++face) EXPECT_NE(sky->GetParamBlock(0)->GetStr(ACUBIC_BITMAP_NAMES_PARAM, 0, face), nullptr);
    INode* moving = node("Crate02");
    const Interval range = host.GetAnimRange();
    EXPECT_FALSE(moving->GetNodeTM(range.Start()).Equals(moving->GetNodeTM((range.Start() + range.End()) / 2)));
    EXPECT_FALSE(moving->GetNodeTM(range.Start()).Equals(moving->GetNodeTM(range.End())));

    // The skinned arm with two bones.
    auto* stack = dynamic_cast<IDerivedObject*>(node("Arm")->GetObjectRef());
    ASSERT_NE(stack, nullptr);
    auto* skin = static_cast<ISkin*>(stack->GetModifier(0)->GetInterface(I_SKIN));
    ASSERT_NE(skin, nullptr);
    EXPECT_EQ(skin->GetNumBones(), 2);

    // Lights of the three exported kinds, and a camera.
    EXPECT_EQ(node("Sun")->GetObjectRef()->ClassID(), DIR_LIGHT_CLASS_ID);
    EXPECT_EQ(node("Bulb")->GetObjectRef()->ClassID(), OMNI_LIGHT_CLASS_ID);
    EXPECT_EQ(node("Spot")->GetObjectRef()->ClassID(), FSPOT_LIGHT_CLASS_ID);
    EXPECT_EQ(node("Camera01")->GetObjectRef()->SuperClassID(), CAMERA_CLASS_ID);

    // The "@LOD" group, the LOD helper with its levels and distances, the sprite.
    EXPECT_EQ(node("Tree@LOD")->NumberOfChildren(), 3);
    INode* lod = node("TreeLOD");
    EXPECT_EQ(lod->GetObjectRef()->ClassID(), zeq::LOD_OBJECT_CLASS_ID);
    IParamBlock2* levels = lod->GetObjectRef()->GetParamBlock(0);
    ASSERT_EQ(levels->Count(zeq::LOD_PARAM_NODES_LIST), 2);
    for (int i = 0; i < 2; ++i) {
        INode* level = levels->GetINode(zeq::LOD_PARAM_NODES_LIST, 0, i);
        float distance = -1;
        EXPECT_TRUE(level->GetUserPropFloat(zeq::LOD_DISTANCE_PROPERTY, distance));
        EXPECT_EQ(level->GetParentNode(), lod);
    }
    INode* sprite = node("Flare");
    EXPECT_EQ(sprite->GetObjectRef()->ClassID(), zeq::SPRITE_CLASS_ID);
    EXPECT_EQ(sprite->GetObjectRef()->GetParamBlock(0)->GetFloat(zeq::SPRITE_PARAM_WIDTH), 64.0f);
    EXPECT_EQ(sprite->GetMtl()->ClassID(), DMTL_CLASS_ID);

    // Pivot offset, layers.
    EXPECT_FALSE(node("Pedestal")->GetObjectTM(0).Equals(node("Pedestal")->GetNodeTM(0)));
    EXPECT_STREQ(crate->GetLayer()->GetName(), "Props");
    EXPECT_STREQ(node("Sun")->GetLayer()->GetName(), "Lights");

    // Every mesh: valid indices, texture channel 1, far below the vertex limit.
    for (INode* n : allNodes(host.GetRootNode())) {
        Object* object = n->GetObjectRef();
        if (!object || !object->CanConvertToType(TRIOBJ_CLASS_ID)) continue;
        Object* converted = object->ConvertToType(0, TRIOBJ_CLASS_ID);
        const Mesh& m = static_cast<TriObject*>(converted)->mesh;
        EXPECT_TRUE(m.CheckIndices()) << n->GetName();
        EXPECT_TRUE(m.mapSupport(1)) << n->GetName();
        EXPECT_LT(m.getNumVerts(), 1000) << n->GetName();
    }
}

}  // namespace

namespace {

// The complete example of docs/scene-format.md is the demo scene, so the documentation cannot drift
// from a document the loader takes.
TEST(SceneFormatDocumentation, CompleteExampleIsTheDemoScene) {
    // ZEQ_TEST_DATA_DIR is <source>/tests/data (the folder need not exist).
    const auto source = std::filesystem::path(ZEQ_TEST_DATA_DIR).parent_path().parent_path();
    std::ifstream in(source / "docs" / "scene-format.md");
    ASSERT_TRUE(in) << "docs/scene-format.md not found";
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string fence = "```json\n";
    const size_t start = text.rfind(fence);
    ASSERT_NE(start, std::string::npos);
    const size_t end = text.find("```", start + fence.size());
    ASSERT_NE(end, std::string::npos);
    const nlohmann::json example = nlohmann::json::parse(text.substr(start + fence.size(), end - start - fence.size()));
    EXPECT_EQ(example, nlohmann::json::parse(headless::demoSceneDocument()));
}

}  // namespace
