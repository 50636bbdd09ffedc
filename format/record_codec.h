#pragma once
// Record codecs: one codec per record type that writes and reads the record field by field, in
// table order, through the codecs the protocol has registered for each field's descriptor.
// Optional fields go through the optional decorators and so put their presence bit into the null
// map in field order; nested records and arrays of records are encoded in place.
//
// Looking a codec up by key string for every field of every record would dominate the cost of
// large scenes, so each record codec looks its field codecs up once and keeps the pointers. It
// looks them up again whenever the protocol's generation has changed, so a codec registered
// later takes effect exactly as a per-call lookup would. Required numbers and nested records whose
// codecs are the built-in ones are written and read without the virtual call (see canBypass).
#include "codec/codec.h"
#include "codec/codec_info.h"
#include "codec/protocol.h"
#include "format/records.h"

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <tuple>
#include <type_traits>
#include <typeinfo>
#include <utility>

namespace zeq {

// The descriptor of a field: TypeCodecInfo(type, optional) for a scalar or record field,
// ArrayCodecInfo(TypeCodecInfo(element, not optional), optional) for an array field.
template <class F>
std::string fieldKey(const F& f) {
    if (f.isArray()) return ArrayCodecInfo(TypeCodecInfo(std::string(f.element), false), f.optional).key();
    return TypeCodecInfo(std::string(f.type), f.optional).key();
}

template <class F>
ICodec* lookUpFieldCodec(Protocol& protocol, const F& f) {
    ICodec* codec = nullptr;
    if (f.isArray()) {
        codec = protocol.getCodec(ArrayCodecInfo(TypeCodecInfo(std::string(f.element), false), f.optional));
    } else {
        codec = protocol.getCodec(TypeCodecInfo(std::string(f.type), f.optional));
    }
    if (!codec) throw ProtocolException("no codec registered for \"" + fieldKey(f) + "\"");
    return codec;
}

// One cached lookup by descriptor, refreshed when the protocol's generation changes.
class CachedCodec {
public:
    CachedCodec(Protocol& protocol, std::string typeName) : protocol_(protocol), typeName_(std::move(typeName)) {}

    ICodec& get() {
        if (generation_ != protocol_.generation()) {
            codec_ = protocol_.getCodec(TypeCodecInfo(typeName_, false));
            if (!codec_) throw ProtocolException("no codec registered for \"" + typeName_ + "\"");
            generation_ = protocol_.generation();
        }
        return *codec_;
    }

private:
    Protocol& protocol_;
    std::string typeName_;
    ICodec* codec_ = nullptr;
    uint64_t generation_ = UINT64_MAX;
};

// The codec class the protocol registers for a fixed-width value type; void for other types.
template <class V> struct BuiltinCodec { using Type = void; };
template <> struct BuiltinCodec<int8_t> { using Type = ByteCodec; };
template <> struct BuiltinCodec<int16_t> { using Type = ShortCodec; };
template <> struct BuiltinCodec<uint16_t> { using Type = UShortCodec; };
template <> struct BuiltinCodec<int32_t> { using Type = IntCodec; };
template <> struct BuiltinCodec<uint32_t> { using Type = UIntCodec; };
template <> struct BuiltinCodec<int64_t> { using Type = LongCodec; };
template <> struct BuiltinCodec<float> { using Type = FloatCodec; };
template <> struct BuiltinCodec<double> { using Type = DoubleCodec; };
template <> struct BuiltinCodec<bool> { using Type = BooleanCodec; };

template <Record R>
class RecordCodec;

// Whether a required field of value type V may bypass its codec's virtual call: when the
// registered codec is exactly the built-in codec of V (whose work the inline path repeats with the
// same ByteBuffer calls, so bytes and failures are the same) or exactly the record codec of V
// (called directly instead of through the vtable). Any other codec, such as one registered to
// replace a built-in, is always called.
template <class V>
bool canBypass(const ICodec* codec) {
    if constexpr (Record<V>) {
        return typeid(*codec) == typeid(RecordCodec<V>);
    } else if constexpr (!std::is_void_v<typename BuiltinCodec<V>::Type>) {
        return typeid(*codec) == typeid(typename BuiltinCodec<V>::Type);
    } else {
        return false;
    }
}

template <Record R>
class RecordCodec final : public ICodec {
public:
    explicit RecordCodec(Protocol& protocol) : protocol_(protocol) {}

    void encode(ProtocolBuffer& pb, const void* value) override {
        if (!value) throw std::invalid_argument("encode::object is NULL");
        encodeValue(pb, *static_cast<const R*>(value));
    }

    // Fills *out field by field; absent optional fields become std::nullopt. On an exception the
    // record is partly filled and must be discarded.
    bool decode(ProtocolBuffer& pb, void* out) override {
        if (!out) throw std::invalid_argument("decode::object is NULL");
        decodeValue(pb, *static_cast<R*>(out));
        return true;
    }

