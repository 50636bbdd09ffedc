#pragma once
// Version-1 records, rooted in Zeq. They are registered so that the registry is complete and
// their codecs encode and decode exactly; this system writes and reads only Zeq2 files. Almost
// every field is optional, identifiers are the 4-byte "Id" / "ParentId" values, and object
// transforms are wrapped in ZeqTransformation. Field names other than those whose type states
// their role are position labels.
#include "format/records_transform.h"

#include <optional>

namespace zeq {

// The value of an "Id" or "ParentId" field: one "ULong" (4 bytes on the wire).
struct ZeqId {
    uint32_t value = 0;
    bool operator==(const ZeqId&) const = default;
};

template <>
struct ValueTypeNames<ZeqId> {
    static constexpr bool fits(std::string_view name) { return name == "Id" || name == "ParentId"; }
};

struct ZeqBox {
    std::optional<TArray<float>> box;
    std::optional<ZeqId> id;
    bool operator==(const ZeqBox&) const = default;
};

struct ZeqIndexBuffer {
    std::optional<ByteBuffer> byteBuffer;
    int32_t indexCount = 0;
    bool operator==(const ZeqIndexBuffer&) const = default;
};

struct ZeqVertexBuffer {
    std::optional<TArray<int8_t>> byteValues;
    std::optional<ByteBuffer> byteBuffer;
    uint16_t vertexCount = 0;
    bool operator==(const ZeqVertexBuffer&) const = default;
};

struct ZeqGeometry {
    std::optional<ZeqId> id;
    std::optional<ZeqIndexBuffer> indexBuffer;
    std::optional<TArray<ZeqVertexBuffer>> vertexBuffers;
    bool operator==(const ZeqGeometry&) const = default;
};

struct ZeqImage {
    std::optional<ZeqId> id;
    std::optional<std::string> url;
    bool operator==(const ZeqImage&) const = default;
};

struct ZeqMap {
    uint16_t channel = 0;
    std::optional<ZeqId> idRef1;
    std::optional<ZeqId> idRef2;
    std::optional<float> floatValue1;
    std::optional<float> floatValue2;
    std::optional<float> floatValue3;
    std::optional<float> floatValue4;
    bool operator==(const ZeqMap&) const = default;
};

struct ZeqMaterial {
    std::optional<ZeqId> idRef1;
    std::optional<ZeqId> idRef2;
    std::optional<ZeqId> idRef3;
    std::optional<ZeqId> idRef4;
    std::optional<ZeqId> idRef5;
    std::optional<ZeqId> idRef6;
    std::optional<ZeqId> idRef7;
    bool operator==(const ZeqMaterial&) const = default;
};

struct ZeqSurface {
    int32_t indexBegin = 0;
    std::optional<ZeqId> idRef1;
    int32_t numTriangles = 0;
    bool operator==(const ZeqSurface&) const = default;
};

struct ZeqTransformation {
    std::optional<ZeqMatrix> matrix;
    bool operator==(const ZeqTransformation&) const = default;
};

struct ZeqObject {
    std::optional<ZeqId> idRef1;
    std::optional<ZeqId> idRef2;
    std::optional<ZeqId> idRef3;
    std::optional<std::string> name;
    std::optional<ZeqId> parentId;
    std::optional<TArray<ZeqSurface>> surfaces;
    std::optional<ZeqTransformation> transformation;
    std::optional<bool> flag;
    bool operator==(const ZeqObject&) const = default;
};

struct Zeq {
    std::optional<TArray<ZeqBox>> boxes;
    std::optional<TArray<ZeqGeometry>> geometries;
    std::optional<TArray<ZeqImage>> images;
    std::optional<TArray<ZeqMap>> maps;
    std::optional<TArray<ZeqMaterial>> materials;
    std::optional<TArray<ZeqObject>> objects;
    bool operator==(const Zeq&) const = default;
};

template <>
struct RecordTraits<ZeqBox> {
    using R = ZeqBox;
    static constexpr std::string_view typeName = "ZeqBox";
    static constexpr auto fields =
        std::make_tuple(optionalArrayField("box", "Float", &R::box), optionalField("id", "Id", &R::id));
};

template <>
struct RecordTraits<ZeqIndexBuffer> {
    using R = ZeqIndexBuffer;
    static constexpr std::string_view typeName = "ZeqIndexBuffer";
    static constexpr auto fields = std::make_tuple(optionalField("byteBuffer", "ByteArray", &R::byteBuffer),
                                                   field("indexCount", "Int", &R::indexCount));
};

template <>
struct RecordTraits<ZeqVertexBuffer> {
    using R = ZeqVertexBuffer;
    static constexpr std::string_view typeName = "ZeqVertexBuffer";
    static constexpr auto fields = std::make_tuple(optionalArrayField("byteValues", "Byte", &R::byteValues),
                                                   optionalField("byteBuffer", "ByteArray", &R::byteBuffer),
                                                   field("vertexCount", "UShort", &R::vertexCount));
};

template <>
struct RecordTraits<ZeqGeometry> {
    using R = ZeqGeometry;
    static constexpr std::string_view typeName = "ZeqGeometry";
    static constexpr auto fields =
        std::make_tuple(optionalField("id", "Id", &R::id), optionalField("indexBuffer", "ZeqIndexBuffer", &R::indexBuffer),
                        optionalArrayField("vertexBuffers", "ZeqVertexBuffer", &R::vertexBuffers));
};

template <>
struct RecordTraits<ZeqImage> {
    using R = ZeqImage;
    static constexpr std::string_view typeName = "ZeqImage";
    static constexpr auto fields =
        std::make_tuple(optionalField("id", "Id", &R::id), optionalField("url", "String", &R::url));
};

template <>
struct RecordTraits<ZeqMap> {
    using R = ZeqMap;
    static constexpr std::string_view typeName = "ZeqMap";
    static constexpr auto fields = std::make_tuple(
        field("channel", "UShort", &R::channel), optionalField("idRef1", "Id", &R::idRef1),
        optionalField("idRef2", "Id", &R::idRef2), optionalField("floatValue1", "Float", &R::floatValue1),
        optionalField("floatValue2", "Float", &R::floatValue2), optionalField("floatValue3", "Float", &R::floatValue3),
        optionalField("floatValue4", "Float", &R::floatValue4));
};

template <>
struct RecordTraits<ZeqMaterial> {
    using R = ZeqMaterial;
    static constexpr std::string_view typeName = "ZeqMaterial";
    static constexpr auto fields = std::make_tuple(
        optionalField("idRef1", "Id", &R::idRef1), optionalField("idRef2", "Id", &R::idRef2),
        optionalField("idRef3", "Id", &R::idRef3), optionalField("idRef4", "Id", &R::idRef4),
        optionalField("idRef5", "Id", &R::idRef5), optionalField("idRef6", "Id", &R::idRef6),
        optionalField("idRef7", "Id", &R::idRef7));
};

template <>
struct RecordTraits<ZeqSurface> {
    using R = ZeqSurface;
    static constexpr std::string_view typeName = "ZeqSurface";
    static constexpr auto fields = std::make_tuple(field("indexBegin", "Int", &R::indexBegin),
                                                   optionalField("idRef1", "Id", &R::idRef1),
                                                   field("numTriangles", "Int", &R::numTriangles));
};

template <>
struct RecordTraits<ZeqTransformation> {
    using R = ZeqTransformation;
    static constexpr std::string_view typeName = "ZeqTransformation";
    static constexpr auto fields = std::make_tuple(optionalField("matrix", "ZeqMatrix", &R::matrix));
};

template <>
struct RecordTraits<ZeqObject> {
    using R = ZeqObject;
    static constexpr std::string_view typeName = "ZeqObject";
    static constexpr auto fields = std::make_tuple(
        optionalField("idRef1", "Id", &R::idRef1), optionalField("idRef2", "Id", &R::idRef2),
        optionalField("idRef3", "Id", &R::idRef3), optionalField("name", "String", &R::name),
        optionalField("parentId", "ParentId", &R::parentId), optionalArrayField("surfaces", "ZeqSurface", &R::surfaces),
        optionalField("transformation", "ZeqTransformation", &R::transformation),
        optionalField("flag", "Bool", &R::flag));
};

template <>
struct RecordTraits<Zeq> {
    using R = Zeq;
    static constexpr std::string_view typeName = "Zeq";
    static constexpr auto fields = std::make_tuple(
        optionalArrayField("boxes", "ZeqBox", &R::boxes), optionalArrayField("geometries", "ZeqGeometry", &R::geometries),
        optionalArrayField("images", "ZeqImage", &R::images), optionalArrayField("maps", "ZeqMap", &R::maps),
        optionalArrayField("materials", "ZeqMaterial", &R::materials),
        optionalArrayField("objects", "ZeqObject", &R::objects));
};

static_assert(fieldTableMatchesTypes<ZeqBox>());
static_assert(fieldTableMatchesTypes<ZeqIndexBuffer>());
static_assert(fieldTableMatchesTypes<ZeqVertexBuffer>());
static_assert(fieldTableMatchesTypes<ZeqGeometry>());
static_assert(fieldTableMatchesTypes<ZeqImage>());
static_assert(fieldTableMatchesTypes<ZeqMap>());
static_assert(fieldTableMatchesTypes<ZeqMaterial>());
static_assert(fieldTableMatchesTypes<ZeqSurface>());
static_assert(fieldTableMatchesTypes<ZeqTransformation>());
static_assert(fieldTableMatchesTypes<ZeqObject>());
static_assert(fieldTableMatchesTypes<Zeq>());

}  // namespace zeq
