// Writing and reading scene files: the version pair and the three roots inside one packet.
#include "format/scene_file.h"

#include "format/record_codec.h"
#include "format/register.h"

#include <cstring>
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

[[noreturn]] void throwForText(const std::string& text) {
    if (text == "Index out of bounds") throw FormatError("null map exhausted (" + text + ")");
    if (text.rfind("error", 0) == 0 || text.rfind("ERROR_", 0) == 0) {
        throw FormatError("text that cannot be converted (" + text + ")");
    }
    throw FormatError("invalid data (" + text + ")");
}

// Runs one decoding step and reports every codec failure as a FormatError. Exceptions of other
// kinds (a missing registration, out of memory) are faults of the caller or the machine and pass
// unchanged.
template <class Step>
auto translateCodecErrors(Step&& step) -> decltype(step()) {
    try {
        return step();
    } catch (const std::out_of_range& e) {
        throw FormatError(std::string("truncated data (") + e.what() + ")");
    } catch (const char* text) {
        throwForText(text ? text : "");
    } catch (const std::string& text) {
        throwForText(text);
    }
}

// Unpacks the packet into pb and reads the version pair.
void openPacket(Protocol& protocol, ByteBuffer& bytes, ProtocolBuffer& pb, uint16_t& major, uint16_t& minor,
                PacketInfo* info) {
    if (bytes.length() == 0) throw FormatError("not a Zeq file: empty");
    const bool unpacked = translateCodecErrors([&] { return protocol.decodePacket(bytes, pb); });
    if (!unpacked) {
        const PacketError error = protocol.lastPacketError();
        if (error == PacketError::TooShort) throw FormatError("not a Zeq file: too short");
        if (error == PacketError::Truncated) throw FormatError("declared packet length exceeds the file");
        throw FormatError(packetErrorText(error));
    }
    if (info) {
        ByteBuffer map;
        pb.nullMap.encode(map);
        info->packetBytes = static_cast<int32_t>(packetLength(bytes));
        info->dataBytes = pb.buffer.length();
        info->inflatedBytes = int64_t(map.length()) + pb.buffer.length();
        info->nullMapBits = pb.nullMap.bitCount;
    }
    translateCodecErrors([&] {
        major = readUint16BigEndian(pb.buffer);
        minor = readUint16BigEndian(pb.buffer);
    });
    // The record layout below is that of major version 2; another major version would be read as
    // garbage, so it is refused outright.
    if (major != kMajorVersion) throw FormatError("unsupported major version " + std::to_string(major));
}

}  // namespace

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
    ProtocolBuffer pb;
    SceneFile file;
    openPacket(protocol, bytes, pb, file.majorVersion, file.minorVersion, info);
    translateCodecErrors([&] {
        recordCodec<Zeq2>(protocol).decode(pb, &file.root);
        recordCodec<Zeq2Extra1>(protocol).decode(pb, &file.extra1);
        recordCodec<Zeq2Extra2>(protocol).decode(pb, &file.extra2);
    });
    if (pb.buffer.remaining() > 0) {
        throw FormatError("trailing bytes after the roots (" + byteCount(pb.buffer.remaining()) + ")");
    }
    // A writer pads the null map to its form with fewer than 8 zero bits; anything more means the
    // map carries presence bits of values that are not there.
    const int32_t unread = pb.nullMap.bitCount - pb.nullMap.readCursor;
    bool unreadBitSet = false;
    for (int32_t bit = pb.nullMap.readCursor; bit < pb.nullMap.bitCount && !unreadBitSet; ++bit) {
        const std::size_t byte = static_cast<std::size_t>(bit / 8);
        unreadBitSet = byte < pb.nullMap.bytes.size() && (pb.nullMap.bytes[byte] >> (7 - bit % 8)) & 1;
    }
    if (unread >= 8 || unreadBitSet) throw FormatError("trailing presence bits after the roots");
    // A scene file is exactly one packet.
    const int64_t afterPacket = bytes.length() - packetLength(bytes);
    if (afterPacket > 0) throw FormatError("trailing bytes after the packet (" + byteCount(afterPacket) + ")");
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

SceneRoot decodeSceneRoot(Protocol& protocol, ByteBuffer& bytes) {
    ProtocolBuffer pb;
    SceneRoot scene;
    openPacket(protocol, bytes, pb, scene.majorVersion, scene.minorVersion, nullptr);
    translateCodecErrors([&] { recordCodec<Zeq2>(protocol).decode(pb, &scene.root); });
    return scene;
}

SceneRoot decodeSceneRoot(ByteBuffer& bytes) {
    Protocol protocol;
    registerFormatTypes(protocol);
    return decodeSceneRoot(protocol, bytes);
}

SceneRoot decodeSceneRoot(const ByteBuffer& bytes) {
    ByteBuffer copy = bytes;
    return decodeSceneRoot(copy);
}

}  // namespace zeq
