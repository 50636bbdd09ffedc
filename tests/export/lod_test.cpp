// Level-of-detail groups: the LOD helper object's level list and the "@LOD" naming rule.
#include "export/walker.h"
#include "walk_support.h"

namespace zeq::walktest {
namespace {

using LodTest = ExportTest;

constexpr const char* kWarning =
    "Wrong object name use pattern: XXXX@DIST_XXXXX, where X - any symbol, DIST = distance of LOD";

TEST(LodNameTest, DistanceIsParsedTheWayAtoiParses) {
    struct Case {
        const char* name;
        float distance;
        bool hasAt;
    };
    const Case cases[] = {
        {"a@50_x", 50, true},      {"b@200", 200, true},        {"c", 0, false},
        {"12abc", 12, false},      {"x@ 7_y", 7, true},         {"x@-30_y", -30, true},
        {"x@+4", 4, true},         {"x@_5", 0, true},           {"x@abc", 0, true},
        {"x@12.5_y", 12, true},    {"x@3@4", 3, true},          {"a_b@60", 60, true},
        {"x@99999999999", 2147483647.0f, true}, {"x@-99999999999", -2147483648.0f, true},
    };
    for (const Case& c : cases) {
        bool hasAt = !c.hasAt;
        EXPECT_EQ(lodDistanceFromName(c.name, hasAt), c.distance) << c.name;
        EXPECT_EQ(hasAt, c.hasAt) << c.name;
    }
    EXPECT_EQ(parseLeadingInt(" \t\n-0042z"), -42);
    EXPECT_EQ(parseLeadingInt("- 5"), 0);
    EXPECT_EQ(parseLeadingInt(""), 0);
}

TEST_F(LodTest, NamedGroupExportsItsChildrenAsPlainObjectsWithTheirDistances) {
    headless::Node* tree = scene().createNode("tree@LOD");
    tree->SetObjectRef(scene().newObject(HELPER_CLASS_ID, DUMMY_CLASS_ID));
    headless::Node* a = meshNode("a@50_x", tree);
    helperNode("b@200", tree);
    helperNode("c", tree);
    helperNode("under a", a);

    const Roots roots = convert();
    ASSERT_EQ(roots.root.objects->size(), 4u);
    EXPECT_TRUE(roots.root.meshes->empty()) << "a mesh level is a plain object without geometry";
    ASSERT_EQ(roots.extra2.lods->size(), 1u);
    const Zeq2LOD& lod = roots.extra2.lods->get(0);
    EXPECT_EQ(lod.name, "tree@LOD");
    EXPECT_EQ(lod.distances, (TArray<float>{50, 200, 0}));
    ASSERT_EQ(lod.objectIds.size(), 3u);
    for (const char* name : {"a@50_x", "b@200", "c"}) {
        const Zeq2Object* level = findByName(roots.root.objects, name);
        ASSERT_TRUE(level) << name;
        EXPECT_EQ(level->parentId, lod.id) << name;
    }
    EXPECT_EQ(lod.objectIds.get(0), findByName(roots.root.objects, "a@50_x")->id);
    // The level's own children keep the level as their parent.
    EXPECT_EQ(findByName(roots.root.objects, "under a")->parentId, lod.objectIds.get(0));

    const auto warnings = boxes("WARNING");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].text, kWarning);
    EXPECT_EQ(warnings[0].type, MB_OK);
}

TEST_F(LodTest, HelperObjectListsItsLevelsWithTheirDistanceProperty) {
    headless::Node* holder = scene().createNode("Detail");
    headless::GenericObject* lodObject = scene().newObject(GEOMOBJECT_CLASS_ID, LOD_OBJECT_CLASS_ID, "ZeqLOD");
    headless::ParamBlock* block = lodObject->addParamBlock(LOD_PARAM_BLOCK_ID, "LODObjectParamBlock");
    block->addParam(LOD_PARAM_NODES_LIST, "Nodes list", TYPE_INODE_TAB);
    holder->SetObjectRef(lodObject);

    headless::Node* near = meshNode("Near", holder);
    near->SetUserPropFloat(LOD_DISTANCE_PROPERTY, 10.5f);
    headless::Node* far = helperNode("Far", holder);
    far->SetUserPropFloat(LOD_DISTANCE_PROPERTY, 80.0f);
    headless::Node* unset = helperNode("Unset");
    INode* levels[] = {far, near, unset};
    block->Append(LOD_PARAM_NODES_LIST, 3, levels);

    const Roots roots = convert();
    ASSERT_EQ(roots.extra2.lods->size(), 1u);
    const Zeq2LOD& lod = roots.extra2.lods->get(0);
    EXPECT_EQ(lod.name, "Detail");
    // List order, not child order; a level without the property gets distance 0.
    EXPECT_EQ(lod.distances, (TArray<float>{80.0f, 10.5f, 0.0f}));
    EXPECT_EQ(lod.objectIds, (TArray<int64_t>{findByName(roots.root.objects, "Far")->id,
                                              findByName(roots.root.objects, "Near")->id,
                                              findByName(roots.root.objects, "Unset")->id}));
    for (const char* name : {"Far", "Near", "Unset"}) EXPECT_EQ(findByName(roots.root.objects, name)->parentId, lod.id);
    EXPECT_TRUE(roots.root.meshes->empty());
    EXPECT_TRUE(boxes("WARNING").empty());
}

