#include "codec/deflate.h"
#include "codec/protocol.h"
#include "test_util.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <atomic>
#include <random>
#include <stdexcept>
#include <zlib.h>

// Counts the threads this test program starts: std::thread starts each through pthread_create,
// which this definition takes over before passing the call on.
static std::atomic<int> g_threadsStarted{0};
extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*run)(void*), void* argument) {
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const auto create = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
    ++g_threadsStarted;
    return create(thread, attributes, run, argument);
}

namespace zeq {
namespace {

using test::bytes;
using test::hex;

TEST(Protocol, RegistersThePrimitiveCodecs) {
    Protocol p;
    EXPECT_EQ(p.getCodec("ULong"), p.getCodec("Uint"));
    EXPECT_NE(p.getCodec("Uint"), nullptr);
    EXPECT_EQ(p.getCodec("ULong Optional"), nullptr);
    EXPECT_EQ(p.getCodec("UInt"), nullptr);  // keys match character for character
    for (const char* name : {"Int", "Short", "Byte", "UShort", "Uint", "Number", "Float", "Bool", "Long", "String",
                             "ByteArray"}) {
        auto* optional = dynamic_cast<OptionalCodecDecorator*>(p.getCodec(TypeCodecInfo(name, true)));
        ASSERT_NE(optional, nullptr) << name;
        EXPECT_EQ(optional->inner(), p.getCodec(name)) << name;
    }
    EXPECT_EQ(p.registry().size(), 23u);

    const uint64_t before = p.generation();
    ICodec* replacement = p.make<IntCodec>();
    p.registerCodec(TypeCodecInfo("Int", false), replacement);
    EXPECT_NE(p.generation(), before);
    EXPECT_EQ(p.getCodec("Int"), replacement);
}

// A value stream of n bytes: k of them random 4-bit symbols, the rest zeros, which deflate
// compresses by an amount that grows with k.
ProtocolBuffer bodyOf(int32_t n, int32_t k) {
    ProtocolBuffer pb;
    pb.buffer.reserve(n);  // appendByte alone grows 256 bytes at a time
    std::mt19937 random(1);
    for (int32_t i = 0; i < n; ++i) pb.buffer.appendByte(i < k ? random() & 0x0F : 0);
    return pb;
}

// Finds a value stream whose packet body (one null-map byte plus n - 1 values) compresses to
// exactly `target` bytes, and returns the packet header. The compressed size grows with k, so a
// binary search finds the first k that reaches the target and a short scan the exact hit.
std::string headerForCompressedSize(int32_t uncompressed, int32_t target) {
    auto packetFor = [&](int32_t k) {
        ProtocolBuffer pb = bodyOf(uncompressed - 1, k);
        ByteBuffer out;
        Protocol().encodePacket(out, pb, true);
        return out;
    };
    auto stored = [](const ByteBuffer& packet) { return packet.length() - (packet.data()[0] & 0x80 ? 4 : 2); };
    int32_t low = 0, high = uncompressed;
    while (low < high) {
        const int32_t mid = (low + high) / 2;
        if (stored(packetFor(mid)) < target) low = mid + 1; else high = mid;
    }
    for (int32_t k = std::max(low - 8, 0); k < std::min(low + 32, uncompressed); ++k) {
        const ByteBuffer packet = packetFor(k);
        if (stored(packet) == target) return hex(packet).substr(0, (packet.length() - target) * 3 - 1);
    }
    return "no body compresses to the target size";
}

TEST(Packet, HeaderForms) {
    EXPECT_EQ(headerForCompressedSize(1000, 300), "41 2C");
    EXPECT_EQ(headerForCompressedSize(20000, 3000), "80 00 0B B8");  // long form chosen by the body size
}

TEST(Packet, RoundTripsAfterWhatTheOutputHolds) {
    Protocol p;
    ProtocolBuffer pb;
    const std::string name = "scene";
    const int64_t id = 1234567890123;
    p.getCodec("String Optional")->encode(pb, &name);
    p.getCodec("Long Optional")->encode(pb, nullptr);
    p.getCodec("Long")->encode(pb, &id);
    pb.buffer.position = 3;
    for (bool compress : {true, false}) {
        ByteBuffer out = bytes({0xAA});
        p.encodePacket(out, pb, compress);
        EXPECT_EQ(pb.buffer.position, 0);
        EXPECT_EQ(out.data()[0], 0xAA);
        EXPECT_EQ(out.data()[1] & 0xC0, compress ? 0x40 : 0x00);

        ByteBuffer in;
        in.appendFrom(out, 1, out.length());
        ProtocolBuffer back;
        ASSERT_TRUE(p.decodePacket(in, back));
        EXPECT_EQ(back.buffer, pb.buffer);
        std::string n;
        int64_t v = 0;
        EXPECT_TRUE(p.getCodec("String Optional")->decode(back, &n));
        EXPECT_FALSE(p.getCodec("Long Optional")->decode(back, &v));
        p.getCodec("Long")->decode(back, &v);
        EXPECT_EQ(n, name);
        EXPECT_EQ(v, id);
    }
}

TEST(Packet, StoredBodies) {
    Protocol p;
    ProtocolBuffer pb;
    ByteBuffer in = bytes({0x00, 0x03, 0x00, 0xAA, 0xBB});  // bit 6 clear: stored as is
    ASSERT_TRUE(p.decodePacket(in, pb));
    EXPECT_EQ(hex(pb.buffer), "AA BB");
    EXPECT_EQ(pb.nullMap.bitCount, 5);

    ProtocolBuffer large = bodyOf(16383, 0);  // with its null-map byte the body reaches 16384
    ByteBuffer out = bytes({1});
    EXPECT_THROW(p.encodePacket(out, large, false), ProtocolException);
    EXPECT_EQ(out.length(), 1);

    // A declared body of 0 bytes has no null map.
    ByteBuffer empty = bytes({0x00, 0x00});
    EXPECT_THROW(p.decodePacket(empty, pb), std::out_of_range);
    EXPECT_EQ(hex(pb.buffer), "AA BB");
}

// Asserts that decoding fails with `error` and leaves the destination untouched.
void expectRejected(Protocol& p, ByteBuffer in, PacketError error) {
    ProtocolBuffer pb;
    pb.buffer = bytes({0x42});
    EXPECT_FALSE(p.decodePacket(in, pb));
    EXPECT_EQ(p.lastPacketError(), error);
    EXPECT_EQ(hex(pb.buffer), "42");
}

TEST(Packet, ShortAndTruncatedInput) {
    Protocol p;
    expectRejected(p, bytes({0x40}), PacketError::TooShort);
    expectRejected(p, bytes({0x80, 0x00, 0x00}), PacketError::TooShort);
    expectRejected(p, bytes({0x40, 0x05, 0x78, 0x9C}), PacketError::Truncated);
    expectRejected(p, bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x00}), PacketError::Truncated);

