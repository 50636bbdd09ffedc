// The import command: progress steps, files that cannot be imported, and imports in a row.
#include "codec/protocol.h"
#include "format/register.h"
#include "headless/import_interface.h"
#include "support.h"

#include <fstream>

namespace zeq::test {
namespace {

using Kind = headless::ProgressEvent::Kind;

class Pipeline : public ImportTest {
protected:
    SceneFile sceneWithOneObject() {
        SceneFile file;
        file.root = emptyRoot();
        file.root.objects->add(objectRecord(1, "Box"));
        return file;
    }

    // Expects the import of `file` to fail with one "Error" box containing `expected`, an ended
    // progress display and an untouched scene.
    void expectFailure(const std::string& file, const std::string& expected) {
        const std::size_t owned = host_.scene().ownedCount();
        EXPECT_EQ(importFile(file), IMPEXP_FAIL);
        ASSERT_EQ(boxes().size(), 1u);
        EXPECT_EQ(boxes()[0].caption, "Error");
        EXPECT_EQ(boxes()[0].type, MB_OK | MB_ICONERROR);
        EXPECT_NE(boxes()[0].text.find(expected), std::string::npos) << boxes()[0].text;
        EXPECT_FALSE(host_.ui().progressActive());
        ASSERT_FALSE(host_.ui().progressEvents().empty());
        EXPECT_EQ(host_.ui().progressEvents().back().kind, Kind::End);
        EXPECT_EQ(host_.scene().ownedCount(), owned);
        EXPECT_EQ(host_.redrawCount(), 0);
    }
};

TEST_F(Pipeline, ProgressStepsOfASuccessfulImport) {
    ASSERT_EQ(importFile(writeScene(sceneWithOneObject())), IMPEXP_SUCCESS);
    const auto& events = host_.ui().progressEvents();
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[0].kind, Kind::Start);
    EXPECT_EQ(events[0].title, "Importing Zeq...");
    EXPECT_EQ(events[1].percent, 25);
    EXPECT_EQ(events[2].percent, 50);
    EXPECT_EQ(events[3].percent, 75);
    EXPECT_EQ(events[4].kind, Kind::End);
    EXPECT_TRUE(boxes().empty());
    EXPECT_NE(node("Box"), nullptr);
}

TEST_F(Pipeline, FilesThatCannotBeImported) {
    expectFailure(path("missing.zeq"), "Cannot open: No such file or directory.");
}

TEST_F(Pipeline, EmptyFile) { expectFailure(writeBytes(ByteBuffer()), "Not a Zeq file: empty."); }

TEST_F(Pipeline, FileShorterThanAPacketHeader) {
    ByteBuffer one;
    one.appendByte(0x41);
    expectFailure(writeBytes(one), "Not a Zeq file: too short.");
}

TEST_F(Pipeline, FileCutInsideItsPacket) {
    ByteBuffer bytes = encodeSceneFile(sceneWithOneObject());
    bytes.truncate(bytes.length() - 3);
    expectFailure(writeBytes(bytes), "Truncated: the packet declares ");
}

TEST_F(Pipeline, CompressedDataThatDoNotInflate) {
    ByteBuffer bytes = encodeSceneFile(sceneWithOneObject());
    const int header = (bytes.data()[0] & 0x80) ? 4 : 2;
    for (int i = header + 2; i < bytes.length(); ++i) bytes.data()[i] = 0xFF;  // after the zlib header
    expectFailure(writeBytes(bytes), "Corrupted compressed data.");
}

TEST_F(Pipeline, RecordsThatDoNotDecode) {
    // A packet holding the version pair and one byte: the Zeq2 root runs past the end of the data.
    Protocol protocol;
    registerFormatTypes(protocol);
    ProtocolBuffer pb;
    const uint8_t version[] = {0, 2, 0, 5, 0x01};
    pb.buffer.appendBytes(version, 5, false);
    ByteBuffer bytes;
    protocol.encodePacket(bytes, pb, true);
    expectFailure(writeBytes(bytes), "Truncated data: the value at byte offset 5 runs past the end of the data stream (5 bytes).");
}

TEST_F(Pipeline, OtherMajorVersionsAreRefused) {
    SceneFile file = sceneWithOneObject();
    file.majorVersion = 3;
    expectFailure(writeScene(file), "Unsupported major version 3.");
}

TEST_F(Pipeline, AFolderIsNoFile) { expectFailure(dir_.string(), "Is a directory, not a file."); }

TEST_F(Pipeline, UnknownMinorVersionsReadThirtyTwoBitData) {
    Zeq2 root = emptyRoot();
    addTriangleGeometry(root);
    root.meshes->add(meshRecord(1, "M", 1, {1}));
    ASSERT_EQ(importRoot(root, 7), IMPEXP_SUCCESS);
    EXPECT_EQ(triOf("M")->GetMesh().verts[1], Point3(1.0f, 0.0f, 0.0f));
}

// A host that fails while the scene is built: the box names the record whose node was being made,
// and the host's own wording stays out of it.
TEST_F(Pipeline, AFailingHostIsReportedWithTheRecordBeingBuilt) {
    struct FailingLights : headless::ImportInterface {
        using ImportInterface::ImportInterface;
        GenLight* CreateLightObject(int) override { throw std::out_of_range("vector::_M_range_check"); }
    };
    SceneFile file = sceneWithOneObject();
    Zeq2OmniLight bulb;
    bulb.id = 7;
    bulb.name = "Bulb";
    file.root.omniLights->add(bulb);
    FailingLights ii(host_);
    EXPECT_EQ(runImport(writeScene(file).c_str(), &ii, &host_), IMPEXP_FAIL);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "The import stopped while building omni light \"Bulb\" (id 7): the host or the importer "
                               "failed, through no fault found in the file.");
    EXPECT_FALSE(host_.ui().progressActive());
}

