// Packet decoding: the header, the stored or compressed body, the null map that leads it.
//
// Besides never crashing, a packet that decodes must frame again into one that decodes to the
// same presence bits and value bytes, compressed or stored, and a packet that does not decode must
// say why and leave the caller's buffer alone.
#include "codec/protocol.h"
#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Presence bit i of a map; bits past the map's count read as 0, as the encoder writes them.
bool bitAt(const zeq::NullMap& map, int32_t i) {
    if (i >= map.bitCount || i / 8 >= static_cast<int32_t>(map.bytes.size())) return false;
    return (map.bytes[i / 8] >> (7 - i % 8)) & 1;
}

// The same presence bits (a map may come back in a wider form, padded with zeros) and value bytes.
void expectSame(const zeq::ProtocolBuffer& a, const zeq::ProtocolBuffer& b, const char* how) {
    const int32_t bits = std::max(a.nullMap.bitCount, b.nullMap.bitCount);
    for (int32_t i = 0; i < bits; ++i) {
        if (bitAt(a.nullMap, i) != bitAt(b.nullMap, i))
            zeq::fuzz::violated("presence bit " + std::to_string(i) + " differs after " + how);
    }
    if (!(a.buffer == b.buffer)) zeq::fuzz::violated(std::string("value bytes differ after ") + how);
}

void reframe(zeq::Protocol& protocol, const zeq::ProtocolBuffer& decoded, bool compress) {
    zeq::ProtocolBuffer source = decoded;
    zeq::ByteBuffer packet;
    try {
        protocol.encodePacket(packet, source, compress);
    } catch (const zeq::ProtocolException&) {
        return;  // a stored body of 16 KiB or more has no header; compressed ones always do
    }
    zeq::ProtocolBuffer again;
    if (!protocol.decodePacket(packet, again)) {
        zeq::fuzz::violated(std::string("a framed packet does not decode: ") +
                            zeq::packetErrorText(protocol.lastPacketError()));
    }
    expectSame(decoded, again, compress ? "compressing" : "storing");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Framing keeps no state between packets but the last error, so one protocol serves every run.
    static zeq::Protocol protocol;
    zeq::ByteBuffer input = zeq::fuzz::bufferOf(data, size);
    zeq::ProtocolBuffer pb;
    bool decoded = false;
    try {
        decoded = protocol.decodePacket(input, pb);
    } catch (const std::out_of_range&) {
        return 0;  // a body too short for its null map
    }
    if (!decoded) {
        if (protocol.lastPacketError() == zeq::PacketError::None) zeq::fuzz::violated("failure without a reason");
        if (pb.buffer.length() != 0 || !pb.nullMap.bytes.empty()) zeq::fuzz::violated("a failed decode changed pb");
        return 0;
    }
    reframe(protocol, pb, true);
    reframe(protocol, pb, false);
    return 0;
}
