#pragma once
// Shared helpers of the codec tests: byte strings written as hex, and buffers built from them.
#include "codec/byte_buffer.h"

#include <cstdio>
#include <string>
#include <vector>

namespace zeq::test {

// "00 0A FF": the bytes of data[0 .. length).
inline std::string hex(const ByteBuffer& b) {
    std::string s;
    char part[4];
    for (int32_t i = 0; i < b.length(); ++i) {
        std::snprintf(part, sizeof part, i ? " %02X" : "%02X", b.data()[i]);
        s += part;
    }
    return s;
}

inline ByteBuffer bytes(const std::vector<uint8_t>& values) {
    ByteBuffer b;
    b.appendBytes(values.data(), static_cast<int32_t>(values.size()), false);
    return b;
}

// Runs f and returns the text of the text exception it throws ("" when it throws none).
template <class F>
std::string textThrown(F&& f) {
    try {
        f();
    } catch (const char* text) {
        return text;
    }
    return "";
}

}  // namespace zeq::test
