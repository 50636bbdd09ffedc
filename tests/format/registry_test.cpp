// What registerFormatTypes puts into the registry, and how record codecs follow later changes to it.
#include "support.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

namespace zeq::test {
namespace {

TEST(FormatRegistry, EveryTypeAndArrayKeyInBothForms) {
    Protocol protocol;
    const std::size_t primitives = protocol.registry().size();
    registerFormatTypes(protocol);

    std::set<std::string> names(kFormatTypeNames.begin(), kFormatTypeNames.end());
    EXPECT_EQ(names.size(), 44u);
    std::set<std::string> elements(kArrayElementTypeNames.begin(), kArrayElementTypeNames.end());
    EXPECT_EQ(elements.size(), 39u);

    for (std::string_view name : kFormatTypeNames) {
        const std::string key(name);
        ICodec* plain = protocol.getCodec(key);
        ASSERT_NE(plain, nullptr) << key;
        auto* optional = dynamic_cast<OptionalCodecDecorator*>(protocol.getCodec(key + " Optional"));
        ASSERT_NE(optional, nullptr) << key;
        EXPECT_EQ(optional->inner(), plain) << key;
    }
    for (std::string_view element : kArrayElementTypeNames) {
        const std::string key = "array1" + std::string(element);
        ICodec* array = protocol.getCodec(key);
        ASSERT_NE(array, nullptr) << key;
        auto* optional = dynamic_cast<OptionalCodecDecorator*>(protocol.getCodec(key + " Optional"));
        ASSERT_NE(optional, nullptr) << key;
        EXPECT_EQ(optional->inner(), array) << key;
    }
    EXPECT_EQ(protocol.registry().size(), primitives + 88 + 78);
    EXPECT_NE(protocol.getCodec(ArrayCodecInfo(TypeCodecInfo("Long", false), true)), nullptr);
    EXPECT_EQ(protocol.getCodec("ULong"), protocol.getCodec("Uint"));
}

TEST(FormatRegistry, ArrayCodecsWrapTheRegisteredElementCodec) {
    Protocol protocol;
    registerFormatTypes(protocol);
    auto* surfaces = dynamic_cast<TArrayCodec<Zeq2Surface>*>(protocol.getCodec("array1Zeq2Surface"));
    ASSERT_NE(surfaces, nullptr);
    EXPECT_EQ(surfaces->elementCodec(), protocol.getCodec("Zeq2Surface"));
    auto* bytes = dynamic_cast<TArrayCodec<int8_t>*>(protocol.getCodec("array1Byte"));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes->elementCodec(), protocol.getCodec("Byte"));
    EXPECT_NE(dynamic_cast<TArrayCodec<Zeq2VertexAttributes>*>(protocol.getCodec("array1Zeq2VertexAttributes")),
              nullptr);
}

TEST(FormatRegistry, IdentifierAndEnumerationCodecs) {
    Protocol protocol;
    registerFormatTypes(protocol);
    ProtocolBuffer pb;
    const ZeqId seven{7};
    protocol.getCodec("Id")->encode(pb, &seven);
    protocol.getCodec("ParentId")->encode(pb, &seven);
    const auto kind = Zeq2VertexAttributes::TEXCOORDS;
    protocol.getCodec("Zeq2VertexAttributes")->encode(pb, &kind);
    EXPECT_EQ(bytesOf(pb.buffer), hexBytes("00000007 00000007 00000004"));

    ZeqId id;
    EXPECT_TRUE(protocol.getCodec("ParentId")->decode(pb, &id));
    EXPECT_EQ(id.value, 7u);
    EXPECT_TRUE(protocol.getCodec("Id")->decode(pb, &id));
    Zeq2VertexAttributes decoded{};
    EXPECT_TRUE(protocol.getCodec("Zeq2VertexAttributes")->decode(pb, &decoded));
    EXPECT_EQ(decoded, kind);
}

TEST(FormatRegistry, NullValuesAreRefused) {
    Protocol protocol;
    registerFormatTypes(protocol);
    ProtocolBuffer pb;
    for (const char* key : {"Zeq2Mesh", "Id", "Zeq2VertexAttributes", "array1Zeq2Surface"}) {
        try {
            protocol.getCodec(key)->encode(pb, nullptr);
            ADD_FAILURE() << key << " accepted a null value";
        } catch (const std::invalid_argument& e) {
            EXPECT_STREQ(e.what(), "encode::object is NULL") << key;
        }
    }
    EXPECT_EQ(pb.buffer.length(), 0);
}

TEST(FormatRegistry, UnregisteredProtocolIsReported) {
    Protocol protocol;  // primitives only
    ProtocolBuffer pb;
    EXPECT_THROW(encodeRecord(protocol, pb, Zeq2Object{}), ProtocolException);
    // A record codec whose field types are missing names the key it could not find.
    Zeq2KeyframeCodec keyframes(protocol);
    try {
        Zeq2Keyframe keyframe;
        keyframes.encode(pb, &keyframe);
        FAIL() << "encoded without a Zeq2Transform codec";
    } catch (const ProtocolException& e) {
        EXPECT_STREQ(e.what(), "no codec registered for \"Zeq2Transform\"");
    }
}

// Writes every float as the four bytes EE EE EE EE, to see who is asked to encode.
class MarkerFloatCodec : public ICodec {
public:
    void encode(ProtocolBuffer& pb, const void*) override {
        for (int i = 0; i < 4; ++i) pb.buffer.appendByte(0xEE);
    }
    bool decode(ProtocolBuffer& pb, void* out) override {
        pb.buffer.readView(4);
        *static_cast<float*>(out) = 42;
        return true;
    }
};

// Writes every transform as the single byte AB.
class MarkerTransformCodec : public ICodec {
public:
    void encode(ProtocolBuffer& pb, const void*) override { pb.buffer.appendByte(0xAB); }
    bool decode(ProtocolBuffer& pb, void*) override {
        pb.buffer.readView(1);
        return true;
    }
};

TEST(FormatRegistry, CodecRegisteredLaterTakesEffect) {
    Protocol protocol;
    registerFormatTypes(protocol);
    const Zeq2Keyframe keyframe{1, translation(1, 2, 3)};

    ProtocolBuffer before;
    encodeRecord(protocol, before, keyframe);  // caches the field codecs
    EXPECT_EQ(bytesOf(before.buffer).front(), 0x3F);

    protocol.registerCodec(TypeCodecInfo("Float", false), protocol.make<MarkerFloatCodec>());
    ProtocolBuffer after;
    encodeRecord(protocol, after, keyframe);
    EXPECT_EQ(bytesOf(after.buffer), std::vector<uint8_t>(52, 0xEE));
    EXPECT_EQ(decodeRecord<Zeq2Keyframe>(protocol, after).transform.matrix.l, 42.0f);

    // Replacing a record codec reaches the records that nest it.
    protocol.registerCodec(TypeCodecInfo("Zeq2Transform", false), protocol.make<MarkerTransformCodec>());
    ProtocolBuffer nested;
    encodeRecord(protocol, nested, Zeq2Keyframe{});
    EXPECT_EQ(bytesOf(nested.buffer), hexBytes("EEEEEEEE AB"));
}

// The shared protocol decodes file after file, a damaged one in between changing nothing, and each
// thread has its own.
TEST(FormatRegistry, SharedProtocolServesEveryDecode) {
    const ByteBuffer good = encodeSceneFile(sampleScene());
    for (int round = 0; round < 2; ++round) {
        ByteBuffer copy = good, damaged = good;
        damaged.data()[damaged.length() / 2] ^= 0xFF;
        EXPECT_EQ(bytesOf(encodeSceneFile(decodeSceneFile(formatProtocol(), copy))), bytesOf(good));
        EXPECT_ANY_THROW(decodeSceneFile(formatProtocol(), damaged));
    }
    Protocol* other = nullptr;
    std::thread([&] { other = &formatProtocol(); }).join();
    EXPECT_NE(other, &formatProtocol());
}

}  // namespace
}  // namespace zeq::test
