// 16-bit conversion of vertex data: truncation, subnormals, overflow, NaN payloads and the byte
// order of the converted buffer.
#include "export/half_float.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace zeq {
namespace {

float fromBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Exact value of a binary16 pattern (NaN for NaN patterns).
float halfToFloat(uint16_t half) {
    const float sign = (half & 0x8000) ? -1.0f : 1.0f;
    const int exponent = (half >> 10) & 0x1F;
    const int mantissa = half & 0x3FF;
    if (exponent == 0x1F) return mantissa ? std::numeric_limits<float>::quiet_NaN() : sign * INFINITY;
    if (exponent == 0) return sign * std::ldexp(float(mantissa), -24);
    return sign * std::ldexp(float(1024 + mantissa), exponent - 25);
}

TEST(FloatToHalf, NormalValuesKeepTheirTopMantissaBits) {
    EXPECT_EQ(floatToHalf(1.0f), 0x3C00);
    EXPECT_EQ(floatToHalf(-2.0f), 0xC000);
    EXPECT_EQ(floatToHalf(0.5f), 0x3800);
    EXPECT_EQ(floatToHalf(65504.0f), 0x7BFF);
    EXPECT_EQ(floatToHalf(std::ldexp(1.0f, -14)), 0x0400);
    // Truncation, not rounding: 1 + 2^-10 + 2^-11 stays at 1 + 2^-10, and just below 2 stays below.
    EXPECT_EQ(floatToHalf(1.0f + std::ldexp(1.0f, -10) + std::ldexp(1.0f, -11)), 0x3C01);
    EXPECT_EQ(floatToHalf(std::nextafter(2.0f, 0.0f)), 0x3FFF);
}

TEST(FloatToHalf, OverflowAndInfinity) {
    EXPECT_EQ(floatToHalf(70000.0f), 0x7C00);
    EXPECT_EQ(floatToHalf(-70000.0f), 0xFC00);
    EXPECT_EQ(floatToHalf(fromBits(0x477FE001)), 0x7C00) << "patterns above 65504 overflow";
    EXPECT_EQ(floatToHalf(std::numeric_limits<float>::max()), 0x7C00);
    EXPECT_EQ(floatToHalf(INFINITY), 0x7C00);
    EXPECT_EQ(floatToHalf(-INFINITY), 0xFC00);
}

TEST(FloatToHalf, SubnormalsAreTruncated) {
    EXPECT_EQ(floatToHalf(std::ldexp(1.0f, -15)), 0x0200);
    EXPECT_EQ(floatToHalf(std::ldexp(1.0f, -24)), 0x0001);
    EXPECT_EQ(floatToHalf(std::ldexp(1.9f, -24)), 0x0001);
    EXPECT_EQ(floatToHalf(std::ldexp(1.0f, -25)), 0x0000);
    EXPECT_EQ(floatToHalf(-std::ldexp(3.0f, -24)), 0x8003);
    EXPECT_EQ(floatToHalf(std::nextafter(std::ldexp(1.0f, -14), 0.0f)), 0x03FF);
    EXPECT_EQ(floatToHalf(std::numeric_limits<float>::denorm_min()), 0x0000);
    EXPECT_EQ(floatToHalf(-0.0f), 0x8000);
    EXPECT_EQ(floatToHalf(0.0f), 0x0000);
}

TEST(FloatToHalf, NaNsKeepTheirTopPayloadBits) {
    EXPECT_EQ(floatToHalf(fromBits(0x7FC00000)), 0x7E00);
    EXPECT_EQ(floatToHalf(fromBits(0xFFC00000)), 0xFE00);
    EXPECT_EQ(floatToHalf(fromBits(0x7F802000)), 0x7C01) << "payload in the lowest kept bit";
    EXPECT_EQ(floatToHalf(fromBits(0x7F800001)), 0x7C01) << "payload only in dropped bits";
    EXPECT_EQ(floatToHalf(fromBits(0x7F801FFF)), 0x7C01);
    EXPECT_EQ(floatToHalf(fromBits(0xFF800001)), 0xFC01);
    EXPECT_EQ(floatToHalf(fromBits(0x7FFFFFFF)), 0x7FFF);
}

TEST(FloatToHalf, EveryHalfValueConvertsBackToItself) {
    for (uint32_t pattern = 0; pattern <= 0xFFFF; ++pattern) {
        const auto half = static_cast<uint16_t>(pattern);
        if ((half & 0x7C00) == 0x7C00 && (half & 0x3FF) != 0) continue;  // NaNs: tested above
        ASSERT_EQ(floatToHalf(halfToFloat(half)), half) << std::hex << pattern;
    }
}

TEST(FloatToHalf, ResultNeverExceedsTheMagnitude) {
    // Seeded walk over float bit patterns: truncation means |half| <= |value| and the next half
    // step is above it (within range).
    uint32_t state = 12345;
    for (int i = 0; i < 200000; ++i) {
        state = state * 1664525u + 1013904223u;
        const float value = fromBits(state & 0xBFFFFFFFu);  // exponents up to 2^1: within range
        const uint16_t half = floatToHalf(value);
        const float back = halfToFloat(half);
        ASSERT_LE(std::fabs(back), std::fabs(value));
        ASSERT_GT(halfToFloat(static_cast<uint16_t>((half & 0x7FFF) + 1)), std::fabs(value));
    }
}

TEST(ConvertVertexBuffer, ReplacesFloatsByBigEndianHalves) {
    Zeq2VertexBuffer buffer;
    buffer.id = 4;
    buffer.vertexCount = 1;
    buffer.attributes = {Zeq2VertexAttributes::POSITION};
    const float infinity = std::numeric_limits<float>::infinity();
    for (float value : {1.0f, 70000.0f, -2.0f, infinity}) buffer.byteBuffer.appendBytes(&value, 4, false);
    // One finite value too large for 16 bits; infinity was infinity already.
    EXPECT_EQ(convertVertexBufferTo16Bit(buffer).tooLarge, 1u);
    ASSERT_EQ(buffer.byteBuffer.length(), 8);
    const uint8_t expected[8] = {0x3C, 0x00, 0x7C, 0x00, 0xC0, 0x00, 0x7C, 0x00};
    EXPECT_EQ(std::memcmp(buffer.byteBuffer.data(), expected, 8), 0);
    EXPECT_EQ(buffer.vertexCount, 1);
    EXPECT_EQ(buffer.attributes, (TArray<Zeq2VertexAttributes>{Zeq2VertexAttributes::POSITION}));
    EXPECT_EQ(buffer.id, 4);

    // Joint values are 3 × the bone's number; from bone 683 on 16 bits do not hold them (weights,
    // which lose bits as every value does, do not count).
    Zeq2VertexBuffer skinned;
    skinned.vertexCount = 2;
    skinned.attributes = {Zeq2VertexAttributes::JOINTS};
    for (float value : {2046.0f, 0.3f, 2049.0f, 0.7f, 3.0f, 1.0f, 0.0f, 0.0f}) skinned.byteBuffer.appendBytes(&value, 4, false);
    EXPECT_EQ(convertVertexBufferTo16Bit(skinned).jointsMoved, 1u);

    Zeq2VertexBuffer empty;
    convertVertexBufferTo16Bit(empty);
    EXPECT_EQ(empty.byteBuffer.length(), 0);
}

}  // namespace
}  // namespace zeq
