// Writing and reading scene files: the version pair and the three roots inside one packet.
#include "format/scene_file.h"

#include "format/record_codec.h"
#include "format/register.h"

#include <cstring>
#include <functional>
#include <string>

namespace zeq {
namespace {

void appendUint16BigEndian(ByteBuffer& buffer, uint16_t value) {
    buffer.appendByte(static_cast<uint8_t>(value >> 8));
    buffer.appendByte(static_cast<uint8_t>(value & 0xFF));
}

uint16_t readUint16BigEndian(ByteBuffer& buffer) {
    const uint8_t* bytes = buffer.readView(2);
    return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
}

// Turns a text exception of the codec layer into a one-line description.
std::string byteCount(int64_t n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); }

// Length of the packet at the start of `bytes`, header included; decodePacket has checked that the
// header is complete and the body present.
int64_t packetLength(const ByteBuffer& bytes) {
    const uint8_t* h = bytes.data();
    if (h[0] & 0x80) {
        return 4 + ((int64_t(h[0] & 0x7F) << 24) | (int64_t(h[1]) << 16) | (int64_t(h[2]) << 8) | h[3]);
    }
    return 2 + ((int64_t(h[0] & 0x3F) << 8) | h[1]);
}

// Where in the data stream a failing read started: reads leave the cursor where it was when they
// fail, except a text whose bytes were read before their conversion failed.
std::string atOffset(const ProtocolBuffer* pb) {
    return pb ? " at byte offset " + std::to_string(pb->buffer.position) + " of the data stream" : std::string();
}

// The codec layer reports failures in its own terms ("position + length", "error wsize"); the
// reader of a file is told what is wrong with the file and where.
[[noreturn]] void throwForText(const std::string& text, const ProtocolBuffer* pb) {
    if (text == "Index out of bounds" || text == "Uncorres->t position") {
        throw FormatError("the presence bits run out" + atOffset(pb));
    }
    if (text == "error wsize") {
        throw FormatError("a text is not valid UTF-8" + (pb ? " (it ends" + atOffset(pb) + ")" : std::string()));
    }
    if (text.rfind("error", 0) == 0 || text.rfind("ERROR_", 0) == 0) {
        throw FormatError("a text cannot be converted to the active code page" +
                          (pb ? " (it ends" + atOffset(pb) + ")" : std::string()));
    }
    throw FormatError("invalid data" + atOffset(pb));
}

// Runs one decoding step and reports every codec failure, and data that claim more memory than
// any genuine file takes, as a FormatError. Exceptions of other kinds (a missing registration, out
// of memory) are faults of the caller or the machine and pass unchanged.
template <class Step>
auto translateCodecErrors(const ProtocolBuffer* pb, Step&& step) -> decltype(step()) {
    try {
        return step();
    } catch (const DecodeLimitError& e) {
        throw FormatError(e.what());
    } catch (const std::out_of_range&) {
        // Unpacking reads only the presence bits ahead of the data stream.
        if (!pb) throw FormatError("truncated data: the presence bits run past the end of the packet body");
        throw FormatError("truncated data: the value at byte offset " + std::to_string(pb->buffer.position) +
                          " runs past the end of the data stream (" + byteCount(pb->buffer.length()) + ")");
    } catch (const char* text) {
        throwForText(text ? text : "", pb);
    } catch (const std::string& text) {
        throwForText(text, pb);
    }
}

// The packet header at the start of the data, as far as it is present.
struct Header {
    bool complete = false;
    bool compressed = false;
    int32_t size = 0;         // 2 or 4 bytes
    int64_t bodyLength = 0;   // the body length it declares
};

Header readHeader(const ByteBuffer& bytes) {
    Header header;
    const uint8_t* h = bytes.data();
    const int32_t n = bytes.length();
    if (n < 2) return header;
    if (h[0] & 0x80) {
        if (n < 4) return header;
        header.size = 4;
        header.compressed = true;
        header.bodyLength = (int64_t(h[0] & 0x7F) << 24) | (int64_t(h[1]) << 16) | (int64_t(h[2]) << 8) | h[3];
    } else {
        header.size = 2;
        header.compressed = (h[0] & 0x40) != 0;
        header.bodyLength = (int64_t(h[0] & 0x3F) << 8) | h[1];
    }
    header.complete = true;
    return header;
}

// Whether two bytes open a zlib stream: deflate method, a window of at most 32 KiB and the header
// check bits that make the pair a multiple of 31.
bool isZlibHeader(uint8_t cmf, uint8_t flg) {
    return (cmf & 0x0F) == 8 && (cmf >> 4) <= 7 && ((cmf << 8) | flg) % 31 == 0;
}

// Whether a stored (uncompressed) body starts with a null map followed by major version 2; only
// judged when the bytes are present.
bool storedBodyLooksRight(const uint8_t* body, int64_t available) {
    if (available < 1) return true;
    const uint8_t b = body[0];
    int64_t mapBytes;
    if (b & 0x80) {
        if (b & 0x40) {
            if (available < 3) return true;
            mapBytes = 3 + ((int64_t(b & 0x3F) << 16) | (int64_t(body[1]) << 8) | body[2]);
        } else {
            mapBytes = 1 + (b & 0x3F);
        }
    } else {
        mapBytes = 1 + (b >> 5);
    }
    if (available < mapBytes + 2) return true;
    return body[mapBytes] == 0 && body[mapBytes + 1] == kMajorVersion;
}

// What the first bytes show whatever follows them: data that is no Zeq packet at all.
std::string notAPacket(const Header& header, const ByteBuffer& bytes) {
    const uint8_t* body = bytes.data() + header.size;
    const int64_t available = bytes.length() - header.size;
    if (header.compressed) {
        if (available >= 2 && !isZlibHeader(body[0], body[1]))
            return "not a Zeq file (no zlib stream after the packet header)";
    } else if (!storedBodyLooksRight(body, available)) {
        return "not a Zeq file (no version 2 data after the packet header)";
    }
    return {};
}

// Finds what is wrong with the frame before the body is decoded: data that is no Zeq packet at
// all, and a body that runs past the end of the file. Both would otherwise surface as a less
// telling decoding error. Returns an empty text when the frame looks sound.
std::string checkFrame(const ByteBuffer& bytes) {
    const Header header = readHeader(bytes);
    if (!header.complete) return {};  // the decoder reports short data itself
    if (std::string problem = notAPacket(header, bytes); !problem.empty()) return problem;
    const int64_t available = bytes.length() - header.size;
    if (header.bodyLength > available) {
        return "truncated: the packet declares " + std::to_string(header.bodyLength) + " body bytes, the file holds " +
               std::to_string(available);
    }
    return {};
}

// Unpacks the packet into pb and reads the version pair.
void openPacket(Protocol& protocol, ByteBuffer& bytes, ProtocolBuffer& pb, uint16_t& major, uint16_t& minor,
                PacketInfo* info, const std::function<void()>& unpackedStep) {
    if (bytes.length() == 0) throw FormatError("not a Zeq file: empty");
    if (const std::string problem = checkFrame(bytes); !problem.empty()) throw FormatError(problem);
    const bool unpacked = translateCodecErrors(nullptr, [&] { return protocol.decodePacket(bytes, pb); });
    if (!unpacked) {
        const PacketError error = protocol.lastPacketError();
        if (error == PacketError::TooShort) throw FormatError("not a Zeq file: too short");
        if (error == PacketError::Truncated) throw FormatError("declared packet length exceeds the file");
        throw FormatError(packetErrorText(error));
    }
    if (unpackedStep) unpackedStep();
    if (info) {
        info->packetBytes = static_cast<int32_t>(packetLength(bytes));
        info->dataBytes = pb.buffer.length();
        info->inflatedBytes = int64_t(protocol.lastNullMapBytes()) + pb.buffer.length();
        info->nullMapBits = pb.nullMap.bitCount;
    }
    translateCodecErrors(&pb, [&] {
        major = readUint16BigEndian(pb.buffer);
        minor = readUint16BigEndian(pb.buffer);
    });
    // The record layout below is that of major version 2; another major version would be read as
    // garbage, so it is refused outright.
    if (major != kMajorVersion) throw FormatError("unsupported major version " + std::to_string(major));
}

// What follows the Zeq2 root: the two extension roots, then nothing but the padding of the null
// map, and nothing after the packet. Readers that need only the root (the importer) never look
// here, so a fault found here leaves the file usable for them. Extension roots that fail to decode
// are left empty rather than half filled.
AfterRootProblem checkAfterRoot(Protocol& protocol, const ByteBuffer& bytes, ProtocolBuffer& pb, SceneFile& file) {
    try {
        translateCodecErrors(&pb, [&] {
            recordCodec<Zeq2Extra1>(protocol).decode(pb, &file.extra1);
            recordCodec<Zeq2Extra2>(protocol).decode(pb, &file.extra2);
        });
    } catch (const FormatError& e) {
        file.extra1 = {};
        file.extra2 = {};
        return {AfterRootFault::DamagedExtensions, e.what()};
    }
    if (pb.buffer.remaining() > 0) {
        return {AfterRootFault::Leftovers, "trailing bytes after the roots (" + byteCount(pb.buffer.remaining()) + ")"};
    }
    // A writer pads the null map to its form with fewer than 8 zero bits; anything more means the
    // map carries presence bits of values that are not there.
    const int32_t unread = pb.nullMap.bitCount - pb.nullMap.readCursor;
    bool unreadBitSet = false;
    for (int32_t bit = pb.nullMap.readCursor; bit < pb.nullMap.bitCount && !unreadBitSet; ++bit) {
        const std::size_t byte = static_cast<std::size_t>(bit / 8);
        unreadBitSet = byte < pb.nullMap.bytes.size() && (pb.nullMap.bytes[byte] >> (7 - bit % 8)) & 1;
    }
    if (unread >= 8 || unreadBitSet) return {AfterRootFault::Leftovers, "trailing presence bits after the roots"};
    if (const int32_t unused = protocol.lastUnusedBodyBytes(); unused > 0) {
        return {AfterRootFault::Leftovers,
                "trailing bytes after the compressed data in the packet body (" + byteCount(unused) + ")"};
    }
    // A scene file is exactly one packet.
    const int64_t afterPacket = bytes.length() - packetLength(bytes);
    if (afterPacket > 0) {
        return {AfterRootFault::Leftovers, "trailing bytes after the packet (" + byteCount(afterPacket) + ")"};
    }
    return {};
}

}  // namespace

