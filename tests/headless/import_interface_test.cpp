// The import interface: nodes created outside the tree until added, lights by kind, scene settings.
#include "headless/host.h"

#include <gtest/gtest.h>

namespace {

using namespace headless;

TEST(ImportInterface, NodesJoinTheSceneWhenAdded) {
    Host host;
    ImportInterface ii(host);
    ImpNode* parent = ii.CreateNode();
    ImpNode* child = ii.CreateNode();
    parent->SetName("Parent");
    child->SetName("Child");
    parent->SetTransform(0, TransMatrix({10, 0, 0}));
    child->SetTransform(0, TransMatrix({11, 0, 0}));
    EXPECT_EQ(host.GetRootNode()->NumberOfChildren(), 0);
    EXPECT_EQ(child->GetINode()->GetParentNode(), nullptr);
    ii.AddNodeToScene(parent);
    ii.AddNodeToScene(child);
    ii.AddNodeToScene(child);  // adding twice changes nothing
    EXPECT_EQ(host.GetRootNode()->NumberOfChildren(), 2);

    // Linking keeps the world transform the record gave.
    parent->GetINode()->AttachChild(child->GetINode());
    EXPECT_TRUE(child->GetINode()->GetNodeTM(0).GetTrans().Equals({11, 0, 0}, 1e-5f));
    EXPECT_TRUE(static_cast<Node*>(child->GetINode())->GetLocalTM(0).GetTrans().Equals({1, 0, 0}, 1e-5f));

    TriObject* tri = CreateNewTriObject();
    parent->Reference(tri);
    EXPECT_EQ(parent->GetINode()->GetObjectRef(), tri);
    parent->GetINode()->SetUserPropString("ProtocolID", "-5");
}

TEST(ImportInterface, LightsAmbientAndRedraw) {
    Host host;
    ImportInterface ii(host);
    GenLight* dir = ii.CreateLightObject(DIR_LIGHT);
    GenLight* omni = ii.CreateLightObject(OMNI_LIGHT);
    GenLight* spot = ii.CreateLightObject(FSPOT_LIGHT);
    EXPECT_EQ(ii.CreateLightObject(9), nullptr);
    EXPECT_EQ(dir->ClassID(), DIR_LIGHT_CLASS_ID);
    EXPECT_EQ(omni->ClassID(), OMNI_LIGHT_CLASS_ID);
    EXPECT_EQ(spot->ClassID(), FSPOT_LIGHT_CLASS_ID);
    EXPECT_EQ(spot->SuperClassID(), LIGHT_CLASS_ID);
    // A light converts to its own class only.
    EXPECT_EQ(spot->ConvertToType(0, FSPOT_LIGHT_CLASS_ID), spot);
    EXPECT_EQ(spot->ConvertToType(0, DIR_LIGHT_CLASS_ID), nullptr);

    spot->SetAtten(0, ATTEN_START, 12.0f);
    spot->SetAtten(0, ATTEN_END, 90.0f);
    spot->SetAtten(0, 7, 1.0f);  // no such attenuation value: ignored
    spot->SetHotspot(0, 28.65f);
    EXPECT_EQ(spot->GetAtten(0, ATTEN_START), 12.0f);
    EXPECT_EQ(spot->GetAtten(0, ATTEN_END), 90.0f);
    EXPECT_EQ(spot->GetAtten(0, 7), 0.0f);
    EXPECT_EQ(spot->GetHotspot(0), 28.65f);

    ii.SetAmbient(0, {1.004f, 0.5f, 0.0f});
    EXPECT_EQ(host.GetAmbient(0), Point3(1.004f, 0.5f, 0.0f));
    int before = host.redrawCount();
    ii.RedrawViews();
    EXPECT_EQ(host.redrawCount(), before + 1);
}

}  // namespace
