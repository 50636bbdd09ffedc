// Damaged files: every truncation of a scene file and seeded random corruptions of it, both of the
// stored bytes and of the inflated data (re-packed, so that the damage reaches the builders), end
// in success or in the one "Error" box, never in a crash or a read outside the data.
#include "codec/protocol.h"
#include "format/register.h"
#include "robustness.h"
#include "support.h"

#include <fstream>
#include <random>

namespace zeq::test {
namespace {

// A scene with everything the builders read: shared and multi-buffer geometry with normals,
// tangents and two texture channels, several surfaces, materials with maps, a hierarchy, lights.
SceneFile richScene() {
    SceneFile file;
    Zeq2& root = file.root;
    root = emptyRoot();
    ByteBuffer grid;
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            const float fx = static_cast<float>(x), fy = static_cast<float>(y);
            ByteBuffer v = floatBytes({fx, fy, 0.1f * fx * fy, 0, 0, 1, fx / 3, fy / 3, fy / 3, fx / 3, 1, 0, 0, -1});
            grid.appendBytes(v.data(), v.length(), false);
        }
    }
    root.vertexBuffers->add(vertexBuffer(0, {A::POSITION, A::NORMAL, A::TEXCOORDS, A::TEXCOORDS, A::TANGENT4}, 16, grid));
    Zeq2IndexBuffer quads;
    quads.id = 0;
    for (uint16_t y = 0; y < 3; ++y) {
        for (uint16_t x = 0; x < 3; ++x) {
            const uint16_t a = static_cast<uint16_t>(y * 4 + x);
            ByteBuffer tri = indexBytes({a, uint16_t(a + 1), uint16_t(a + 5), a, uint16_t(a + 5), uint16_t(a + 4)});
            quads.byteBuffer.appendBytes(tri.data(), tri.length(), false);
        }
    }
    quads.indexCount = 54;
    root.indexBuffers->add(quads);
    root.vertexBuffers->add(vertexBuffer(1, {A::POSITION}, 3, floatBytes({0, 0, 0, 1, 0, 0, 0, 1, 0})));
    root.vertexBuffers->add(vertexBuffer(2, {A::TEXCOORDS}, 3, floatBytes({0, 0, 1, 0, 0, 1})));
    root.indexBuffers->add(indexBuffer(1, {0, 1, 2}));

    root.images->add({0, "wood.png"});
    root.images->add({1, "normal.png"});
    root.maps->add({1, 0, 0});
    root.maps->add({2, 1, 1});
    Zeq2Material wood;
    wood.id = 0;
    wood.diffuseMapId = 0;
    wood.normalMapId = 1;
    root.materials->add(wood);
    Zeq2Material plain;
    plain.id = 1;
    plain.specularMapId = 0;
    root.materials->add(plain);

    root.objects->add(objectRecord(1, "Group", std::nullopt, moveTo(1, 2, 3)));
    root.objects->add(objectRecord(2, "Sub", 1, transformOf({0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 5})));
    Zeq2Mesh floor = meshRecord(3, "Floor", 0, {0});
    floor.parentId = 2;
    floor.surfaces.add({0, 0, 10});
    floor.surfaces.add({30, 1, 8});
    floor.transform = moveTo(0, 0, 1);
    root.meshes->add(floor);
    Zeq2Mesh copy = meshRecord(4, "FloorCopy", 0, {0});
    copy.surfaces.add({0, 0, 18});
    root.meshes->add(copy);
    Zeq2Mesh split = meshRecord(5, "Split", 1, {1, 2});
    split.parentId = 1;
    split.surfaces.add({0, std::nullopt, 1});
    root.meshes->add(split);

    Zeq2DirectionalLight sun;
    sun.id = 6;
    sun.name = "Sun";
    sun.color = 0xFFEEDD;
    sun.intensity = 1;
    sun.transform = moveTo(0, 0, 10);
    root.directionalLights->add(sun);
    Zeq2OmniLight bulb;
    bulb.id = 7;
    bulb.name = "Bulb";
    bulb.parentId = 1;
    bulb.attenuationBegin = 1;
    bulb.attenuationEnd = 9;
    root.omniLights->add(bulb);
    Zeq2SpotLight spot;
    spot.id = 8;
    spot.name = "Spot";
    spot.hotspot = 0.3f;
    spot.falloff = 0.6f;
    root.spotLights->add(spot);
    Zeq2AmbientLight ambient;
    ambient.color = 0x202020;
    root.ambientLights->add(ambient);
    return file;
}

class Robustness : public ImportTest {};

TEST_F(Robustness, TheSampleImportsCleanly) {
    ASSERT_EQ(importFile(writeScene(richScene())), IMPEXP_SUCCESS);
    EXPECT_TRUE(boxes().empty()) << warnings();
    EXPECT_EQ(sceneNodeCount(), 8u);
    EXPECT_EQ(node("Floor")->GetParentNode(), node("Sub"));
    EXPECT_EQ(triOf("Floor"), triOf("FloorCopy"));
}

TEST_F(Robustness, EveryTruncationFailsCleanly) {
    const ByteBuffer bytes = encodeSceneFile(richScene());
    DamagedFileChecker checker(path("cut.zeq"));
    for (int32_t length = 0; length < bytes.length(); ++length) {
        ByteBuffer cut;
        cut.appendFrom(bytes, 0, length);
        checker.check(cut, "truncated to " + std::to_string(length) + " bytes");
        if (HasFatalFailure()) return;
    }
    // A cut file never decodes: the packet declares more bytes than it holds.
    EXPECT_EQ(checker.successes(), 0);
}

TEST_F(Robustness, SeededCorruptionsOfTheStoredBytes) {
    const ByteBuffer bytes = encodeSceneFile(richScene());
    DamagedFileChecker checker(path("flipped.zeq"));
    std::mt19937 random(20240601);
    for (int round = 0; round < 1000; ++round) {
        ByteBuffer damaged = bytes;
        corrupt(damaged, random);
        checker.check(damaged, "stored-byte corruption round " + std::to_string(round));
        if (HasFatalFailure()) return;
    }
}

TEST_F(Robustness, SeededCorruptionsOfTheInflatedData) {
    Protocol protocol;
    registerFormatTypes(protocol);
    ByteBuffer packet = encodeSceneFile(protocol, richScene());
    ProtocolBuffer original;
    ASSERT_TRUE(protocol.decodePacket(packet, original));
    DamagedFileChecker checker(path("inflated.zeq"));
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        ProtocolBuffer damaged = original;
        // Mostly the value bytes (lengths, ids, counts, vertex data), sometimes the presence bits.
        if (round % 8 == 0 && !damaged.nullMap.bytes.empty()) {
            damaged.nullMap.bytes[random() % damaged.nullMap.bytes.size()] ^= static_cast<uint8_t>(1u << (random() % 8));
        } else {
            corrupt(damaged.buffer, random);
        }
        ByteBuffer repacked;
        protocol.encodePacket(repacked, damaged, true);
        checker.check(repacked, "inflated-data corruption round " + std::to_string(round));
        if (HasFatalFailure()) return;
    }
    // Many corruptions decode and reach the builders.
    EXPECT_GT(checker.successes(), 100);
}

}  // namespace
}  // namespace zeq::test
