// Record decoding: an unpacked body (null map, then value bytes) read as one of the root records,
// whose fields reach every record, array, text and number codec of the format.
//
// The first input byte picks the root; the rest is the body. A record that decodes must encode
// again, and what it encodes to must decode and encode to the very same bytes: a decoder that
// misreads a field, or an encoder that writes one differently, breaks that fixed point.
#include "codec/protocol.h"
#include "format/record_codec.h"
#include "format/records.h"
#include "format/register.h"
#include "fuzz/fuzz_support.h"

#include <stdexcept>
#include <string>

namespace {

zeq::Protocol& formatProtocol() {
    static zeq::Protocol* protocol = [] {
        auto* p = new zeq::Protocol;
        zeq::registerFormatTypes(*p);
        return p;
    }();
    return *protocol;
}

// The presence bits as the encoder would write them, then the value bytes.
zeq::ByteBuffer bodyOf(const zeq::ProtocolBuffer& pb) {
    zeq::ByteBuffer body;
    pb.nullMap.encode(body);
    body.appendFrom(pb.buffer, 0, pb.buffer.length());
    return body;
}

// Decodes R from pb; false for the ways a damaged body legitimately fails.
template <class R>
bool tryDecode(zeq::Protocol& protocol, zeq::ProtocolBuffer& pb, R& record) {
    try {
        zeq::recordCodec<R>(protocol).decode(pb, &record);
        return true;
    } catch (const std::out_of_range&) {  // values or presence bits end early
    } catch (const char*) {               // presence bits exhausted, text that does not convert
    } catch (const std::string&) {
    }
    return false;
}

template <class R>
void decodeAndReencode(zeq::ProtocolBuffer& pb) {
    zeq::Protocol& protocol = formatProtocol();
    R record{};
    if (!tryDecode(protocol, pb, record)) return;

    zeq::ProtocolBuffer first;
    zeq::encodeRecord(protocol, first, record);
    const zeq::ByteBuffer firstBody = bodyOf(first);

    zeq::ProtocolBuffer reread;
    zeq::ByteBuffer copy = firstBody;
    reread.nullMap.decode(copy);
    reread.buffer.appendFrom(first.buffer, 0, first.buffer.length());
    reread.buffer.position = 0;
    R again{};
    if (!tryDecode(protocol, reread, again)) zeq::fuzz::violated("an encoded record does not decode");
    if (reread.buffer.remaining() != 0) zeq::fuzz::violated("decoding an encoded record left bytes over");

    zeq::ProtocolBuffer second;
    zeq::encodeRecord(protocol, second, again);
    if (!(bodyOf(second) == firstBody)) zeq::fuzz::violated("a record encodes differently after a round trip");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    zeq::ByteBuffer body = zeq::fuzz::bufferOf(data + 1, size - 1);
    zeq::ProtocolBuffer pb;
    try {
        body.dropFront(pb.nullMap.decode(body));
    } catch (const std::out_of_range&) {
        return 0;
    }
    body.position = 0;
    pb.buffer = std::move(body);
    switch (data[0] % 4) {
    case 0: decodeAndReencode<zeq::Zeq2>(pb); break;
    case 1: decodeAndReencode<zeq::Zeq2Extra1>(pb); break;
    case 2: decodeAndReencode<zeq::Zeq2Extra2>(pb); break;
    default: decodeAndReencode<zeq::Zeq>(pb); break;
    }
    return 0;
}
