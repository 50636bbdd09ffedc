// The packet frame: a two- or four-byte header with the stored body length, then the body (the
// encoded null map followed by the value bytes), zlib-compressed on export.
#include "codec/protocol.h"

#include <algorithm>
#include <limits>
#include <new>
#include <zlib.h>

namespace zeq {

namespace {

constexpr int32_t kInflateChunk = 8192;
// Bodies below this size, stored and uncompressed alike, get the two-byte header.
constexpr int64_t kShortFormLimit = 16384;

// Ends the inflate stream however inflation stops.
struct InflateStream {
    z_stream zs{};
    bool open = false;
    ~InflateStream() {
        if (open) inflateEnd(&zs);
    }
};

// Inflates source[0 .. n): the encoded null map that leads the body into `map`, the value bytes
// after it into `values`, so the values never have to be moved down once the map is known. When the
// stream ends inside the null map, everything it held is in `map` and `values` stays empty.
// Output is written straight into the buffers' free space. The values grow by doubling but never
// beyond limit + 8192 bytes, so a stream that inflates without end (or merely far) stops at the
// limit (counted over both buffers) instead of exhausting memory.
PacketError inflateBody(const uint8_t* source, int32_t n, int64_t limit, ByteBuffer& map, ByteBuffer& values) {
    limit = std::min<int64_t>(limit, std::numeric_limits<int32_t>::max() - kInflateChunk);
    InflateStream stream;
    const int init = inflateInit(&stream.zs);
    if (init == Z_MEM_ERROR) throw std::bad_alloc();
    if (init != Z_OK) return PacketError::Corrupted;
    stream.open = true;
    stream.zs.next_in = const_cast<Bytef*>(source);
    stream.zs.avail_in = static_cast<uInt>(n);

    // A first guess of four times the stored size saves most regrowth on typical scene data.
    values.reserve(static_cast<int32_t>(std::min<int64_t>(int64_t(n) * 4 + kInflateChunk, limit + kInflateChunk)));
    for (;;) {
        // The null map's length is known from its first bytes; until they are all in, output goes to `map`.
        const int64_t mapWanted = NullMap::encodedLength(map.data(), map.length());
        ByteBuffer* target = &values;
        int32_t step = kInflateChunk;
        if (map.length() < mapWanted) {
            target = &map;
            step = static_cast<int32_t>(std::min<int64_t>(mapWanted - map.length(), kInflateChunk));
        } else {
            if (values.capacity() - values.length() < kInflateChunk) {
                const int64_t grown =
                    std::max<int64_t>(int64_t(values.capacity()) * 2, int64_t(values.length()) + kInflateChunk);
                values.reserve(static_cast<int32_t>(std::min<int64_t>(grown, limit + kInflateChunk)));
            }
            // All the free space at once (fewer, longer inflate calls), but never more than one
            // byte past the limit, which is enough to tell that the stream goes beyond it.
            const int64_t space = values.capacity() - values.length();
            const int64_t room = limit + 1 - (int64_t(map.length()) + values.length());
            step = static_cast<int32_t>(std::max<int64_t>(std::min(space, room), 1));
        }
        stream.zs.next_out = target->extend(step);
        stream.zs.avail_out = static_cast<uInt>(step);
        const int result = inflate(&stream.zs, Z_NO_FLUSH);
        target->truncate(target->length() - static_cast<int32_t>(stream.zs.avail_out));
        if (int64_t(map.length()) + values.length() > limit) return PacketError::TooLarge;
        if (result == Z_STREAM_END) return PacketError::None;
        if (result == Z_OK) continue;
        if (result == Z_MEM_ERROR) throw std::bad_alloc();
        // Z_DATA_ERROR, Z_NEED_DICT, Z_STREAM_ERROR, or Z_BUF_ERROR: the input ended before the
        // stream did. Partial output is never taken for the body.
        return PacketError::Corrupted;
    }
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
    pb.buffer.position = 0;
    ByteBuffer body;
    pb.nullMap.encode(body);
    body.appendFrom(pb.buffer, 0, pb.buffer.length());
    const int64_t uncompressed = body.length();

    const uint8_t* stored = body.data();
    int64_t storedLength = uncompressed;
    std::unique_ptr<uint8_t[]> compressed;
    if (compress) {
        uLongf area = static_cast<uLongf>(uncompressed * 3 / 2 + 32);
        compressed.reset(new uint8_t[area]);
        const int result = ::compress(compressed.get(), &area, body.data(), static_cast<uLong>(uncompressed));
        if (result == Z_MEM_ERROR) throw std::bad_alloc();
        if (result != Z_OK) throw ProtocolException("zlib compression failed");
        stored = compressed.get();
        storedLength = static_cast<int64_t>(area);
    }

    uint8_t header[4];
    int32_t headerLength;
    if (uncompressed < kShortFormLimit && storedLength < kShortFormLimit) {
        // 01LLLLLL LLLLLLLL for a compressed body, 00LLLLLL LLLLLLLL for a stored one.
        header[0] = static_cast<uint8_t>((compress ? 0x40 : 0x00) + (storedLength >> 8));
        header[1] = static_cast<uint8_t>(storedLength & 0xFF);
        headerLength = 2;
    } else {
        // The long form always means a compressed body: a stored body this long has no header.
        if (!compress) throw ProtocolException("an uncompressed packet body must be shorter than 16384 bytes");
        if (storedLength > std::numeric_limits<int32_t>::max())
            throw ProtocolException("compressed packet body exceeds 2 GiB");
        const auto value = static_cast<uint32_t>(0x80000000u | static_cast<uint32_t>(storedLength));
        header[0] = static_cast<uint8_t>(value >> 24);
        header[1] = static_cast<uint8_t>(value >> 16);
        header[2] = static_cast<uint8_t>(value >> 8);
        header[3] = static_cast<uint8_t>(value);
        headerLength = 4;
    }
    out.appendBytes(header, headerLength, false);
    out.appendBytes(stored, static_cast<int32_t>(storedLength), false);
}

bool Protocol::decodePacket(ByteBuffer& in, ProtocolBuffer& pb) {
    lastError_ = PacketError::None;
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
    NullMap map;
    if (compressed) {
        ByteBuffer mapBytes;
        const PacketError error = inflateBody(in.data() + in.position, stored, maxInflatedSize_, mapBytes, body);
        if (error != PacketError::None) return fail(error);
        map.decode(mapBytes);
    } else {
        body.appendFrom(in, in.position, stored);
        body.dropFront(map.decode(body));
    }
    body.position = 0;
    pb.nullMap = std::move(map);
    pb.buffer = std::move(body);
    return true;
}

}  // namespace zeq
