// The LOD library as the host loads it, the two LOD tools acting on every LOD object of a scene,
// and the exporter reading a real LOD object's levels.
#include "support.h"

#include "format/file_io.h"
#include "format/scene_file.h"
#include "lod/lod_tools.h"

#include <filesystem>
#include <unistd.h>

namespace zeq::lodtest {
namespace {

using LodTools = LodTest;

TEST_F(LodTools, LibraryOffersTheObjectAndBothTools) {
    headless::PluginRegistry plugins;
    ASSERT_TRUE(plugins.loadLibrary(std::string(ZEQ_RUNTIME_DIR) + "/ZeqLOD.so")) << plugins.failures().front().reason;
    const headless::PluginLibraryInfo& library = plugins.libraries().front();
    EXPECT_EQ(library.description, "Zeq LOD object");
    EXPECT_EQ(library.version, HOST_SDK_VERSION);
    EXPECT_TRUE(library.canAutoDefer);  // the library may be loaded late
    struct Want {
        const char* name;
        const char* internal;
        SClass_ID superClass;
        Class_ID classId;
    };
    const Want want[] = {{"ZeqLOD", "ZeqLOD", GEOMOBJECT_CLASS_ID, LOD_OBJECT_CLASS_ID},
                         {"LOD's distance editor", "LODDistanceEditor", UTILITY_CLASS_ID, LOD_DISTANCE_EDITOR_CLASS_ID},
                         {"LOD's level selector", "LODLevelSelector", UTILITY_CLASS_ID, LOD_LEVEL_SELECTOR_CLASS_ID}};
    ASSERT_EQ(library.classes.size(), std::size(want));
    for (size_t i = 0; i < std::size(want); ++i) {
        const headless::PluginClass& cls = library.classes[i];
        EXPECT_EQ(cls.className, want[i].name);
        EXPECT_EQ(cls.internalName, want[i].internal);
        EXPECT_EQ(cls.superClassID, want[i].superClass);
        EXPECT_EQ(cls.classID, want[i].classId);
        EXPECT_EQ(cls.category, "Keldane");
        EXPECT_TRUE(cls.isPublic);
    }
    // The object made by the loaded library carries its block and names.
    host.setPlugins(&plugins);
    auto* object = static_cast<Object*>(host.CreateInstance(GEOMOBJECT_CLASS_ID, LOD_OBJECT_CLASS_ID));
    ASSERT_NE(object, nullptr);
    EXPECT_STREQ(object->GetObjectName(), "ZeqLOD");
    IParamBlock2* block = object->GetParamBlockByID(LOD_PARAM_BLOCK_ID);
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(block->GetLocalName(), "LODObjectParamBlock");
    EXPECT_EQ(block->GetParameterType(LOD_PARAM_NODES_LIST), TYPE_INODE_TAB);
    EXPECT_STREQ(block->GetParamName(LOD_PARAM_NODES_LIST), "Nodes list");
    host.scene().createNode("LOD")->SetObjectRef(object);
}

TEST_F(LodTools, DistanceEditorSetsLevelsAndTheExtraLevel) {
    LODObject* three = addLod("Three");
    headless::Node* threeNode = lodNode;
    addLevels(three, {{meshNode("A"), 1}, {meshNode("B"), 2}, {meshNode("C"), 3}});
    LODObject* two = addLod("Two");
    addLevels(two, {{meshNode("D"), 1}, {meshNode("E"), 2}});
    // Nested under another node: reached. Inside another LOD's levels: not reached.
    headless::Node* holder = meshNode("Holder");
    LODObject* nested = addLod("Nested", 10.0f, holder);
    addLevels(nested, {{meshNode("F"), 1}});
    LODObject* six = addLod("Six");
    headless::Node* sixNode = lodNode;
    for (const char* name : {"G1", "G2", "G3", "G4", "G5", "G6"}) addLevels(six, {{meshNode(name), 1000}});
    auto* hidden = new LODObject();
    headless::Node* hiddenNode = host.scene().createNode("InsideLevel", three->levelNode(0));
    hiddenNode->SetObjectRef(hidden);

    host.openUtility(GetLODDistanceEditorClassDesc());
    auto* page = host.ui().rollupPage(TheLODDistanceEditor().page());
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->title(), "LOD's distance editor");
    EXPECT_EQ(page->GetControlText(IDC_LEVEL_EDIT), "6");
    ASSERT_TRUE(page->enterValue(IDC_LEVEL_DISTANCE_SPIN[0], 10));
    ASSERT_TRUE(page->drag(IDC_LEVEL_DISTANCE_SPIN[2], 30));
    ASSERT_TRUE(page->enterValue(IDC_EXTRA_DISTANCE_SPIN, 500));
    ASSERT_TRUE(page->click(IDC_SET_DISTANCES));

