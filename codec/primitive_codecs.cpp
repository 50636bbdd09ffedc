// Fixed-width numbers and "Bool": the in-memory bytes written in reverse order, which on the
// little-endian host is big-endian on the wire.
#include "codec/codec.h"

#include <stdexcept>

namespace zeq {

void PrimitiveCodec::encode(ProtocolBuffer& pb, const void* value) {
    if (!value) throw std::invalid_argument("encode::object is NULL");
    pb.buffer.appendBytes(value, byteWidth(), true);
}

bool PrimitiveCodec::decode(ProtocolBuffer& pb, void* out) {
    pb.buffer.readInto(out, byteWidth(), true);
    return true;
}

void BooleanCodec::encode(ProtocolBuffer& pb, const void* value) {
    if (!value) throw std::invalid_argument("encode::object is NULL");
    const uint8_t byte = *static_cast<const bool*>(value) ? 1 : 0;
    pb.buffer.appendBytes(&byte, 1, false);
}

bool BooleanCodec::decode(ProtocolBuffer& pb, void* out) {
    uint8_t byte = 0;
    pb.buffer.readInto(&byte, 1, false);
    *static_cast<bool*>(out) = byte != 0;  // any non-zero byte reads as true
    return true;
}

}  // namespace zeq
