// Scene files: the layout around the roots, round trips, and every way a damaged file is refused.
#include "support.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

namespace zeq::test {
namespace {

// Inflates the body of a packet written by encodeSceneFile.
std::vector<uint8_t> inflatedBody(const ByteBuffer& packet) {
    const uint8_t* p = packet.data();
    const int header = (p[0] & 0x80) ? 4 : 2;
    std::vector<uint8_t> body(1 << 20);
    uLongf size = body.size();
    EXPECT_EQ(uncompress(body.data(), &size, p + header, static_cast<uLong>(packet.length() - header)), Z_OK);
    body.resize(size);
    return body;
}

// Expects decodeSceneFile to fail with exactly this message.
void expectRefused(const ByteBuffer& bytes, const std::string& message) {
    try {
        decodeSceneFile(bytes);
        ADD_FAILURE() << "decoded, expected: " << message;
    } catch (const FormatError& e) {
        EXPECT_EQ(std::string(e.what()), message);
    }
}

TEST(SceneFileLayout, EmptySceneIsTheVersionPairAndPresenceBits) {
    const ByteBuffer packet = encodeSceneFile(SceneFile{});
    EXPECT_EQ(packet.data()[0] & 0xC0, 0x40);  // short header, compressed body
    EXPECT_EQ(inflatedBody(packet), hexBytes("7F FF FF 80  00 02 00 05"));
    EXPECT_EQ(decodeSceneFile(packet), SceneFile{});
}

TEST(SceneFileLayout, HalfPrecisionFilesCarryMinorVersion6) {
    SceneFile file;
    file.minorVersion = kMinorVersionHalf;
    const ByteBuffer packet = encodeSceneFile(file);
    EXPECT_EQ(inflatedBody(packet), hexBytes("7F FF FF 80  00 02 00 06"));
    EXPECT_EQ(decodeSceneFile(packet).minorVersion, 6);
    EXPECT_EQ(decodeSceneRoot(packet).minorVersion, 6);
}

TEST(SceneFileLayout, LargeBodyUsesTheLongHeader) {
    SceneFile file;
    Zeq2VertexBuffer buffer;
    buffer.attributes = {Zeq2VertexAttributes::POSITION};
    RandomRecords random(1);
    for (int i = 0; i < 40000; ++i) buffer.byteBuffer.appendByte(static_cast<uint8_t>(random.below(256)));
    file.root.vertexBuffers = TArray<Zeq2VertexBuffer>{buffer};
    const ByteBuffer packet = encodeSceneFile(file);
    EXPECT_EQ(packet.data()[0] & 0x80, 0x80);
    EXPECT_EQ(decodeSceneFile(packet), file);
}

TEST(SceneFileRoundTrip, SampleScene) {
    const SceneFile file = sampleScene();
    const ByteBuffer packet = encodeSceneFile(file);
    PacketInfo info;
    EXPECT_EQ(decodeSceneFile(packet, &info), file);
    EXPECT_EQ(info.packetBytes, packet.length());
    EXPECT_EQ(info.inflatedBytes, static_cast<int64_t>(sceneBody(file).size()));
    EXPECT_GT(info.dataBytes, 4);

    const SceneRoot root = decodeSceneRoot(packet);
    EXPECT_EQ(root.root, file.root);
    EXPECT_EQ(root.majorVersion, 2);
    EXPECT_EQ(bytesOf(encodeSceneFile(decodeSceneFile(packet))), bytesOf(packet));
}

TEST(SceneFileRoundTrip, RandomScenes) {
    Protocol protocol;
    registerFormatTypes(protocol);
    RandomRecords random(2024);
    for (int i = 0; i < 30; ++i) {
        SceneFile file;
        random.fill(file.root);
        random.fill(file.extra1);
        random.fill(file.extra2);
        ByteBuffer packet = encodeSceneFile(protocol, file);
        ASSERT_EQ(decodeSceneFile(protocol, packet), file) << "scene " << i;
    }
}

// A text or byte array of length zero as the very last value of the data is a read of zero bytes
// at the end of the stream; the file must still read back.
TEST(SceneFileRoundTrip, EmptyTextAsTheLastValue) {
    SceneFile layer;
    layer.extra1.layers = TArray<Zeq2Layer>{Zeq2Layer{1, std::string(), std::nullopt}};
    ASSERT_EQ(sceneBody(layer).back(), 0x00);  // the name's length prefix ends the data
    EXPECT_EQ(decodeSceneFile(encodeSceneFile(layer)), layer);

    SceneFile image;
    image.root.images = TArray<Zeq2Image>{Zeq2Image{1, ""}};
    ASSERT_EQ(sceneBody(image).back(), 0x00);
    EXPECT_EQ(decodeSceneFile(encodeSceneFile(image)), image);
    EXPECT_EQ(decodeSceneRoot(encodeSceneFile(image)).root, image.root);
}

TEST(SceneFileErrors, NotAPacket) {
    expectRefused(ByteBuffer(), "not a Zeq file: empty");
    expectRefused(bufferOf({0x41}), "not a Zeq file: too short");
    expectRefused(bufferOf({0x80, 0x00, 0x01}), "not a Zeq file: too short");
    expectRefused(bufferOf({0x41, 0x2C, 0x78, 0x9C}), "truncated: the packet declares 300 body bytes, the file holds 2");
}

TEST(SceneFileErrors, CorruptedCompressedData) {
    ByteBuffer packet = encodeSceneFile(sampleScene());
    packet.data()[packet.length() - 1] ^= 0x01;  // the checksum no longer matches
    expectRefused(packet, "corrupted compressed data");
}

TEST(SceneFileErrors, InflationAndMemoryLimits) {
    SceneFile file;
    Zeq2IndexBuffer zeros;
    std::vector<uint8_t> block(100000, 0);
    zeros.byteBuffer.appendBytes(block.data(), static_cast<int32_t>(block.size()), false);
    file.root.indexBuffers = TArray<Zeq2IndexBuffer>{zeros};
    ByteBuffer packet = encodeSceneFile(file);

    Protocol protocol;
    registerFormatTypes(protocol);
    protocol.setMaxInflatedSize(50000);
    try {
        decodeSceneFile(protocol, packet);
        FAIL() << "inflated past the limit";
    } catch (const FormatError& e) {
        EXPECT_EQ(std::string(e.what()), packetErrorText(PacketError::TooLarge));
    }

    // 10000 bare objects: some 90 KB of data that take 1.28 MB of memory once decoded.
    file = {};
    file.root.objects = TArray<Zeq2Object>(std::vector<Zeq2Object>(10000));
    packet = encodeSceneFile(file);
    protocol.setMaxInflatedSize(Protocol::kMaxInflatedSize);
    protocol.setMaxDecodedSize(1 << 20);
    try {
        decodeSceneFile(protocol, packet);
        FAIL() << "decoded past the memory limit";
    } catch (const FormatError& e) {
        EXPECT_EQ(std::string(e.what()), "decoded records would take more than 1 MiB of memory");
    }
    protocol.setMaxDecodedSize(2 << 20);
    EXPECT_EQ(decodeSceneFile(protocol, packet).root.objects->size(), 10000u);
}

TEST(SceneFileErrors, UnsupportedMajorVersion) {
    SceneFile file;
    file.majorVersion = 3;
    const ByteBuffer packet = encodeSceneFile(file);
    expectRefused(packet, "unsupported major version 3");
    EXPECT_THROW(decodeSceneRoot(packet), FormatError);
}

TEST(SceneFileErrors, TrailingData) {
    const std::vector<uint8_t> body = sceneBody(sampleScene());
    std::vector<uint8_t> longer = body;
    longer.push_back(0x00);
    expectRefused(storedPacket(longer), "trailing bytes after the roots (1 byte)");
    // The loader stops after the first root and does not look further.
    EXPECT_EQ(decodeSceneRoot(storedPacket(longer)).root, sampleScene().root);

    ByteBuffer file = storedPacket(body);
    file.appendByte(0x00);
    file.appendByte(0x00);
    expectRefused(file, "trailing bytes after the packet (2 bytes)");
}

TEST(SceneFileErrors, PresenceBitsOfValuesThatAreNotThere) {
    // The empty scene's 22 bits in a six-byte long form of the map: 26 bits to spare.
    std::vector<uint8_t> body = hexBytes("86 FF FF FC 00 00 00  00 02 00 05");
    expectRefused(storedPacket(body), "trailing presence bits after the roots");
    // The same bits in the 4-byte form with an unused bit set.
    expectRefused(storedPacket(hexBytes("7F FF FF 81  00 02 00 05")), "trailing presence bits after the roots");
    EXPECT_EQ(decodeSceneFile(storedPacket(hexBytes("7F FF FF 80  00 02 00 05"))), SceneFile{});
    // The same bits in longer forms than a writer picks: the inflated size counts the bytes read.
    for (const char* form : {"83 FF FF FC", "C0 00 03 FF FF FC"}) {
        const std::vector<uint8_t> longForm = hexBytes(std::string(form) + " 00 02 00 05");
        PacketInfo info;
        EXPECT_EQ(decodeSceneFile(storedPacket(longForm), &info), SceneFile{});
        EXPECT_EQ(info.inflatedBytes, static_cast<int64_t>(longForm.size())) << form;
    }
}

// The lenient decode says which kind of fault follows the first root: leftovers, after which every
// root is whole, or extension roots that do not decode (left empty).
TEST(SceneFileErrors, LenientDecodeTellsLeftoversFromDamagedExtensions) {
    SceneFile file = sampleScene();
    Zeq2Layer layer;
    layer.id = 1;
    layer.name = "Props";
    layer.objectIds = TArray<int64_t>{1, 2};
    file.extra1.layers.emplace().add(layer);
    const std::vector<uint8_t> body = sceneBody(file);
    std::vector<uint8_t> longer = body, cut = body;
    longer.push_back(0x00);
    cut.resize(cut.size() - 5);
    ByteBuffer afterPacket = storedPacket(body);
    afterPacket.appendByte(0x00);
    // Inflating stops at the end of the zlib stream; bytes behind it in the body are left over too.
    std::vector<uint8_t> deflated(compressBound(body.size()) + 2);
    uLongf deflatedSize = deflated.size() - 2;
    ASSERT_EQ(compress(deflated.data() + 2, &deflatedSize, body.data(), body.size()), Z_OK);
    deflated.resize(deflatedSize + 2);
    deflated.insert(deflated.end(), {'G', 'A', 'R', 'B', 'A', 'G', 'E'});
    deflated[0] = static_cast<uint8_t>(0x40 | ((deflated.size() - 2) >> 8));
    deflated[1] = static_cast<uint8_t>((deflated.size() - 2) & 0xFF);
    struct Case {
        ByteBuffer bytes;
        AfterRootFault fault;
        std::string text;
    };
    const Case cases[] = {
        {storedPacket(body), AfterRootFault::None, ""},
        {storedPacket(longer), AfterRootFault::Leftovers, "trailing bytes after the roots (1 byte)"},
        {afterPacket, AfterRootFault::Leftovers, "trailing bytes after the packet (1 byte)"},
        {bufferOf(deflated), AfterRootFault::Leftovers,
         "trailing bytes after the compressed data in the packet body (7 bytes)"},
        {storedPacket(cut), AfterRootFault::DamagedExtensions, "truncated data: the value at byte offset"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Protocol protocol;
        registerFormatTypes(protocol);
        ByteBuffer bytes = c.bytes;
        AfterRootProblem problem;
        const SceneFile decoded = decodeSceneFile(protocol, bytes, nullptr, problem);
        EXPECT_EQ(problem.fault, c.fault);
        EXPECT_EQ(problem.text.substr(0, c.text.size()), c.text);
        EXPECT_EQ(decoded.root, file.root);
        EXPECT_EQ(decoded.extra1, c.fault == AfterRootFault::DamagedExtensions ? Zeq2Extra1{} : file.extra1);
    }
}

TEST(SceneFileErrors, TooFewPresenceBits) {
    // A map of 5 bits (all absent) cannot hold the 19 bits of the first root.
    expectRefused(storedPacket(hexBytes("1F  00 02 00 05")), "the presence bits run out at byte offset 4 of the data stream");
}

TEST(SceneFileErrors, UndecodableText) {
    SceneFile file;
    file.extra1.layers = TArray<Zeq2Layer>{Zeq2Layer{1, std::string("ab"), std::nullopt}};
    std::vector<uint8_t> body = sceneBody(file);
    ASSERT_EQ(body.back(), 'b');
    body.back() = 0xFF;  // not UTF-8
    expectRefused(storedPacket(body), "a text is not valid UTF-8 (it ends at byte offset 12 of the data stream)");
}

// Every prefix of the data stream of a stored packet: the decoders report the shortage, never crash.
TEST(SceneFileTruncation, EveryPrefixOfTheData) {
    const std::vector<uint8_t> body = sceneBody(sampleScene());
    ASSERT_LT(body.size(), 16384u);
    int truncated = 0;
    for (std::size_t n = 0; n < body.size(); ++n) {
        const ByteBuffer packet = storedPacket(std::vector<uint8_t>(body.begin(), body.begin() + n));
        try {
            decodeSceneFile(packet);
            ADD_FAILURE() << "a prefix of " << n << " bytes decoded";
        } catch (const FormatError& e) {
            const std::string message = e.what();
            if (message.rfind("truncated data: ", 0) == 0) {
                ++truncated;
            } else {
                ADD_FAILURE() << n << " bytes: " << message;
            }
        }
        try {
            decodeSceneRoot(packet);
        } catch (const FormatError&) {
        }
    }
    EXPECT_EQ(truncated, static_cast<int>(body.size()));
}

TEST(SceneFileTruncation, EveryPrefixOfTheFile) {
    const ByteBuffer packet = encodeSceneFile(sampleScene());
    for (int32_t n = 0; n < packet.length(); ++n) {
        ByteBuffer prefix;
        prefix.appendFrom(packet, 0, n);
        EXPECT_THROW(decodeSceneFile(prefix), FormatError) << n;
        EXPECT_THROW(decodeSceneRoot(prefix), FormatError) << n;
    }
}

// Random damage to a stored packet: decoding either succeeds or fails with a FormatError.
TEST(SceneFileTruncation, RandomDamageIsReportedNotFatal) {
    const std::vector<uint8_t> body = sceneBody(sampleScene());
    RandomRecords random(99);
    for (int i = 0; i < 3000; ++i) {
        std::vector<uint8_t> damaged = body;
        const auto flips = 1 + random.below(4);
        for (uint64_t f = 0; f < flips; ++f) {
            damaged[random.below(damaged.size())] = static_cast<uint8_t>(random.below(256));
        }
        try {
            decodeSceneFile(storedPacket(damaged));
        } catch (const FormatError&) {
        }
    }
}

}  // namespace
}  // namespace zeq::test