// Levels hang below the LOD node's own record, whose world matrix is the node's (with a pivot
// offset that is the node's Zeq2Object, not the offset LOD record), and keep their world place
// when that is not their scene parent.
TEST_F(LodTest, LevelsKeepTheirWorldPlacement) {
    headless::Node* named = scene().createNode("Grp@LOD");
    named->SetObjectRef(scene().newObject(HELPER_CLASS_ID, DUMMY_CLASS_ID));
    named->setLocalTM(TransMatrix({10, 0, 0}));
    named->setObjectOffset(TransMatrix({0, 0, 5}));
    helperNode("lvl@50", named)->setLocalTM(TransMatrix({1, 0, 0}));

    struct Helper {
        headless::Node* node;
        headless::ParamBlock* block;
    };
    auto lodHelper = [&](const char* name, Point3 at, bool offset) {
        headless::Node* node = scene().createNode(name);
        headless::GenericObject* object = scene().newObject(GEOMOBJECT_CLASS_ID, LOD_OBJECT_CLASS_ID, "ZeqLOD");
        headless::ParamBlock* block = object->addParamBlock(LOD_PARAM_BLOCK_ID);
        block->addParam(LOD_PARAM_NODES_LIST, "Nodes list", TYPE_INODE_TAB);
        node->SetObjectRef(object);
        node->setLocalTM(TransMatrix(at));
        if (offset) node->setObjectOffset(TransMatrix({0, 0, 5}));
        return Helper{node, block};
    };
    const Helper offsetHelper = lodHelper("Offset", {0, 20, 0}, true);
    const Helper plainHelper = lodHelper("Plain", {0, 30, 0}, false);
    headless::Node* child = helperNode("Child", offsetHelper.node);
    child->setLocalTM(TransMatrix({0, 0, 1}));
    headless::Node* far = helperNode("Far");  // levels elsewhere in the scene
    far->setLocalTM(TransMatrix({0, 20, 0}));
    headless::Node* away = helperNode("Away");  // moving: its keys are relative to its LOD node too
    away->addKey(0, TransMatrix({4, 0, 0}));
    away->addKey(160, TransMatrix({4, 0, 2}));
    INode* offsetLevels[] = {child, far};
    offsetHelper.block->Append(LOD_PARAM_NODES_LIST, 2, offsetLevels);
    INode* plainLevels[] = {away};
    plainHelper.block->Append(LOD_PARAM_NODES_LIST, 1, plainLevels);

    exportOptions().animation = true;
    const Roots roots = convert();
    // World translation of a record: its own plus those of the records above it (no rotations here).
    auto world = [&](int64_t id) {
        Point3 sum(0, 0, 0);
        for (std::optional<int64_t> at = id; at;) {
            std::optional<int64_t> next;
            auto step = [&](const auto& list) {
                for (const auto& record : list->items) {
                    if (record.id != *at) continue;
                    const ZeqMatrix& m = record.transform->matrix;
                    sum = sum + Point3(m.d, m.h, m.l);
                    next = record.parentId;
                }
            };
            step(roots.root.objects);
            step(roots.extra2.lods);
            at = next;
        }
        return sum;
    };
    const struct {
        const char* level;
        const char* lodNode;
        Point3 place;
    } cases[] = {
        {"lvl@50", "Grp@LOD", {11, 0, 0}},
        {"Child", "Offset", {0, 20, 1}},
        {"Far", "Offset", {0, 20, 0}},
        {"Away", "Plain", {4, 0, 0}},
    };
    for (const auto& c : cases) {
        const Zeq2Object* level = findByName(roots.root.objects, c.level);
        ASSERT_TRUE(level) << c.level;
        EXPECT_EQ(level->parentId, IdRegistry::instance().idFor(scene().findNode(c.lodNode))) << c.level;
        EXPECT_EQ(world(level->id), c.place) << c.level;
    }
    ASSERT_EQ(roots.root.tracks->size(), 1u);
    const Zeq2Track& track = roots.root.tracks->get(0);
    EXPECT_EQ(track.objectName, "Away");
    EXPECT_EQ(track.keyframes.get(0).transform, *findByName(roots.root.objects, "Away")->transform);
    const ZeqMatrix& last = track.keyframes.get(track.keyframes.size() - 1).transform.matrix;
    EXPECT_EQ(Point3(last.d, last.h, last.l), Point3(4, -30, 2));

    // Tracks alone key the level as they do beside its records, below its LOD node.
    exportOptions().animationOnly = true;
    const Roots tracksAlone = convert();
    EXPECT_EQ(tracksAlone.root.tracks, roots.root.tracks);
}

