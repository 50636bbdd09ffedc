// "ByteArray": a length prefix, then the bytes data[0 .. length) of the value, whatever its cursor.
#include "codec/codec.h"

#include <stdexcept>

namespace zeq {

void ByteArrayCodec::encode(ProtocolBuffer& pb, const void* value) {
    if (!value) throw std::invalid_argument("encode::object is NULL");
    const auto& bytes = *static_cast<const ByteBuffer*>(value);
    encodeLength(static_cast<uint32_t>(bytes.length()), pb.buffer);
    pb.buffer.appendBytes(bytes.data(), bytes.length(), false);
}

bool ByteArrayCodec::decode(ProtocolBuffer& pb, void* out) {
    const auto n = static_cast<int32_t>(decodeLength(pb.buffer));
    const int32_t offset = pb.buffer.position;
    // Checks the declared length against the bytes present ("position + length" when it runs past
    // the end) before the value is touched or anything is allocated for it.
    pb.buffer.readView(n);
    auto& bytes = *static_cast<ByteBuffer*>(out);
    bytes.clear();
    bytes.appendFrom(pb.buffer, offset, n);
    return true;
}

}  // namespace zeq
