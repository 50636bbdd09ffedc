// Vertex layouts and binary16 decoding.
#include "import/vertex_layout.h"

#include <array>
#include <bit>
#include <cmath>
#include <limits>

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

namespace {

constexpr int kSteps = 2;
constexpr int kSide = 2 * kSteps + 1;

// value, then 1 and 2 float steps down and up: index s holds the value moved by s - kSteps steps.
std::array<float, kSide> stepsAround(float value) {
    std::array<float, kSide> out{};
    out[kSteps] = value;
    for (int s = 1; s <= kSteps; ++s) {
        out[kSteps - s] = std::nextafter(out[kSteps - s + 1], -std::numeric_limits<float>::infinity());
        out[kSteps + s] = std::nextafter(out[kSteps + s - 1], std::numeric_limits<float>::infinity());
    }
    return out;
}

}  // namespace

Point3 normalFor(const Point3& stored) {
    if (!std::isfinite(stored.x) || !std::isfinite(stored.y) || !std::isfinite(stored.z) || stored.Normalize() == stored)
        return stored;
    const std::array<float, kSide> xs = stepsAround(stored.x), ys = stepsAround(stored.y), zs = stepsAround(stored.z);
    // A candidate normalises to `stored` when each of its components divided by its length is the
    // stored component. The 125 candidates share only a few distinct lengths, so the square root
    // and the divisions are done once per distinct squared length, for all five values of each
    // component; a candidate then costs its squared length (computed exactly as Normalize does)
    // and a lookup.
    struct Length {
        float squared;
        std::array<bool, kSide> x, y, z;
    };
    std::array<Length, kSide * kSide * kSide> lengths;
    int lengthCount = 0;
    auto lengthOf = [&](float squared) -> const Length& {
        for (int i = 0; i < lengthCount; ++i)
            if (lengths[i].squared == squared) return lengths[i];
        Length& entry = lengths[lengthCount++];
        entry.squared = squared;
        const float len = std::sqrt(squared);
        for (int s = 0; s < kSide; ++s) {
            // A zero length normalises to the zero vector, which `stored` is not (it would be its own).
            entry.x[s] = len > 0.0f && xs[s] / len == stored.x;
            entry.y[s] = len > 0.0f && ys[s] / len == stored.y;
            entry.z[s] = len > 0.0f && zs[s] / len == stored.z;
        }
        return entry;
    };
    for (int dx = 0; dx < kSide; ++dx)
        for (int dy = 0; dy < kSide; ++dy)
            for (int dz = 0; dz < kSide; ++dz) {
                const Point3 candidate(xs[dx], ys[dy], zs[dz]);
                const Length& length = lengthOf(candidate.LengthSquared());
                if (length.x[dx] && length.y[dy] && length.z[dz]) return candidate;
            }
    return stored;
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