// Entries that hold no node, the LOD node itself or one of its ancestors are no levels: the last two
// would make the parent chain a loop, which a selected-only export would otherwise write. A level
// listed twice is written once.
TEST_F(LodTest, HelperObjectWithoutBlockOrWithDeletedOrLoopingLevelsStillExports) {
    headless::Node* bare = scene().createNode("Bare");
    bare->SetObjectRef(scene().newObject(GEOMOBJECT_CLASS_ID, LOD_OBJECT_CLASS_ID, "ZeqLOD"));

    headless::Node* outer = helperNode("Outer");
    headless::Node* holder = scene().createNode("Holder", outer);
    headless::GenericObject* lodObject = scene().newObject(GEOMOBJECT_CLASS_ID, LOD_OBJECT_CLASS_ID, "ZeqLOD");
    headless::ParamBlock* block = lodObject->addParamBlock(LOD_PARAM_BLOCK_ID);
    block->addParam(LOD_PARAM_NODES_LIST, "Nodes list", TYPE_INODE_TAB);
    holder->SetObjectRef(lodObject);
    headless::Node* gone = helperNode("Gone", holder);
    headless::Node* kept = helperNode("Kept", holder);
    INode* levels[] = {gone, holder, kept, outer, kept};
    block->Append(LOD_PARAM_NODES_LIST, 5, levels);
    gone->DeleteThis();

    for (const bool selectedOnly : {false, true}) {
        SCOPED_TRACE(selectedOnly);
        exportOptions().selectedOnly = selectedOnly;
        host.SelectNode(holder);
        const Roots roots = convert();
        const Zeq2LOD* lod = findByName(roots.extra2.lods, "Holder");
        ASSERT_NE(lod, nullptr);
        EXPECT_EQ(lod->objectIds, TArray<int64_t>{findByName(roots.root.objects, "Kept")->id});
        EXPECT_EQ(lod->distances.size(), 1u);
        if (const Zeq2Object* record = findByName(roots.root.objects, "Outer")) {
            EXPECT_NE(record->parentId, lod->id);
        }
        if (!selectedOnly) {
            EXPECT_TRUE(findByName(roots.extra2.lods, "Bare")->objectIds.empty());
        }
    }

    // Two LOD nodes, each below the other's level in the scene, both selected: the second one
    // written hangs below its own level already, which is no level then.
    auto lodNode = [&](const char* name, INode* parent, INode* level) {
        headless::Node* node = scene().createNode(name, parent);
        headless::GenericObject* object = scene().newObject(GEOMOBJECT_CLASS_ID, LOD_OBJECT_CLASS_ID, "ZeqLOD");
        headless::ParamBlock* levels = object->addParamBlock(LOD_PARAM_BLOCK_ID);
        levels->addParam(LOD_PARAM_NODES_LIST, "Nodes list", TYPE_INODE_TAB);
        levels->Append(LOD_PARAM_NODES_LIST, 1, &level);
        node->SetObjectRef(object);
        return node;
    };
    headless::Node* levelOfA = helperNode("LevelOfA");
    headless::Node* levelOfB = helperNode("LevelOfB");
    headless::Node* a = lodNode("A", levelOfB, levelOfA);
    headless::Node* b = lodNode("B", levelOfA, levelOfB);
    host.ClearNodeSelection();
    host.SelectNode(a, false);
    host.SelectNode(b, false);
    const Roots roots = convert();
    EXPECT_EQ(findByName(roots.extra2.lods, "A")->objectIds, TArray<int64_t>{findByName(roots.root.objects, "LevelOfA")->id});
    EXPECT_TRUE(findByName(roots.extra2.lods, "B")->objectIds.empty());
    EXPECT_EQ(findByName(roots.root.objects, "LevelOfB"), nullptr) << "not selected and no level";
}

}  // namespace
}  // namespace zeq::walktest
