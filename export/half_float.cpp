// 32-bit to 16-bit float conversion of vertex data.
#include "export/half_float.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace zeq {

uint16_t floatToHalf(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const auto sign = static_cast<uint16_t>((bits >> 16) & 0x8000u);
    const uint32_t magnitude = bits & 0x7FFFFFFFu;

    if (magnitude > 0x7F800000u) {
        // NaN: keep the top ten payload bits; a payload that lived only in the dropped bits would
        // turn into infinity, so it becomes the smallest NaN instead.
        const auto payload = static_cast<uint16_t>((magnitude >> 13) & 0x3FFu);
        return static_cast<uint16_t>(sign | 0x7C00u | (payload != 0 ? payload : 1u));
    }
    if (magnitude > 0x477FE000u) return static_cast<uint16_t>(sign | 0x7C00u);  // above 65504, or infinity
    if (magnitude < 0x38800000u) {
        // Below 2^-14: a subnormal, magnitude x 2^24 truncated toward zero. The float's mantissa
        // with its implicit bit, shifted right by 126 - exponent, is exactly that value.
        const uint32_t exponent = magnitude >> 23;
        if (exponent < 103) return sign;  // below 2^-24: truncates to zero
        const uint32_t mantissa = (magnitude & 0x7FFFFFu) | 0x800000u;
        return static_cast<uint16_t>(sign | (mantissa >> (126 - exponent)));
    }
    // Normal: re-bias the exponent (127 -> 15) and keep the top ten mantissa bits.
    return static_cast<uint16_t>(sign | ((magnitude - 0x38000000u) >> 13));
}

float cutTo16Bit(float value) { return halfToFloat(floatToHalf(value)); }

HalfLosses convertVertexBufferTo16Bit(Zeq2VertexBuffer& buffer) {
    // Which floats of a vertex are joint values: the first and third of each JOINTS attribute
    // (bone, weight, bone, weight).
    std::vector<bool> isJoint;
    for (Zeq2VertexAttributes kind : buffer.attributes) {
        const int32_t floats = vertexAttributeSize(kind, kMinorVersionFloat32) / 4;
        for (int32_t i = 0; i < floats; ++i) isJoint.push_back(kind == Zeq2VertexAttributes::JOINTS && i % 2 == 0);
    }
    HalfLosses losses;
    const int32_t length = buffer.byteBuffer.length();
    const uint8_t* in = buffer.byteBuffer.data();
    ByteBuffer out;
    if (length >= 4) {
        uint8_t* bytes = out.extend((length / 4) * 2);
        for (int32_t offset = 0, index = 0; offset + 4 <= length; offset += 4, ++index) {
            // Little-endian float in, big-endian half out.
            const uint32_t bits = uint32_t(in[offset]) | uint32_t(in[offset + 1]) << 8 |
                                  uint32_t(in[offset + 2]) << 16 | uint32_t(in[offset + 3]) << 24;
            float value;
            std::memcpy(&value, &bits, sizeof value);
            const uint16_t half = floatToHalf(value);
            if ((half & 0x7FFFu) == 0x7C00u && std::isfinite(value)) ++losses.tooLarge;
            // A whole number of 16 bits and more loses its low bits: 2049 becomes 2048.
            else if (!isJoint.empty() && isJoint[static_cast<std::size_t>(index) % isJoint.size()] && (bits & 0x1FFFu) != 0)
                ++losses.jointsMoved;
            *bytes++ = static_cast<uint8_t>(half >> 8);
            *bytes++ = static_cast<uint8_t>(half & 0xFF);
        }
    }
    buffer.byteBuffer = std::move(out);
    return losses;
}

}  // namespace zeq
