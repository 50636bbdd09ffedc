// Child order of containers and carry-over of parameters to a replaced base object.
#include "params/child_order.h"
#include "params/param_watch.h"
#include "support.h"

namespace zeq::test {
namespace {

using ChildOrder = ParamsTest;
using ParamCarryOver = ParamsTest;

TEST_F(ChildOrder, UnsetChildrenTakeTheirHostPositions) {
    headless::Node* head = scene.createNode("Group");
    head->SetGroupHead(true);
    INode* a = meshNode("A", head);
    INode* b = meshNode("B", head);
    INode* c = meshNode("C", head);
    EXPECT_EQ(childOrderList(store, head), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(store.childOrder(a), 0);
    EXPECT_EQ(store.childOrder(c), 2);
    EXPECT_EQ(a->NumAppDataChunks(), 1);  // stored on the child node itself

    // Moving: B down swaps with C; the first line cannot go up, the last not down.
    EXPECT_EQ(moveChild(store, head, 1, +1), 2);
    EXPECT_EQ(childOrderList(store, head), (std::vector<std::string>{"A", "C", "B"}));
    EXPECT_EQ(store.childOrder(b), 2);
    EXPECT_EQ(moveChild(store, head, 0, -1), std::nullopt);
    EXPECT_EQ(moveChild(store, head, 2, +1), std::nullopt);
    EXPECT_EQ(childOrderList(store, head), (std::vector<std::string>{"A", "C", "B"}));
}

// Stored positions that leave holes, clash or lie outside the container (a member deleted, a child
// brought in from another container): the list shows every child, and each stores its line again,
// so that Up and Down reach every child.
TEST_F(ChildOrder, PositionsThatLeaveChildrenOutArePackedAgain) {
    constexpr int32_t U = kParamUnsetInt;
    struct Case {
        const char* what;
        std::vector<int32_t> stored;  // of A, B, C
        std::vector<std::string> shown;
    };
    const Case cases[] = {
        {"past the last child", {U, 7, U}, {"A", "C", "B"}},
        {"negative", {U, -5, U}, {"A", "C", "B"}},
        {"-1 is no position", {1, 0, -1}, {"B", "A", "C"}},
        {"a hole", {0, 2, U}, {"A", "B", "C"}},
        {"a clash", {1, 0, 0}, {"B", "C", "A"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        headless::Node* head = scene.createNode("Group");
        INode* children[] = {meshNode("A", head), meshNode("B", head), meshNode("C", head)};
        for (int i = 0; i < 3; ++i)
            if (c.stored[i] != U) store.writeChildOrder(children[i], c.stored[i]);
        EXPECT_EQ(childOrderList(store, head), c.shown);
        for (int line = 0; line < 3; ++line)
            EXPECT_EQ(store.childOrder(children[c.shown[line][0] - 'A']), line);
        ASSERT_EQ(moveChild(store, head, 1, +1), 2);
        EXPECT_EQ(childOrderList(store, head), (std::vector<std::string>{c.shown[0], c.shown[2], c.shown[1]}));
    }
    // A deleted member leaves the others listed.
    headless::Node* head = scene.createNode("Group");
    headless::Node* a = meshNode("A", head);
    INode* b = meshNode("B", head);
    meshNode("C", head);
    ASSERT_EQ(childOrderList(store, head), (std::vector<std::string>{"A", "B", "C"}));
    a->DeleteThis();
    EXPECT_EQ(childOrderList(store, head), (std::vector<std::string>{"B", "C"}));
    EXPECT_EQ(store.childOrder(b), 0);
    EXPECT_TRUE(childOrderList(store, nullptr).empty());
}

TEST_F(ParamCarryOver, ReplacedBaseObjectKeepsTheCarriedSlots) {
    headless::Node* node = meshNode("Box");
    Object* old = node->GetObjectRef();
    ParamWatch watch(store);
    watch.watch(node);
    select({node});
    store.writeFloat(ALPHA, 0.5f);
    store.writeInt(BLEND_MODE, 12);
    store.writeInt(SORTING, 1);
    store.writeInt(OPTIMIZE, 1);
    store.writeFloat(THRESHOLD, 3.5f);
    store.writeInt(CLIPPING, 0);
    store.writeInt(CONTAINER_TYPE, 2);
    store.writeInt(AXIS_ALIGNED_BOUND_BOX, 0);
    store.writeInt(OBJECT_ORIENTED_BOUND_BOX, 0);
    store.writeInt(SPLITTER, 1);
    store.writeInt(BASE_GEOMETRY, 1);
    store.writeInt(SORT_BY_Z, 1);

    EXPECT_FALSE(watch.nodeChanged(node));  // same object: nothing to do
    node->SetObjectRef(triangle());
    EXPECT_TRUE(watch.nodeChanged(node));
    EXPECT_NE(node->GetObjectRef(), old);
    EXPECT_EQ(store.alpha(node), 0.5f);
    EXPECT_EQ(store.blendMode(node), 12);
    EXPECT_EQ(store.sorting(node), Sorting::DYNAMIC_BSP);
    EXPECT_EQ(store.flag(node, OPTIMIZE), 1);
    EXPECT_EQ(store.threshold(node), 3.5f);
    EXPECT_EQ(store.clipping(node), Clipping::BOUND_CULLING);
    EXPECT_EQ(store.containerType(node), ContainerType::BSP_TREE);
    EXPECT_EQ(store.flag(node, AXIS_ALIGNED_BOUND_BOX, 1), 0);
    EXPECT_EQ(store.flag(node, OBJECT_ORIENTED_BOUND_BOX, 1), 1);
    EXPECT_EQ(store.flag(node, SPLITTER), 0);
    EXPECT_EQ(store.flag(node, BASE_GEOMETRY), 0);
    EXPECT_EQ(store.flag(node, SORT_BY_Z), 0);
    EXPECT_EQ(node->GetObjectRef()->NumAppDataChunks(), 8);  // unset slots are not written
}

TEST_F(ParamCarryOver, OnlyWatchedNodesAndLiveObjects) {
    headless::Node* node = meshNode("Box");
    headless::Node* unwatched = meshNode("Other");
    ParamWatch watch(store);
    watch.watch(node);
    store.writeFloat(node->GetObjectRef(), ALPHA, 0.25f);
    store.writeFloat(unwatched->GetObjectRef(), ALPHA, 0.25f);

    unwatched->SetObjectRef(triangle());
    EXPECT_FALSE(watch.nodeChanged(unwatched));
    EXPECT_EQ(store.alpha(unwatched), 1.0f);

    // The old object is gone before the change is reported: nothing can be read from it.
    Object* old = node->GetObjectRef();
    node->SetObjectRef(triangle());
    watch.forget(old);
    EXPECT_FALSE(watch.nodeChanged(node));
    EXPECT_EQ(store.alpha(node), 1.0f);
    // The new object is remembered: the next replacement carries from it.
    store.writeFloat(node->GetObjectRef(), ALPHA, 0.75f);
    node->SetObjectRef(triangle());
    EXPECT_TRUE(watch.nodeChanged(node));
    EXPECT_EQ(store.alpha(node), 0.75f);

    watch.forget(node);
    EXPECT_FALSE(watch.isWatched(node));
}

}  // namespace
}  // namespace zeq::test
