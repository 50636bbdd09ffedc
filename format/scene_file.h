#pragma once
// Scene files: one packet whose data stream holds the version pair (two big-endian 16-bit
// numbers, no presence bits) and the three roots Zeq2, Zeq2Extra1 and Zeq2Extra2.
#include "codec/byte_buffer.h"
#include "codec/protocol.h"
#include "format/file_io.h"
#include "format/records.h"

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

namespace zeq {

constexpr uint16_t kMajorVersion = 2;

// A scene file could not be decoded. what() is one line saying what is wrong and, for damaged
// records, at which byte offset of the data stream ("truncated data: the value at byte offset 40
// runs past the end of the data stream (43 bytes)").
class FormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct SceneFile {
    uint16_t majorVersion = kMajorVersion;
    uint16_t minorVersion = kMinorVersionFloat32;  // kMinorVersionHalf for 16-bit vertex data
    Zeq2 root;
    Zeq2Extra1 extra1;
    Zeq2Extra2 extra2;
    bool operator==(const SceneFile&) const = default;
};

// What a loader needs: the version pair and the first root.
struct SceneRoot {
    uint16_t majorVersion = kMajorVersion;
    uint16_t minorVersion = kMinorVersionFloat32;
    Zeq2 root;
    bool operator==(const SceneRoot&) const = default;
};

// Sizes of a decoded packet, for summaries.
struct PacketInfo {
    int32_t packetBytes = 0;    // the whole packet: header and stored body
    int64_t inflatedBytes = 0;  // the body after inflation: null map encoding and data stream
    int32_t dataBytes = 0;      // the data stream: version pair and roots
    int32_t nullMapBits = 0;    // presence bits the null map carries (the capacity of its form)
};

// Encodes the version pair and the three roots into one compressed packet. The protocol must
// have the format types registered (registerFormatTypes); the overload without one builds its
// own. Codec exceptions (over-long arrays or texts, unconvertible text) pass through unchanged.
ByteBuffer encodeSceneFile(Protocol& protocol, const SceneFile& file);
ByteBuffer encodeSceneFile(const SceneFile& file);

// Decodes a whole scene file: packet, version pair, the three roots, and then checks that nothing
// is left over. Throws FormatError for anything that is not a well-formed scene file of major
// version 2: too short, declared packet length beyond the data, corrupted or oversized compressed
// data, truncated data, presence bits running out, undecodable text, an unsupported major
// version, and leftovers (bytes after the roots or after the packet, presence bits of values that
// are not there). The minor version is returned as read; it tells how to read the
// vertex data (vertexAttributeSize). `bytes.position` is moved; the overloads taking a const
// buffer decode a copy.
SceneFile decodeSceneFile(Protocol& protocol, ByteBuffer& bytes, PacketInfo* info = nullptr);
// Whether the first bytes of a file already show that it is no scene file, whatever follows them
// (decoding any longer data that starts with them fails with the same "not a Zeq file" message).
bool startsNoSceneFile(const ByteBuffer& prefix);
// What a lenient decode found after the Zeq2 root.
enum class AfterRootFault {
    None,
    // Bytes after the roots or after the packet, or presence bits of values that are not there:
    // every root decoded whole.
    Leftovers,
    // The extension roots do not decode; they are left empty.
    DamagedExtensions,
};
struct AfterRootProblem {
    AfterRootFault fault = AfterRootFault::None;
    std::string text;  // the FormatError text of the fault; empty for None
};

// The same, but a fault after the Zeq2 root (the extension roots, leftovers after the roots or
// after the packet) does not throw: it goes to `problem`, with the extension roots left empty
// when they failed to decode. Such a file still imports, since the importer reads only the root;
// faults up to the end of the root throw as above. `unpacked` runs once the packet is unpacked
// (a loader's progress step).
SceneFile decodeSceneFile(Protocol& protocol, ByteBuffer& bytes, PacketInfo* info, AfterRootProblem& problem,
                          const std::function<void()>& unpacked = {});
SceneFile decodeSceneFile(ByteBuffer& bytes, PacketInfo* info = nullptr);
SceneFile decodeSceneFile(const ByteBuffer& bytes, PacketInfo* info = nullptr);

// Decodes the version pair and the Zeq2 root only, as a loader does; what follows the first root
// is not looked at. The same FormatError cases as decodeSceneFile, without the trailing-data
// check. `unpacked` runs once the packet is unpacked (a loader's progress step).
SceneRoot decodeSceneRoot(Protocol& protocol, ByteBuffer& bytes, const std::function<void()>& unpacked = {});
SceneRoot decodeSceneRoot(ByteBuffer& bytes);
SceneRoot decodeSceneRoot(const ByteBuffer& bytes);

}  // namespace zeq