    ProtocolBuffer pb = bodyOf(200, 200);
    ByteBuffer packet;
    p.encodePacket(packet, pb, true);
    for (int32_t cut = 0; cut < packet.length(); ++cut) {
        ByteBuffer in;
        in.appendFrom(packet, 0, cut);
        expectRejected(p, in, cut < 2 ? PacketError::TooShort : PacketError::Truncated);
    }
}

TEST(Packet, StoredBodiesCutAnywhereFailCleanly) {
    Protocol p;
    ProtocolBuffer pb;
    const std::string name = "node";
    const int32_t count = 3;
    p.getCodec("String Optional")->encode(pb, &name);
    p.getCodec("Int")->encode(pb, &count);
    ByteBuffer full;
    p.encodePacket(full, pb, false);
    // Every shorter body, framed with a header that declares it, fails with a read error.
    for (int32_t length = 0; length < full.length() - 2; ++length) {
        ByteBuffer in = bytes({0x00, static_cast<uint8_t>(length)});
        in.appendFrom(full, 2, length);
        try {
            ProtocolBuffer back;
            ASSERT_TRUE(p.decodePacket(in, back));
            std::string n;
            int32_t c;
            p.getCodec("String Optional")->decode(back, &n);
            p.getCodec("Int")->decode(back, &c);
            ADD_FAILURE() << length;
        } catch (const std::out_of_range&) {
        }
    }
}

