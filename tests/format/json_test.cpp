// The JSON form of records: the shapes of particular values and the errors of reading it back.
#include "format/json.h"
#include "support.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace zeq::test {
namespace {

TEST(RecordJson, FieldsInWireOrderWithTheirValueForms) {
    Zeq2VertexBuffer buffer;
    buffer.attributes = {Zeq2VertexAttributes::POSITION, Zeq2VertexAttributes::TEXCOORDS,
                         static_cast<Zeq2VertexAttributes>(12)};
    buffer.byteBuffer = bufferOf({0x00, 0xAB, 0x7F});
    buffer.id = -3;
    buffer.vertexCount = 65535;
    EXPECT_EQ(toJson(buffer).dump(),
              R"({"attributes":["POSITION","TEXCOORDS",12],"byteBuffer":"00ab7f","id":-3,"vertexCount":65535})");

    Zeq2Layer layer;
    layer.id = 1;
    layer.objectIds = TArray<int64_t>{INT64_MIN};
    EXPECT_EQ(toJson(layer).dump(), R"({"id":1,"name":null,"objectIds":[-9223372036854775808]})");

    ZeqObject object;
    object.parentId = ZeqId{4294967295u};
    EXPECT_EQ(toJson(object)["parentId"], 4294967295u);
}

TEST(RecordJson, NonFiniteFloatsAreStrings) {
    Zeq2Box box;
    // A NaN other than the usual one keeps its sign and payload (0/0 gives a negative NaN on x86).
    box.box = {INFINITY, -INFINITY, NAN, 0.5f, std::bit_cast<float>(0xffc00000u), std::bit_cast<float>(0x7f800001u)};
    const Json json = toJson(box);
    EXPECT_EQ(json["box"].dump(), R"(["Infinity","-Infinity","NaN",0.5,"NaN:0xffc00000","NaN:0x7f800001"])");
    const Zeq2Box back = fromJson<Zeq2Box>(json);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(std::bit_cast<uint32_t>(back.box.get(i)), std::bit_cast<uint32_t>(box.box.get(i))) << i;
    // Bits that are no NaN, or not 8 hex digits, are no NaN text.
    for (const char* refused : {"NaN:0x7f800000", "NaN:0x1", "NaN:0xffc000000", "NaN:0xffc0000g", "nan"}) {
        EXPECT_THROW(fromJson<Zeq2Box>(Json::parse(std::string(R"({"box":[")") + refused + R"("],"id":1})")),
                     std::invalid_argument) << refused;
    }

    // The shortest texts of the extreme finite floats read back as them, though they lie a little
    // beyond them; only numbers that round to an infinity or, not being 0, to 0 are refused.
    const Zeq2Box extremes = fromJson<Zeq2Box>(Json::parse(R"({"box":[3.4028235e38,-3.4028235e38,1e-45],"id":1})"));
    EXPECT_EQ(extremes.box.get(0), std::numeric_limits<float>::max());
    EXPECT_EQ(extremes.box.get(1), std::numeric_limits<float>::lowest());
    EXPECT_EQ(extremes.box.get(2), std::numeric_limits<float>::denorm_min());
    for (const char* refused : {"3.4028236e38", "-3.4028236e38", "1e-46"}) {
        EXPECT_THROW(fromJson<Zeq2Box>(Json::parse(std::string(R"({"box":[)") + refused + R"(],"id":1})")),
                     std::invalid_argument) << refused;
    }
}

TEST(RecordJson, SceneFileForm) {
    const SceneFile file = sampleScene();
    const Json json = sceneFileToJson(file);
    EXPECT_EQ(json["majorVersion"], 2);
    EXPECT_EQ(json["minorVersion"], 5);
    EXPECT_EQ(json["Zeq2"]["meshes"][0]["name"], "Teapot");
    EXPECT_EQ(json["Zeq2"]["images"][0]["url"], "maps/br\xC3\xBC" "cke.png");
    EXPECT_EQ(sceneFileFromJson(Json::parse(json.dump())), file);
}

TEST(RecordJson, ReadingBackNamesTheFaultyField) {
    const auto message = [](const std::string& text) -> std::string {
        try {
            fromJson<Zeq2Mesh>(Json::parse(text));
        } catch (const std::invalid_argument& e) {
            return e.what();
        }
        return "accepted";
    };
    const std::string valid = R"("id":1,"indexBufferId":2,"surfaces":[],"vertexBufferIds":[],"visible":true)";
    EXPECT_EQ(message("{" + valid + "}"), "accepted");
    EXPECT_EQ(message(R"({"id":1})"), "Zeq2Mesh.indexBufferId: missing required field");
    EXPECT_EQ(message("{" + valid + R"(,"colour":1})"), "Zeq2Mesh: unknown field \"colour\"");
    EXPECT_EQ(message(R"({"id":1,"indexBufferId":2,"surfaces":[{"indexBegin":"x"}],"vertexBufferIds":[],"visible":true})"),
              "Zeq2Mesh.surfaces[0].indexBegin: expected an integer from -2147483648 to 2147483647");
    EXPECT_EQ(message(R"({"id":1,"indexBufferId":2147483648,"surfaces":[],"vertexBufferIds":[],"visible":true})"),
              "Zeq2Mesh.indexBufferId: expected an integer from -2147483648 to 2147483647");
    EXPECT_EQ(message(R"({"id":1,"indexBufferId":2,"surfaces":[],"vertexBufferIds":[],"visible":1})"),
              "Zeq2Mesh.visible: expected true or false");
    EXPECT_EQ(message("[]"), "Zeq2Mesh: expected an object");

    EXPECT_THROW(fromJson<Zeq2IndexBuffer>(Json::parse(R"({"byteBuffer":"abc","id":1,"indexCount":0})")),
                 std::invalid_argument);
    EXPECT_THROW(fromJson<Zeq2IndexBuffer>(Json::parse(R"({"byteBuffer":"zz","id":1,"indexCount":0})")),
                 std::invalid_argument);
    EXPECT_THROW(fromJson<Zeq2Map>(Json::parse(R"({"channel":65536,"id":1,"imageId":0})")), std::invalid_argument);
    EXPECT_THROW(fromJson<Zeq2Box>(Json::parse(R"({"box":[1e300],"id":1})")), std::invalid_argument);
    EXPECT_THROW(fromJson<Zeq2VertexBuffer>(Json::parse(
                     R"({"attributes":["COLOR"],"byteBuffer":"","id":1,"vertexCount":0})")),
                 std::invalid_argument);

    // Texts, byte arrays and lists longer than a file can store (their length prefix counts to 4194303).
    const auto refusal = [](auto record, const std::string& field, Json value) -> std::string {
        Json json = toJson(record);
        json[field] = std::move(value);
        try {
            fromJson<decltype(record)>(json);
        } catch (const std::invalid_argument& e) {
            return e.what();
        }
        return "accepted";
    };
    EXPECT_EQ(refusal(Zeq2Image{}, "url", std::string(4194303, 'a')), "accepted");
    EXPECT_EQ(refusal(Zeq2Image{}, "url", std::string(4194302, 'a') + "\xC3\xA9"),
              "Zeq2Image.url: 4194304 bytes, at most 4194303");
    EXPECT_EQ(refusal(Zeq2IndexBuffer{}, "byteBuffer", std::string(2 * 4194303, 'f')), "accepted");
    EXPECT_EQ(refusal(Zeq2IndexBuffer{}, "byteBuffer", std::string(2 * 4194304, 'f')),
              "Zeq2IndexBuffer.byteBuffer: 4194304 bytes, at most 4194303");
    EXPECT_EQ(refusal(Zeq2Mesh{}, "vertexBufferIds", Json::array()), "accepted");
    EXPECT_EQ(refusal(Zeq2Mesh{}, "vertexBufferIds", Json(std::vector<int>(4194304, 0))),
              "Zeq2Mesh.vertexBufferIds: 4194304 entries, at most 4194303");
}

TEST(RecordJson, TextsAreUtf8WhateverTheCodePage) {
    setActiveCodePage(CodePage::Windows1252);
    Zeq2Image image{1, "caf\xE9.png"};  // "café.png" in Windows-1252
    const Json json = toJson(image);
    const Zeq2Image back = fromJson<Zeq2Image>(json);
    setActiveCodePage(CodePage::Utf8);
    EXPECT_EQ(json["url"], "caf\xC3\xA9.png");
    EXPECT_EQ(back, image);
}

TEST(RecordJson, HexAcceptsBothCases) {
    EXPECT_EQ(bytesOf(fromHex("aBcD")), (std::vector<uint8_t>{0xAB, 0xCD}));
    EXPECT_EQ(toHex(bufferOf({0xAB, 0xCD, 0x01})), "abcd01");
    EXPECT_EQ(toHex(ByteBuffer()), "");
}

}  // namespace
}  // namespace zeq::test
