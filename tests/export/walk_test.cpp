// The scene walk: classification, visiting order, ids, parents, transforms and pivot offsets.
#include "export/node_kind.h"
#include "export/transformation.h"
#include "export/walker.h"
#include "walk_support.h"

namespace zeq::walktest {
namespace {

using WalkTest = ExportTest;

Zeq2Transform transformOf(const Matrix3& m) { return TransformationFactory::createTransformation(m); }

TEST(TransformationTest, RecordRowsAreHostColumnsWithTranslationLast) {
    Matrix3 m(Point3(1, 2, 3), Point3(4, 5, 6), Point3(7, 8, 9), Point3(10, 11, 12));
    const ZeqMatrix out = TransformationFactory::createTransformation(m).matrix;
    EXPECT_EQ(out, (ZeqMatrix{1, 4, 7, 10, 2, 5, 8, 11, 3, 6, 9, 12}));
}

TEST_F(WalkTest, ClassificationRules) {
    auto nodeWith = [&](const std::string& name, Object* object) {
        headless::Node* node = scene().createNode(name);
        node->SetObjectRef(object);
        return node;
    };
    auto generic = [&](SClass_ID super, Class_ID id) { return scene().newObject(super, id); };

    struct Case {
        INode* node;
        NodeKind kind;
    };
    headless::Node* controlled = nodeWith("controlled", generic(GEOMOBJECT_CLASS_ID, BOX_OBJECT_CLASS_ID));
    controlled->setTMControllerClass(JOINT_CONTROL_C_CLASS_ID);
    auto* wrappedShape = scene().newDerivedObject(generic(SHAPE_CLASS_ID, SPLINE_SHAPE_CLASS_ID));
    auto* source = generic(GEOMOBJECT_CLASS_ID, Class_ID(0x1234, 0x5678));
    source->setSourceObject(scene().newObject(GEOMOBJECT_CLASS_ID, SPRITE_CLASS_ID));
    auto* emptySource = generic(GEOMOBJECT_CLASS_ID, Class_ID(0x1234, 0x5679));
    emptySource->setSourceObject(nullptr);
    auto* convertible = generic(GEOMOBJECT_CLASS_ID, BOX_OBJECT_CLASS_ID);
    convertible->setMesh(triangleMesh());

    const Case cases[] = {
        {scene().createNode("empty"), NodeKind::Object},
        {nodeWith("mesh", scene().newTriObject(triangleMesh())), NodeKind::Mesh},
        {nodeWith("box", convertible), NodeKind::Mesh},
        {nodeWith("plain geom", generic(GEOMOBJECT_CLASS_ID, BOX_OBJECT_CLASS_ID)), NodeKind::Object},
        {nodeWith("bone A", generic(GEOMOBJECT_CLASS_ID, JOINT_OBJECT_A_CLASS_ID)), NodeKind::Joint},
        {nodeWith("bone C", generic(GEOMOBJECT_CLASS_ID, JOINT_OBJECT_C_CLASS_ID)), NodeKind::Joint},
        {controlled, NodeKind::Joint},
        {nodeWith("lod", generic(GEOMOBJECT_CLASS_ID, LOD_OBJECT_CLASS_ID)), NodeKind::LodObject},
        {nodeWith("sprite", generic(GEOMOBJECT_CLASS_ID, SPRITE_CLASS_ID)), NodeKind::Sprite},
        {nodeWith("sourced", source), NodeKind::Sprite},
        {nodeWith("sourceless", emptySource), NodeKind::Object},
        {nodeWith("tree@LOD", scene().newTriObject(triangleMesh())), NodeKind::LodGroup},
        {nodeWith("tree@lod", scene().newTriObject(triangleMesh())), NodeKind::Mesh},
        {scene().createNode("group@LOD"), NodeKind::Object},
        {nodeWith("dir", scene().newLight(DIR_LIGHT)), NodeKind::DirectionalLight},
        {nodeWith("omni", scene().newLight(OMNI_LIGHT)), NodeKind::OmniLight},
        {nodeWith("free spot", scene().newLight(FSPOT_LIGHT)), NodeKind::SpotLight},
        {nodeWith("target spot", scene().newLight(TSPOT_LIGHT)), NodeKind::Object},
        {nodeWith("target dir", scene().newLight(TDIR_LIGHT)), NodeKind::Object},
        {nodeWith("shape", generic(SHAPE_CLASS_ID, SPLINE_SHAPE_CLASS_ID)), NodeKind::Object},
        {nodeWith("mesh shape", generic(SHAPE_CLASS_ID, MESH_SHAPE_B_CLASS_ID)), NodeKind::Mesh},
        {nodeWith("wrapped shape", wrappedShape), NodeKind::Mesh},
        {nodeWith("dummy", generic(HELPER_CLASS_ID, DUMMY_CLASS_ID)), NodeKind::Helper},
        {nodeWith("bone helper", generic(HELPER_CLASS_ID, Class_ID(JOINT_HELPER_CLASS_PART_A, 7))), NodeKind::Joint},
        {nodeWith("camera", scene().newCamera(0.8f)), NodeKind::Object},
    };
    for (const Case& c : cases) EXPECT_EQ(classify(c.node), c.kind) << c.node->GetName();
}

TEST_F(WalkTest, SkinnedNodeIsASkin) {
    headless::Node* bone = helperNode("Bone");
    headless::SkinModifier* skin = scene().newSkin();
    skin->addBone(bone, Matrix3());
    auto* stack = scene().newDerivedObject(scene().newTriObject(triangleMesh()));
    stack->AddModifier(skin);
    headless::Node* skinned = scene().createNode("Skinned");
    skinned->SetObjectRef(stack);
    EXPECT_EQ(classify(skinned), NodeKind::Skin);
}

TEST_F(WalkTest, MainPassVisitsDepthFirstInHostOrder) {
    headless::Node* a = helperNode("A");
    helperNode("A1", a);
    helperNode("A2", a);
    helperNode("A1a", a->GetChildNode(0));
    helperNode("B");
    const Roots roots = convert();
    EXPECT_EQ(namesOf(roots.root.objects), (std::vector<std::string>{"A", "A1", "A1a", "A2", "B"}));
    // Ids are handed out in visiting order.
    const auto& objects = roots.root.objects->items;
    for (std::size_t i = 1; i < objects.size(); ++i) EXPECT_LT(objects[i - 1].id, objects[i].id);
}

TEST_F(WalkTest, BonesComeFirstAsJointsWhateverTheirKind) {
    headless::Node* hips = meshNode("Hips");
    headless::Node* spine = helperNode("Spine", hips);
    meshNode("Earlier");
    headless::SkinModifier* skin = scene().newSkin();
    skin->addBone(spine, Matrix3());
    skin->addBone(hips, Matrix3());
    auto* stack = scene().newDerivedObject(scene().newTriObject(triangleMesh()));
    stack->AddModifier(skin);
    headless::Node* body = scene().createNode("Body");
    body->SetObjectRef(stack);
    skin->setNumPoints(3);
    for (int v = 0; v < 3; ++v) skin->addWeight(v, 0, 1.0f);

    const Roots roots = convert();
    ASSERT_TRUE(roots.root.joints);
    EXPECT_EQ(namesOf(roots.root.joints), (std::vector<std::string>{"Spine", "Hips"}));
    const Zeq2Joint* jointSpine = findByName(roots.root.joints, "Spine");
    const Zeq2Joint* jointHips = findByName(roots.root.joints, "Hips");
    // The bone keeps its host parent although that parent was converted after it.
    EXPECT_EQ(jointSpine->parentId, jointHips->id);
    EXPECT_FALSE(jointHips->parentId);
    // Bones are not exported a second time as meshes or objects.
    EXPECT_EQ(namesOf(roots.root.meshes), std::vector<std::string>{"Earlier"});
    EXPECT_EQ(namesOf(roots.root.skins), std::vector<std::string>{"Body"});
    // Every other record has a larger id than the bones.
    EXPECT_GT(findByName(roots.root.meshes, "Earlier")->id, jointHips->id);
}

TEST_F(WalkTest, NodeRecordParentsTransformsAndVisibility) {
    headless::Node* parent = helperNode("Parent");
    parent->setLocalTM(TransMatrix({10, 0, 0}));
    headless::Node* child = meshNode("Child", parent);
    child->setLocalTM(RotateZMatrix(0.5f) * TransMatrix({0, 2, 0}));
    child->Hide(true);

    const Roots roots = convert();
    const Zeq2Object* p = findByName(roots.root.objects, "Parent");
    const Zeq2Mesh* c = findByName(roots.root.meshes, "Child");
    ASSERT_TRUE(p && c);
    EXPECT_FALSE(p->parentId);
    EXPECT_EQ(p->transform, transformOf(TransMatrix({10, 0, 0})));
    EXPECT_TRUE(p->visible);
    EXPECT_EQ(c->parentId, p->id);
    const ZeqMatrix expected = transformOf(RotateZMatrix(0.5f) * TransMatrix({0, 2, 0})).matrix;
    const ZeqMatrix actual = c->transform->matrix;
    EXPECT_NEAR(actual.a, expected.a, 1e-5f);
    EXPECT_NEAR(actual.b, expected.b, 1e-5f);
    EXPECT_NEAR(actual.d, expected.d, 1e-5f);
    EXPECT_NEAR(actual.h, expected.h, 1e-5f);
    EXPECT_FALSE(c->visible);
}

TEST_F(WalkTest, TransformsAreSampledAtTheRangeStart) {
    headless::Node* node = helperNode("Moving");
    node->addKey(480, TransMatrix({1, 0, 0}));
    node->addKey(960, TransMatrix({5, 0, 0}));
    host.SetAnimRange(Interval(960, 1600));
    const Roots roots = convert();
    EXPECT_EQ(findByName(roots.root.objects, "Moving")->transform, transformOf(TransMatrix({5, 0, 0})));
}

TEST_F(WalkTest, PivotOffsetGivesAnObjectAndAContentRecordBothInTheLayer) {
    headless::Layer* layer = scene().newLayer("Props");
    headless::Node* node = meshNode("Offset");
    node->SetLayer(layer);
    node->setLocalTM(TransMatrix({0, 0, 5}));
    node->setObjectOffset(TransMatrix({1, 2, 3}));

    const Roots roots = convert();
    const Zeq2Object* holder = findByName(roots.root.objects, "Offset");
    const Zeq2Mesh* mesh = findByName(roots.root.meshes, "Offset");
    ASSERT_TRUE(holder && mesh);
    EXPECT_EQ(holder->id, IdRegistry::instance().idFor(node));
    EXPECT_EQ(holder->transform, transformOf(TransMatrix({0, 0, 5})));
    EXPECT_NE(mesh->id, holder->id);
    EXPECT_EQ(mesh->parentId, holder->id);
    EXPECT_EQ(mesh->transform, transformOf(TransMatrix({1, 2, 3})));

    const Zeq2Layer* props = findByName(roots.extra1.layers, "Props");
    ASSERT_TRUE(props);
    EXPECT_EQ(props->objectIds, (TArray<int64_t>{holder->id, mesh->id}));

    // Scaled to nothing (as a node that grows in starts), or so far up that a tiny offset moves its
    // object a long way, the node keeps its offset.
    headless::Node* grown = meshNode("Grown");
    grown->setLocalTM(ScaleMatrix({0, 0, 0}));
    grown->setObjectOffset(TransMatrix({0, 0, -2}));
    headless::Node* huge = meshNode("Huge");
    huge->setLocalTM(ScaleMatrix({1e5f, 1e5f, 1e5f}));
    huge->setObjectOffset(TransMatrix(Point3(0.0f, 0.0f, 9e-7f)));
    const Roots again = convert();
    for (const auto& [name, offset] : {std::pair{"Grown", -2.0f}, {"Huge", 9e-7f}}) {
        const Zeq2Mesh* content = findByName(again.root.meshes, name);
        ASSERT_TRUE(content && findByName(again.root.objects, name)) << name;
        EXPECT_EQ(content->transform, transformOf(TransMatrix(Point3(0.0f, 0.0f, offset)))) << name;
    }
}

TEST_F(WalkTest, PlainObjectsHelpersAndJointsIgnoreTheirPivotOffset) {
    headless::Node* helper = helperNode("Helper");
    helper->setObjectOffset(TransMatrix({1, 0, 0}));
    const Roots roots = convert();
    ASSERT_EQ(roots.root.objects->size(), 1u);
    EXPECT_EQ(roots.root.objects->get(0).transform, transformOf(Matrix3()));
}

TEST_F(WalkTest, SelectedOnlyWalksTheSelectionWithoutDescendants) {
    headless::Node* parent = helperNode("Parent");
    parent->setLocalTM(TransMatrix({3, 0, 0}));
    headless::Node* second = helperNode("Second", parent);
    second->setLocalTM(TransMatrix({0, 4, 0}));
    helperNode("Grandchild", second);
    headless::Node* first = helperNode("First");
    host.SelectNode(second);
    host.SelectNode(first, false);
    exportOptions().selectedOnly = true;

    const Roots roots = convert();
    EXPECT_EQ(namesOf(roots.root.objects), (std::vector<std::string>{"Second", "First"}));
    // The parent is not exported, yet the record names it and stays parent-relative.
    const Zeq2Object* record = findByName(roots.root.objects, "Second");
    EXPECT_EQ(record->parentId, IdRegistry::instance().idFor(parent));
    EXPECT_EQ(record->transform, transformOf(TransMatrix({0, 4, 0})));
}

TEST_F(WalkTest, RootListsAreFilledAndNeverWrittenListsStayAbsent) {
    meshNode("Box");
    const Roots roots = convert();
    const Zeq2& root = roots.root;
    EXPECT_TRUE(root.ambientLights && root.objects && root.meshes && root.skins && root.omniLights &&
                root.spotLights && root.directionalLights && root.joints && root.sprites && root.vertexBuffers &&
                root.indexBuffers && root.materials && root.maps && root.cubeMaps && root.images && root.boxes);
    EXPECT_FALSE(root.animationClips || root.decals || root.tracks);
    EXPECT_TRUE(roots.extra1.layers && roots.extra2.lods);
    EXPECT_FALSE(roots.extra2.cameras);
    EXPECT_EQ(root.boxes->size(), 1u);
    EXPECT_TRUE(BoxFactory::instance().boxes().empty()) << "the box list is handed over";
}

TEST_F(WalkTest, MeshInstancesShareGeometry) {
    Object* shared = scene().newTriObject(triangleMesh());
    scene().createNode("One")->SetObjectRef(shared);
    scene().createNode("Two")->SetObjectRef(shared);
    const Roots roots = convert();
    const Zeq2Mesh* one = findByName(roots.root.meshes, "One");
    const Zeq2Mesh* two = findByName(roots.root.meshes, "Two");
    EXPECT_NE(one->id, two->id);
    EXPECT_EQ(one->vertexBufferIds, two->vertexBufferIds);
    EXPECT_EQ(one->indexBufferId, two->indexBufferId);
    EXPECT_EQ(one->boundBoxId, two->boundBoxId);
    EXPECT_EQ(roots.root.vertexBuffers->size(), 1u);
}

// Kept last: the exporter's node ids outlive this test's nodes, and a later test whose nodes reuse
// their addresses would inherit them.
TEST_F(WalkTest, MeshesUnderStacksOfWorldSpaceModifiersKeepTheirGeometry) {
    // A mesh under a stack of any of the three wrapper classes is converted with its geometry,
    // not exported as a plain object.
    for (SClass_ID wrapper : {GEN_DERIVOB_CLASS_ID, DERIVOB_CLASS_ID, WSM_DERIVOB_CLASS_ID}) {
        auto* modified = scene().newDerivedObject(scene().newTriObject(triangleMesh()), wrapper);
        modified->AddModifier(scene().newModifier(Class_ID(0x55, 0x66), "space warp"));
        scene().createNode("Wrapped" + std::to_string(wrapper))->SetObjectRef(modified);
    }
    const Roots roots = convert();
    for (SClass_ID wrapper : {GEN_DERIVOB_CLASS_ID, DERIVOB_CLASS_ID, WSM_DERIVOB_CLASS_ID}) {
        const std::string name = "Wrapped" + std::to_string(wrapper);
        EXPECT_EQ(classify(host.GetINodeByName(name.c_str())), NodeKind::Mesh) << name;
        const Zeq2Mesh* mesh = findByName(roots.root.meshes, name);
        ASSERT_NE(mesh, nullptr) << name;
        EXPECT_EQ(mesh->vertexBufferIds.size(), 1u) << name;
        EXPECT_TRUE(mesh->boundBoxId) << name;
        EXPECT_EQ(findByName(roots.root.objects, name), nullptr) << name;
    }
    EXPECT_FALSE(roots.missingGeometry);
}

}  // namespace
}  // namespace zeq::walktest