    void encodeValue(ProtocolBuffer& pb, const R& record) {
        refresh();
        encodeFields(pb, record, std::make_index_sequence<fieldCount<R>()>());
    }

    void decodeValue(ProtocolBuffer& pb, R& record) {
        refresh();
        decodeFields(pb, record, std::make_index_sequence<fieldCount<R>()>());
    }

private:
    template <std::size_t... I>
    void encodeFields(ProtocolBuffer& pb, const R& record, std::index_sequence<I...>) {
        (encodeField<I>(pb, record), ...);
    }

    template <std::size_t... I>
    void decodeFields(ProtocolBuffer& pb, R& record, std::index_sequence<I...>) {
        (decodeField<I>(pb, record), ...);
    }

    // Field I of the table. Always inlined: a record's fields then compile to one straight sequence.
    template <std::size_t I>
    [[gnu::always_inline]] inline void encodeField(ProtocolBuffer& pb, const R& record) {
        const auto& member = record.*(std::get<I>(RecordTraits<R>::fields).member);
        using M = std::remove_cvref_t<decltype(member)>;
        ICodec* codec = codecs_[I];
        if constexpr (IsOptional<M>::value) {
            codec->encode(pb, member ? &*member : nullptr);
        } else if constexpr (Record<M>) {
            if (bypass_[I]) {
                static_cast<RecordCodec<M>*>(codec)->encodeValue(pb, member);
            } else {
                codec->encode(pb, &member);
            }
        } else if constexpr (std::is_same_v<M, bool>) {
            if (bypass_[I]) {
                const uint8_t byte = member ? 1 : 0;
                pb.buffer.appendBytes(&byte, 1, false);
            } else {
                codec->encode(pb, &member);
            }
        } else if constexpr (!std::is_void_v<typename BuiltinCodec<M>::Type>) {
            if (bypass_[I]) {
                pb.buffer.appendBytes(&member, static_cast<int32_t>(sizeof(M)), true);
            } else {
                codec->encode(pb, &member);
            }
        } else {
            codec->encode(pb, &member);
        }
    }

    template <std::size_t I>
    [[gnu::always_inline]] inline void decodeField(ProtocolBuffer& pb, R& record) {
        auto& member = record.*(std::get<I>(RecordTraits<R>::fields).member);
        using M = std::remove_cvref_t<decltype(member)>;
        ICodec* codec = codecs_[I];
        if constexpr (IsOptional<M>::value) {
            if (!member) member.emplace();
            if (!codec->decode(pb, &*member)) member.reset();
        } else if constexpr (Record<M>) {
            if (bypass_[I]) {
                static_cast<RecordCodec<M>*>(codec)->decodeValue(pb, member);
            } else {
                codec->decode(pb, &member);
            }
        } else if constexpr (std::is_same_v<M, bool>) {
            if (bypass_[I]) {
                uint8_t byte = 0;
                pb.buffer.readInto(&byte, 1, false);
                member = byte != 0;  // any non-zero byte reads as true
            } else {
                codec->decode(pb, &member);
            }
        } else if constexpr (!std::is_void_v<typename BuiltinCodec<M>::Type>) {
            if (bypass_[I]) {
                pb.buffer.readInto(&member, static_cast<int32_t>(sizeof(M)), true);
            } else {
                codec->decode(pb, &member);
            }
        } else {
            codec->decode(pb, &member);
        }
    }

    void refresh() {
        if (generation_ == protocol_.generation()) return;
        std::size_t index = 0;
        forEachField<R>([&](const auto& f) {
            const std::size_t i = index++;
            codecs_[i] = lookUpFieldCodec(protocol_, f);
            using M = typename std::remove_cvref_t<decltype(f)>::MemberType;
            if constexpr (IsOptional<M>::value) {
                bypass_[i] = false;
            } else {
                bypass_[i] = canBypass<M>(codecs_[i]);
            }
        });
        generation_ = protocol_.generation();
    }

