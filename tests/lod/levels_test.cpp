// The LOD object's levels: picking, the view lines, sorting by distance, the current level, removal
// and keeping the levels under the owner node, driven through the object and its rollup page.
#include "support.h"

#include "headless/remap_table.h"
#include "host/material.h"

namespace zeq::lodtest {
namespace {

using LodLevels = LodTest;

TEST_F(LodLevels, PicksAddTopLevelAncestorsOutsideTheOwner) {
    auto* unowned = new LODObject();
    headless::Node* box = meshNode("Box");
    headless::Node* unownedNode = host.scene().createNode("Unowned");
    unownedNode->SetObjectRef(unowned);
    EXPECT_FALSE(unowned->pblock2->SetValue(LOD_PARAM_PICK_NODE, 0, static_cast<INode*>(box)));  // no owner yet
    EXPECT_EQ(unowned->levelCount(), 0);

    LODObject* lod = addLod();
    headless::Node* group = meshNode("Group");
    headless::Node* deep = meshNode("Deep", meshNode("Middle", group));
    ASSERT_TRUE(lod->pblock2->SetValue(LOD_PARAM_PICK_NODE, 0, static_cast<INode*>(deep)));
    ASSERT_EQ(lod->levelCount(), 1);
    EXPECT_EQ(lod->levelNode(0), group);
    float distance = -1;
    EXPECT_TRUE(group->GetUserPropFloat(LOD_DISTANCE_PROPERTY, distance));
    EXPECT_EQ(distance, 0.0f);
    EXPECT_FALSE(deep->UserPropExists(LOD_DISTANCE_PROPERTY));

    // The owner and nodes below it are refused.
    lod->Display(0, lodNode, &view, 0);  // adopts the level
    EXPECT_EQ(group->GetParentNode(), lodNode);
    EXPECT_FALSE(lod->pblock2->SetValue(LOD_PARAM_PICK_NODE, 0, static_cast<INode*>(lodNode)));
    EXPECT_FALSE(lod->pblock2->SetValue(LOD_PARAM_PICK_NODE, 0, static_cast<INode*>(deep)));
    EXPECT_EQ(lod->levelCount(), 1);

    // A level is listed once, and a hierarchy holding the owner cannot become its level.
    EXPECT_FALSE(lod->pblock2->SetValue(LOD_PARAM_PICK_NODE, 0, static_cast<INode*>(group)));
    headless::Node* outer = meshNode("Outer");
    lodNode->Detach(0);
    outer->AttachChild(lodNode);
    EXPECT_FALSE(lod->pblock2->SetValue(LOD_PARAM_PICK_NODE, 0, static_cast<INode*>(meshNode("Sibling", outer))));
    lodNode->Detach(0);
    EXPECT_EQ(lod->levelCount(), 1);

    // "Center align child" moves a new level onto the owner.
    lodNode->setLocalTM(TransMatrix({5, 6, 7}));
    box->setLocalTM(TransMatrix({-1, -1, -1}));
    lod->pblock2->SetValue(LOD_PARAM_CENTER_ALIGN, 0, 1);
    ASSERT_TRUE(lod->pblock2->SetValue(LOD_PARAM_PICK_NODE, 0, static_cast<INode*>(box)));
    EXPECT_EQ(box->GetNodeTM(0).GetTrans(), Point3(5, 6, 7));
    EXPECT_EQ(viewLines(lod), (std::vector<std::string>{">>Group [0.00]<<", "Box [0.00]"}));
}

TEST_F(LodLevels, DistancesSortTheLevelsThroughThePage) {
    LODObject* lod = addLod();
    headless::Node* a = meshNode("A");
    headless::Node* b = meshNode("B");
    headless::Node* c = meshNode("C");
    lod->BeginEditParams(&host, 0, nullptr);
    headless::RollupPage* page = host.ui().findOpenRollupPage("Level Of Detail");
    ASSERT_NE(page, nullptr);
    for (INode* node : {a, b, c}) ASSERT_TRUE(page->pick(IDC_PICK_NODE, node));
    EXPECT_EQ(page->GetListCount(IDC_LEVEL_LIST), 3);

    // Selecting a line shows its distance; editing the distance re-sorts, and the selected line and
    // the current level (A, level 0 at first) follow their nodes.
    const std::pair<INode*, float> edits[] = {{a, 30.0f}, {b, 10.0f}, {c, 20.0f}};
    for (const auto& [node, distance] : edits) {
        int line = 0;
        while (lod->levelNode(line) != node) ++line;
        ASSERT_TRUE(page->selectItem(IDC_LEVEL_LIST, line));
        ASSERT_TRUE(page->enterValue(IDC_DISTANCE_SPIN, distance));
        EXPECT_EQ(lod->levelNode(lod->selectedLine()), node);
        EXPECT_EQ(page->GetListSelection(IDC_LEVEL_LIST), lod->selectedLine());
    }
    EXPECT_EQ(levelNames(lod), (std::vector<std::string>{"B", "C", "A"}));
    EXPECT_EQ(lod->currentLevel(), 2);
    EXPECT_EQ(page->GetListItem(IDC_LEVEL_LIST, 0), "B [10.00]");
    EXPECT_EQ(page->GetListItem(IDC_LEVEL_LIST, 2), ">>A [30.00]<<");
    ASSERT_TRUE(page->selectItem(IDC_LEVEL_LIST, 1));
    EXPECT_EQ(page->GetControlText(IDC_DISTANCE_EDIT), "20");

    // "Select" makes the selected line current; only that level is visible.
    ASSERT_TRUE(page->click(IDC_SELECT_LEVEL));
    EXPECT_EQ(lod->currentLevel(), 1);
    EXPECT_EQ(page->GetListSelection(IDC_LEVEL_LIST), 1);
    EXPECT_EQ(page->GetListItem(IDC_LEVEL_LIST, 1), ">>C [20.00]<<");
    EXPECT_TRUE(a->IsHidden());
    EXPECT_FALSE(c->IsHidden());

    // Less than one unit apart compares equal: both stay ahead of the farther level.
    b->SetUserPropFloat(LOD_DISTANCE_PROPERTY, 10.7f);
    c->SetUserPropFloat(LOD_DISTANCE_PROPERTY, 10.2f);
    lod->resortLevels();
    EXPECT_EQ(lod->levelNode(2), a);
    EXPECT_EQ(lod->levelNode(lod->currentLevel()), c);

    lod->EndEditParams(&host, END_EDIT_REMOVEUI, nullptr);
    EXPECT_FALSE(page->isOpen());
}

// Distances are free text: differences beyond the int range still order by sign, and a level whose
// distance is not a number compares equal to every other one (it stays where it is). Levels less
// than one unit apart compare equal, yet no level stays after one a unit nearer.
TEST_F(LodLevels, DistancesOutsideTheIntRangeSort) {
    struct Case {
        std::vector<const char*> distances;  // of levels A, B, C ... in list order
        std::vector<std::string> sorted;
    };
    const Case cases[] = {
        {{"0", "3e9", "100"}, {"A", "C", "B"}},
        {{"-3e9", "0"}, {"A", "B"}},
        {{"1e38", "-1e38"}, {"B", "A"}},
        {{"nan", "20", "10"}, {"A", "C", "B"}},
        {{"11.5", "10.7", "10.2"}, {"C", "A", "B"}},  // 10.2 is before 11.5, though each equals 10.7
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.distances.front());
        LODObject* lod = addLod();
        std::string name = "A";
        for (const char* distance : c.distances) {
            headless::Node* level = meshNode(name);
            addLevels(lod, {{level, 0}});
            level->SetUserPropString(LOD_DISTANCE_PROPERTY, distance);
            ++name[0];
        }
        lod->resortLevels();
        EXPECT_EQ(levelNames(lod), c.sorted);
    }
}

// Deleting a line keeps the current level and the selected line on their nodes; deleting the current
// line itself makes the level that moves up into its place current, deleting the selected line
// leaves none selected, and a distance edit then changes no level.
TEST_F(LodLevels, DeletingALineKeepsTheCurrentLevelOnItsNode) {
    struct Case {
        int current, selected, deleted;
        const char* currentAfter;
        const char* selectedAfter;
    };
    const Case cases[] = {
        {1, 2, 0, "B", "C"},
        {2, 2, 1, "C", "C"},
        {0, 0, 2, "A", "A"},
        {1, 1, 1, "C", ""},
        {2, 0, 0, "C", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.deleted);
        LODObject* lod = addLod();
        headless::Node* levels[] = {meshNode("A"), meshNode("B"), meshNode("C")};
        addLevels(lod, {{levels[0], 10}, {levels[1], 20}, {levels[2], 30}});
        lod->Display(0, lodNode, &view, 0);
        lod->setCurrentLevel(c.current);
        lod->selectLine(c.selected);
        lod->pblock2->Delete(LOD_PARAM_NODES_VIEW, c.deleted, 1);
        lod->Display(0, lodNode, &view, 0);
        ASSERT_EQ(lod->levelCount(), 2);
        auto nameOf = [&](int line) { return lod->levelNode(line) ? lod->levelNode(line)->GetName() : ""; };
        EXPECT_STREQ(nameOf(lod->currentLevel()), c.currentAfter);
        EXPECT_STREQ(nameOf(lod->selectedLine()), c.selectedAfter);
        for (headless::Node* level : levels)
            EXPECT_EQ(level->IsHidden(), std::string(level->GetName()) != c.currentAfter &&
                                             level != levels[c.deleted]) << level->GetName();
        lod->setSelectedDistance(99.0f);
        for (headless::Node* level : levels)
            EXPECT_EQ(LODObject::levelDistance(level) == 99.0f, std::string(level->GetName()) == c.selectedAfter)
                << level->GetName();
    }
}

// An object that was loaded or imported lists its levels without the unsaved view and knows no
// current level: its first display fills the view and makes the visible level current (none when
// all are hidden); a later rename shows in the view at the next display.
TEST_F(LodLevels, LoadedObjectShowsTheVisibleLevelAndFillsItsView) {
    struct Case {
        std::vector<bool> hidden;
        int current;
    };
    const Case cases[] = {{{true, false, false}, 1}, {{false, false}, 0}, {{true, true}, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.current);
        auto* lod = new LODObject();
        lodNode = host.scene().createNode("Loaded");
        lodNode->SetObjectRef(lod);
        lod->pblock2->SetValue(LOD_PARAM_ICON_SIZE, 0, 10.0f);
        std::vector<headless::Node*> levels;
        for (std::size_t i = 0; i < c.hidden.size(); ++i) {
            headless::Node* level = meshNode("L" + std::to_string(i), lodNode);
            level->SetUserPropFloat(LOD_DISTANCE_PROPERTY, 10.0f * float(i));
            level->Hide(c.hidden[i]);
            INode* entry = level;
            lod->pblock2->Append(LOD_PARAM_NODES_LIST, 1, &entry);
            levels.push_back(level);
        }
        lod->Display(0, lodNode, &view, 0);
        EXPECT_EQ(lod->currentLevel(), c.current);
        for (std::size_t i = 0; i < levels.size(); ++i) EXPECT_EQ(levels[i]->IsHidden(), int(i) != c.current) << i;
        const std::vector<std::string> lines = viewLines(lod);
        ASSERT_EQ(lines.size(), levels.size());
        EXPECT_EQ(lines[0], c.current == 0 ? ">>L0 [0.00]<<" : "L0 [0.00]");

        levels[0]->SetName("Renamed");
        lod->Display(0, lodNode, &view, 0);
        EXPECT_EQ(viewLines(lod)[0], c.current == 0 ? ">>Renamed [0.00]<<" : "Renamed [0.00]");
    }
}

TEST_F(LodLevels, CurrentLevelAndRemoval) {
    LODObject* lod = addLod();
    headless::Node* near = meshNode("Near");
    headless::Node* child = meshNode("Leaf", near);
    headless::Node* middle = meshNode("Middle");
    headless::Node* far = meshNode("Far");
    addLevels(lod, {{near, 0}, {middle, 50}, {far, 100}});
    lod->Display(0, lodNode, &view, 0);
    EXPECT_EQ(lodNode->NumberOfChildren(), 3);
    EXPECT_FALSE(near->IsHidden());
    EXPECT_TRUE(middle->IsHidden());

    // An index outside the levels leaves none current: the next display hides them all, and the
    // hidden state reaches the levels' descendants.
    lod->setCurrentLevel(5);
    EXPECT_EQ(lod->currentLevel(), -1);
    lod->Display(0, lodNode, &view, 0);
    for (INode* node : {near, child, middle, far}) EXPECT_TRUE(node->IsHidden()) << node->GetName();

    // Deleting the current line (the last one) shows that node again and makes level 0 current.
    lod->setCurrentLevel(2);
    lod->BeginEditParams(&host, 0, nullptr);
    headless::RollupPage* page = host.ui().findOpenRollupPage("Level Of Detail");
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(page->selectItem(IDC_LEVEL_LIST, 2));
    ASSERT_TRUE(page->click(IDC_DELETE_LEVEL));
    EXPECT_EQ(levelNames(lod), (std::vector<std::string>{"Near", "Middle"}));
    EXPECT_FALSE(far->IsHidden());
    EXPECT_EQ(lod->currentLevel(), 0);
    EXPECT_EQ(page->GetListCount(IDC_LEVEL_LIST), 2);
    lod->EndEditParams(&host, END_EDIT_REMOVEUI, nullptr);

    // The next display detaches the removed node; a level deleted from the scene is dropped.
    lod->Display(0, lodNode, &view, 0);
    EXPECT_EQ(far->GetParentNode(), host.GetRootNode());
    middle->DeleteThis();
    lod->Display(0, lodNode, &view, 0);
    EXPECT_EQ(levelNames(lod), (std::vector<std::string>{"Near"}));
    EXPECT_EQ(viewLines(lod), (std::vector<std::string>{">>Near [0.00]<<"}));

    // A level that leaves the scene ahead of the current one leaves the current level on its node.
    headless::Node* last = meshNode("Last");
    addLevels(lod, {{meshNode("Next"), 10}, {last, 20}});
    lod->setCurrentLevel(2);
    lod->Display(0, lodNode, &view, 0);
    near->DeleteThis();
    lod->Display(0, lodNode, &view, 0);
    EXPECT_EQ(viewLines(lod), (std::vector<std::string>{"Next [10.00]", ">>Last [20.00]<<"}));
    EXPECT_FALSE(last->IsHidden());

    // A node listed twice (a saved scene may hold that) is one level, shown when current.
    INode* again = last;
    lod->pblock2->Append(LOD_PARAM_NODES_LIST, 1, &again);
    lod->setCurrentLevel(1);
    lod->Display(0, lodNode, &view, 0);
    EXPECT_EQ(levelNames(lod), (std::vector<std::string>{"Next", "Last"}));
    EXPECT_FALSE(last->IsHidden());
}

TEST_F(LodLevels, CloneCopiesTheLevelsAndAdoptsThemOnFirstDisplay) {
    LODObject* lod = addLod();
    lodNode->setLocalTM(TransMatrix({10, 0, 0}));
    headless::Node* high = meshNode("High");
    headless::Node* detail = meshNode("Detail", high);
    headless::Node* low = meshNode("Low");
    high->setLocalTM(TransMatrix({12, 0, 0}));
    detail->setLocalTM(TransMatrix({0, 1, 0}));
    Mtl* paint = NewDefaultStdMat();
    high->SetMtl(paint);
    detail->SetMtl(paint);
    detail->SetUserPropString("Tag", "leaf");
    addLevels(lod, {{high, 5}, {low, 40}});
    lod->Display(0, lodNode, &view, 0);
    ASSERT_EQ(lodNode->NumberOfChildren(), 2);

    headless::RemapTable remap;
    auto* clone = dynamic_cast<LODObject*>(lod->Clone(remap));
    ASSERT_NE(clone, nullptr);
    EXPECT_TRUE(clone->reparentAfterClone());
    ASSERT_EQ(clone->levelCount(), 2);
    INode* highCopy = clone->levelNode(0);
    ASSERT_NE(highCopy, high);
    EXPECT_EQ(highCopy->GetObjectRef(), high->GetObjectRef());  // an instance
    EXPECT_EQ(LODObject::levelDistance(clone->levelNode(1)), 40.0f);
    ASSERT_EQ(highCopy->NumberOfChildren(), 1);
    EXPECT_EQ(highCopy->GetNodeTM(0).GetTrans(), Point3(2, 0, 0));  // relative to the owner
    // The copies keep their materials and user properties.
    EXPECT_EQ(highCopy->GetMtl(), paint);
    EXPECT_EQ(highCopy->GetChildNode(0)->GetMtl(), paint);
    std::string tag;
    EXPECT_TRUE(highCopy->GetChildNode(0)->GetUserPropString("Tag", tag));
    EXPECT_EQ(tag, "leaf");

    headless::Node* cloneNode = host.scene().createNode("LOD copy");
    cloneNode->SetObjectRef(clone);
    cloneNode->setLocalTM(TransMatrix({0, 20, 0}));
    clone->Display(0, cloneNode, &view, 0);
    EXPECT_FALSE(clone->reparentAfterClone());
    EXPECT_EQ(cloneNode->NumberOfChildren(), 2);
    EXPECT_EQ(highCopy->GetParentNode(), cloneNode);
    EXPECT_EQ(highCopy->GetNodeTM(0).GetTrans(), Point3(2, 20, 0));
    EXPECT_EQ(highCopy->GetChildNode(0)->GetNodeTM(0).GetTrans(), Point3(2, 21, 0));
    // The original keeps its levels.
    EXPECT_EQ(lod->levelNode(0), high);
    EXPECT_EQ(high->GetParentNode(), lodNode);

    // A clone of an object that shows no level shows none either.
    lod->setCurrentLevel(-1);
    headless::RemapTable noneRemap;
    auto* none = dynamic_cast<LODObject*>(lod->Clone(noneRemap));
    ASSERT_NE(none, nullptr);
    host.scene().createNode("Copy of none")->SetObjectRef(none);
    EXPECT_EQ(none->currentLevel(), -1);
}

// A clone's first display adopts its levels even where its node holds as many children already (the
// host copied the original's with it), and ends the clone's move: a level picked later stays put.
TEST_F(LodLevels, CloneAdoptsItsLevelsOnceWhateverItsNodeHolds) {
    LODObject* lod = addLod();
    lodNode->setLocalTM(TransMatrix({50, 0, 0}));
    headless::Node* level = meshNode("Level");
    level->setLocalTM(TransMatrix({51, 0, 0}));
    addLevels(lod, {{level, 5}});
    lod->Display(0, lodNode, &view, 0);
    headless::RemapTable remap, emptyRemap;
    auto* clone = dynamic_cast<LODObject*>(lod->Clone(remap));
    auto* empty = dynamic_cast<LODObject*>(addLod()->Clone(emptyRemap));
    ASSERT_TRUE(clone && empty);

    headless::Node* cloneNode = host.scene().createNode("LOD copy");
    cloneNode->setLocalTM(TransMatrix({0, 100, 0}));
    cloneNode->AttachChild(meshNode("Host copy"));
    cloneNode->SetObjectRef(clone);
    clone->Display(0, cloneNode, &view, 0);
    ASSERT_EQ(clone->levelNode(0)->GetParentNode(), cloneNode);
    EXPECT_EQ(clone->levelNode(0)->GetNodeTM(0).GetTrans(), Point3(1, 100, 0));

    headless::Node* emptyNode = host.scene().createNode("Empty copy");
    emptyNode->setLocalTM(TransMatrix({100, 0, 0}));
    emptyNode->SetObjectRef(empty);
    empty->Display(0, emptyNode, &view, 0);
    EXPECT_FALSE(empty->reparentAfterClone());
    headless::Node* picked = meshNode("Picked");
    picked->setLocalTM(TransMatrix({5, 0, 0}));
    ASSERT_TRUE(empty->pblock2->SetValue(LOD_PARAM_PICK_NODE, 0, static_cast<INode*>(picked)));
    empty->Display(0, emptyNode, &view, 0);
    EXPECT_EQ(picked->GetParentNode(), emptyNode);
    EXPECT_EQ(picked->GetNodeTM(0).GetTrans(), Point3(5, 0, 0));
}

// A clone lists its copies sorted by distance, whatever the owner's child order, and shows the copy
// of the level the original shows.
TEST_F(LodLevels, CloneSortsItsLevelsByDistance) {
    LODObject* lod = addLod();
    addLevels(lod, {{meshNode("High"), 5}, {meshNode("Low"), 40}, {meshNode("Far"), 90}});
    lod->Display(0, lodNode, &view, 0);
    lod->selectLine(1);
    lod->setSelectedDistance(1.0f);  // Low is now the nearest; the owner's children stay High, Low, Far
    lod->setCurrentLevel(1);         // High
    ASSERT_EQ(levelNames(lod), (std::vector<std::string>{"Low", "High", "Far"}));
    ASSERT_STREQ(lodNode->GetChildNode(0)->GetName(), "High");

    headless::RemapTable remap;
    auto* clone = dynamic_cast<LODObject*>(lod->Clone(remap));
    ASSERT_NE(clone, nullptr);
    host.scene().createNode("LOD copy")->SetObjectRef(clone);
    EXPECT_EQ(levelNames(clone), (std::vector<std::string>{"Low", "High", "Far"}));
    EXPECT_EQ(clone->currentLevel(), 1);
    EXPECT_EQ(viewLines(clone), (std::vector<std::string>{"Low [1.00]", ">>High [5.00]<<", "Far [90.00]"}));
}

// The owner node deleted while the object lives on as an instance in another node: nothing follows
// the deleted node, and the next node that displays the object becomes its owner.
TEST_F(LodLevels, OwnerDeletedWhileAnInstanceLivesOn) {
    LODObject* lod = addLod();
    headless::Node* level = meshNode("Level");
    addLevels(lod, {{level, 5}});
    lod->Display(0, lodNode, &view, 0);
    ASSERT_EQ(level->GetParentNode(), lodNode);
    headless::Node* instance = host.scene().createNode("Instance");
    instance->SetObjectRef(lod);

    lodNode->DeleteThis();
    EXPECT_EQ(lod->ownerNode(), nullptr);
    EXPECT_FALSE(lod->pblock2->SetValue(LOD_PARAM_PICK_NODE, 0, static_cast<INode*>(meshNode("Early"))));
    headless::RemapTable firstRemap, secondRemap;  // one per clone operation
    auto* ownerless = dynamic_cast<LODObject*>(lod->Clone(firstRemap));
    ASSERT_NE(ownerless, nullptr);
    EXPECT_EQ(ownerless->levelCount(), 0);
    host.scene().createNode("Ownerless copy")->SetObjectRef(ownerless);

    lod->Display(0, instance, &view, 0);
    EXPECT_EQ(lod->ownerNode(), instance);
    EXPECT_EQ(level->GetParentNode(), instance);
    EXPECT_TRUE(lod->pblock2->SetValue(LOD_PARAM_PICK_NODE, 0, static_cast<INode*>(meshNode("Late"))));
    lod->Display(0, instance, &view, 0);
    auto* clone = dynamic_cast<LODObject*>(lod->Clone(secondRemap));
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->levelCount(), 2);
    host.scene().createNode("Copy")->SetObjectRef(clone);
}

}  // namespace
}  // namespace zeq::lodtest
