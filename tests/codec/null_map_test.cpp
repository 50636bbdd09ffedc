#include "codec/protocol.h"
#include "test_util.h"

#include <gtest/gtest.h>
#include <random>
#include <stdexcept>

namespace zeq {
namespace {

using test::bytes;
using test::hex;
using test::textThrown;

std::string prefix(uint32_t n) {
    ByteBuffer b;
    encodeLength(n, b);
    return hex(b);
}

TEST(LengthPrefix, WidthsAndLimits) {
    EXPECT_EQ(prefix(0), "00");
    EXPECT_EQ(prefix(127), "7F");
    EXPECT_EQ(prefix(128), "80 80");
    EXPECT_EQ(prefix(16383), "BF FF");
    EXPECT_EQ(prefix(16384), "C0 40 00");
    EXPECT_EQ(prefix(4194303), "FF FF FF");
    ByteBuffer b;
    try {
        encodeLength(4194304, b);
        FAIL();
    } catch (const std::length_error& e) {
        EXPECT_STREQ(e.what(), "encodeLength::Length is incorrect\n");
    }
    EXPECT_EQ(b.length(), 0);

    for (uint32_t n : {0u, 127u, 128u, 16383u, 16384u, 4194303u}) {
        ByteBuffer w;
        encodeLength(n, w);
        EXPECT_EQ(decodeLength(w), n);
    }
    ByteBuffer nonMinimal = bytes({0x80, 0x05});
    EXPECT_EQ(decodeLength(nonMinimal), 5u);
    ByteBuffer cut = bytes({0xC0, 0x40});
    EXPECT_THROW(decodeLength(cut), std::out_of_range);
}

std::string encodedMap(const std::vector<bool>& bits) {
    NullMap map;
    for (bool bit : bits) map.appendBit(bit);
    ByteBuffer out;
    map.encode(out);
    return hex(out);
}

TEST(NullMap, ShortAndLongForms) {
    EXPECT_EQ(encodedMap({}), "00");
    EXPECT_EQ(encodedMap({true, false, true}), "14");
    EXPECT_EQ(encodedMap(std::vector<bool>(19, true)), "5F FF FC");                   // tag 010
    EXPECT_EQ(encodedMap(std::vector<bool>(29, true)), "7F FF FF FF");                // tag 011
    EXPECT_EQ(encodedMap(std::vector<bool>(30, true)), "84 FF FF FF FC");             // K = 4
    const std::string long505 = encodedMap(std::vector<bool>(505, false));
    EXPECT_EQ(long505.substr(0, 8), "C0 00 40");
    EXPECT_EQ(long505.size(), (3 + 64) * 3 - 1);

    NullMap huge;
    huge.bitCount = 33554425;
    ByteBuffer out;
    EXPECT_EQ(textThrown([&] { huge.encode(out); }), "NullMap overflow");
}

TEST(NullMap, SeededRandomMapsRoundTrip) {
    std::mt19937 random(20240501);
    std::vector<int32_t> sizes;
    for (int32_t n = 0; n <= 520; ++n) sizes.push_back(n);
    sizes.insert(sizes.end(), {4096, 100003});
    for (int32_t n : sizes) {
        NullMap map;
        for (int32_t i = 0; i < n; ++i) map.appendBit(random() & 1);
        ByteBuffer wire;
        wire.appendByte(0xEE);  // the map need not start at 0
        map.encode(wire);
        wire.position = 1;
        NullMap back;
        ASSERT_EQ(back.decode(wire), wire.length() - 1) << n;
        ASSERT_GE(back.bitCount, n);
        for (int32_t i = 0; i < n; ++i) ASSERT_EQ(back.nextBit(), map.bytes[i / 8] >> (7 - i % 8) & 1) << n;
        while (back.readCursor < back.bitCount) ASSERT_FALSE(back.nextBit()) << n;  // padding reads as present
        EXPECT_EQ(textThrown([&] { back.nextBit(); }), "Index out of bounds");
    }
}

TEST(NullMap, MisuseAndDamage) {
    NullMap map;
    map.setBit(true, 7);
    EXPECT_EQ(textThrown([&] { map.setBit(true, 16); }), "Uncorres->t position");
    EXPECT_EQ(textThrown([&] { NullMap().nextBit(); }), "Index out of bounds");

    ByteBuffer cut = bytes({0x85, 1, 2});  // five map bytes declared, two present
    NullMap kept;
    kept.appendBit(true);
    try {
        kept.decode(cut);
        FAIL();
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "position + length");
    }
    EXPECT_EQ(kept.bitCount, 1);
}

TEST(OptionalCodec, AbsentValuesWriteOnlyTheirBit) {
    Protocol p;
    ICodec* optionalInt = p.getCodec("Int Optional");
    ProtocolBuffer pb;
    const int32_t one = 1, two = 2;
    optionalInt->encode(pb, &one);
    optionalInt->encode(pb, nullptr);
    optionalInt->encode(pb, &two);
    EXPECT_EQ(hex(pb.buffer), "00 00 00 01 00 00 00 02");
    EXPECT_EQ(pb.nullMap.bitCount, 3);
    EXPECT_EQ(pb.nullMap.bytes[0], 0x40);

    int32_t value = -1;
    EXPECT_TRUE(optionalInt->decode(pb, &value));
    EXPECT_EQ(value, 1);
    value = -1;
    EXPECT_FALSE(optionalInt->decode(pb, &value));
    EXPECT_EQ(value, -1);
    EXPECT_EQ(pb.buffer.position, 4);
    EXPECT_TRUE(optionalInt->decode(pb, &value));
    EXPECT_EQ(value, 2);
    EXPECT_EQ(textThrown([&] { optionalInt->decode(pb, &value); }), "Index out of bounds");
}

}  // namespace
}  // namespace zeq
