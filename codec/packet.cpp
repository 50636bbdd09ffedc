// The packet frame: a two- or four-byte header with the stored body length, then the body (the
// encoded null map followed by the value bytes), zlib-compressed on export.
//
// Bodies are compressed and inflated with libdeflate, which is several times faster than zlib at
// the same compression level and writes the same stream format (zlib header, deflate data,
// Adler-32 trailer), so any inflate reads what it writes. The whole body is compressed in one
// call on the calling thread (codec/deflate.h).
#include "codec/deflate.h"
#include "codec/protocol.h"

#include <algorithm>
#include <cstring>
#include <libdeflate.h>
#include <limits>
#include <memory>
#include <new>

namespace zeq {

namespace {

// Bodies below this size, stored and uncompressed alike, get the two-byte header.
constexpr int64_t kShortFormLimit = 16384;
// The body's inflated size is not stored, so inflation starts with room for a typical ratio and
// starts over with four times the room while the output does not fit, up to the limit.
constexpr int64_t kFirstRoomPerStoredByte = 8;
constexpr int64_t kMinimumRoom = 64 * 1024;
constexpr int64_t kRoomGrowth = 4;

struct DecompressorFree {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// Inflates the zlib stream source[0 .. n) into `body`. Bytes after the end of the stream are not
// inflated; `unused` gets their count. A stream that inflates to more than `limit` bytes stops
// there (TooLarge) instead of exhausting memory; a damaged stream, a bad checksum or one cut short
// is Corrupted, and partial output is never taken for the body.
PacketError inflateBody(const uint8_t* source, int32_t n, int64_t limit, ByteBuffer& body, int32_t& unused) {
    limit = std::clamp<int64_t>(limit, 0, std::numeric_limits<int32_t>::max());
    std::unique_ptr<libdeflate_decompressor, DecompressorFree> inflater(libdeflate_alloc_decompressor());
    if (!inflater) throw std::bad_alloc();
    int64_t room = std::min(limit, std::max(int64_t(n) * kFirstRoomPerStoredByte, kMinimumRoom));
    for (;;) {
        // Each attempt starts over in a fresh block; the previous one is freed first, so memory
        // never holds two attempts at once.
        ByteBuffer out;
        out.reserve(static_cast<int32_t>(std::max<int64_t>(room, 1)));
        size_t consumed = 0, produced = 0;
        const libdeflate_result result = libdeflate_zlib_decompress_ex(
            inflater.get(), source, static_cast<size_t>(n), out.data(), static_cast<size_t>(room), &consumed, &produced);
        if (result == LIBDEFLATE_SUCCESS) {
            out.extend(static_cast<int32_t>(produced));
            unused = n - static_cast<int32_t>(consumed);
            body = std::move(out);
            return PacketError::None;
        }
        if (result != LIBDEFLATE_INSUFFICIENT_SPACE) return PacketError::Corrupted;
        if (room >= limit) return PacketError::TooLarge;
        room = std::min(limit, room * kRoomGrowth);
    }
}

void writeLongHeader(uint8_t* at, int64_t storedLength) {
    const auto value = static_cast<uint32_t>(0x80000000u | static_cast<uint32_t>(storedLength));
    at[0] = static_cast<uint8_t>(value >> 24);
    at[1] = static_cast<uint8_t>(value >> 16);
    at[2] = static_cast<uint8_t>(value >> 8);
    at[3] = static_cast<uint8_t>(value);
}

// 01LLLLLL LLLLLLLL for a compressed body, 00LLLLLL LLLLLLLL for a stored one.
void writeShortHeader(uint8_t* at, bool compressed, int64_t storedLength) {
    at[0] = static_cast<uint8_t>((compressed ? 0x40 : 0x00) + (storedLength >> 8));
    at[1] = static_cast<uint8_t>(storedLength & 0xFF);
}

}  // namespace

const char* packetErrorText(PacketError error) {
    switch (error) {
    case PacketError::None: return "no error";
    case PacketError::TooShort: return "data too short for a packet header";
    case PacketError::Truncated: return "packet body runs past the end of the data";
    case PacketError::Corrupted: return "corrupted compressed data";
    case PacketError::TooLarge: return "inflated size exceeds the 1 GiB limit";
    }
    return "unknown packet error";
}

void Protocol::encodePacket(ByteBuffer& out, ProtocolBuffer& pb, bool compress) {
    // The body is the null map followed by the value bytes. The null map goes in front of the
    // values for the time of this call, in room the buffer keeps, so the values are not copied.
    ByteBuffer nullMap;
    pb.nullMap.encode(nullMap);
    ByteBuffer& body = pb.buffer;
    body.prepend(nullMap.data(), nullMap.length());
    struct TakeBack {
        ByteBuffer& body;
        int32_t n;
        ~TakeBack() {
            body.dropFront(n);
            body.position = 0;
        }
    } takeBack{body, nullMap.length()};
    const int64_t uncompressed = body.length();
    // A body no reader would inflate (every reader keeps the default limit) is not written at all.
    if (uncompressed > maxInflatedSize_)
        throw ProtocolException("The scene is too large for one file (" + std::to_string(uncompressed) +
                                " bytes of data, more than the " + std::to_string(maxInflatedSize_) +
                                " a reader inflates)");

    if (!compress) {
        // The long form always means a compressed body: a stored body this long has no header.
        if (uncompressed >= kShortFormLimit)
            throw ProtocolException("an uncompressed packet body must be shorter than 16384 bytes");
        writeShortHeader(out.extend(2), false, uncompressed);
        out.appendBytes(body.data(), body.length(), false);
        return;
    }

    const auto bound = static_cast<int64_t>(zlibCompressBound(static_cast<size_t>(uncompressed)));
    const int32_t start = out.length();
    if (start + 4 + bound > std::numeric_limits<int32_t>::max())
        throw ProtocolException("compressed packet body exceeds 2 GiB");
    // The body is compressed straight into `out`, behind room for the four-byte header. When it
    // takes the two-byte header instead (only bodies below 16384 bytes do), it moves down by two.
    uint8_t* area = out.extend(static_cast<int32_t>(4 + bound));
    const auto stored = static_cast<int64_t>(
        zlibCompress(body.data(), static_cast<size_t>(uncompressed), area + 4, static_cast<size_t>(bound)));
    if (stored == 0) {
        out.truncate(start);
        throw ProtocolException("deflate compression failed");
    }
    if (uncompressed < kShortFormLimit && stored < kShortFormLimit) {
        writeShortHeader(area + 2, true, stored);
        std::memmove(area, area + 2, static_cast<size_t>(2 + stored));
        out.truncate(static_cast<int32_t>(start + 2 + stored));
    } else {
        writeLongHeader(area, stored);
        out.truncate(static_cast<int32_t>(start + 4 + stored));
    }
}

bool Protocol::decodePacket(ByteBuffer& in, ProtocolBuffer& pb) {
    lastError_ = PacketError::None;
    lastNullMapBytes_ = 0;
    lastUnusedBodyBytes_ = 0;
    auto fail = [this](PacketError error) {
        lastError_ = error;
        return false;
    };
    if (in.length() < 2) return fail(PacketError::TooShort);

    in.position = 0;
    const uint8_t* header = in.data();
    int64_t length;
    bool compressed;
    if (header[0] & 0x80) {
        if (in.length() < 4) return fail(PacketError::TooShort);
        length = (int64_t(header[0] & 0x7F) << 24) | (int64_t(header[1]) << 16) | (int64_t(header[2]) << 8) | header[3];
        compressed = true;
        in.position = 4;
    } else {
        length = (int64_t(header[0] & 0x3F) << 8) | header[1];
        compressed = (header[0] & 0x40) != 0;
        in.position = 2;
    }
    if (length > in.remaining()) return fail(PacketError::Truncated);

    const auto stored = static_cast<int32_t>(length);
    // The null map leads the body; the value stream is what follows it, read from position 0.
    ByteBuffer body;
    if (compressed) {
        const PacketError error = inflateBody(in.data() + in.position, stored, maxInflatedSize_, body, lastUnusedBodyBytes_);
        if (error != PacketError::None) return fail(error);
    } else {
        body.appendFrom(in, in.position, stored);
    }
    // A body that ends inside its null map fails here with the read's std::out_of_range.
    NullMap map;
    lastNullMapBytes_ = map.decode(body);
    body.dropFront(lastNullMapBytes_);
    body.position = 0;
    pb.nullMap = std::move(map);
    pb.buffer = std::move(body);
    pb.decodedLimit = maxDecodedSize_;
    pb.decodedBytes = 0;
    return true;
}

}  // namespace zeq
