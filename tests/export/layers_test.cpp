// Layers: one record per layer met, numbered in the order they are met, holding the ids of the
// records of their nodes.
#include "export/walker.h"
#include "walk_support.h"

namespace zeq::walktest {
namespace {

using LayersTest = ExportTest;

TEST_F(LayersTest, LayersAreNumberedInTheOrderTheyAreMet) {
    headless::Layer* scenery = scene().newLayer("Scenery");
    headless::Layer* unused = scene().newLayer("Unused");
    (void)unused;
    headless::Node* rock = helperNode("Rock");
    rock->SetLayer(scenery);
    headless::Node* tree = helperNode("Tree");
    headless::Node* bush = helperNode("Bush");
    bush->SetLayer(scenery);

    const Roots roots = convert();
    ASSERT_EQ(roots.extra1.layers->size(), 2u);
    const Zeq2Layer& first = roots.extra1.layers->get(0);
    const Zeq2Layer& second = roots.extra1.layers->get(1);
    EXPECT_EQ(first.id, 0);
    EXPECT_EQ(first.name, "Scenery");
    EXPECT_EQ(first.objectIds, (TArray<int64_t>{IdRegistry::instance().idFor(rock), IdRegistry::instance().idFor(bush)}));
    EXPECT_EQ(second.id, 1);
    EXPECT_EQ(second.name, scene().defaultLayer()->GetName());
    EXPECT_EQ(second.objectIds, TArray<int64_t>{IdRegistry::instance().idFor(tree)});
}

TEST_F(LayersTest, LayerIdsStartAtZeroInEveryExport) {
    helperNode("A")->SetLayer(scene().newLayer("L"));
    convert();
    const Roots again = convert();
    EXPECT_EQ(again.extra1.layers->get(0).id, 0);
    EXPECT_EQ(again.extra1.layers->get(0).objectIds->size(), 1u);
}

TEST_F(LayersTest, NodeWithoutLayerJoinsNone) {
    headless::Node* loose = helperNode("Loose");
    loose->SetLayer(nullptr);
    const Roots roots = convert();
    EXPECT_TRUE(roots.extra1.layers->empty());
    EXPECT_EQ(roots.root.objects->size(), 1u);
}

}  // namespace
}  // namespace zeq::walktest