TEST(Packet, DamagedCompressedData) {
    Protocol p;
    ProtocolBuffer pb = bodyOf(5000, 5000);
    ByteBuffer packet;
    p.encodePacket(packet, pb, true);
    ASSERT_EQ(packet.data()[0] & 0x80, 0x00);  // short form: the body starts at byte 2

    ByteBuffer flipped = packet;
    flipped.data()[2 + (packet.length() - 2) / 2] ^= 0x55;
    expectRejected(p, flipped, PacketError::Corrupted);
    ByteBuffer badChecksum = packet;
    badChecksum.data()[packet.length() - 1] ^= 1;
    expectRejected(p, badChecksum, PacketError::Corrupted);
    // The stream cut short, with a header that declares the shorter body.
    ByteBuffer cut = bytes({static_cast<uint8_t>(0x40 + (100 >> 8)), 100});
    cut.appendFrom(packet, 2, 100);
    expectRejected(p, cut, PacketError::Corrupted);
    expectRejected(p, bytes({0x40, 0x00}), PacketError::Corrupted);
    EXPECT_STREQ(packetErrorText(PacketError::Corrupted), "corrupted compressed data");

    // Every shorter stream, declared as such, and random damage anywhere: refused, or (where the
    // damage misses what the stream means) read as the original body, never anything else.
    const int32_t stored = packet.length() - 2;
    for (int32_t length = 1; length < stored; length += 7) {
        ByteBuffer shorter = bytes({static_cast<uint8_t>(0x40 + (length >> 8)), static_cast<uint8_t>(length & 0xFF)});
        shorter.appendFrom(packet, 2, length);
        expectRejected(p, shorter, PacketError::Corrupted);
    }
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        ByteBuffer damaged = packet;
        damaged.data()[2 + random() % stored] ^= static_cast<uint8_t>(1 + random() % 255);
        ProtocolBuffer back;
        if (p.decodePacket(damaged, back)) EXPECT_EQ(back.buffer, pb.buffer) << round;
        else EXPECT_EQ(p.lastPacketError(), PacketError::Corrupted) << round;
    }
    // Bytes after the end of the stream, inside the declared body, are not looked at.
    ByteBuffer longer = bytes({static_cast<uint8_t>(0x40 + ((stored + 3) >> 8)), static_cast<uint8_t>((stored + 3) & 0xFF)});
    longer.appendFrom(packet, 2, stored);
    longer.appendBytes("\x01\x02\x03", 3, false);
    ProtocolBuffer back;
    ASSERT_TRUE(p.decodePacket(longer, back));
    EXPECT_EQ(back.buffer, pb.buffer);
}

// A zlib stream as a plain inflate loop reads it: zlib's inflate with no flush into 8192-byte
// chunks, each appended, while inflate returns Z_OK.
std::vector<uint8_t> inflateInChunks(const uint8_t* stream, size_t length) {
    z_stream zs{};
    EXPECT_EQ(inflateInit(&zs), Z_OK);
    zs.next_in = const_cast<Bytef*>(stream);
    zs.avail_in = static_cast<uInt>(length);
    std::vector<uint8_t> out;
    int result = Z_OK;
    while (result == Z_OK) {
        uint8_t chunk[8192];
        zs.next_out = chunk;
        zs.avail_out = sizeof chunk;
        result = inflate(&zs, Z_NO_FLUSH);
        out.insert(out.end(), chunk, chunk + (sizeof chunk - zs.avail_out));
    }
    EXPECT_EQ(result, Z_STREAM_END);
    EXPECT_EQ(zs.avail_in, 0u);  // the stream fills the declared body
    inflateEnd(&zs);
    return out;
}

// The body of a packet, inflated so.
std::vector<uint8_t> inflateInChunks(const ByteBuffer& packet) {
    const int32_t header = packet.data()[0] & 0x80 ? 4 : 2;
    return inflateInChunks(packet.data() + header, static_cast<size_t>(packet.length() - header));
}

// Written packets are zlib streams any inflate reads; streams zlib writes at any level are read
// back the same, so files written before and after the change of compressor load alike.
TEST(Packet, StreamsInterchangeWithZlib) {
    Protocol p;
    std::mt19937 random(3);
    for (int32_t size : {10, 5000, 20000, 300000}) {
        ProtocolBuffer pb = bodyOf(size, size / 3);
        for (int32_t i = 0; i <= size / 40; ++i) pb.nullMap.appendBit(random() % 2 == 0);
        ByteBuffer body;
        pb.nullMap.encode(body);
        body.appendFrom(pb.buffer, 0, pb.buffer.length());
        const std::vector<uint8_t> expected(body.data(), body.data() + body.length());

        ByteBuffer packet;
        p.encodePacket(packet, pb, true);
        EXPECT_EQ(inflateInChunks(packet), expected) << size;

        for (int level : {1, Z_DEFAULT_COMPRESSION, 9}) {
            uLongf area = compressBound(static_cast<uLong>(expected.size()));
            std::vector<uint8_t> deflated(area);
            ASSERT_EQ(compress2(deflated.data(), &area, expected.data(), static_cast<uLong>(expected.size()), level), Z_OK);
            ByteBuffer in = bytes({0x80, static_cast<uint8_t>(area >> 16), static_cast<uint8_t>(area >> 8),
                                   static_cast<uint8_t>(area)});
            in.appendBytes(deflated.data(), static_cast<int32_t>(area), false);
            ProtocolBuffer back;
            ASSERT_TRUE(p.decodePacket(in, back)) << size << " " << level;
            EXPECT_EQ(back.buffer, pb.buffer);
            EXPECT_EQ(back.nullMap.bytes, pb.nullMap.bytes);
        }
    }
}

