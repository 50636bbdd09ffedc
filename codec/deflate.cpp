// zlib streams made with libdeflate (deflate.h).
#include "codec/deflate.h"

#include <libdeflate.h>

#include <memory>
#include <new>

namespace zeq {

namespace {

constexpr int kLevel = 6;

struct CompressorFree {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

}  // namespace

size_t zlibCompressBound(size_t n) { return libdeflate_zlib_compress_bound(nullptr, n); }

size_t zlibCompress(const uint8_t* data, size_t n, uint8_t* out, size_t room) {
    if (room < zlibCompressBound(n)) return 0;
    std::unique_ptr<libdeflate_compressor, CompressorFree> compressor(libdeflate_alloc_compressor(kLevel));
    if (!compressor) throw std::bad_alloc();
    return libdeflate_zlib_compress(compressor.get(), data, n, out, room);
}

}  // namespace zeq
