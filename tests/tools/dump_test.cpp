// The JSON dump and the vertex decoding behind it: decoded buffers show the stored numbers for
// both minor versions, undecodable data stay hex, and the raw form reads back into the same file.
#include "format/json.h"
#include "support.h"
#include "tools/zeq/inspect_dump.h"
#include "tools/zeq/inspect_vertices.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

namespace zeq::inspect {
namespace {

using A = Zeq2VertexAttributes;
using test::validScene;

// The dump parsed with its key order kept.
Json dumped(const SceneFile& file, bool raw = false) {
    std::ostringstream out;
    dumpScene(out, file, DumpOptions{raw});
    return Json::parse(out.str());
}

TEST(VertexLayout, StridesForBothMinorVersions) {
    const TArray<A> basic{A::POSITION, A::NORMAL, A::TEXCOORDS};
    const TArray<A> twoChannels{A::POSITION, A::NORMAL, A::TEXCOORDS, A::TEXCOORDS};
    EXPECT_EQ(vertexLayout(basic, 5).attributeBytes, 32);
    EXPECT_EQ(vertexLayout(twoChannels, 5).attributeBytes, 40);
    EXPECT_EQ(vertexLayout(basic, 6).attributeBytes, 16);
    EXPECT_EQ(vertexLayout(twoChannels, 6).attributeBytes, 20);
    const VertexLayout layout = vertexLayout(twoChannels, 5);
    ASSERT_EQ(layout.slots.size(), 4u);
    EXPECT_EQ(layout.slots[2].offset, 24);
    EXPECT_EQ(layout.slots[3].offset, 32);
    EXPECT_FALSE(vertexLayout(TArray<A>{A::POSITION, static_cast<A>(7)}, 5).known);
}

TEST(VertexView, WholeVerticesOnlyAndLargerStridesAreSkipped) {
    Zeq2VertexBuffer buffer;
    buffer.attributes = {A::TEXCOORDS};
    buffer.vertexCount = 2;
    buffer.byteBuffer = test::floatBytes({1, 2, 99, 3, 4, 99});  // 12-byte stride, 8 bytes used
    VertexView view;
    std::string why;
    ASSERT_TRUE(viewVertexBuffer(buffer, 5, view, why));
    EXPECT_EQ(view.stride, 12);
    EXPECT_EQ(view.value(1, view.layout.slots[0], 1), 4.0f);

    buffer.byteBuffer.truncate(11);
    EXPECT_FALSE(viewVertexBuffer(buffer, 5, view, why));
    buffer.byteBuffer = test::floatBytes({1});  // shorter than one vertex
    buffer.vertexCount = 1;
    EXPECT_FALSE(viewVertexBuffer(buffer, 5, view, why));
    buffer.vertexCount = 0;  // data without vertices
    EXPECT_FALSE(viewVertexBuffer(buffer, 5, view, why));
}

TEST(Dump, ShowsVersionRootsAndEveryFieldWithNullForAbsent) {
    const Json json = dumped(validScene());
    EXPECT_EQ(json["majorVersion"], 2);
    EXPECT_EQ(json["minorVersion"], 5);
    const auto& mesh = json["Zeq2"]["meshes"][0];
    EXPECT_EQ(mesh["name"], "Quad");
    EXPECT_TRUE(mesh["surfaces"][1]["materialId"].is_null());
    EXPECT_EQ(mesh["transform"]["matrix"]["d"], 1.0);
    EXPECT_TRUE(json["Zeq2"]["decals"].is_null());
    EXPECT_EQ(json["Zeq2Extra2"]["lods"][0]["distances"], Json::parse("[10, 50]"));
    // every field of a record, in stored order
    std::vector<std::string> keys;
    for (const auto& item : json["Zeq2"]["objects"][0].items()) keys.push_back(item.key());
    EXPECT_THAT(keys, ::testing::ElementsAre("boundBoxId", "id", "name", "parentId", "transform", "visible"));
}

TEST(Dump, DecodesVertexAttributesAndIndices) {
    const Json json = dumped(validScene());
    const auto& quad = json["Zeq2"]["vertexBuffers"][0];
    EXPECT_EQ(quad["attributes"], Json::parse(R"(["POSITION", "NORMAL", "TEXCOORDS"])"));
    EXPECT_EQ(quad["byteBuffer"]["positions"][2], Json::parse("[1, 1, 0]"));
    EXPECT_EQ(quad["byteBuffer"]["normals"][3], Json::parse("[0, 0, 1]"));
    EXPECT_EQ(quad["byteBuffer"]["texcoords"][0][1], Json::parse("[1, 0]"));
    const auto& skinned = json["Zeq2"]["vertexBuffers"][1]["byteBuffer"];
    EXPECT_EQ(skinned["joints"][2], Json::parse("[[0, 0.5], [3, 0.5]]"));
    EXPECT_EQ(json["Zeq2"]["indexBuffers"][0]["byteBuffer"], Json::parse("[0, 1, 2, 0, 2, 3]"));
}

TEST(Dump, DecodesHalfPrecisionBigEndianData) {
    SceneFile file = validScene();
    file.minorVersion = kMinorVersionHalf;
    Zeq2VertexBuffer& buffer = file.root.vertexBuffers->items[0];
    buffer.attributes = {A::POSITION, A::TANGENT4, A::TEXCOORDS, A::TEXCOORDS};
    buffer.vertexCount = 1;
    buffer.byteBuffer = test::halfBytes({0.5f, -2, 65504, 1, 0, 0, -1, 0.25f, 0.75f, 3, 4});
    const Json json = dumped(file);
    const auto& data = json["Zeq2"]["vertexBuffers"][0]["byteBuffer"];
    EXPECT_EQ(data["positions"][0], Json::parse("[0.5, -2, 65504]"));
    EXPECT_EQ(data["tangents"][0], Json::parse("[1, 0, 0, -1]"));
    EXPECT_EQ(data["texcoords"], Json::parse("[[[0.25, 0.75]], [[3, 4]]]"));
}

TEST(Dump, RepeatedKindsGetTheirOwnKeysAndEmptyBuffersEmptyLists) {
    SceneFile file = validScene();
    Zeq2VertexBuffer& buffer = file.root.vertexBuffers->items[0];
    buffer.attributes = {A::NORMAL, A::POSITION, A::NORMAL};
    buffer.vertexCount = 1;
    buffer.byteBuffer = test::floatBytes({1, 0, 0, 5, 6, 7, 0, 1, 0});
    Zeq2VertexBuffer& empty = file.root.vertexBuffers->items[1];
    empty.vertexCount = 0;
    empty.byteBuffer = ByteBuffer();
    const Json json = dumped(file);
    const auto& data = json["Zeq2"]["vertexBuffers"][0]["byteBuffer"];
    std::vector<std::string> keys;
    for (const auto& item : data.items()) keys.push_back(item.key());
    EXPECT_THAT(keys, ::testing::ElementsAre("normals", "positions", "normals2"));
    EXPECT_EQ(data["normals2"][0], Json::parse("[0, 1, 0]"));
    EXPECT_EQ(json["Zeq2"]["vertexBuffers"][1]["byteBuffer"], Json::parse(R"({"positions": [], "joints": []})"));
}

TEST(Dump, UndecodableDataStayHex) {
    SceneFile file = validScene();
    file.root.vertexBuffers->items[0].byteBuffer.truncate(5);
    file.root.vertexBuffers->items[1].attributes.items[1] = static_cast<A>(12);
    file.root.indexBuffers->items[0].byteBuffer = test::indexBytes({1, 2});
    file.root.indexBuffers->items[0].byteBuffer.truncate(3);
    // Bytes beyond the attributes of each vertex, which the numbers would not show.
    Zeq2VertexBuffer wide;
    wide.attributes = {A::TEXCOORDS};
    wide.vertexCount = 1;
    wide.byteBuffer = test::floatBytes({1, 1, 2});
    Zeq2VertexBuffer bare;
    bare.vertexCount = 2;
    bare.byteBuffer = test::indexBytes({1, 2, 3, 4});
    file.root.vertexBuffers->add(wide);
    file.root.vertexBuffers->add(bare);
    const Json json = dumped(file);
    EXPECT_EQ(json["Zeq2"]["vertexBuffers"][2]["byteBuffer"], "0000803f0000803f00000040");
    EXPECT_EQ(json["Zeq2"]["vertexBuffers"][3]["byteBuffer"], "0100020003000400");
    EXPECT_EQ(json["Zeq2"]["vertexBuffers"][0]["byteBuffer"], "0000000000");
    EXPECT_TRUE(json["Zeq2"]["vertexBuffers"][1]["byteBuffer"].is_string());
    EXPECT_EQ(json["Zeq2"]["vertexBuffers"][1]["attributes"][1], 12);
    EXPECT_EQ(json["Zeq2"]["indexBuffers"][0]["byteBuffer"], "010002");
}

TEST(Dump, NonFiniteNumbersAndTextNeedingEscapes) {
    SceneFile file = validScene();
    file.root.objects->items[0].name = "say \"hi\"\n\\ caf\xC3\xA9";
    file.root.spotLights->items[0].intensity = std::numeric_limits<float>::infinity();
    file.root.vertexBuffers->items[0].byteBuffer = test::floatBytes({NAN, 0, 0, 0, 0, 1, 0, 0,  //
                                                                     1, 0, 0, 0, 0, 1, 1, 0,  //
                                                                     1, 1, 0, 0, 0, 1, 1, 1,  //
                                                                     0, 1, 0, 0, 0, 1, 0, 1});
    const Json json = dumped(file);
    EXPECT_EQ(json["Zeq2"]["objects"][0]["name"], "say \"hi\"\n\\ caf\xC3\xA9");
    EXPECT_EQ(json["Zeq2"]["spotLights"][0]["intensity"], "Infinity");
    EXPECT_EQ(json["Zeq2"]["vertexBuffers"][0]["byteBuffer"]["positions"][0][0], "NaN");
}

// The raw dump is the JSON form of format/json.h, so it reads back into the very same file:
// every field, float and byte survives the text.
TEST(Dump, RawFormReadsBackIntoTheSameFile) {
    SceneFile file = validScene();
    file.minorVersion = kMinorVersionHalf;
    file.root.omniLights = TArray<Zeq2OmniLight>{};
    file.root.spotLights->items[0].falloff = 0.1f;
    file.root.spotLights->items[0].hotspot = std::numeric_limits<float>::max();
    file.root.spotLights->items[0].intensity = -std::numeric_limits<float>::max();
    file.root.spotLights->items[0].attenuationEnd = 1.17549435e-38f;
    file.root.spotLights->items[0].attenuationBegin = -0.0f;
    const Json json = dumped(file, true);
    EXPECT_EQ(json["Zeq2"]["indexBuffers"][1]["byteBuffer"], "000001000200");
    const SceneFile back = sceneFileFromJson(json);
    EXPECT_EQ(back, file);
    EXPECT_TRUE(std::signbit(back.root.spotLights->items[0].attenuationBegin));
}

}  // namespace
}  // namespace zeq::inspect
