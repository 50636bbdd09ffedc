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
    // the end) before the value is touched.
    pb.buffer.readView(n);
    // The value shares the data stream's block instead of copying it (vertex and index data are
    // most of a file's bytes).
    *static_cast<ByteBuffer*>(out) = pb.buffer.slice(offset, n);
    return true;
}

}  // namespace zeq