    Protocol& protocol_;
    std::array<ICodec*, fieldCount<R>()> codecs_{};
    std::array<bool, fieldCount<R>()> bypass_{};
    uint64_t generation_ = UINT64_MAX;
};

// "Zeq2VertexAttributes": the enumeration value itself through the "Int" codec.
class Zeq2VertexAttributesCodec final : public ICodec {
public:
    explicit Zeq2VertexAttributesCodec(Protocol& protocol) : int_(protocol, "Int") {}
    void encode(ProtocolBuffer& pb, const void* value) override;
    bool decode(ProtocolBuffer& pb, void* out) override;

private:
    CachedCodec int_;
};

// "Id": a version-1 identifier (ZeqId), its value through the "ULong" codec (4 bytes).
class IdCodec : public ICodec {
public:
    explicit IdCodec(Protocol& protocol) : ulong_(protocol, "ULong") {}
    void encode(ProtocolBuffer& pb, const void* value) override;
    bool decode(ProtocolBuffer& pb, void* out) override;

private:
    CachedCodec ulong_;
};

// "ParentId": behaves exactly like "Id".
class ParentIdCodec final : public IdCodec {
public:
    using IdCodec::IdCodec;
};

using Zeq2Codec = RecordCodec<Zeq2>;
using Zeq2Extra1Codec = RecordCodec<Zeq2Extra1>;
using Zeq2Extra2Codec = RecordCodec<Zeq2Extra2>;
using Zeq2AmbientLightCodec = RecordCodec<Zeq2AmbientLight>;
using Zeq2AnimationClipCodec = RecordCodec<Zeq2AnimationClip>;
using Zeq2BoxCodec = RecordCodec<Zeq2Box>;
using Zeq2CameraCodec = RecordCodec<Zeq2Camera>;
using Zeq2CubeMapCodec = RecordCodec<Zeq2CubeMap>;
using Zeq2DecalCodec = RecordCodec<Zeq2Decal>;
using Zeq2DirectionalLightCodec = RecordCodec<Zeq2DirectionalLight>;
using Zeq2ImageCodec = RecordCodec<Zeq2Image>;
using Zeq2IndexBufferCodec = RecordCodec<Zeq2IndexBuffer>;
using Zeq2JointCodec = RecordCodec<Zeq2Joint>;
using Zeq2JointBindTransformCodec = RecordCodec<Zeq2JointBindTransform>;
using Zeq2KeyframeCodec = RecordCodec<Zeq2Keyframe>;
using Zeq2LODCodec = RecordCodec<Zeq2LOD>;
using Zeq2LayerCodec = RecordCodec<Zeq2Layer>;
using Zeq2MapCodec = RecordCodec<Zeq2Map>;
using Zeq2MaterialCodec = RecordCodec<Zeq2Material>;
using Zeq2MeshCodec = RecordCodec<Zeq2Mesh>;
using Zeq2ObjectCodec = RecordCodec<Zeq2Object>;
using Zeq2OmniLightCodec = RecordCodec<Zeq2OmniLight>;
using Zeq2SkinCodec = RecordCodec<Zeq2Skin>;
using Zeq2SpotLightCodec = RecordCodec<Zeq2SpotLight>;
using Zeq2SpriteCodec = RecordCodec<Zeq2Sprite>;
using Zeq2SurfaceCodec = RecordCodec<Zeq2Surface>;
using Zeq2TrackCodec = RecordCodec<Zeq2Track>;
using Zeq2TransformCodec = RecordCodec<Zeq2Transform>;
using Zeq2VertexBufferCodec = RecordCodec<Zeq2VertexBuffer>;
using ZeqCodec = RecordCodec<Zeq>;
using ZeqBoxCodec = RecordCodec<ZeqBox>;
using ZeqGeometryCodec = RecordCodec<ZeqGeometry>;
using ZeqImageCodec = RecordCodec<ZeqImage>;
using ZeqIndexBufferCodec = RecordCodec<ZeqIndexBuffer>;
using ZeqMapCodec = RecordCodec<ZeqMap>;
using ZeqMaterialCodec = RecordCodec<ZeqMaterial>;
using ZeqMatrixCodec = RecordCodec<ZeqMatrix>;
using ZeqObjectCodec = RecordCodec<ZeqObject>;
using ZeqSurfaceCodec = RecordCodec<ZeqSurface>;
using ZeqTransformationCodec = RecordCodec<ZeqTransformation>;
using ZeqVertexBufferCodec = RecordCodec<ZeqVertexBuffer>;

// The registered (non-optional) codec of record type R; ProtocolException when the protocol has
// none, i.e. registerFormatTypes has not run.
template <Record R>
ICodec& recordCodec(Protocol& protocol) {
    const std::string name(RecordTraits<R>::typeName);
    ICodec* codec = protocol.getCodec(TypeCodecInfo(name, false));
    if (!codec) throw ProtocolException("no codec registered for \"" + name + "\"");
    return *codec;
}

// Appends one record (not optional) to pb.
template <Record R>
void encodeRecord(Protocol& protocol, ProtocolBuffer& pb, const R& record) {
    recordCodec<R>(protocol).encode(pb, &record);
}

// Reads one record (not optional) from pb.
template <Record R>
R decodeRecord(Protocol& protocol, ProtocolBuffer& pb) {
    R record;
    recordCodec<R>(protocol).decode(pb, &record);
    return record;
}

}  // namespace zeq
