#include "codec/protocol.h"
#include "test_util.h"

#include <gtest/gtest.h>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace zeq {
namespace {

using test::bytes;
using test::hex;

// Encodes one value with the protocol's codec for `key` and returns the wire bytes.
template <class T>
std::string wire(Protocol& protocol, const std::string& key, T value) {
    ProtocolBuffer pb;
    protocol.getCodec(key)->encode(pb, &value);
    return hex(pb.buffer);
}

template <class T>
T roundTrip(Protocol& protocol, const std::string& key, T value) {
    ProtocolBuffer pb;
    ICodec* codec = protocol.getCodec(key);
    codec->encode(pb, &value);
    T back{};
    EXPECT_TRUE(codec->decode(pb, &back));
    EXPECT_EQ(pb.buffer.remaining(), 0);
    return back;
}

TEST(PrimitiveCodecs, WireFormsAreBigEndian) {
    Protocol p;
    EXPECT_EQ(wire<int32_t>(p, "Int", 1), "00 00 00 01");
    EXPECT_EQ(wire<int16_t>(p, "Short", -2), "FF FE");
    EXPECT_EQ(wire<float>(p, "Float", 1.0f), "3F 80 00 00");
    EXPECT_EQ(wire<double>(p, "Number", 1.0), "3F F0 00 00 00 00 00 00");
    EXPECT_EQ(wire<uint32_t>(p, "ULong", 7), "00 00 00 07");  // 4 bytes, not 8
    EXPECT_EQ(wire<int64_t>(p, "Long", -2), "FF FF FF FF FF FF FF FE");
    EXPECT_EQ(wire<uint16_t>(p, "UShort", 0xABCD), "AB CD");
    EXPECT_EQ(wire<int8_t>(p, "Byte", -1), "FF");
    EXPECT_EQ(wire<bool>(p, "Bool", true), "01");
    EXPECT_EQ(wire<bool>(p, "Bool", false), "00");
}

TEST(PrimitiveCodecs, ExtremeValuesRoundTrip) {
    Protocol p;
    EXPECT_EQ(roundTrip(p, "Int", std::numeric_limits<int32_t>::min()), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(roundTrip(p, "Uint", 0xFFFFFFFFu), 0xFFFFFFFFu);
    EXPECT_EQ(roundTrip(p, "Long", std::numeric_limits<int64_t>::min()), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(roundTrip<int16_t>(p, "Short", -32768), -32768);
    EXPECT_EQ(roundTrip<int8_t>(p, "Byte", -128), -128);
    EXPECT_TRUE(std::signbit(roundTrip(p, "Number", -0.0)));
    EXPECT_TRUE(std::isnan(roundTrip(p, "Float", std::numeric_limits<float>::quiet_NaN())));
    EXPECT_EQ(roundTrip(p, "Float", std::numeric_limits<float>::denorm_min()), std::numeric_limits<float>::denorm_min());
}

TEST(PrimitiveCodecs, AnyNonZeroByteReadsAsTrue) {
    Protocol p;
    ProtocolBuffer pb;
    pb.buffer = bytes({0x00, 0x02, 0xFF});
    bool values[3] = {true, false, false};
    for (bool& v : values) p.getCodec("Bool")->decode(pb, &v);
    EXPECT_FALSE(values[0]);
    EXPECT_TRUE(values[1]);
    EXPECT_TRUE(values[2]);
}

TEST(PrimitiveCodecs, EveryPlainCodecRejectsANullValueAndWritesNothing) {
    Protocol p;
    for (const char* key : {"Int", "Short", "Byte", "UShort", "Uint", "ULong", "Number", "Float", "Bool", "Long",
                            "String", "ByteArray"}) {
        ProtocolBuffer pb;
        try {
            p.getCodec(key)->encode(pb, nullptr);
            ADD_FAILURE() << key;
        } catch (const std::invalid_argument& e) {
            EXPECT_STREQ(e.what(), "encode::object is NULL") << key;
        }
        EXPECT_EQ(pb.buffer.length(), 0) << key;
        EXPECT_EQ(pb.nullMap.bitCount, 0) << key;
    }
}

TEST(PrimitiveCodecs, ShortInputFailsWithTheReadError) {
    Protocol p;
    for (const char* key : {"Int", "Long", "Number", "Short"}) {
        ProtocolBuffer pb;
        pb.buffer = bytes({1});
        int64_t value = 0;
        try {
            p.getCodec(key)->decode(pb, &value);
            ADD_FAILURE() << key;
        } catch (const std::out_of_range& e) {
            EXPECT_STREQ(e.what(), "position + length") << key;
        }
        EXPECT_EQ(pb.buffer.position, 0) << key;
        pb.buffer.position = 1;
        try {
            p.getCodec(key)->decode(pb, &value);
            ADD_FAILURE() << key;
        } catch (const std::out_of_range& e) {
            EXPECT_STREQ(e.what(), "position") << key;
        }
    }
}

}  // namespace
}  // namespace zeq
