// Which pages a selection gets, and what they show for one or several nodes.
#include "panels_support.h"

namespace zeq::test {
namespace {

using Selection = PanelsTest;
using Titles = std::vector<std::string>;

TEST_F(Selection, OneBoxShowsAlphaThenObjectPageWithDefaults) {
    headless::Node* box = meshNode("Box");
    selectAndNotify({box});
    ASSERT_EQ(openTitles(), (Titles{"Zeq Parameters", "Zeq Object Parameters"}));

    headless::RollupPage* alpha = alphaPage();
    EXPECT_EQ(alpha->templateId(), IDD_PARAMS_ALPHA);
    EXPECT_EQ(alpha->category(), 6000);
    EXPECT_EQ(alpha->rollupFlags(), 1u);
    const auto* combo = alpha->control(IDC_BLEND_MODE);
    ASSERT_EQ(combo->items.size(), BlendModeNames.size());
    EXPECT_EQ(combo->items[static_cast<size_t>(combo->selection)], "normal");
    EXPECT_EQ(combo->listHeight, 300);
    EXPECT_TRUE(combo->enabled);
    EXPECT_EQ(alpha->control(IDC_ALPHA_SLIDER)->value, 1.0f);
    EXPECT_EQ(alpha->control(IDC_ALPHA_SLIDER)->high, 1.0f);
    EXPECT_EQ(alpha->control(IDC_ALPHA_SLIDER)->editId, IDC_ALPHA_EDIT);

    headless::RollupPage* object = objectPage();
    EXPECT_TRUE(checked(object, IDC_SORT_NONE));
    EXPECT_FALSE(enabled(object, IDC_OPTIMIZE));
    EXPECT_FALSE(enabled(object, IDC_THRESHOLD_SPIN));
    EXPECT_TRUE(checked(object, IDC_FACE_CLIPPING));
    EXPECT_EQ(object->GetControlText(IDC_THRESHOLD_EDIT), "0.010");
    EXPECT_TRUE(enabled(object, IDC_SPLITTER));
    EXPECT_TRUE(enabled(object, IDC_BASE_GEOMETRY));

    // A new selection replaces the pages; an empty one leaves none.
    selectAndNotify({});
    EXPECT_TRUE(openTitles().empty());
    EXPECT_EQ(host.ui().rollupPages().size(), 2u);
}

TEST_F(Selection, KindsDecideThePages) {
    headless::Node* box = meshNode("Box");
    headless::Node* member = meshNode("Member");
    headless::Node* grp = group("Group", {member});
    headless::Node* help = helper("Helper", HELPER_LIST_0_CLASS_ID);
    headless::Node* lod = objectNode("LOD", LOD_OBJECT_CLASS_ID);
    headless::Node* light = scene.createNode("Light");
    light->SetObjectRef(scene.newLight(OMNI_LIGHT));

    selectAndNotify({box, grp});
    EXPECT_EQ(openTitles(), (Titles{"Zeq Parameters"})) << "mixed geometry and container";
    selectAndNotify({box, help});
    EXPECT_TRUE(openTitles().empty()) << "a helper among other kinds";
    selectAndNotify({help, box});
    EXPECT_TRUE(openTitles().empty());
    selectAndNotify({light});
    EXPECT_TRUE(openTitles().empty()) << "no engine parameters";
    selectAndNotify({box, light});
    EXPECT_TRUE(openTitles().empty());
    selectAndNotify({lod});
    EXPECT_EQ(openTitles(), (Titles{"Zeq Parameters"})) << "other engine objects are mixed by themselves";
    selectAndNotify({help});
    EXPECT_TRUE(openTitles().empty()) << "a helper list without names opens no types page";

    // A whole group (head and member, either order) is one container.
    selectAndNotify({member, grp});
    EXPECT_EQ(openTitles(), (Titles{"Zeq Container Parameters", "Zeq Parameters"}));
    selectAndNotify({grp, member});
    EXPECT_EQ(openTitles(), (Titles{"Zeq Container Parameters", "Zeq Parameters"}));
}

TEST_F(Selection, DisagreeingNodesShowNoValue) {
    headless::Node* a = meshNode("A");
    headless::Node* b = meshNode("B");
    select({b});
    store.writeInt(BLEND_MODE, *blendModeIndex("screen"));
    store.writeFloat(ALPHA, 0.5f);
    store.writeInt(CLIPPING, 0);
    store.writeInt(SPLITTER, 1);

    selectAndNotify({a, b});
    EXPECT_FALSE(enabled(alphaPage(), IDC_BLEND_MODE));
    EXPECT_FALSE(enabled(alphaPage(), IDC_ALPHA_SLIDER));
    headless::RollupPage* object = objectPage();
    for (int id : {IDC_BOUND_CULLING, IDC_FACE_CULLING, IDC_FACE_CLIPPING}) EXPECT_FALSE(checked(object, id)) << id;
    EXPECT_TRUE(checked(object, IDC_SORT_NONE)) << "both agree on sorting";
    EXPECT_TRUE(object->control(IDC_SPLITTER)->threeState);
    EXPECT_EQ(checkState(object, IDC_SPLITTER), BST_INDETERMINATE);
    // An indeterminate "Splitter" fixes nothing.
    EXPECT_TRUE(enabled(object, IDC_SORT_STATIC_BSP));

    // Nodes that agree show the value.
    selectAndNotify({b});
    EXPECT_EQ(alphaPage()->control(IDC_BLEND_MODE)->selection, 12);
    EXPECT_EQ(alphaPage()->control(IDC_ALPHA_SLIDER)->value, 0.5f);
    EXPECT_TRUE(checked(objectPage(), IDC_BOUND_CULLING));
    EXPECT_TRUE(checked(objectPage(), IDC_SPLITTER));
    EXPECT_FALSE(enabled(objectPage(), IDC_SORT_NONE));
    EXPECT_FALSE(enabled(objectPage(), IDC_FACE_CLIPPING));
    EXPECT_FALSE(enabled(objectPage(), IDC_BASE_GEOMETRY));

    // A damaged alpha (NaN) agrees with itself.
    select({a});
    store.writeFloat(ALPHA, std::numeric_limits<float>::quiet_NaN());
    selectAndNotify({a});
    EXPECT_TRUE(enabled(alphaPage(), IDC_ALPHA_SLIDER));
}

TEST_F(Selection, ThresholdNeedsBspSortingAndNoSprite) {
    headless::Node* box = meshNode("Box");
    headless::Node* spr = sprite("Sprite");
    select({box});
    store.writeInt(SORTING, static_cast<int>(Sorting::DYNAMIC_BSP));
    store.writeFloat(THRESHOLD, 2.5f);
    store.writeInt(OPTIMIZE, 1);

    selectAndNotify({box});
    headless::RollupPage* object = objectPage();
    EXPECT_TRUE(checked(object, IDC_SORT_DYNAMIC_BSP));
    EXPECT_TRUE(enabled(object, IDC_OPTIMIZE));
    EXPECT_TRUE(checked(object, IDC_OPTIMIZE));
    EXPECT_EQ(object->control(IDC_THRESHOLD_SPIN)->value, 2.5f);
    EXPECT_TRUE(object->control(IDC_THRESHOLD_SPIN)->dragNotify);

    // Picking a BSP sorting again shows what the node still holds, not the placeholders the page
    // was filled with while the sorting was another.
    ASSERT_TRUE(object->click(IDC_SORT_NONE));
    selectAndNotify({box});
    object = objectPage();
    EXPECT_FALSE(checked(object, IDC_OPTIMIZE));
    ASSERT_TRUE(object->click(IDC_SORT_STATIC_BSP));
    EXPECT_TRUE(checked(object, IDC_OPTIMIZE));
    EXPECT_EQ(object->control(IDC_THRESHOLD_SPIN)->value, 2.5f);

    // A box and a Sprite are both geometry; with a Sprite among them the BSP settings stay off.
    selectAndNotify({box, spr});
    object = objectPage();
    ASSERT_NE(object, nullptr);
    EXPECT_FALSE(enabled(object, IDC_OPTIMIZE));
    ASSERT_TRUE(object->click(IDC_SORT_STATIC_BSP));
    EXPECT_FALSE(enabled(object, IDC_OPTIMIZE));
    EXPECT_FALSE(enabled(object, IDC_THRESHOLD_EDIT));
    EXPECT_EQ(store.sorting(spr), Sorting::STATIC_BSP);
}

TEST_F(Selection, HelperTypesPage) {
    headless::Node* first = helper("First", HELPER_LIST_1_CLASS_ID);
    headless::Node* second = helper("Second", HELPER_LIST_1_CLASS_ID);
    setHelperTypeList(1, {"wall", "floor", "door"}, true);
    select({second});
    store.writeInt(1, 1);

    selectAndNotify({first});
    headless::RollupPage* types = typesPage();
    ASSERT_NE(types, nullptr);
    EXPECT_EQ(types->rollupFlags(), 0u);
    EXPECT_EQ(types->height(), 15 * 3 + 10);
    EXPECT_EQ(types->width(), 108);
    const auto* door = types->control(2);
    ASSERT_NE(door, nullptr);
    EXPECT_EQ(door->kind, ControlKind::CheckBox);
    EXPECT_EQ(door->text, "door");
    EXPECT_EQ(door->y, 35);

    // Multi-choice: one flag per name; a click writes it; nodes that disagree show indeterminate.
    ASSERT_TRUE(types->click(0));
    EXPECT_EQ(store.readObjectInt(first, 0), 1);
    selectAndNotify({first, second});
    types = typesPage();
    EXPECT_EQ(checkState(types, 0), BST_INDETERMINATE);
    EXPECT_EQ(checkState(types, 1), BST_INDETERMINATE);
    EXPECT_EQ(checkState(types, 2), BST_UNCHECKED) << "unset flags read 0 on both";
    // Clicking an indeterminate box makes it ordinary and writes to both.
    ASSERT_TRUE(types->click(1));
    EXPECT_FALSE(types->control(1)->threeState);
    EXPECT_EQ(store.readObjectInt(first, 1), 0);
    EXPECT_EQ(store.readObjectInt(second, 1), 0);
}

TEST_F(Selection, SingleChoiceTypesRememberTheLastChoice) {
    headless::Node* first = helper("First", HELPER_LIST_2_CLASS_ID);
    headless::Node* second = helper("Second", HELPER_LIST_2_CLASS_ID);
    setHelperTypeList(2, {"spawn", "exit"}, false);

    selectAndNotify({first});
    headless::RollupPage* types = typesPage();
    ASSERT_NE(types, nullptr);
    EXPECT_EQ(types->control(0)->kind, ControlKind::RadioButton);
    EXPECT_TRUE(checked(types, 0)) << "unset reads the last chosen index, 0 at start";
    ASSERT_TRUE(types->click(1));
    EXPECT_EQ(store.readObjectInt(first, HELPER_TYPE), 1);
    EXPECT_EQ(store.readObjectInt(second, HELPER_TYPE), kParamUnsetInt);

    // The other helper has no choice stored: it shows the one chosen last, in the utility's store.
    selectAndNotify({second});
    EXPECT_TRUE(checked(typesPage(), 1));
    select({second});
    store.writeInt(HELPER_TYPE, 0);
    selectAndNotify({first, second});
    EXPECT_FALSE(checked(typesPage(), 0));
    EXPECT_FALSE(checked(typesPage(), 1));
}

}  // namespace
}  // namespace zeq::test