bool startsNoSceneFile(const ByteBuffer& prefix) {
    const Header header = readHeader(prefix);
    return header.complete && !notAPacket(header, prefix).empty();
}

ByteBuffer encodeSceneFile(Protocol& protocol, const SceneFile& file) {
    ProtocolBuffer pb;
    appendUint16BigEndian(pb.buffer, file.majorVersion);
    appendUint16BigEndian(pb.buffer, file.minorVersion);
    encodeRecord(protocol, pb, file.root);
    encodeRecord(protocol, pb, file.extra1);
    encodeRecord(protocol, pb, file.extra2);
    ByteBuffer out;
    protocol.encodePacket(out, pb, true);
    return out;
}

ByteBuffer encodeSceneFile(const SceneFile& file) {
    Protocol protocol;
    registerFormatTypes(protocol);
    return encodeSceneFile(protocol, file);
}

SceneFile decodeSceneFile(Protocol& protocol, ByteBuffer& bytes, PacketInfo* info) {
    AfterRootProblem problem;
    SceneFile file = decodeSceneFile(protocol, bytes, info, problem);
    if (problem.fault != AfterRootFault::None) throw FormatError(problem.text);
    return file;
}

SceneFile decodeSceneFile(Protocol& protocol, ByteBuffer& bytes, PacketInfo* info, AfterRootProblem& problem,
                          const std::function<void()>& unpacked) {
    ProtocolBuffer pb;
    SceneFile file;
    openPacket(protocol, bytes, pb, file.majorVersion, file.minorVersion, info, unpacked);
    translateCodecErrors(&pb, [&] { recordCodec<Zeq2>(protocol).decode(pb, &file.root); });
    problem = checkAfterRoot(protocol, bytes, pb, file);
    return file;
}

SceneFile decodeSceneFile(ByteBuffer& bytes, PacketInfo* info) {
    Protocol protocol;
    registerFormatTypes(protocol);
    return decodeSceneFile(protocol, bytes, info);
}

SceneFile decodeSceneFile(const ByteBuffer& bytes, PacketInfo* info) {
    ByteBuffer copy = bytes;
    return decodeSceneFile(copy, info);
}

SceneRoot decodeSceneRoot(Protocol& protocol, ByteBuffer& bytes, const std::function<void()>& unpacked) {
    ProtocolBuffer pb;
    SceneRoot scene;
    openPacket(protocol, bytes, pb, scene.majorVersion, scene.minorVersion, nullptr, unpacked);
    translateCodecErrors(&pb, [&] { recordCodec<Zeq2>(protocol).decode(pb, &scene.root); });
    return scene;
}

SceneRoot decodeSceneRoot(ByteBuffer& bytes) {
    Protocol protocol;
    registerFormatTypes(protocol);
    return decodeSceneRoot(protocol, bytes, {});
}

SceneRoot decodeSceneRoot(const ByteBuffer& bytes) {
    ByteBuffer copy = bytes;
    return decodeSceneRoot(copy);
}

}  // namespace zeq
