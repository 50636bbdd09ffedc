// Protocol: the registry that binds descriptor keys to codecs, and the codecs it owns.
#include "codec/protocol.h"

namespace zeq {

Protocol::Protocol() {
    // One codec object per primitive class; "ULong" shares the "Uint" codec and, unlike the other
    // names, has no optional form.
    struct Primitive {
        const char* name;
        ICodec* codec;
    };
    ICodec* const uintCodec = make<UIntCodec>();
    const Primitive primitives[] = {
        {"Int", make<IntCodec>()},       {"Short", make<ShortCodec>()},   {"Byte", make<ByteCodec>()},
        {"UShort", make<UShortCodec>()}, {"Uint", uintCodec},             {"Number", make<DoubleCodec>()},
        {"Float", make<FloatCodec>()},   {"Bool", make<BooleanCodec>()},  {"Long", make<LongCodec>()},
        {"String", make<StringCodec>()}, {"ByteArray", make<ByteArrayCodec>()},
    };
    for (const Primitive& p : primitives) {
        registerCodec(TypeCodecInfo(p.name, false), p.codec);
        registerCodec(TypeCodecInfo(p.name, true), make<OptionalCodecDecorator>(p.codec));
    }
    registerCodec(TypeCodecInfo("ULong", false), uintCodec);
}

Protocol::~Protocol() = default;

void Protocol::registerCodec(const ICodecInfo& descriptor, ICodec* codec) {
    registry_[descriptor.key()] = codec;
    ++generation_;
}

ICodec* Protocol::getCodec(const ICodecInfo& descriptor) { return getCodec(descriptor.key()); }

ICodec* Protocol::getCodec(const std::string& key) const {
    const auto found = registry_.find(key);
    return found == registry_.end() ? nullptr : found->second;
}

std::unique_ptr<TypeCodecInfo> Protocol::makeTypeInfo(const std::string& typeName) {
    return std::make_unique<TypeCodecInfo>(typeName, false);
}

ICodec* Protocol::adopt(std::unique_ptr<ICodec> codec) {
    owned_.push_back(std::move(codec));
    return owned_.back().get();
}

}  // namespace zeq
