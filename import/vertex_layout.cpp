// Vertex layouts and the 16-bit grid of vertex values.
#include "import/vertex_layout.h"

#include "format/normals.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>

namespace zeq {

namespace {

constexpr float kLargestHalf = 65504.0f;  // anything above it becomes infinity

// The distance from a value of the 16-bit grid to the next one away from zero: ten mantissa bits
// below the leading one, and the subnormals' step below 2^-14 (and from zero).
float halfStepAt(float value) {
    if (value == 0.0f) return std::ldexp(1.0f, -24);
    int exponent = 0;
    std::frexp(value, &exponent);
    return std::ldexp(1.0f, std::max(exponent - 11, -24));
}

}  // namespace

float middleOfHalfStep(float value) {
    if (value == 0.0f || !(std::fabs(value) < kLargestHalf)) return value;
    return value + std::copysign(halfStepAt(value) / 2, value);
}

bool cutsToHalf(float value, float half) {
    if (std::signbit(value) != std::signbit(half) || std::isnan(value) || std::isnan(half)) return false;
    const float magnitude = std::fabs(value), low = std::fabs(half);
    // Values past the largest 16-bit value, infinity among them, are written as infinity.
    if (std::isinf(low)) return magnitude > kLargestHalf;
    if (std::isinf(magnitude)) return false;
    if (low == kLargestHalf) return magnitude == low;
    return low <= magnitude && magnitude < low + halfStepAt(low);
}

Point3 halfNormalFor(const Point3& stored) {
    if (!std::isfinite(stored.x) || !std::isfinite(stored.y) || !std::isfinite(stored.z)) return stored;
    auto exported = [&](const Point3& candidate) {
        const Point3 written = settledNormal(candidate);
        return cutsToHalf(written.x, stored.x) && cutsToHalf(written.y, stored.y) && cutsToHalf(written.z, stored.z);
    };
    if (exported(stored)) return stored;
    // The step of one component: from its value to just short of the next one away from zero
    // (zero keeps its sign and stays below the first step).
    struct Step {
        float low, high;
    };
    auto stepOf = [](float value) {
        const float end = value + std::copysign(halfStepAt(value), value);
        return Step{value, std::nextafter(end, value)};
    };
    const float values[3] = {stored.x, stored.y, stored.z};
    const Step steps[3] = {stepOf(stored.x), stepOf(stored.y), stepOf(stored.z)};
    // The unit vector through the middle of the steps' box almost always cuts back.
    const Point3 middle =
        Point3(middleOfHalfStep(stored.x), middleOfHalfStep(stored.y), middleOfHalfStep(stored.z)).Normalize();
    if (exported(middle)) return middle;
    // Else the unit sphere only grazes the box. For values of one smaller component across its
    // step, the other smaller one is taken in the middle of the values that keep the largest
    // component on the sphere inside its step, and the largest follows.
    const int big = std::fabs(values[0]) >= std::fabs(values[1])
                        ? (std::fabs(values[0]) >= std::fabs(values[2]) ? 0 : 2)
                        : (std::fabs(values[1]) >= std::fabs(values[2]) ? 1 : 2);
    constexpr int kGrid = 16;
    for (const int a : {(big + 1) % 3, (big + 2) % 3}) {
        const int b = 3 - big - a;
        const double bigLow = std::fabs(steps[big].low), bigHigh = std::fabs(steps[big].high);
        const double bLow = std::fabs(steps[b].low), bHigh = std::fabs(steps[b].high);
        for (int i = 0; i <= kGrid; ++i) {
            const double fromA = steps[a].low + (double(steps[a].high) - steps[a].low) * i / kGrid;
            const double left = 1.0 - fromA * fromA;
            const double least = std::max(bLow, std::sqrt(std::max(0.0, left - bigHigh * bigHigh)));
            const double most = std::min(bHigh, std::sqrt(std::max(0.0, left - bigLow * bigLow)));
            if (least > most) continue;
            float point[3];
            point[a] = static_cast<float>(fromA);
            point[b] = static_cast<float>(std::copysign((least + most) / 2, double(values[b])));
            point[big] = static_cast<float>(std::copysign(
                std::sqrt(std::max(0.0, left - double(point[b]) * point[b])), double(values[big])));
            const Point3 candidate(point[0], point[1], point[2]);
            if (exported(candidate)) return candidate;
        }
    }
    return stored;
}

namespace {

constexpr int kSteps = 2;
constexpr int kSide = 2 * kSteps + 1;
constexpr int kCandidates = kSide * kSide * kSide;
// The most distinct lengths the fast search handles (one bit each in a 16-bit mask).
constexpr uint32_t kMaxLengths = 16;

// The next float towards +infinity (std::nextafter(value, +infinity) without the library call).
float stepUp(float value) {
    if (value == std::numeric_limits<float>::infinity() || std::isnan(value)) return value;
    if (value == 0.0f) return std::numeric_limits<float>::denorm_min();
    const uint32_t bits = std::bit_cast<uint32_t>(value);
    return std::bit_cast<float>(value > 0.0f ? bits + 1 : bits - 1);
}

// value, then 1 and 2 float steps down and up: index s holds the value moved by s - kSteps steps.
std::array<float, kSide> stepsAround(float value) {
    std::array<float, kSide> out{};
    out[kSteps] = value;
    for (int s = 1; s <= kSteps; ++s) {
        out[kSteps - s] = -stepUp(-out[kSteps - s + 1]);
        out[kSteps + s] = stepUp(out[kSteps + s - 1]);
    }
    return out;
}

// The squares of the values, as Point3::LengthSquared multiplies, and the least and the greatest.
struct Squares {
    std::array<float, kSide> of;
    float least, greatest;
};
Squares squaresOf(const std::array<float, kSide>& values) {
    Squares squares{};
    for (int s = 0; s < kSide; ++s) squares.of[s] = values[s] * values[s];
    squares.least = *std::min_element(squares.of.begin(), squares.of.end());
    squares.greatest = *std::max_element(squares.of.begin(), squares.of.end());
    return squares;
}

// Candidate i has steps (i / 25, i / 5 % 5, i % 5): x outermost, as the search order is.
Point3 candidateAt(int i, const std::array<float, kSide>& xs, const std::array<float, kSide>& ys,
                   const std::array<float, kSide>& zs) {
    return {xs[i / (kSide * kSide)], ys[i / kSide % kSide], zs[i % kSide]};
}

// Tries the candidates one by one: for vectors whose candidates' lengths are zero, infinite or
// spread over many floats (tiny or huge components), which the fast search leaves out.
Point3 searchOneByOne(const Point3& stored, const std::array<float, kSide>& xs, const std::array<float, kSide>& ys,
                      const std::array<float, kSide>& zs) {
    for (int i = 0; i < kCandidates; ++i) {
        const Point3 candidate = candidateAt(i, xs, ys, zs);
        if (candidate.Normalize() == stored) return candidate;
    }
    return stored;
}

// The steps s (bit s) of one component for which values[s] / length is the stored component, as
// Normalize divides.
uint32_t matchingSteps(const std::array<float, kSide>& values, float length, float stored) {
    uint32_t mask = 0;
    for (int s = 0; s < kSide; ++s) mask |= uint32_t(values[s] / length == stored) << s;
    return mask;
}

// Whether normalFor keeps the stored normal without a search: non-finite values, and vectors that
// are their own normalisation.
bool keptAsStored(const Point3& stored) {
    if (!std::isfinite(stored.x) || !std::isfinite(stored.y) || !std::isfinite(stored.z)) return true;
    // Most stored normals have a length of exactly 1, which divides nothing away.
    return stored.Length() == 1.0f || stored.Normalize() == stored;
}

// The search of normalFor, for a finite vector that is not its own normalisation.
Point3 searchAround(const Point3& stored) {
    const std::array<float, kSide> xs = stepsAround(stored.x), ys = stepsAround(stored.y), zs = stepsAround(stored.z);

    // Normalize divides each component by the length, sqrt((x * x + y * y) + z * z). Rounded
    // addition and the square root are monotonic, so every candidate's length lies between the
    // lengths made of the least squares and of the greatest: near unit length, a handful of
    // consecutive floats.
    const Squares sx = squaresOf(xs), sy = squaresOf(ys), sz = squaresOf(zs);
    const float lowest = sx.least + sy.least + sz.least;
    const float highest = sx.greatest + sy.greatest + sz.greatest;
    const float first = std::sqrt(lowest), last = std::sqrt(highest);
    if (!(first > 0.0f) || !std::isfinite(last)) return searchOneByOne(stored, xs, ys, zs);
    const uint32_t firstBits = std::bit_cast<uint32_t>(first);
    const uint32_t lengthCount = std::bit_cast<uint32_t>(last) - firstBits + 1;
    if (lengthCount > kMaxLengths) return searchOneByOne(stored, xs, ys, zs);

    // For each possible length, the steps of each component that divide to the stored component;
    // a candidate can match only with a length for which all three of its components do. Only
    // those few candidates (listed once each, with the lengths they may have) get their own
    // length computed, in search order.
    std::array<uint16_t, kCandidates> lengthsOf;
    std::array<uint8_t, kCandidates> listed;
    int listedCount = 0;
    for (uint32_t k = 0; k < lengthCount; ++k) {
        const float length = std::bit_cast<float>(firstBits + k);
        const uint32_t mx = matchingSteps(xs, length, stored.x);
        if (!mx) continue;
        const uint32_t my = matchingSteps(ys, length, stored.y);
        if (!my) continue;
        const uint32_t mz = matchingSteps(zs, length, stored.z);
        for (uint32_t bx = mx; bx; bx &= bx - 1) {
            for (uint32_t by = my; by; by &= by - 1) {
                for (uint32_t bz = mz; bz; bz &= bz - 1) {
                    const int i = (std::countr_zero(bx) * kSide + std::countr_zero(by)) * kSide + std::countr_zero(bz);
                    if (std::find(listed.begin(), listed.begin() + listedCount, i) == listed.begin() + listedCount) {
                        listed[listedCount++] = static_cast<uint8_t>(i);
                        lengthsOf[i] = 0;
                    }
                    lengthsOf[i] = static_cast<uint16_t>(lengthsOf[i] | (1u << k));
                }
            }
        }
    }
    std::sort(listed.begin(), listed.begin() + listedCount);
    for (int n = 0; n < listedCount; ++n) {
        const int i = listed[n];
        const Point3 candidate = candidateAt(i, xs, ys, zs);
        const uint32_t k = std::bit_cast<uint32_t>(candidate.Length()) - firstBits;
        if ((lengthsOf[i] >> k) & 1) return candidate;
    }
    return stored;
}

constexpr uint32_t kRememberedNormals = 1u << 14;
// A quiet NaN: no stored normal with a NaN component is ever searched for, so a key holding it
// marks an empty entry.
constexpr uint32_t kEmptyKey = 0x7FC00000u;

}  // namespace

Point3 normalFor(const Point3& stored) { return keptAsStored(stored) ? stored : searchAround(stored); }

Point3 NormalSearch::operator()(const Point3& stored) {
    if (keptAsStored(stored)) return stored;
    if (entries_.empty()) entries_.assign(kRememberedNormals, Entry{{kEmptyKey, 0, 0}, Point3()});
    const uint32_t x = std::bit_cast<uint32_t>(stored.x), y = std::bit_cast<uint32_t>(stored.y),
                   z = std::bit_cast<uint32_t>(stored.z);
    uint32_t hash = x * 0x9E3779B1u ^ y * 0x85EBCA77u ^ z * 0xC2B2AE3Du;
    hash ^= hash >> 16;
    Entry& entry = entries_[hash & (kRememberedNormals - 1)];
    if (entry.key[0] != x || entry.key[1] != y || entry.key[2] != z) {
        entry.kept = searchAround(stored);
        entry.key[0] = x;
        entry.key[1] = y;
        entry.key[2] = z;
    }
    return entry.kept;
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
    // Each vertex holds the attribute: data shorter than the attributes need make a stride that
    // ends inside one, and vertices would overlap (or all be the first, at stride 0).
    const int32_t stride = bufferStride(*slot.buffer);
    if (int64_t(slot.offset) + size > stride) return false;
    const int64_t last = int64_t(slot.offset) + int64_t(count - 1) * stride + size;
    return last <= slot.buffer->byteBuffer.length();
}

AttributeReader::AttributeReader(const AttributeSlot& slot, uint16_t minorVersion)
    : base_(slot.buffer->byteBuffer.data() + slot.offset),
      stride_(bufferStride(*slot.buffer)),
      half_(minorVersion == kMinorVersionHalf) {}

}  // namespace zeq
