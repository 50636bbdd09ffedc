#pragma once
// zlib streams made with libdeflate: one call compresses the whole input on the calling thread,
// into one zlib stream (header, deflate data, Adler-32) that any inflate reads.
#include <cstddef>
#include <cstdint>

namespace zeq {

// The room zlibCompress may need for n input bytes.
size_t zlibCompressBound(size_t n);

// Compresses data[0, n) as a zlib stream into out (room bytes, at least zlibCompressBound(n)) at
// libdeflate's level 6, whose output is within a fraction of a percent of zlib's default level,
// and returns its length; 0 when the stream could not be made.
size_t zlibCompress(const uint8_t* data, size_t n, uint8_t* out, size_t room);

}  // namespace zeq
