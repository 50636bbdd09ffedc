// What each control of the alpha, object and container pages writes, and the enabling rules that
// follow a click.
#include "panels_support.h"

#include "params/child_order.h"

namespace zeq::test {
namespace {

using Controls = PanelsTest;

TEST_F(Controls, AlphaPageWritesBlendModeAndAlphaToEveryInstance) {
    headless::Node* box = meshNode("Box");
    headless::Node* instance = scene.createNode("Instance");
    instance->SetObjectRef(box->GetObjectRef());
    selectAndNotify({box});
    headless::RollupPage* alpha = alphaPage();

    ASSERT_TRUE(alpha->selectItem(IDC_BLEND_MODE, 12));
    EXPECT_EQ(store.readObjectInt(box, BLEND_MODE), 12);

    const int redraws = host.redrawCount();
    ASSERT_TRUE(alpha->enterValue(IDC_ALPHA_SLIDER, 0.25f));
    EXPECT_EQ(store.alpha(box), 0.25f);
    EXPECT_EQ(instance->GetVisibility(0), 0.25f);
    EXPECT_TRUE(instance->GetInheritVisibility());
    EXPECT_GT(host.redrawCount(), redraws);

    // Typed into the edit field: kept within 0..1.
    ASSERT_TRUE(alpha->enterText(IDC_ALPHA_EDIT, "3"));
    EXPECT_EQ(store.alpha(box), 1.0f);
    ASSERT_TRUE(alpha->enterText(IDC_ALPHA_EDIT, "not a number"));
    EXPECT_EQ(store.alpha(box), 1.0f);
}

TEST_F(Controls, ObjectPageWritesEachSlot) {
    headless::Node* box = meshNode("Box");
    selectAndNotify({box});
    headless::RollupPage* object = objectPage();

    const std::pair<int, Sorting> sortings[] = {{IDC_SORT_STATIC_BSP, Sorting::STATIC_BSP},
                                                {IDC_SORT_DYNAMIC_BSP, Sorting::DYNAMIC_BSP},
                                                {IDC_SORT_AVERAGE_Z, Sorting::AVERAGE_Z},
                                                {IDC_SORT_NONE, Sorting::NONE}};
    for (auto [id, sorting] : sortings) {
        ASSERT_TRUE(object->click(id));
        EXPECT_EQ(store.readObjectInt(box, SORTING), static_cast<int>(sorting));
        const bool bsp = sorting == Sorting::STATIC_BSP || sorting == Sorting::DYNAMIC_BSP;
        EXPECT_EQ(enabled(object, IDC_OPTIMIZE), bsp) << id;
        EXPECT_EQ(enabled(object, IDC_THRESHOLD_SPIN), bsp) << id;
    }
    ASSERT_TRUE(object->click(IDC_SORT_STATIC_BSP));
    ASSERT_TRUE(object->click(IDC_OPTIMIZE));
    EXPECT_EQ(store.readObjectInt(box, OPTIMIZE), 1);
    ASSERT_TRUE(object->click(IDC_OPTIMIZE));
    EXPECT_EQ(store.readObjectInt(box, OPTIMIZE), 0);
    ASSERT_TRUE(object->enterValue(IDC_THRESHOLD_SPIN, 4.5f));
    EXPECT_EQ(store.threshold(box), 4.5f);
    ASSERT_TRUE(object->enterValue(IDC_THRESHOLD_EDIT, 2e6f));
    EXPECT_EQ(store.threshold(box), 1000000.0f);

    for (auto [id, value] : {std::pair{IDC_BOUND_CULLING, 0}, {IDC_FACE_CULLING, 1}, {IDC_FACE_CLIPPING, 2}}) {
        ASSERT_TRUE(object->click(id));
        EXPECT_EQ(store.readObjectInt(box, CLIPPING), value);
    }
}

// Text that is no number, entered in a field while the nodes disagree, writes nothing, and neither
// does a click into the field: each node keeps its own value (the field shows the first node's).
TEST_F(Controls, RefusedEntriesLeaveDisagreeingNodesAsTheyAre) {
    headless::Node* a = meshNode("A");
    headless::Node* b = meshNode("B");
    headless::Node* g1 = group("G1", {meshNode("C")});
    headless::Node* g2 = group("G2", {meshNode("D")});
    select({b});
    store.writeFloat(ALPHA, 0.8f);
    store.writeInt(SORTING, static_cast<int>(Sorting::STATIC_BSP));
    store.writeFloat(THRESHOLD, 7.0f);
    select({a});
    store.writeFloat(ALPHA, 0.2f);
    store.writeInt(SORTING, static_cast<int>(Sorting::STATIC_BSP));
    store.writeFloat(THRESHOLD, 5.0f);
    for (auto [node, threshold] : {std::pair{g1, 5.0f}, {g2, 7.0f}}) {
        select({node});
        store.writeInt(CONTAINER_TYPE, static_cast<int>(ContainerType::KD_TREE));
        store.writeFloat(THRESHOLD, threshold);
    }
    struct Case {
        std::initializer_list<INode*> nodes;
        const char* page;
        int edit;
        float (EngineParamStore::*read)(INode*);
    };
    const Case cases[] = {
        {{a, b}, "Zeq Parameters", IDC_ALPHA_EDIT, &EngineParamStore::alpha},
        {{a, b}, "Zeq Object Parameters", IDC_THRESHOLD_EDIT, &EngineParamStore::threshold},
        {{g1, g2}, "Zeq Container Parameters", IDC_THRESHOLD_EDIT, &EngineParamStore::threshold},
    };
    for (const Case& c : cases) {
        selectAndNotify(c.nodes);
        INode* first = *c.nodes.begin();
        INode* second = *(c.nodes.begin() + 1);
        const float before[] = {(store.*c.read)(first), (store.*c.read)(second)};
        page(c.page)->click(c.edit);
        EXPECT_EQ((store.*c.read)(second), before[1]) << c.page << " clicked";
        for (const char* text : {"", "abc"}) {
            ASSERT_TRUE(page(c.page)->enterText(c.edit, text)) << c.page;
            EXPECT_EQ((store.*c.read)(first), before[0]) << c.page << " '" << text << "'";
            EXPECT_EQ((store.*c.read)(second), before[1]) << c.page << " '" << text << "'";
        }
    }
}

TEST_F(Controls, SplitterAndBaseGeometryExcludeEachOther) {
    headless::Node* a = meshNode("A");
    headless::Node* b = meshNode("B");
    select({b});
    store.writeInt(BASE_GEOMETRY, 1);
    selectAndNotify({a, b});
    headless::RollupPage* object = objectPage();
    ASSERT_EQ(checkState(object, IDC_BASE_GEOMETRY), BST_INDETERMINATE);

    ASSERT_TRUE(object->click(IDC_SPLITTER));
    EXPECT_EQ(store.readObjectInt(a, SPLITTER), 1);
    EXPECT_EQ(store.readObjectInt(b, SPLITTER), 1);
    // The indeterminate "Base geometry" is cleared on all of them.
    EXPECT_EQ(checkState(object, IDC_BASE_GEOMETRY), BST_UNCHECKED);
    EXPECT_EQ(store.readObjectInt(b, BASE_GEOMETRY), 0);
    for (int id : {IDC_SORT_NONE, IDC_SORT_AVERAGE_Z, IDC_SORT_STATIC_BSP, IDC_SORT_DYNAMIC_BSP, IDC_BOUND_CULLING,
                   IDC_FACE_CULLING, IDC_FACE_CLIPPING, IDC_BASE_GEOMETRY, IDC_OPTIMIZE})
        EXPECT_FALSE(enabled(object, id)) << id;

    ASSERT_TRUE(object->click(IDC_SPLITTER));
    EXPECT_EQ(store.readObjectInt(a, SPLITTER), 0);
    EXPECT_TRUE(enabled(object, IDC_BASE_GEOMETRY));
    EXPECT_TRUE(enabled(object, IDC_SORT_NONE));

    ASSERT_TRUE(object->click(IDC_BASE_GEOMETRY));
    EXPECT_EQ(store.readObjectInt(a, BASE_GEOMETRY), 1);
    EXPECT_FALSE(enabled(object, IDC_SPLITTER));
    EXPECT_FALSE(enabled(object, IDC_FACE_CLIPPING));
}

TEST_F(Controls, ContainerTypeDecidesWhatApplies) {
    headless::Node* grp = group("Group", {meshNode("A"), meshNode("B")});
    selectAndNotify({grp});
    headless::RollupPage* container = containerPage();
    ASSERT_NE(container, nullptr);
    EXPECT_TRUE(checked(container, IDC_TYPE_OBJECT3D));
    EXPECT_TRUE(checked(container, IDC_AXIS_ALIGNED_BOX));
    EXPECT_TRUE(checked(container, IDC_OBJECT_ORIENTED_BOX));
    EXPECT_TRUE(enabled(container, IDC_CHILD_UP));
    EXPECT_FALSE(enabled(container, IDC_AXIS_ALIGNED_BOX));

    ASSERT_TRUE(container->click(IDC_TYPE_KDTREE));
    EXPECT_EQ(store.readObjectInt(grp, CONTAINER_TYPE), static_cast<int>(ContainerType::KD_TREE));
    for (int id : {IDC_AXIS_ALIGNED_BOX, IDC_OBJECT_ORIENTED_BOX, IDC_THRESHOLD_SPIN, IDC_THRESHOLD_EDIT})
        EXPECT_TRUE(enabled(container, id)) << id;
    for (int id : {IDC_CLIPPING_GROUP, IDC_BOUND_CULLING, IDC_SORT_BY_Z, IDC_CHILD_UP, IDC_CHILD_DOWN, IDC_CHILD_LIST})
        EXPECT_FALSE(enabled(container, id)) << id;

    ASSERT_TRUE(container->click(IDC_TYPE_BSPTREE));
    EXPECT_EQ(store.readObjectInt(grp, CONTAINER_TYPE), static_cast<int>(ContainerType::BSP_TREE));
    EXPECT_TRUE(enabled(container, IDC_FACE_CULLING));
    ASSERT_TRUE(container->click(IDC_FACE_CULLING));
    EXPECT_EQ(store.readObjectInt(grp, CLIPPING), 1);
    ASSERT_TRUE(container->click(IDC_OBJECT_ORIENTED_BOX));
    EXPECT_EQ(store.readObjectInt(grp, OBJECT_ORIENTED_BOUND_BOX), 0);
    ASSERT_TRUE(container->click(IDC_AXIS_ALIGNED_BOX));
    EXPECT_EQ(store.readObjectInt(grp, AXIS_ALIGNED_BOUND_BOX), 0);
    ASSERT_TRUE(container->enterValue(IDC_THRESHOLD_SPIN, 7.0f));
    EXPECT_EQ(store.threshold(grp), 7.0f);

    ASSERT_TRUE(container->click(IDC_TYPE_DISTANCE_SORT));
    EXPECT_TRUE(enabled(container, IDC_SORT_BY_Z));
    EXPECT_FALSE(enabled(container, IDC_FACE_CULLING));
    ASSERT_TRUE(container->click(IDC_SORT_BY_Z));
    EXPECT_EQ(store.readObjectInt(grp, SORT_BY_Z), 1);

    ASSERT_TRUE(container->click(IDC_TYPE_CONFLICT));
    EXPECT_EQ(store.readObjectInt(grp, CONTAINER_TYPE), static_cast<int>(ContainerType::CONFLICT));
}

TEST_F(Controls, ChildOrderMovesWithUpAndDown) {
    headless::Node* a = meshNode("A");
    headless::Node* b = meshNode("B");
    headless::Node* c = meshNode("C");
    headless::Node* grp = group("Group", {a, b, c});
    selectAndNotify({grp});
    headless::RollupPage* container = containerPage();
    const auto items = [&] { return container->control(IDC_CHILD_LIST)->items; };
    EXPECT_EQ(items(), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(store.childOrder(c), 2) << "positions are stored when first listed";

    ASSERT_TRUE(container->selectItem(IDC_CHILD_LIST, 0));
    ASSERT_TRUE(container->click(IDC_CHILD_UP));
    EXPECT_EQ(items(), (std::vector<std::string>{"A", "B", "C"})) << "the first line cannot move up";
    ASSERT_TRUE(container->click(IDC_CHILD_DOWN));
    EXPECT_EQ(items(), (std::vector<std::string>{"B", "A", "C"}));
    EXPECT_EQ(container->control(IDC_CHILD_LIST)->selection, 1);
    EXPECT_EQ(store.childOrder(a), 1);
    EXPECT_EQ(store.childOrder(b), 0);

    // The list of two containers is not shown, and Up/Down are off.
    headless::Node* other = group("Other", {meshNode("D")});
    selectAndNotify({grp, other});
    container = containerPage();
    EXPECT_TRUE(items().empty());
    EXPECT_FALSE(enabled(container, IDC_CHILD_UP));
}

TEST_F(Controls, ThreeStateBoxesWriteOnlyDecidedStates) {
    headless::Node* g1 = group("G1", {meshNode("A")});
    headless::Node* g2 = group("G2", {meshNode("B")});
    select({g2});
    store.writeInt(CONTAINER_TYPE, static_cast<int>(ContainerType::DISTANCE_SORT));
    store.writeInt(SORT_BY_Z, 1);
    select({g1});
    store.writeInt(CONTAINER_TYPE, static_cast<int>(ContainerType::DISTANCE_SORT));
    selectAndNotify({g1, g2});
    headless::RollupPage* container = containerPage();
    ASSERT_EQ(checkState(container, IDC_SORT_BY_Z), BST_INDETERMINATE);
    ASSERT_TRUE(container->click(IDC_SORT_BY_Z));  // indeterminate -> unchecked: written
    EXPECT_EQ(store.readObjectInt(g2, SORT_BY_Z), 0);
    EXPECT_FALSE(container->control(IDC_SORT_BY_Z)->threeState);
    ASSERT_TRUE(container->click(IDC_SORT_BY_Z));
    EXPECT_EQ(store.readObjectInt(g1, SORT_BY_Z), 1);
    EXPECT_EQ(store.readObjectInt(g2, SORT_BY_Z), 1);
}

TEST_F(Controls, MouseMessagesGoToThePanel) {
    selectAndNotify({meshNode("Box")});
    headless::RollupPage* alpha = alphaPage();
    alpha->send(WM_LBUTTONDOWN, 0, 0);
    alpha->send(WM_MOUSEMOVE, 0, 0);
    ASSERT_EQ(host.rollupMouseEvents().size(), 2u);
    EXPECT_EQ(host.rollupMouseEvents()[0].message, WM_LBUTTONDOWN);
    EXPECT_EQ(host.rollupMouseEvents()[1].page, alpha->Handle());
}

}  // namespace
}  // namespace zeq::test
