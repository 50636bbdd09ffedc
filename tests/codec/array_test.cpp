#include "codec/array.h"
#include "codec/protocol.h"
#include "test_util.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace zeq {
namespace {

using test::bytes;
using test::hex;

TEST(CodecInfo, Keys) {
    EXPECT_EQ(TypeCodecInfo("Int", true).key(), "Int Optional");
    EXPECT_EQ(ArrayCodecInfo(TypeCodecInfo("Float", false), false).key(), "array1Float");
    EXPECT_EQ(ArrayCodecInfo(TypeCodecInfo("Float", false), true).key(), "array1Float Optional");
    EXPECT_EQ(ArrayCodecInfo(TypeCodecInfo("Zeq2Surface", false), false).key(), "array1Zeq2Surface");
    EXPECT_EQ(ArrayCodecInfo(TypeCodecInfo("Long", false), true).key(), "array1Long Optional");
    EXPECT_EQ(Protocol().makeTypeInfo("Zeq2Mesh")->key(), "Zeq2Mesh");
}

// A protocol with the arrays of Int and String registered the way the format registers arrays.
struct ArrayProtocol {
    ArrayProtocol() {
        plain = protocol.make<TArrayCodec<int32_t>>(protocol.getCodec("Int"));
        optional = protocol.make<OptionalCodecDecorator>(plain);
        strings = protocol.make<TArrayCodec<std::string>>(protocol.getCodec("String"));
    }
    Protocol protocol;
    ICodec* plain;
    ICodec* optional;
    ICodec* strings;
};

TEST(ArrayCodec, EmptyAbsentAndPresentArrays) {
    ArrayProtocol a;
    ProtocolBuffer pb;
    const TArray<int32_t> empty, values{1, -1};
    a.plain->encode(pb, &empty);
    a.optional->encode(pb, nullptr);
    a.optional->encode(pb, &empty);
    a.optional->encode(pb, &values);
    EXPECT_EQ(hex(pb.buffer), "00 00 02 00 00 00 01 FF FF FF FF");
    EXPECT_EQ(pb.nullMap.bitCount, 3);
    EXPECT_EQ(pb.nullMap.bytes[0], 0x80);  // absent, present, present

    TArray<int32_t> back{9};
    EXPECT_TRUE(a.plain->decode(pb, &back));
    EXPECT_TRUE(back.empty());
    EXPECT_FALSE(a.optional->decode(pb, &back));
    EXPECT_TRUE(a.optional->decode(pb, &back));
    EXPECT_TRUE(back.empty());
    EXPECT_TRUE(a.optional->decode(pb, &back));
    EXPECT_EQ(back, values);
}

TEST(ArrayCodec, StringElementsRoundTrip) {
    ArrayProtocol a;
    ProtocolBuffer pb;
    const TArray<std::string> names{"root", "", "a longer name"};
    a.strings->encode(pb, &names);
    TArray<std::string> back;
    a.strings->decode(pb, &back);
    EXPECT_EQ(back, names);
}

TEST(ArrayCodec, LimitsAndTruncation) {
    ArrayProtocol a;
    auto bytesCodec = std::make_unique<TArrayCodec<int8_t>>(a.protocol.getCodec("Byte"));
    ProtocolBuffer pb;
    TArray<int8_t> tooMany(std::vector<int8_t>(kMaxLength + 1));
    try {
        bytesCodec->encode(pb, &tooMany);
        FAIL();
    } catch (const std::length_error& e) {
        EXPECT_STREQ(e.what(), "encodeLength::Length is incorrect\n");
    }

    // The largest count with two elements present: the missing ones fail, nothing huge is allocated.
    ProtocolBuffer cut;
    cut.buffer = bytes({0xFF, 0xFF, 0xFF, 0, 0, 0, 1, 0, 0});
    TArray<int32_t> back;
    try {
        a.plain->decode(cut, &back);
        FAIL();
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "position + length");
    }
    EXPECT_LE(back.items.capacity(), 16u);
    // Strings with a million unread presence bits behind the count: still no huge reservation.
    cut.buffer = bytes({0xFF, 0xFF, 0xFF});
    cut.nullMap.bytes.assign(1 << 17, 0xFF);
    cut.nullMap.bitCount = 1 << 20;
    TArray<std::string> names;
    EXPECT_THROW(a.strings->decode(cut, &names), std::out_of_range);
    EXPECT_LE(names.items.capacity(), TArrayCodec<std::string>::kMaxReserve);

    try {
        back.get(back.size());
        FAIL();
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "Error in TArray::get()");
    }
}

// Each array charges the elements it claims to the buffer's memory limit before reading them; the
// charges add up across arrays.
TEST(ArrayCodec, ClaimedElementsAreChargedToTheMemoryLimit) {
    ArrayProtocol a;
    ProtocolBuffer pb;
    const TArray<int32_t> three{1, 2, 3};
    a.plain->encode(pb, &three);
    a.plain->encode(pb, &three);
    pb.decodedLimit = 20;  // room for one array's 12 bytes, not for two
    TArray<int32_t> back;
    EXPECT_TRUE(a.plain->decode(pb, &back));
    EXPECT_THROW(a.plain->decode(pb, &back), DecodeLimitError);
    EXPECT_EQ(pb.decodedBytes, 12);

    ProtocolBuffer claim;  // 4194303 numbers claimed: refused before the data run out
    claim.buffer = bytes({0xFF, 0xFF, 0xFF});
    claim.decodedLimit = 1 << 20;
    try {
        a.plain->decode(claim, &back);
        FAIL();
    } catch (const DecodeLimitError& e) {
        EXPECT_STREQ(e.what(), "decoded records would take more than 1 MiB of memory");
    }
}

}  // namespace
}  // namespace zeq
