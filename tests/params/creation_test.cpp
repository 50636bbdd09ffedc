// The creation path (create mode, created nodes, carry-over when the new node's base object is
// replaced), the LOD node routing and start and stop of the utility.
#include "panels_support.h"

namespace zeq::test {
namespace {

using Creation = PanelsTest;
using Titles = std::vector<std::string>;

TEST_F(Creation, OnlyTheFirstNodePerEntryIntoCreateModeIsServed) {
    host.createNodeInteractively(triangle(), "Outside");
    EXPECT_TRUE(openTitles().empty()) << "not in create mode";

    host.enterCommandMode(CREATE_COMMAND);
    headless::Node* first = host.createNodeInteractively(triangle(), "First");
    EXPECT_EQ(openTitles(), (Titles{"Zeq Object Parameters", "Zeq Parameters"}));
    EXPECT_TRUE(gup->panels().creationPagesOpen());
    host.createNodeInteractively(triangle(), "Second");
    EXPECT_EQ(host.ui().rollupPages().size(), 2u);

    // The pages write to the selection, which is the new node.
    ASSERT_TRUE(objectPage()->click(IDC_SORT_AVERAGE_Z));
    EXPECT_EQ(store.sorting(host.GetSelNode(0)), Sorting::AVERAGE_Z);
    EXPECT_EQ(store.sorting(first), Sorting::NONE);

    // A selection change leaves the creation pages; leaving the mode takes them down.
    selectAndNotify({});
    EXPECT_EQ(openTitles().size(), 2u);
    host.enterCommandMode(1);
    EXPECT_TRUE(openTitles().empty());
    EXPECT_FALSE(gup->panels().creationPagesOpen());

    // Entering again serves the next node.
    host.enterCommandMode(CREATE_COMMAND);
    host.createNodeInteractively(triangle(), "Third");
    EXPECT_EQ(openTitles().size(), 2u);
    host.leaveCommandMode();
    EXPECT_TRUE(openTitles().empty());
}

TEST_F(Creation, PagesFollowTheCreatedClass) {
    setHelperTypeList(0, {"a", "b"}, true);
    const auto created = [&](Class_ID classId, SClass_ID superClass) {
        host.enterCommandMode(CREATE_COMMAND);
        headless::GenericObject* object = scene.newObject(superClass, classId, "Object");
        Mesh mesh;
        mesh.setNumVerts(3);
        mesh.setNumFaces(1);
        object->setMesh(mesh);
        host.createNodeInteractively(object, "Node");
        Titles titles = openTitles();
        host.leaveCommandMode();
        return titles;
    };
    EXPECT_EQ(created(SPRITE_CLASS_ID, GEOMOBJECT_CLASS_ID), (Titles{"Zeq Object Parameters", "Zeq Parameters"}));
    EXPECT_EQ(created(HELPER_LIST_0_CLASS_ID, HELPER_CLASS_ID), (Titles{"Types"}));
    EXPECT_TRUE(created(HELPER_LIST_2_CLASS_ID, HELPER_CLASS_ID).empty()) << "its list has no names";
    EXPECT_EQ(created(LOD_OBJECT_CLASS_ID, GEOMOBJECT_CLASS_ID), (Titles{"Zeq Parameters"}));
    EXPECT_TRUE(created(NO_ENGINE_PARAMS_CLASS_ID, GEOMOBJECT_CLASS_ID).empty());

    // Objects without a mesh form get nothing.
    host.enterCommandMode(CREATE_COMMAND);
    host.createNodeInteractively(scene.newObject(HELPER_CLASS_ID, DUMMY_CLASS_ID, "Dummy"), "Dummy");
    EXPECT_TRUE(openTitles().empty());
    EXPECT_FALSE(gup->panels().creationMode()) << "the first created node used up the entry";
}

TEST_F(Creation, ReplacedBaseObjectKeepsTheCarriedOverSlots) {
    host.enterCommandMode(CREATE_COMMAND);
    headless::Node* node = host.createNodeInteractively(triangle(), "Box");
    ASSERT_TRUE(gup->watch().isWatched(node));
    ASSERT_EQ(gup->references().NumRefs(), 2);
    EXPECT_EQ(gup->references().GetReference(0), node);

    store.writeFloat(ALPHA, 0.5f);
    store.writeInt(BLEND_MODE, 3);
    store.writeInt(SORTING, 0);
    store.writeInt(OPTIMIZE, 1);
    store.writeFloat(THRESHOLD, 9.0f);
    store.writeInt(CLIPPING, 1);
    store.writeInt(CONTAINER_TYPE, 2);
    store.writeInt(AXIS_ALIGNED_BOUND_BOX, 0);
    store.writeInt(OBJECT_ORIENTED_BOUND_BOX, 0);
    store.writeInt(SPLITTER, 1);
    store.writeInt(BASE_GEOMETRY, 1);
    store.writeInt(SORT_BY_Z, 1);

    // The stack is collapsed to a new object; the host reports the node's change.
    Object* old = node->GetObjectRef();
    node->SetObjectRef(triangle());
    node->NotifyDependents(FOREVER, PART_ALL, REFMSG_NODE_HANDLE_CHANGED);
    EXPECT_EQ(store.alpha(node), 0.5f);
    EXPECT_EQ(store.blendMode(node), 3);
    EXPECT_EQ(store.sorting(node), Sorting::STATIC_BSP);
    EXPECT_EQ(store.flag(node, OPTIMIZE), 1);
    EXPECT_EQ(store.threshold(node), 9.0f);
    EXPECT_EQ(store.clipping(node), Clipping::FACE_CULLING);
    EXPECT_EQ(store.containerType(node), ContainerType::BSP_TREE);
    EXPECT_EQ(store.flag(node, AXIS_ALIGNED_BOUND_BOX, 1), 0);
    EXPECT_EQ(store.flag(node, OBJECT_ORIENTED_BOUND_BOX, 1), 1);
    EXPECT_EQ(store.flag(node, SPLITTER), 0);
    EXPECT_EQ(store.flag(node, BASE_GEOMETRY), 0);
    EXPECT_EQ(store.flag(node, SORT_BY_Z), 0);
    EXPECT_EQ(gup->references().GetReference(1), node->GetObjectRef());
    EXPECT_NE(old, node->GetObjectRef());
}

TEST_F(Creation, DeletedObjectsAndNodesAreDroppedNotRead) {
    host.enterCommandMode(CREATE_COMMAND);
    headless::Node* node = host.createNodeInteractively(triangle(), "Box");
    store.writeFloat(ALPHA, 0.5f);

    // The old object is deleted before the node reports: nothing is read from it.
    Object* old = node->GetObjectRef();
    node->SetObjectRef(triangle());
    old->DeleteThis();
    EXPECT_EQ(gup->references().GetReference(1), nullptr);
    node->NotifyDependents(FOREVER, PART_ALL, REFMSG_NODE_HANDLE_CHANGED);
    EXPECT_EQ(store.alpha(node), 1.0f);

    // A deleted node leaves the watch and the references.
    node->DeleteThis();
    EXPECT_EQ(gup->watch().size(), 0u);
    EXPECT_EQ(gup->references().GetReference(0), nullptr);
}

// A stand-in for the host interface that is told about LOD nodes.
class LodNodesInterface : public FPInterface {
public:
    LodNodesInterface() {
        desc_.id = LOD_NODES_CORE_INTERFACE_ID;
        desc_.flags = FP_CORE;
        desc_.functions = {{10, "levelNode", FPType::Void, {{"node", FPType::Node}}},
                           {11, "lodNode", FPType::Void, {{"node", FPType::Node}}}};
    }
    const FPInterfaceDesc& GetDesc() override { return desc_; }
    int Invoke(int fid, FPValue&, const FPParams& params) override {
        calls.emplace_back(fid, params.at(0).asNode());
        return FPS_OK;
    }
    std::vector<std::pair<int, INode*>> calls;

private:
    FPInterfaceDesc desc_;
};

TEST_F(Creation, NodeTableGoesToTheLodInterface) {
    headless::Node* lod = objectNode("LOD", LOD_OBJECT_CLASS_ID);
    headless::Node* level = meshNode("Level", lod);
    headless::Node* box = meshNode("Box");
    INodeTab table{box, level, lod, nullptr};

    BroadcastNotification(NOTIFY_NODE_TABLE, &table);  // no interface: nothing happens
    LodNodesInterface lodInterface;
    ASSERT_EQ(RegisterCOREInterface(&lodInterface), 1);
    BroadcastNotification(NOTIFY_NODE_TABLE, &table);
    BroadcastNotification(NOTIFY_NODE_TABLE, nullptr);
    INodeTab empty;
    BroadcastNotification(NOTIFY_NODE_TABLE, &empty);
    const std::vector<std::pair<int, INode*>> expected{{10, level}, {11, lod}};
    EXPECT_EQ(lodInterface.calls, expected);
    UnRegisterCOREInterface(&lodInterface);
}

TEST_F(Creation, StopUnregistersEverything) {
    host.enterCommandMode(CREATE_COMMAND);
    host.createNodeInteractively(triangle(), "Box");
    selectAndNotify({meshNode("Other")});
    ASSERT_EQ(openTitles().size(), 4u);

    gup->Stop();
    EXPECT_TRUE(openTitles().empty()) << "every page goes";
    EXPECT_EQ(gup->references().NumRefs(), 0);
    selectAndNotify({meshNode("Third")});
    host.leaveCommandMode();
    host.enterCommandMode(CREATE_COMMAND);
    host.createNodeInteractively(triangle(), "Fourth");
    EXPECT_TRUE(openTitles().empty());
    EXPECT_FALSE(gup->panels().creationMode());

    // Started again, it follows the host once more (each handler once).
    gup->Start();
    int seen = 0;
    selectAndNotify({meshNode("Fifth")});
    for (const auto& p : host.ui().rollupPages()) seen += p->isOpen() ? 1 : 0;
    EXPECT_EQ(seen, 2);
}

}  // namespace
}  // namespace zeq::test
