// Engine parameters on scene objects: defaults, the stored chunks, the target set of a write,
// classification and the alpha walk.
#include "support.h"

#include <cstring>

namespace zeq::test {
namespace {

using ParamStore = ParamsTest;

TEST_F(ParamStore, FreshObjectReadsTheDefaults) {
    INode* box = meshNode("Box");
    EXPECT_EQ(store.alpha(box), 1.0f);
    EXPECT_STREQ(BlendModeNames[store.blendMode(box)], "normal");
    EXPECT_EQ(store.sorting(box), Sorting::NONE);
    EXPECT_EQ(store.clipping(box), Clipping::FACE_CLIPPING);
    EXPECT_EQ(store.threshold(box), 0.01f);
    EXPECT_EQ(store.flag(box, AXIS_ALIGNED_BOUND_BOX, 1), 1);
    EXPECT_EQ(store.flag(box, OBJECT_ORIENTED_BOUND_BOX, 1), 1);
    EXPECT_EQ(store.flag(box, OPTIMIZE), 0);
    EXPECT_EQ(store.containerType(box), ContainerType::OBJECT3D);
    EXPECT_EQ(store.readObjectInt(box, SORTING), kParamUnsetInt);
    EXPECT_EQ(store.readObjectFloat(box, ALPHA), kParamUnsetFloat);
    store.setLastChosenHelperType(3);
    EXPECT_EQ(store.helperType(box), 3);

    // Nodes without an object, and no node at all, read the defaults as well.
    INode* empty = scene.createNode("Empty");
    EXPECT_EQ(store.alpha(empty), 1.0f);
    EXPECT_EQ(store.readObjectInt(nullptr, BLEND_MODE), kParamUnsetInt);
}

TEST_F(ParamStore, WritesOneFourByteChunkPerBaseObject) {
    headless::Node* box = meshNode("Box");
    select({box});
    store.writeInt(BLEND_MODE, *blendModeIndex("screen"));
    store.writeInt(BLEND_MODE, *blendModeIndex("screen"));
    store.writeFloat(THRESHOLD, 0.25f);
    Object* object = box->GetObjectRef();
    ASSERT_EQ(object->NumAppDataChunks(), 2);
    AppDataChunk* blend = chunk(object, BLEND_MODE);
    ASSERT_NE(blend, nullptr);
    ASSERT_EQ(blend->length, 4u);
    const uint8_t want[4] = {12, 0, 0, 0};  // little-endian int32 12
    EXPECT_EQ(std::memcmp(blend->data, want, 4), 0);
    EXPECT_EQ(store.threshold(box), 0.25f);
    EXPECT_EQ(box->NumAppDataChunks(), 0);  // slots 0 to 12 live on the object, not the node

    // A stored sentinel counts as unset; a chunk too short for a value is ignored.
    store.writeInt(object, CLIPPING, kParamUnsetInt);
    EXPECT_EQ(store.clipping(box), Clipping::FACE_CLIPPING);
    void* shortData = HostAlloc(2);
    std::memset(shortData, 0, 2);
    object->AddAppDataChunk(KELDANE_GUP_CLASS_ID, KELDANE_GUP_SUPER_CLASS_ID, SORTING, 2, shortData);
    EXPECT_EQ(store.readObjectInt(box, SORTING), kParamUnsetInt);
    // A longer chunk is read from its start.
    void* longData = HostAlloc(8);
    const int32_t values[2] = {1, 99};
    std::memcpy(longData, values, 8);
    object->AddAppDataChunk(KELDANE_GUP_CLASS_ID, KELDANE_GUP_SUPER_CLASS_ID, SORTING, 8, longData);
    EXPECT_EQ(store.sorting(box), Sorting::DYNAMIC_BSP);
}

TEST_F(ParamStore, InstancesShareAndModifiersAreLookedThrough) {
    headless::Node* a = meshNode("A");
    headless::Node* b = scene.createNode("B");
    b->SetObjectRef(a->GetObjectRef());
    headless::Node* c = scene.createNode("C");
    c->SetObjectRef(scene.newDerivedObject(a->GetObjectRef()));
    select({a});
    store.writeInt(SORTING, static_cast<int>(Sorting::AVERAGE_Z));
    EXPECT_EQ(store.sorting(b), Sorting::AVERAGE_Z);
    EXPECT_EQ(store.sorting(c), Sorting::AVERAGE_Z);
}

TEST_F(ParamStore, TargetSetLeavesOutMembersOfSelectedGroups) {
    headless::Node* head = scene.createNode("Group");
    head->SetGroupHead(true);
    head->SetObjectRef(scene.newObject(HELPER_CLASS_ID, Class_ID(0x1234, 0), "Dummy"));
    headless::Node* member = meshNode("Member", head);
    headless::Node* other = meshNode("Other");
    INode* empty = scene.createNode("Empty");
    select({member, head, empty, other});
    const std::vector<INode*> targets = EngineParamStore::targetSet(&host);
    EXPECT_EQ(targets, (std::vector<INode*>{head, empty, other}));

    store.writeInt(SPLITTER, 1);
    EXPECT_EQ(store.flag(head, SPLITTER), 1);
    EXPECT_EQ(store.flag(other, SPLITTER), 1);
    EXPECT_EQ(store.flag(member, SPLITTER), 0);
    EXPECT_TRUE(EngineParamStore::targetSet(nullptr).empty());
}

TEST_F(ParamStore, Classification) {
    auto nodeOf = [&](Class_ID classId, headless::MeshConversion conversion) {
        headless::GenericObject* object = scene.newObject(GEOMOBJECT_CLASS_ID, classId);
        if (conversion != headless::MeshConversion::None) {
            Mesh mesh;
            object->setMesh(mesh, conversion);
        }
        headless::Node* node = scene.createNode("N");
        node->SetObjectRef(object);
        return node;
    };
    using K = EngineObjectKind;
    using C = headless::MeshConversion;
    EXPECT_EQ(classifyNode(meshNode("Box")), K::GEOMETRY);
    EXPECT_EQ(classifyNode(nodeOf(SPRITE_CLASS_ID, C::Triangle)), K::GEOMETRY);
    EXPECT_EQ(classifyNode(nodeOf(HELPER_LIST_0_CLASS_ID, C::Triangle)), K::HELPER_LIST_0);
    EXPECT_EQ(classifyNode(nodeOf(HELPER_LIST_1_CLASS_ID, C::PolygonOnly)), K::HELPER_LIST_1);
    EXPECT_EQ(classifyNode(nodeOf(HELPER_LIST_2_CLASS_ID, C::Triangle)), K::HELPER_LIST_2);
    EXPECT_EQ(classifyNode(nodeOf(LOD_OBJECT_CLASS_ID, C::Triangle)), K::OTHER_ENGINE);
    EXPECT_EQ(classifyNode(nodeOf(OTHER_ENGINE_CLASS_ID, C::Triangle)), K::OTHER_ENGINE);
    // Without a mesh form, or of the excluded class, no parameters at all.
    EXPECT_EQ(classifyNode(nodeOf(HELPER_LIST_0_CLASS_ID, C::None)), K::NONE);
    EXPECT_EQ(classifyNode(nodeOf(NO_ENGINE_PARAMS_CLASS_ID, C::Triangle)), K::NONE);
    EXPECT_EQ(classifyNode(scene.createNode("Empty")), K::NONE);
    EXPECT_EQ(classifyNode(nullptr), K::NONE);
    // A group head is a container whatever it shows.
    headless::Node* head = nodeOf(HELPER_LIST_0_CLASS_ID, C::None);
    head->SetGroupHead(true);
    EXPECT_EQ(classifyNode(head), K::CONTAINER);
}

// Every node showing a selected object shows the alpha once: directly, or inherited from a node
// above that took it (an instance below an instance, even one that did not inherit, and another
// selected object below such an instance).
TEST_F(ParamStore, AlphaReachesEveryInstanceOnce) {
    headless::Node* parent = meshNode("Parent");
    headless::Node* child = meshNode("Child", parent);
    child->SetObjectRef(parent->GetObjectRef());  // an instance below an instance
    child->SetInheritVisibility(false);
    headless::Node* below = meshNode("Below", child);
    headless::Node* cut = meshNode("Cut", below);  // inherits nothing, so passes nothing on
    cut->SetInheritVisibility(false);
    headless::Node* underCut = scene.createNode("UnderCut", cut);
    underCut->SetObjectRef(parent->GetObjectRef());
    headless::Node* group = scene.createNode("Group");
    headless::Node* nested = scene.createNode("Nested", group);
    nested->SetObjectRef(parent->GetObjectRef());
    headless::Node* other = meshNode("Other");
    select({parent, below});
    const int redraws = host.redrawCount();
    applyAlpha(store, 0.5f);

    EXPECT_EQ(parent->GetVisibility(0), 0.5f);
    EXPECT_TRUE(parent->GetInheritVisibility());
    EXPECT_EQ(nested->GetVisibility(0), 0.5f);
    EXPECT_EQ(underCut->GetVisibility(0), 0.5f);
    for (INode* inheriting : {child, below}) {
        EXPECT_EQ(inheriting->GetVisibility(0), 1.0f) << inheriting->GetName();
        EXPECT_TRUE(inheriting->GetInheritVisibility()) << inheriting->GetName();
    }
    EXPECT_EQ(other->GetVisibility(0), 1.0f);
    EXPECT_EQ(store.alpha(nested), 0.5f);
    EXPECT_EQ(store.alpha(below), 0.5f);
    EXPECT_EQ(store.alpha(other), 1.0f);
    EXPECT_EQ(host.redrawCount(), redraws + 1);
}

}  // namespace
}  // namespace zeq::test
