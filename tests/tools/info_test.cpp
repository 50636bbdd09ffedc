// The summary of `zeq info`: record counts of every type that occurs (nested records included),
// geometry totals, and the printed layout.
#include "support.h"
#include "tools/zeq/inspect_info.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

namespace zeq::inspect {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;

TEST(Info, CountsEveryRecordTypeThatOccurs) {
    PacketInfo packet;
    packet.packetBytes = 700;
    packet.inflatedBytes = 1500;
    const SceneSummary summary = summarizeScene(test::validScene(), packet);
    EXPECT_EQ(summary.packetBytes, 700);
    EXPECT_EQ(summary.inflatedBytes, 1500);
    EXPECT_THAT(summary.recordCounts,
                ElementsAre(Pair("Zeq2AmbientLight", 1), Pair("Zeq2AnimationClip", 1), Pair("Zeq2Box", 1),
                            Pair("Zeq2CubeMap", 1), Pair("Zeq2Image", 2), Pair("Zeq2IndexBuffer", 2),
                            Pair("Zeq2Joint", 2), Pair("Zeq2JointBindTransform", 2), Pair("Zeq2Keyframe", 3),
                            Pair("Zeq2LOD", 1), Pair("Zeq2Layer", 1), Pair("Zeq2Map", 1), Pair("Zeq2Material", 2),
                            Pair("Zeq2Mesh", 1), Pair("Zeq2Object", 1), Pair("Zeq2Skin", 1), Pair("Zeq2SpotLight", 1),
                            Pair("Zeq2Sprite", 1), Pair("Zeq2Surface", 3), Pair("Zeq2Track", 1),
                            Pair("Zeq2VertexBuffer", 2)));
    EXPECT_EQ(summary.vertices, 7);
    EXPECT_EQ(summary.vertexBuffers, 2);
    EXPECT_EQ(summary.triangles, 3);
    EXPECT_EQ(summary.indexBuffers, 2);
}

TEST(Info, PrintedSummaryOfAnEmptyScene) {
    SceneFile file;
    file.minorVersion = kMinorVersionHalf;
    PacketInfo packet;
    packet.packetBytes = 13;
    packet.inflatedBytes = 1;
    std::ostringstream out;
    printSummary(out, "empty.zeq", summarizeScene(file, packet));
    EXPECT_EQ(out.str(),
              "empty.zeq\n"
              "  version    2.6 (16-bit float vertex data)\n"
              "  packet     13 bytes, inflated 1 byte\n"
              "  vertices   0 in 0 vertex buffers\n"
              "  triangles  0 in 0 index buffers\n"
              "  records    none\n");
}

TEST(Info, PrintedCountsAreAligned) {
    SceneFile file;
    file.root.meshes = TArray<Zeq2Mesh>{Zeq2Mesh{}};
    Zeq2IndexBuffer indices;
    indices.indexCount = 7;  // a stray index does not make a triangle
    file.root.indexBuffers = TArray<Zeq2IndexBuffer>{indices};
    std::ostringstream out;
    printSummary(out, "a.zeq", summarizeScene(file, PacketInfo{}));
    EXPECT_THAT(out.str(), ::testing::HasSubstr("  triangles  2 in 1 index buffer\n"
                                                "  records\n"
                                                "    Zeq2IndexBuffer  1\n"
                                                "    Zeq2Mesh         1\n"));
}

}  // namespace
}  // namespace zeq::inspect
