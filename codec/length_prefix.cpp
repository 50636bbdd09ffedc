// The variable-width length prefix of strings, byte arrays and arrays: one to three bytes, the top
// bits of the first byte telling how many.
#include "codec/null_map.h"

#include <stdexcept>

namespace zeq {

void encodeLength(uint32_t n, ByteBuffer& buffer) {
    if (n > kMaxLength) throw std::length_error("encodeLength::Length is incorrect\n");
    uint8_t prefix[3];
    if (n < 0x80) {
        prefix[0] = static_cast<uint8_t>(n);
        buffer.appendBytes(prefix, 1, false);
    } else if (n < 0x4000) {
        prefix[0] = static_cast<uint8_t>(0x80 | (n >> 8));
        prefix[1] = static_cast<uint8_t>(n & 0xFF);
        buffer.appendBytes(prefix, 2, false);
    } else {
        prefix[0] = static_cast<uint8_t>(0xC0 | (n >> 16));
        prefix[1] = static_cast<uint8_t>((n >> 8) & 0xFF);
        prefix[2] = static_cast<uint8_t>(n & 0xFF);
        buffer.appendBytes(prefix, 3, false);
    }
}

uint32_t decodeLength(ByteBuffer& buffer) {
    uint8_t a = 0;
    buffer.readInto(&a, 1, false);
    if (!(a & 0x80)) return a;
    if (!(a & 0x40)) {
        uint8_t b = 0;
        buffer.readInto(&b, 1, false);
        return (uint32_t(a & 0x3F) << 8) | b;
    }
    // Each byte is read on its own, so a prefix cut short fails exactly where the data ends.
    uint8_t b = 0, c = 0;
    buffer.readInto(&b, 1, false);
    buffer.readInto(&c, 1, false);
    return (uint32_t(a & 0x3F) << 16) | (uint32_t(b) << 8) | c;
}

}  // namespace zeq
