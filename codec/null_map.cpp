// NullMap: the presence bits of optional values and their packed encoding in front of a packet's
// value stream.
#include "codec/null_map.h"

#include <algorithm>

namespace zeq {

namespace {

// The largest map the long form can count: 4194303 bytes of bits.
constexpr int64_t kMaxBits = 33554424;

}  // namespace

void NullMap::setBit(bool value, int32_t index) {
    const int64_t k = index / 8;
    if (index < 0 || k > static_cast<int64_t>(bytes.size())) throw "Uncorres->t position";
    if (k == static_cast<int64_t>(bytes.size())) bytes.push_back(0);
    const auto mask = static_cast<uint8_t>(0x80u >> (index % 8));
    if (value)
        bytes[k] |= mask;
    else
        bytes[k] &= static_cast<uint8_t>(~mask);
}

bool NullMap::nextBit() {
    // A cursor past the stored bytes is treated like one past bitCount, should the two disagree.
    if (readCursor < 0 || readCursor >= bitCount || readCursor / 8 >= static_cast<int32_t>(bytes.size()))
        throw "Index out of bounds";
    const bool bit = (bytes[readCursor / 8] >> (7 - readCursor % 8)) & 1;
    ++readCursor;
    return bit;
}

void NullMap::encode(ByteBuffer& out) const {
    const int64_t n = std::max<int32_t>(bitCount, 0);
    if (n > kMaxBits) throw "NullMap overflow";
    const int64_t k = (n + 7) / 8;
    // Map byte i; bits at and beyond bitCount are written as 0 whatever the stored bytes hold.
    auto mapByte = [&](int64_t i) -> uint8_t {
        uint8_t b = i < static_cast<int64_t>(bytes.size()) ? bytes[static_cast<size_t>(i)] : 0;
        const int64_t bitsBefore = i * 8;
        if (bitsBefore + 8 > n) b &= bitsBefore >= n ? 0 : static_cast<uint8_t>(0xFF00u >> (n - bitsBefore));
        return b;
    };

    if (n <= 29) {
        // Short forms: a 3-bit tag t (the count of bytes that follow), then the bits themselves.
        const int t = n <= 5 ? 0 : n <= 13 ? 1 : n <= 21 ? 2 : 3;
        uint8_t packed[4];
        packed[0] = static_cast<uint8_t>((t << 5) | (mapByte(0) >> 3));
        for (int j = 1; j <= t; ++j)
            packed[j] = static_cast<uint8_t>((mapByte(j - 1) << 5) | (mapByte(j) >> 3));
        out.appendBytes(packed, t + 1, false);
        return;
    }

    // Long forms: the byte count K, then the map bytes as they are.
    if (n <= 504) {
        const uint8_t header = static_cast<uint8_t>(0x80 | k);
        out.appendBytes(&header, 1, false);
    } else {
        const uint8_t header[3] = {static_cast<uint8_t>(0xC0 | (k >> 16)), static_cast<uint8_t>((k >> 8) & 0xFF),
                                   static_cast<uint8_t>(k & 0xFF)};
        out.appendBytes(header, 3, false);
    }
    const int64_t stored = std::min<int64_t>(k, static_cast<int64_t>(bytes.size()));
    if (stored > 1) out.appendBytes(bytes.data(), static_cast<int32_t>(stored - 1), false);
    for (int64_t i = std::max<int64_t>(stored - 1, 0); i < k; ++i) {
        const uint8_t b = mapByte(i);
        out.appendBytes(&b, 1, false);
    }
}

int64_t NullMap::encodedLength(const uint8_t* head, int64_t n) {
    if (n < 1) return 1;
    const uint8_t first = head[0];
    if (!(first & 0x80)) return 1 + (first >> 5);
    if (!(first & 0x40)) return 1 + (first & 0x3F);
    if (n < 3) return 3;
    return 3 + ((int64_t(first & 0x3F) << 16) | (int64_t(head[1]) << 8) | head[2]);
}

int32_t NullMap::decode(ByteBuffer& in) {
    const int32_t start = in.position;
    uint8_t first = 0;
    in.readInto(&first, 1, false);

    std::vector<uint8_t> decoded;
    int32_t bits;
    if (first & 0x80) {
        int32_t k = first & 0x3F;
        if (first & 0x40) {
            uint8_t more[2] = {0, 0};
            in.readInto(more, 2, false);
            k = (k << 16) | (more[0] << 8) | more[1];
        }
        // Bounds-checked before anything is allocated for the declared count.
        const uint8_t* mapBytes = in.readView(k);
        decoded.assign(mapBytes, mapBytes + k);
        bits = 8 * k;
    } else {
        const int t = first >> 5;
        uint8_t packed[4] = {first, 0, 0, 0};
        if (t > 0) in.readInto(packed + 1, t, false);
        decoded.resize(static_cast<size_t>(t + 1));
        for (int j = 0; j <= t; ++j)
            decoded[j] = static_cast<uint8_t>((packed[j] << 3) | (j < t ? packed[j + 1] >> 5 : 0));
        bits = 5 + 8 * t;
    }

    bytes = std::move(decoded);
    bitCount = bits;
    readCursor = 0;
    return in.position - start;
}

}  // namespace zeq
