// The enumeration and identifier codecs.
#include "format/record_codec.h"

namespace zeq {

void Zeq2VertexAttributesCodec::encode(ProtocolBuffer& pb, const void* value) {
    if (!value) throw std::invalid_argument("encode::object is NULL");
    const int32_t number = static_cast<int32_t>(*static_cast<const Zeq2VertexAttributes*>(value));
    int_.get().encode(pb, &number);
}

// Values outside the enumeration are kept as read: the record survives a round trip, and readers
// that need the layout see an attribute size of 0.
bool Zeq2VertexAttributesCodec::decode(ProtocolBuffer& pb, void* out) {
    if (!out) throw std::invalid_argument("decode::object is NULL");
    int32_t number = 0;
    if (!int_.get().decode(pb, &number)) return false;
    *static_cast<Zeq2VertexAttributes*>(out) = static_cast<Zeq2VertexAttributes>(number);
    return true;
}

void IdCodec::encode(ProtocolBuffer& pb, const void* value) {
    if (!value) throw std::invalid_argument("encode::object is NULL");
    ulong_.get().encode(pb, &static_cast<const ZeqId*>(value)->value);
}

bool IdCodec::decode(ProtocolBuffer& pb, void* out) {
    if (!out) throw std::invalid_argument("decode::object is NULL");
    return ulong_.get().decode(pb, &static_cast<ZeqId*>(out)->value);
}

}  // namespace zeq
