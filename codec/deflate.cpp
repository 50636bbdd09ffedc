// zlib streams made with libdeflate, large inputs in slices, compressed side by side on request (deflate.h).
#include "codec/deflate.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace zeq {

namespace {

constexpr int kLevel = 6;
// An empty stored block after a slice: up to one byte for the rest of its three header bits and
// the padding to a byte boundary, then LEN 0 and NLEN 0xFFFF.
constexpr size_t kJoinBytes = 5;

struct CompressorFree {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};
using Compressor = std::unique_ptr<libdeflate_compressor, CompressorFree>;

size_t sliceCount(size_t n, size_t slice) { return n <= slice ? 1 : (n + slice - 1) / slice; }

size_t sliceRoom(size_t n) { return libdeflate_deflate_compress_bound(nullptr, n) + kJoinBytes; }

// Makes the raw deflate stream at stream[0, length) go on into what follows it: the "last block"
// bit of its final block is cleared, and an empty stored block ends it on a byte boundary. The
// final block is found by inflating the stream block by block (zlib stops at each boundary and
// tells how many bits of the last byte it took are still unread: the next block's header starts
// there). False when the stream does not inflate to its end.
bool openEnd(uint8_t* stream, size_t& length) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) return false;
    z.next_in = stream;
    z.avail_in = static_cast<uInt>(length);
    size_t markByte = 0;  // where the header of the block being inflated is
    uint8_t markBit = 1;
    int unread = -1;  // the unread bits of the last byte once the final block is inflated
    uint8_t sink[32768];
    int result = Z_OK;
    while (result == Z_OK) {
        z.next_out = sink;
        z.avail_out = sizeof sink;
        result = inflate(&z, Z_BLOCK);
        if (result != Z_OK || !(z.data_type & 128)) continue;
        // At a block boundary (64: the block just inflated was the final one).
        const int bits = z.data_type & 7;
        if (z.data_type & 64) {
            unread = bits;
        } else {
            const auto taken = static_cast<size_t>(z.next_in - stream);
            markByte = bits ? taken - 1 : taken;
            markBit = static_cast<uint8_t>(bits ? 0x100 >> bits : 1);
        }
    }
    const bool whole = result == Z_STREAM_END && z.avail_in == 0 && unread >= 0 && markByte < length;
    inflateEnd(&z);
    if (!whole || !(stream[markByte] & markBit)) return false;
    stream[markByte] &= static_cast<uint8_t>(~markBit);
    // The stored block's header (three zero bits) goes where the stream ends, in the last byte's
    // unread bits when three are left, else in a byte of its own; its length starts on the next byte.
    if (unread) stream[length - 1] &= static_cast<uint8_t>((1u << (8 - unread)) - 1);
    if (unread < 3) stream[length++] = 0;
    const uint8_t emptyStored[] = {0x00, 0x00, 0xFF, 0xFF};
    std::memcpy(stream + length, emptyStored, sizeof emptyStored);
    length += sizeof emptyStored;
    return true;
}

}  // namespace

size_t zlibCompressBound(size_t n, size_t slice) {
    const size_t slices = sliceCount(n, slice);
    if (slices == 1) return libdeflate_zlib_compress_bound(nullptr, n);
    return 2 + (slices - 1) * sliceRoom(slice) + sliceRoom(n - (slices - 1) * slice) + 4;
}

size_t zlibCompress(const uint8_t* data, size_t n, uint8_t* out, size_t room, unsigned threads, size_t slice) {
    slice = std::max<size_t>(slice, 1);
    const size_t slices = sliceCount(n, slice);
    if (room < zlibCompressBound(n, slice)) return 0;
    if (slices == 1) {
        Compressor compressor(libdeflate_alloc_compressor(kLevel));
        if (!compressor) throw std::bad_alloc();
        return libdeflate_zlib_compress(compressor.get(), data, n, out, room);
    }

    // Slice i is compressed into its own part of out, at 2 + i * sliceRoom(slice), and
    // moved down behind the slice before it once all are done.
    struct Slice {
        size_t length = 0;  // 0: failed
        uint32_t adler = 1;
    };
    std::vector<Slice> done(slices);
    const size_t stride = sliceRoom(slice);
    std::atomic<size_t> next{0};
    std::atomic<bool> outOfMemory{false};
    auto work = [&] {
        Compressor compressor(libdeflate_alloc_compressor(kLevel));
        if (!compressor) {
            outOfMemory = true;
            return;
        }
        for (size_t i = next++; i < slices; i = next++) {
            const uint8_t* in = data + i * slice;
            const size_t inLength = std::min(slice, n - i * slice);
            const bool last = i + 1 == slices;
            uint8_t* at = out + 2 + i * stride;
            size_t length = libdeflate_deflate_compress(compressor.get(), in, inLength, at,
                                                        (last ? sliceRoom(inLength) : stride) - kJoinBytes);
            if (length != 0 && !last && !openEnd(at, length)) length = 0;
            done[i] = {length, libdeflate_adler32(1, in, inLength)};
        }
    };
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> helpers;
    helpers.reserve(std::min<size_t>(threads, slices));  // no growth (and no throw) once threads run
    for (size_t t = 1; t < std::min<size_t>(threads, slices); ++t) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // no more threads: those there are (this one at least) do all the slices
        }
    }
    work();
    for (std::thread& helper : helpers) helper.join();
    if (outOfMemory && std::any_of(done.begin(), done.end(), [](const Slice& s) { return s.length == 0; }))
        throw std::bad_alloc();

    // zlib's header for the default level, the slices, then the Adler-32 of all the input.
    out[0] = 0x78;
    out[1] = 0x9C;
    size_t length = 2;
    uLong adler = 1;
    for (size_t i = 0; i < slices; ++i) {
        if (done[i].length == 0) return 0;
        std::memmove(out + length, out + 2 + i * stride, done[i].length);
        length += done[i].length;
        const size_t inLength = std::min(slice, n - i * slice);
        adler = i == 0 ? done[i].adler : adler32_combine(adler, done[i].adler, static_cast<z_off_t>(inLength));
    }
    for (int shift = 24; shift >= 0; shift -= 8) out[length++] = static_cast<uint8_t>(adler >> shift);
    return length;
}

}  // namespace zeq
