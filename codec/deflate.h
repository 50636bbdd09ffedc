#pragma once
// zlib streams made with libdeflate, a large input in slices compressed side by side.
//
// libdeflate compresses a whole input in one call, on one core. An input longer than one slice is
// cut into slices of kDeflateSlice bytes, each compressed on its own (on the calling thread, or on
// as many threads as the caller asks for) and joined into one deflate stream: each slice but the last loses the "last block"
// mark of its final block and gains an empty stored block, which ends it on a byte boundary as
// zlib's sync flush does. The joined stream is one zlib stream (header, deflate data, Adler-32 of
// the whole input) that any inflate reads. Where the slices fall depends only on the input's
// length, so the bytes written are the same on every machine, whatever its number of cores.
#include <cstddef>
#include <cstdint>

namespace zeq {

inline constexpr size_t kDeflateSlice = size_t(4) << 20;

// The room zlibCompress may need for n input bytes.
size_t zlibCompressBound(size_t n, size_t slice = kDeflateSlice);

// Compresses data[0, n) as a zlib stream into out (room bytes, at least zlibCompressBound(n)) at
// libdeflate's level 6 and returns its length; 0 when the stream could not be made. threads: at
// most this many threads work on it (1: the calling thread alone; 0: one a core). Files are written
// with the standard slice; other lengths are there for tests, which need many joins in little data.
size_t zlibCompress(const uint8_t* data, size_t n, uint8_t* out, size_t room, unsigned threads = 1,
                    size_t slice = kDeflateSlice);

}  // namespace zeq
