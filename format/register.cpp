// Registration of the scene format's codecs.
#include "format/register.h"

#include "codec/array.h"
#include "format/record_codec.h"

#include <string>

namespace zeq {
namespace {

// Key T -> codec, key "T Optional" -> an optional decorator around it.
void registerBoth(Protocol& protocol, const std::string& name, ICodec* codec) {
    protocol.registerCodec(TypeCodecInfo(name, false), codec);
    protocol.registerCodec(TypeCodecInfo(name, true), protocol.make<OptionalCodecDecorator>(codec));
}

template <class C>
void registerType(Protocol& protocol, std::string_view name) {
    registerBoth(protocol, std::string(name), protocol.make<C>(protocol));
}

template <Record R>
void registerRecord(Protocol& protocol) {
    registerType<RecordCodec<R>>(protocol, RecordTraits<R>::typeName);
}

// "array1E" -> a TArrayCodec<T> over the registered codec of E, "array1E Optional" -> its
// decorator. T is the C++ element type that E's codec reads and writes.
template <class T>
void registerArray(Protocol& protocol, std::string_view elementName) {
    const TypeCodecInfo element(std::string(elementName), false);
    ICodec* elementCodec = protocol.getCodec(element);
    if (!elementCodec) {
        throw ProtocolException("no codec registered for \"" + element.key() + "\", needed by its array codec");
    }
    ICodec* array = protocol.make<TArrayCodec<T>>(elementCodec);
    protocol.registerCodec(ArrayCodecInfo(element, false), array);
    protocol.registerCodec(ArrayCodecInfo(element, true), protocol.make<OptionalCodecDecorator>(array));
}

template <Record R>
void registerRecordArray(Protocol& protocol) {
    registerArray<R>(protocol, RecordTraits<R>::typeName);
}

}  // namespace

void registerFormatTypes(Protocol& protocol) {
    // Types, in the order of kFormatTypeNames. Record codecs resolve their field codecs on first
    // use, so the order among them does not matter; it only has to precede the arrays.
    registerRecord<Zeq2>(protocol);
    registerRecord<Zeq2Extra1>(protocol);
    registerRecord<Zeq2Extra2>(protocol);
    registerRecord<Zeq2AmbientLight>(protocol);
    registerRecord<Zeq2AnimationClip>(protocol);
    registerRecord<Zeq2Box>(protocol);
    registerRecord<Zeq2Camera>(protocol);
    registerRecord<Zeq2CubeMap>(protocol);
    registerRecord<Zeq2Decal>(protocol);
    registerRecord<Zeq2DirectionalLight>(protocol);
    registerRecord<Zeq2Image>(protocol);
    registerRecord<Zeq2IndexBuffer>(protocol);
    registerRecord<Zeq2Joint>(protocol);
    registerRecord<Zeq2JointBindTransform>(protocol);
    registerRecord<Zeq2Keyframe>(protocol);
    registerRecord<Zeq2LOD>(protocol);
    registerRecord<Zeq2Layer>(protocol);
    registerRecord<Zeq2Map>(protocol);
    registerRecord<Zeq2Material>(protocol);
    registerRecord<Zeq2Mesh>(protocol);
    registerRecord<Zeq2Object>(protocol);
    registerRecord<Zeq2OmniLight>(protocol);
    registerRecord<Zeq2Skin>(protocol);
    registerRecord<Zeq2SpotLight>(protocol);
    registerRecord<Zeq2Sprite>(protocol);
    registerRecord<Zeq2Surface>(protocol);
    registerRecord<Zeq2Track>(protocol);
    registerRecord<Zeq2Transform>(protocol);
    registerType<Zeq2VertexAttributesCodec>(protocol, "Zeq2VertexAttributes");
    registerRecord<Zeq2VertexBuffer>(protocol);
    registerRecord<Zeq>(protocol);
    registerRecord<ZeqBox>(protocol);
    registerRecord<ZeqGeometry>(protocol);
    registerRecord<ZeqImage>(protocol);
    registerRecord<ZeqIndexBuffer>(protocol);
    registerRecord<ZeqMap>(protocol);
    registerRecord<ZeqMaterial>(protocol);
    registerRecord<ZeqMatrix>(protocol);
    registerRecord<ZeqObject>(protocol);
    registerRecord<ZeqSurface>(protocol);
    registerRecord<ZeqTransformation>(protocol);
    registerRecord<ZeqVertexBuffer>(protocol);
    registerType<IdCodec>(protocol, "Id");
    registerType<ParentIdCodec>(protocol, "ParentId");

    // Arrays, in the order of kArrayElementTypeNames; every element codec exists by now.
    registerArray<int8_t>(protocol, "Byte");
    registerArray<uint16_t>(protocol, "UShort");
    registerArray<int32_t>(protocol, "Int");
    registerArray<float>(protocol, "Float");
    registerArray<int64_t>(protocol, "Long");
    registerArray<Zeq2VertexAttributes>(protocol, "Zeq2VertexAttributes");
    registerRecordArray<Zeq2AmbientLight>(protocol);
    registerRecordArray<Zeq2AnimationClip>(protocol);
    registerRecordArray<Zeq2Box>(protocol);
    registerRecordArray<Zeq2Camera>(protocol);
    registerRecordArray<Zeq2CubeMap>(protocol);
    registerRecordArray<Zeq2Decal>(protocol);
    registerRecordArray<Zeq2DirectionalLight>(protocol);
    registerRecordArray<Zeq2Image>(protocol);
    registerRecordArray<Zeq2IndexBuffer>(protocol);
    registerRecordArray<Zeq2Joint>(protocol);
    registerRecordArray<Zeq2JointBindTransform>(protocol);
    registerRecordArray<Zeq2Keyframe>(protocol);
    registerRecordArray<Zeq2LOD>(protocol);
    registerRecordArray<Zeq2Layer>(protocol);
    registerRecordArray<Zeq2Map>(protocol);
    registerRecordArray<Zeq2Material>(protocol);
    registerRecordArray<Zeq2Mesh>(protocol);
    registerRecordArray<Zeq2Object>(protocol);
    registerRecordArray<Zeq2OmniLight>(protocol);
    registerRecordArray<Zeq2Skin>(protocol);
    registerRecordArray<Zeq2SpotLight>(protocol);
    registerRecordArray<Zeq2Sprite>(protocol);
    registerRecordArray<Zeq2Surface>(protocol);
    registerRecordArray<Zeq2Track>(protocol);
    registerRecordArray<Zeq2VertexBuffer>(protocol);
    registerRecordArray<ZeqBox>(protocol);
    registerRecordArray<ZeqGeometry>(protocol);
    registerRecordArray<ZeqImage>(protocol);
    registerRecordArray<ZeqMap>(protocol);
    registerRecordArray<ZeqMaterial>(protocol);
    registerRecordArray<ZeqObject>(protocol);
    registerRecordArray<ZeqSurface>(protocol);
    registerRecordArray<ZeqVertexBuffer>(protocol);
}

Protocol& formatProtocol() {
    struct Registered {
        Protocol protocol;
        Registered() { registerFormatTypes(protocol); }
    };
    thread_local Registered shared;
    return shared.protocol;
}

}  // namespace zeq