    auto distances = [](LODObject* lod) {
        std::vector<float> d;
        for (int i = 0; i < lod->levelCount(); ++i) d.push_back(LODObject::levelDistance(lod->levelNode(i)));
        return d;
    };
    EXPECT_EQ(distances(three), (std::vector<float>{2, 10, 30}));  // level 2 kept, then sorted
    EXPECT_EQ(distances(two), (std::vector<float>{2, 10}));
    EXPECT_EQ(distances(nested), (std::vector<float>{10}));
    EXPECT_EQ(distances(six), (std::vector<float>{10, 30, 500, 1000, 1000, 1000}));
    EXPECT_EQ(hidden->levelCount(), 0);

    // "Only selected" limits the roots to the selection.
    ASSERT_TRUE(page->enterValue(IDC_LEVEL_DISTANCE_SPIN[0], 7));
    ASSERT_TRUE(page->enterValue(IDC_LEVEL_DISTANCE_SPIN[2], 0));
    ASSERT_TRUE(page->click(IDC_ONLY_SELECTED));
    host.SelectNode(threeNode);
    ASSERT_TRUE(page->click(IDC_SET_DISTANCES));
    EXPECT_EQ(LODObject::levelDistance(three->levelNode(0)), 7.0f);
    EXPECT_EQ(LODObject::levelDistance(six->levelNode(0)), 10.0f);
    (void)sixNode;

    host.closeUtility();
    EXPECT_FALSE(page->isOpen());
}

// A LOD object reached twice by the search (shown by two nodes, or selected together with an
// ancestor under "Only selected") takes "Set" once: a second pass would count levels in the first
// pass's order and move another level.
TEST_F(LodTools, DistanceEditorSetsEachLodObjectOnce) {
    for (const bool instanced : {true, false}) {
        SCOPED_TRACE(instanced ? "instanced" : "selected with an ancestor");
        headless::Node* holder = meshNode("Holder");
        LODObject* lod = addLod("LOD", 10.0f, holder);
        addLevels(lod, {{meshNode("A"), 10}, {meshNode("B"), 20}, {meshNode("C"), 30}});
        if (instanced) host.scene().createNode("Instance")->SetObjectRef(lod);
        host.openUtility(GetLODDistanceEditorClassDesc());
        auto* page = host.ui().rollupPage(TheLODDistanceEditor().page());
        ASSERT_NE(page, nullptr);
        if (!instanced) {
            ASSERT_TRUE(page->click(IDC_ONLY_SELECTED));
            host.SelectNode(holder);
            host.SelectNode(lodNode, false);
        }
        ASSERT_TRUE(page->enterValue(IDC_LEVEL_DISTANCE_SPIN[0], 50));
        ASSERT_TRUE(page->click(IDC_SET_DISTANCES));
        EXPECT_EQ(levelNames(lod), (std::vector<std::string>{"B", "C", "A"}));
        host.closeUtility();
    }
}

TEST_F(LodTools, LevelSelectorMakesTheSameLevelCurrentEverywhere) {
    LODObject* one = addLod("One");
    headless::Node* oneNode = lodNode;
    headless::Node* only = meshNode("Only");
    addLevels(one, {{only, 0}});
    LODObject* three = addLod("Three");
    headless::Node* threeNode = lodNode;
    headless::Node* first = meshNode("First");
    headless::Node* second = meshNode("Second");
    headless::Node* third = meshNode("Third");
    addLevels(three, {{first, 0}, {second, 10}, {third, 20}});

    host.openUtility(GetLODLevelSelectorClassDesc());
    auto* page = host.ui().rollupPage(TheLODLevelSelector().page());
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->GetControlText(IDC_LEVEL_EDIT), "1");
    ASSERT_TRUE(page->enterValue(IDC_LEVEL_SPIN, 2));
    const int redraws = host.redrawCount();
    ASSERT_TRUE(page->click(IDC_SELECTOR_SELECT));
    EXPECT_EQ(host.redrawCount(), redraws + 1);

    one->Display(0, oneNode, &view, 0);
    three->Display(0, threeNode, &view, 0);
    EXPECT_TRUE(only->IsHidden());
    EXPECT_TRUE(first->IsHidden());
    EXPECT_FALSE(second->IsHidden());
    EXPECT_TRUE(third->IsHidden());
    host.closeUtility();
}

