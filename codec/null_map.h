#pragma once
// The presence bits of optional values (1 = absent), most significant bit first, and the
// variable-width length prefix of strings, byte arrays and arrays.
#include "codec/byte_buffer.h"

#include <cstdint>
#include <vector>

namespace zeq {

class NullMap {
public:
    std::vector<uint8_t> bytes;
    int32_t readCursor = 0;
    int32_t bitCount = 0;

    // Sets (true) or clears bit `index`; appends a zero byte when index / 8 is the next byte.
    // Text exception "Uncorres->t position" when index / 8 lies beyond the next byte.
    void setBit(bool value, int32_t index);
    // Appends one bit at index bitCount.
    void appendBit(bool absent) { setBit(absent, bitCount); ++bitCount; }
    // Text exception "Index out of bounds" past bitCount.
    bool nextBit();
    std::vector<uint8_t> toBytes() const { return bytes; }

    // Appends the encoded map (short forms of 1 to 4 bytes, long forms with a byte count).
    // Text exception "NullMap overflow" above 33554424 bits.
    void encode(ByteBuffer& out) const;
    // Replaces this map by the one encoded at in.position; returns the number of bytes consumed.
    // Read failures are the std::out_of_range of ByteBuffer::readBytes.
    int32_t decode(ByteBuffer& in);
    // The number of bytes decode consumes for a map whose encoding starts with the n bytes at
    // `head`. Up to three leading bytes decide it: while n is too small to tell, the result is the
    // count of leading bytes still needed to tell (always more than n).
    static int64_t encodedLength(const uint8_t* head, int64_t n);
};

constexpr uint32_t kMaxLength = 4194303;

// std::length_error "encodeLength::Length is incorrect\n" for n > kMaxLength.
void encodeLength(uint32_t n, ByteBuffer& buffer);
uint32_t decodeLength(ByteBuffer& buffer);

}  // namespace zeq