// A body of several MiB (its buffers are mapped blocks that grow by moving pages) is compressed on
// the calling thread alone, as the plug-ins must inside the host, into one stream a plain inflate reads.
TEST(Packet, LargeBodiesCompressOnTheCallingThread) {
    Protocol p;
    ProtocolBuffer pb = bodyOf(9 << 20, 300000);
    pb.nullMap.appendBit(true);
    ByteBuffer packet;
    const int threadsBefore = g_threadsStarted;
    p.encodePacket(packet, pb, true);
    EXPECT_EQ(g_threadsStarted - threadsBefore, 0);
    ProtocolBuffer back;
    ASSERT_TRUE(p.decodePacket(packet, back));
    EXPECT_EQ(back.buffer, pb.buffer);
    EXPECT_EQ(inflateInChunks(packet).size(), size_t(9 << 20) + 1);
}

TEST(Packet, CompressedBodiesWithLargeNullMaps) {
    Protocol p;
    for (int32_t bits : {3, 400, 6000}) {  // short, one-byte and three-byte map headers
        ProtocolBuffer pb = bodyOf(20000, 300);
        for (int32_t i = 0; i < bits; ++i) pb.nullMap.appendBit(i % 3 == 0);
        ByteBuffer packet;
        p.encodePacket(packet, pb, true);
        ProtocolBuffer back;
        ASSERT_TRUE(p.decodePacket(packet, back)) << bits;
        EXPECT_EQ(back.buffer.position, 0);
        EXPECT_EQ(back.buffer, pb.buffer) << bits;
        EXPECT_EQ(back.nullMap.bytes, pb.nullMap.bytes) << bits;
    }

    // A complete stream that ends inside its null map fails like a stored body cut there.
    ByteBuffer map;
    NullMap big;
    for (int32_t i = 0; i < 6000; ++i) big.appendBit(true);
    big.encode(map);
    for (int32_t length : {0, 2, 500}) {
        uLongf area = compressBound(static_cast<uLong>(length)) + 16;
        std::vector<uint8_t> deflated(area);
        ASSERT_EQ(compress(deflated.data(), &area, map.data(), static_cast<uLong>(length)), Z_OK);
        ByteBuffer in = bytes({static_cast<uint8_t>(0x40 + (area >> 8)), static_cast<uint8_t>(area & 0xFF)});
        in.appendBytes(deflated.data(), static_cast<int32_t>(area), false);
        ProtocolBuffer back;
        back.buffer = bytes({0x42});
        EXPECT_THROW(p.decodePacket(in, back), std::out_of_range) << length;
        EXPECT_EQ(hex(back.buffer), "42");
    }
}

TEST(Packet, InflationStopsAtTheLimit) {
    Protocol p;
    ProtocolBuffer zeros = bodyOf(1 << 20, 0);  // with its null-map byte the body is 2^20 + 1 bytes
    ByteBuffer packet;
    p.encodePacket(packet, zeros, true);
    EXPECT_LT(packet.length(), 2000);

    const int64_t size = (1 << 20) + 1;
    for (int64_t limit : {int64_t(0), int64_t(64 * 1024), size - 1, size, size + 1, Protocol::kMaxInflatedSize}) {
        p.setMaxInflatedSize(limit);
        if (limit < size) {
            expectRejected(p, packet, PacketError::TooLarge);
        } else {
            ProtocolBuffer back;
            EXPECT_TRUE(p.decodePacket(packet, back)) << limit;
            EXPECT_EQ(back.buffer.length(), 1 << 20) << limit;
        }
    }
    EXPECT_EQ(Protocol::kMaxInflatedSize, int64_t(1) << 30);

    // The writer refuses a body the limit would refuse, and leaves its output as it was.
    p.setMaxInflatedSize(size - 1);
    ByteBuffer refused = bytes({0x42});
    EXPECT_THROW(p.encodePacket(refused, zeros, true), ProtocolException);
    EXPECT_EQ(hex(refused), "42");
    EXPECT_EQ(zeros.buffer.length(), 1 << 20);
}

}  // namespace
}  // namespace zeq