// Both tools' pages: placed in the tools' category, spinners kept in range and shown in their
// linked fields, typed numbers taken into the spinners, mouse messages passed to the panel, and
// every control released when the tool closes.
TEST_F(LodTools, PagesLinkTheirSpinnersAndReleaseThemOnClose) {
    struct Tool {
        ClassDesc* desc;
        LODTool& tool;
        int levelLow;
    };
    for (const Tool& t : {Tool{GetLODDistanceEditorClassDesc(), TheLODDistanceEditor(), 6},
                          Tool{GetLODLevelSelectorClassDesc(), TheLODLevelSelector(), 1}}) {
        SCOPED_TRACE(t.desc->ClassName());
        host.openUtility(t.desc);
        headless::RollupPage* page = host.ui().rollupPage(t.tool.page());
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->category(), 4000);
        EXPECT_GT(page->heldControls(), 0);

        // The level spinner counts whole levels within its range, and its field follows it.
        ASSERT_TRUE(page->enterValue(IDC_LEVEL_SPIN, 0));
        EXPECT_EQ(page->GetNumericValue(IDC_LEVEL_SPIN), float(t.levelLow));
        ASSERT_TRUE(page->drag(IDC_LEVEL_SPIN, 7.6f));
        EXPECT_EQ(page->GetNumericValue(IDC_LEVEL_SPIN), 7.0f);
        EXPECT_EQ(page->GetControlText(IDC_LEVEL_EDIT), "7");
        ASSERT_TRUE(page->enterValue(IDC_LEVEL_SPIN, 5e9f));
        EXPECT_EQ(page->GetNumericValue(IDC_LEVEL_SPIN), 1000000.0f);
        // A number typed into the field moves the spinner; anything else leaves it.
        ASSERT_TRUE(page->enterText(IDC_LEVEL_EDIT, "12"));
        EXPECT_EQ(page->GetNumericValue(IDC_LEVEL_SPIN), 12.0f);
        ASSERT_TRUE(page->enterText(IDC_LEVEL_EDIT, "many"));
        EXPECT_EQ(page->GetNumericValue(IDC_LEVEL_SPIN), 12.0f);
        EXPECT_EQ(page->GetControlText(IDC_LEVEL_EDIT), "12");

        const size_t before = host.rollupMouseEvents().size();
        for (uint32_t message : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP}) EXPECT_EQ(page->send(message, 0, 0), 1);
        ASSERT_EQ(host.rollupMouseEvents().size(), before + 3);
        EXPECT_EQ(host.rollupMouseEvents().back().page, page->Handle());

        host.closeUtility();
        EXPECT_FALSE(page->isOpen());
        EXPECT_EQ(page->heldControls(), 0);
    }
}

TEST_F(LodTools, ExporterReadsARealLodObjectsLevels) {
    headless::PluginRegistry plugins;
    for (const char* file : {"/ZeqLOD.so", "/Export.so"})
        ASSERT_TRUE(plugins.loadLibrary(std::string(ZEQ_RUNTIME_DIR) + file)) << plugins.failures().front().reason;
    host.setPlugins(&plugins);
    auto* lod = static_cast<Object*>(host.CreateInstance(GEOMOBJECT_CLASS_ID, LOD_OBJECT_CLASS_ID));
    ASSERT_NE(lod, nullptr);
    INode* owner = host.CreateObjectNode(lod);
    owner->SetName("Tree");
    IParamBlock2* block = lod->GetParamBlockByID(LOD_PARAM_BLOCK_ID);
    block->SetValue(LOD_PARAM_ICON_SIZE, 0, 5.0f);
    lod->Display(0, owner, &view, 0);
    headless::Node* high = meshNode("High");
    headless::Node* low = meshNode("Low");
    ASSERT_TRUE(block->SetValue(LOD_PARAM_PICK_NODE, 0, static_cast<INode*>(low)));
    ASSERT_TRUE(block->SetValue(LOD_PARAM_PICK_NODE, 0, static_cast<INode*>(high)));
    low->SetUserPropFloat(LOD_DISTANCE_PROPERTY, 100.0f);
    lod->Display(0, owner, &view, 0);

    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("zeq_lod_export_" + std::to_string(::getpid()) + ".zeq");
    ASSERT_EQ(host.exportFile(file.string(), true), IMPEXP_SUCCESS);
    const SceneFile scene = decodeSceneFile(readFileBytes(file.string()));
    std::filesystem::remove(file);
    ASSERT_TRUE(scene.extra2.lods);
    ASSERT_EQ(scene.extra2.lods->size(), 1u);
    const Zeq2LOD& record = scene.extra2.lods->get(0);
    EXPECT_EQ(record.name, "Tree");
    ASSERT_EQ(record.distances.size(), 2u);
    EXPECT_EQ(record.distances.get(0), 100.0f);  // the list's order: Low was picked first
    EXPECT_EQ(record.distances.get(1), 0.0f);
    EXPECT_EQ(record.objectIds.size(), 2u);
}

}  // namespace
}  // namespace zeq::lodtest
