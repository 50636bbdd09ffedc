// OptionalCodecDecorator: one null-map bit per value (1 = absent); an absent value writes nothing
// to the value stream.
#include "codec/codec.h"

namespace zeq {

void OptionalCodecDecorator::encode(ProtocolBuffer& pb, const void* value) {
    pb.nullMap.appendBit(value == nullptr);
    if (value) inner_->encode(pb, value);
}

bool OptionalCodecDecorator::decode(ProtocolBuffer& pb, void* out) {
    if (pb.nullMap.nextBit()) return false;
    return inner_->decode(pb, out);
}

}  // namespace zeq
