// Light records: colour packing, angles, attenuation, the ambient light and the kinds of lights.
#include "export/lights.h"
#include "export/transformation.h"
#include "walk_support.h"

#include <limits>
#include <set>
#include <utility>

namespace zeq::walktest {
namespace {

using LightsTest = ExportTest;

TEST(ColorPackingTest, ComponentsAreTruncatedClampedAndPacked) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::pair<Point3, uint32_t> cases[] = {
        {{1.0f, 1.0f, 1.0f}, 0xFFFFFFu},  {{0.5f, 0.5f, 0.5f}, 0x7F7F7Fu},  {{1.0f, 0.0f, 0.0f}, 0xFF0000u},
        {{0.0f, 0.0f, 1.0f}, 0x0000FFu},  {{0.0f, 0.0f, 0.0f}, 0u},
        // Out of range: each channel is clamped to its byte and never spills into its neighbour.
        {{0.0f, 2.0f, 0.0f}, 0x00FF00u},  {{1.0f, 0.0f, 2.0f}, 0xFF00FFu},  {{1.5f, 0.5f, -0.1f}, 0xFF7F00u},
        {{1e30f, -1e30f, nan}, 0xFF0000u},
    };
    for (const auto& [rgb, packed] : cases)
        EXPECT_EQ(packColor(rgb), packed) << rgb.x << ", " << rgb.y << ", " << rgb.z;
}

TEST(AngleTest, DegreesBecomeRadians) {
    EXPECT_NEAR(43.0f * kRadiansPerDegree, 0.7505f, 1e-4f);
    EXPECT_NEAR(45.0f * kRadiansPerDegree, 0.7854f, 1e-4f);
}

TEST_F(LightsTest, AmbientLightComesFromTheHostAmbientColour) {
    host.SetAmbient(0, Point3(0.5f, 0.5f, 0.5f));
    helperNode("Something");
    const Roots roots = convert();
    ASSERT_EQ(roots.root.ambientLights->size(), 1u);
    const Zeq2AmbientLight& ambient = roots.root.ambientLights->get(0);
    EXPECT_EQ(ambient.color, 0x7F7F7Fu);
    EXPECT_EQ(ambient.intensity, 1.0f);
    EXPECT_EQ(ambient.name, "ambient");
    EXPECT_TRUE(ambient.visible);
    EXPECT_FALSE(ambient.parentId || ambient.transform || ambient.boundBoxId);
    EXPECT_GT(ambient.id, findByName(roots.root.objects, "Something")->id);
}

TEST_F(LightsTest, SpotOmniAndDirectionalValues) {
    headless::Light* spot = scene().newLight(FSPOT_LIGHT);
    spot->SetRGBColor(0, Point3(1.0f, 0.5f, 0.0f));
    spot->SetIntensity(0, 2.5f);
    spot->SetHotspot(0, 43.0f);
    spot->SetFallsize(0, 45.0f);
    spot->SetAtten(0, ATTEN_START, 10.0f);
    spot->SetAtten(0, ATTEN_END, 30.0f);
    spot->SetAtten(0, ATTEN1_START, 1.0f);
    scene().createNode("Spot")->SetObjectRef(spot);

    headless::Light* omni = scene().newLight(OMNI_LIGHT);
    omni->SetAtten(0, ATTEN_START, 5.0f);
    omni->SetAtten(0, ATTEN_END, 6.0f);
    headless::Node* parent = helperNode("Rig");
    headless::Node* omniNode = scene().createNode("Omni", parent);
    omniNode->SetObjectRef(omni);
    omniNode->setLocalTM(TransMatrix({0, 0, 3}));

    headless::Light* sun = scene().newLight(DIR_LIGHT);
    sun->SetRGBColor(0, Point3(1, 1, 1));
    sun->SetUseLight(false);
    headless::Node* sunNode = scene().createNode("Sun");
    sunNode->SetObjectRef(sun);
    sunNode->Hide(true);

    const Roots roots = convert();
    ASSERT_EQ(roots.root.spotLights->size(), 1u);
    const Zeq2SpotLight& s = roots.root.spotLights->get(0);
    EXPECT_EQ(s.color, 0xFF7F00u);
    EXPECT_EQ(s.intensity, 2.5f);
    EXPECT_FLOAT_EQ(s.hotspot, 43.0f * 0.017453292f);
    EXPECT_FLOAT_EQ(s.falloff, 45.0f * 0.017453292f);
    EXPECT_EQ(s.attenuationBegin, 10.0f);
    EXPECT_EQ(s.attenuationEnd, 30.0f);
    EXPECT_FALSE(s.boundBoxId);

    ASSERT_EQ(roots.root.omniLights->size(), 1u);
    const Zeq2OmniLight& o = roots.root.omniLights->get(0);
    EXPECT_EQ(o.attenuationBegin, 5.0f);
    EXPECT_EQ(o.attenuationEnd, 6.0f);
    EXPECT_EQ(o.parentId, findByName(roots.root.objects, "Rig")->id);
    EXPECT_EQ(o.transform, TransformationFactory::createTransformation(TransMatrix({0, 0, 3})));

    ASSERT_EQ(roots.root.directionalLights->size(), 1u);
    EXPECT_EQ(roots.root.directionalLights->get(0).color, 0xFFFFFFu);
    EXPECT_EQ(roots.root.directionalLights->get(0).intensity, 0.0f) << "switched off";
    EXPECT_FALSE(roots.root.directionalLights->get(0).visible);
}

TEST_F(LightsTest, TargetSpotIsNotASpotLight) {
    scene().createNode("Target spot")->SetObjectRef(scene().newLight(TSPOT_LIGHT));
    const Roots roots = convert();
    EXPECT_TRUE(roots.root.spotLights->empty());
    EXPECT_EQ(namesOf(roots.root.objects), std::vector<std::string>{"Target spot"});
}

TEST_F(LightsTest, LightWithPivotOffsetTakesNoIdTwice) {
    headless::Layer* layer = scene().newLayer("Lights");
    headless::Node* node = scene().createNode("Lamp");
    node->SetObjectRef(scene().newLight(OMNI_LIGHT));
    node->SetLayer(layer);
    node->setLocalTM(TransMatrix({0, 0, 10}));
    node->setObjectOffset(TransMatrix({0, 1, 0}));

    const Roots roots = convert();
    const Zeq2Object* holder = findByName(roots.root.objects, "Lamp");
    ASSERT_TRUE(holder);
    ASSERT_EQ(roots.root.omniLights->size(), 1u);
    const Zeq2OmniLight& light = roots.root.omniLights->get(0);
    EXPECT_NE(light.id, holder->id);
    EXPECT_EQ(light.parentId, holder->id);
    EXPECT_EQ(light.transform, TransformationFactory::createTransformation(TransMatrix({0, 1, 0})));
    EXPECT_EQ(findByName(roots.extra1.layers, "Lights")->objectIds, (TArray<int64_t>{holder->id, light.id}));

    std::set<int64_t> ids{holder->id, light.id, roots.root.ambientLights->get(0).id};
    EXPECT_EQ(ids.size(), 3u);
}

TEST_F(LightsTest, LightObjectThatIsNoLightFailsTheExport) {
    scene().createNode("Fake")->SetObjectRef(scene().newObject(LIGHT_CLASS_ID, OMNI_LIGHT_CLASS_ID));
    EXPECT_THROW(convert(), std::runtime_error);
}

}  // namespace
}  // namespace zeq::walktest
