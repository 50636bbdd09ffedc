// Names and sizes of the vertex attribute kinds, and the values of 16-bit vertex data.
#include "format/records_geometry.h"

#include <array>
#include <bit>
#include <cmath>

namespace zeq {

namespace {
constexpr std::array<const char*, 5> kAttributeNames = {"POSITION", "NORMAL", "TANGENT4", "JOINTS", "TEXCOORDS"};
}

const char* vertexAttributeName(Zeq2VertexAttributes kind) {
    const auto index = static_cast<int32_t>(kind);
    if (index < 0 || index >= static_cast<int32_t>(kAttributeNames.size())) return nullptr;
    return kAttributeNames[static_cast<std::size_t>(index)];
}

std::optional<Zeq2VertexAttributes> vertexAttributeFromName(std::string_view name) {
    for (std::size_t i = 0; i < kAttributeNames.size(); ++i) {
        if (name == kAttributeNames[i]) return static_cast<Zeq2VertexAttributes>(i);
    }
    return std::nullopt;
}

int32_t vertexStride(const TArray<Zeq2VertexAttributes>& attributes, uint16_t minorVersion) {
    int32_t stride = 0;
    for (Zeq2VertexAttributes kind : attributes) {
        const int32_t size = vertexAttributeSize(kind, minorVersion);
        if (size == 0) return 0;
        stride += size;
    }
    return stride;
}

float halfToFloat(uint16_t bits) {
    const uint32_t sign = uint32_t(bits & 0x8000) << 16;
    const uint32_t exponent = (bits >> 10) & 0x1F;
    const uint32_t mantissa = bits & 0x3FF;
    if (exponent == 0) {
        // Zero or subnormal: mantissa × 2^-24, exact in single precision.
        const float magnitude = std::ldexp(static_cast<float>(mantissa), -24);
        return sign ? -magnitude : magnitude;
    }
    if (exponent == 31) return std::bit_cast<float>(sign | 0x7F800000u | (mantissa << 13));  // inf, NaN
    return std::bit_cast<float>(sign | ((exponent - 15 + 127) << 23) | (mantissa << 13));
}

}  // namespace zeq
