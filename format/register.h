#pragma once
// Registration of every type of the scene format in a protocol: the record codecs, the
// enumeration and identifier codecs, their optional forms, and the array codecs of the array
// element types in both forms.
#include "codec/protocol.h"

#include <array>
#include <string_view>

namespace zeq {

// The 44 type names registered by registerFormatTypes, each as its own key and with " Optional".
inline constexpr std::array<std::string_view, 44> kFormatTypeNames = {
    "Zeq2", "Zeq2Extra1", "Zeq2Extra2", "Zeq2AmbientLight", "Zeq2AnimationClip", "Zeq2Box", "Zeq2Camera",
    "Zeq2CubeMap", "Zeq2Decal", "Zeq2DirectionalLight", "Zeq2Image", "Zeq2IndexBuffer", "Zeq2Joint",
    "Zeq2JointBindTransform", "Zeq2Keyframe", "Zeq2LOD", "Zeq2Layer", "Zeq2Map", "Zeq2Material", "Zeq2Mesh",
    "Zeq2Object", "Zeq2OmniLight", "Zeq2Skin", "Zeq2SpotLight", "Zeq2Sprite", "Zeq2Surface", "Zeq2Track",
    "Zeq2Transform", "Zeq2VertexAttributes", "Zeq2VertexBuffer", "Zeq", "ZeqBox", "ZeqGeometry", "ZeqImage",
    "ZeqIndexBuffer", "ZeqMap", "ZeqMaterial", "ZeqMatrix", "ZeqObject", "ZeqSurface", "ZeqTransformation",
    "ZeqVertexBuffer", "Id", "ParentId"};

// The 39 element types that have array codecs ("array1<E>" and "array1<E> Optional").
inline constexpr std::array<std::string_view, 39> kArrayElementTypeNames = {
    "Byte", "UShort", "Int", "Float", "Long", "Zeq2VertexAttributes", "Zeq2AmbientLight", "Zeq2AnimationClip",
    "Zeq2Box", "Zeq2Camera", "Zeq2CubeMap", "Zeq2Decal", "Zeq2DirectionalLight", "Zeq2Image", "Zeq2IndexBuffer",
    "Zeq2Joint", "Zeq2JointBindTransform", "Zeq2Keyframe", "Zeq2LOD", "Zeq2Layer", "Zeq2Map", "Zeq2Material",
    "Zeq2Mesh", "Zeq2Object", "Zeq2OmniLight", "Zeq2Skin", "Zeq2SpotLight", "Zeq2Sprite", "Zeq2Surface",
    "Zeq2Track", "Zeq2VertexBuffer", "ZeqBox", "ZeqGeometry", "ZeqImage", "ZeqMap", "ZeqMaterial", "ZeqObject",
    "ZeqSurface", "ZeqVertexBuffer"};

// Registers the 88 type keys, then the 78 array keys. Element codecs of the arrays are looked up
// as the arrays are registered, so the types come first. Call once on a fresh protocol, before
// any encode or decode; calling it again replaces every format codec with a fresh one.
void registerFormatTypes(Protocol& protocol);

// A protocol with every format type registered, made once per thread on first use, for the
// readers that decode many small files (an import, `zeq info` over a batch): registering takes
// longer than decoding a small file. Codecs keep no state between packets, so one protocol serves
// every decode; callers must not change its registry or its inflation limit.
Protocol& formatProtocol();

}  // namespace zeq