TEST_F(Pipeline, DamageAfterTheFirstRootSkipsLayersWithAWarning) {
    // Damage after the Zeq2 root (the layer and LOD roots) does not stop the import of the scene.
    SceneFile file = sceneWithOneObject();
    Zeq2Layer layer;
    layer.id = 1;
    layer.name = "Props";
    layer.objectIds = TArray<int64_t>{1};
    file.extra1.layers.emplace().add(layer);
    Protocol protocol;
    registerFormatTypes(protocol);
    ByteBuffer packet = encodeSceneFile(protocol, file);
    ProtocolBuffer pb;
    ASSERT_TRUE(protocol.decodePacket(packet, pb));
    pb.buffer.truncate(pb.buffer.length() - 5);  // into the layer's object ids
    ByteBuffer damaged;
    protocol.encodePacket(damaged, pb, true);
    ASSERT_EQ(importFile(writeBytes(damaged)), IMPEXP_SUCCESS);
    EXPECT_NE(node("Box"), nullptr);
    EXPECT_NE(warnings().find("the layers and LOD groups after the scene cannot be read"), std::string::npos)
        << warnings();
}

// A scripted import (prompts suppressed) shows no box; the import leaves the host's animate mode as
// it found it and, with it on, still makes static nodes.
TEST_F(Pipeline, TheHostsPromptsAndAnimateModeAreRespected) {
    headless::ImportInterface ii(host_);
    EXPECT_EQ(runImport(path("missing.zeq").c_str(), &ii, &host_, true), IMPEXP_FAIL);
    EXPECT_TRUE(boxes().empty());
    EXPECT_FALSE(host_.ui().progressActive());

    AnimateOn();
    SceneFile file = sceneWithOneObject();
    file.root.tracks.emplace();
    EXPECT_EQ(importFile(writeScene(file)), IMPEXP_SUCCESS);
    EXPECT_TRUE(Animating());
    AnimateOff();
    EXPECT_FALSE(node("Box")->track().IsAnimated());
}

TEST_F(Pipeline, TwoImportsInARowShareNothing) {
    SceneFile first = sceneWithOneObject();
    ASSERT_EQ(importFile(writeScene(first, "first.zeq")), IMPEXP_SUCCESS);
    SceneFile second;
    second.root = emptyRoot();
    second.root.objects->add(objectRecord(2, "Child", 1));
    ASSERT_EQ(importFile(writeScene(second, "second.zeq")), IMPEXP_SUCCESS);
    // Id 1 of the first file means nothing to the second.
    EXPECT_TRUE(node("Child")->GetParentNode()->IsRootNode());
    EXPECT_EQ(node("Box")->NumberOfChildren(), 0);
}

TEST_F(Pipeline, DecodeSceneReportsTheVersionPair) {
    SceneFile file = sceneWithOneObject();
    file.minorVersion = kMinorVersionHalf;
    ByteBuffer bytes = encodeSceneFile(file);
    int unpacked = 0;
    const DecodedScene scene = decodeScene(bytes, [&] { ++unpacked; });
    EXPECT_EQ(unpacked, 1);
    EXPECT_EQ(scene.majorVersion, 2);
    EXPECT_EQ(scene.minorVersion, kMinorVersionHalf);
    EXPECT_EQ(scene.root, file.root);
}

}  // namespace
}  // namespace zeq::test
