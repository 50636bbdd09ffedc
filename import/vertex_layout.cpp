// Vertex layouts and binary16 decoding.
#include "import/vertex_layout.h"

#include <bit>
#include <cmath>

namespace zeq {

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

bool addVertexBuffer(VertexLayout& layout, const Zeq2VertexBuffer& buffer) {
    layout.vertexCount = buffer.vertexCount;
    int32_t offset = 0;
    for (Zeq2VertexAttributes kind : buffer.attributes) {
        const int32_t size = vertexAttributeSize(kind, layout.minorVersion);
        if (size == 0) return false;
        if (kind == Zeq2VertexAttributes::NORMAL) layout.hasNormals = true;
        if (kind == Zeq2VertexAttributes::TEXCOORDS) layout.hasTexcoords = true;
        layout.slots[static_cast<std::size_t>(kind)].push_back({&buffer, offset});
        offset += size;
    }
    return true;
}

int32_t bufferStride(const Zeq2VertexBuffer& buffer) {
    if (buffer.vertexCount == 0) return 0;
    return static_cast<int32_t>(static_cast<uint32_t>(buffer.byteBuffer.length()) / buffer.vertexCount);
}

bool slotFits(const AttributeSlot& slot, int32_t size, int32_t count) {
    if (count <= 0) return true;
    if (!slot.buffer || slot.offset < 0 || size < 0) return false;
    const int64_t last = int64_t(slot.offset) + int64_t(count - 1) * bufferStride(*slot.buffer) + size;
    return last <= slot.buffer->byteBuffer.length();
}

AttributeReader::AttributeReader(const AttributeSlot& slot, uint16_t minorVersion)
    : base_(slot.buffer->byteBuffer.data() + slot.offset),
      stride_(bufferStride(*slot.buffer)),
      half_(minorVersion == kMinorVersionHalf) {}

}  // namespace zeq
