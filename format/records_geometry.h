#pragma once
// Geometry records: vertex and index buffers, surfaces, meshes and bounding boxes. Buffers and
// boxes are resources with "Int" ids; a mesh refers to them by id.
#include "format/records_transform.h"

#include <optional>

namespace zeq {

// The per-vertex attribute kinds, stored as an "Int".
enum class Zeq2VertexAttributes : int32_t { POSITION, NORMAL, TANGENT4, JOINTS, TEXCOORDS };

template <>
struct ValueTypeNames<Zeq2VertexAttributes> {
    static constexpr bool fits(std::string_view name) { return name == "Zeq2VertexAttributes"; }
};

// Minor version 6 stores every 4-byte vertex value as a 16-bit float; 5 (and anything else)
// stores 32-bit floats.
constexpr uint16_t kMinorVersionFloat32 = 5;
constexpr uint16_t kMinorVersionHalf = 6;

// Bytes one attribute of `kind` takes per vertex with the given minor version; 0 for a value
// outside the enumeration, which a reader must treat as an unknown layout.
constexpr int32_t vertexAttributeSize(Zeq2VertexAttributes kind, uint16_t minorVersion) {
    int32_t bytes = 0;
    switch (kind) {
        case Zeq2VertexAttributes::POSITION: bytes = 12; break;
        case Zeq2VertexAttributes::NORMAL: bytes = 12; break;
        case Zeq2VertexAttributes::TANGENT4: bytes = 16; break;
        case Zeq2VertexAttributes::JOINTS: bytes = 16; break;
        case Zeq2VertexAttributes::TEXCOORDS: bytes = 8; break;
    }
    return minorVersion == kMinorVersionHalf ? bytes / 2 : bytes;
}

// The upper-case name of a kind ("POSITION"), or nullptr for a value outside the enumeration.
const char* vertexAttributeName(Zeq2VertexAttributes kind);
// The kind with that name; std::nullopt for any other text.
std::optional<Zeq2VertexAttributes> vertexAttributeFromName(std::string_view name);

struct Zeq2VertexBuffer {
    TArray<Zeq2VertexAttributes> attributes;  // per-vertex layout in storage order
    ByteBuffer byteBuffer;                    // vertexCount x stride bytes
    int32_t id = 0;
    uint16_t vertexCount = 0;
    bool operator==(const Zeq2VertexBuffer&) const = default;
};

// Sum of the attribute sizes: the byte distance between consecutive vertices. 0 when an
// attribute is outside the enumeration.
int32_t vertexStride(const TArray<Zeq2VertexAttributes>& attributes, uint16_t minorVersion);

// The value of an IEEE 754 binary16 bit pattern, the form of 16-bit vertex data (subnormals,
// infinities and NaN payloads kept; every such value is exact in single precision).
float halfToFloat(uint16_t bits);

struct Zeq2IndexBuffer {
    ByteBuffer byteBuffer;  // unsigned 16-bit little-endian indices, three per triangle
    int32_t id = 0;
    int32_t indexCount = 0;
    bool operator==(const Zeq2IndexBuffer&) const = default;
};

// Triangles indexBegin / 3 .. indexBegin / 3 + numTriangles - 1 of the owner's index buffer.
struct Zeq2Surface {
    int32_t indexBegin = 0;
    std::optional<int32_t> materialId;
    int32_t numTriangles = 0;
    bool operator==(const Zeq2Surface&) const = default;
};

struct Zeq2Mesh {
    std::optional<int32_t> boundBoxId;
    int64_t id = 0;
    int32_t indexBufferId = 0;
    std::optional<std::string> name;
    std::optional<int64_t> parentId;
    TArray<Zeq2Surface> surfaces;
    std::optional<Zeq2Transform> transform;
    TArray<int32_t> vertexBufferIds;
    bool visible = false;
    bool operator==(const Zeq2Mesh&) const = default;
};

// Six floats: minimum x, y, z, then maximum x, y, z in the node's local space.
struct Zeq2Box {
    TArray<float> box;
    int32_t id = 0;
    bool operator==(const Zeq2Box&) const = default;
};

template <>
struct RecordTraits<Zeq2VertexBuffer> {
    using R = Zeq2VertexBuffer;
    static constexpr std::string_view typeName = "Zeq2VertexBuffer";
    static constexpr auto fields = std::make_tuple(
        arrayField("attributes", "Zeq2VertexAttributes", &R::attributes),
        field("byteBuffer", "ByteArray", &R::byteBuffer), field("id", "Int", &R::id),
        field("vertexCount", "UShort", &R::vertexCount));
};

template <>
struct RecordTraits<Zeq2IndexBuffer> {
    using R = Zeq2IndexBuffer;
    static constexpr std::string_view typeName = "Zeq2IndexBuffer";
    static constexpr auto fields = std::make_tuple(field("byteBuffer", "ByteArray", &R::byteBuffer),
                                                   field("id", "Int", &R::id),
                                                   field("indexCount", "Int", &R::indexCount));
};

template <>
struct RecordTraits<Zeq2Surface> {
    using R = Zeq2Surface;
    static constexpr std::string_view typeName = "Zeq2Surface";
    static constexpr auto fields = std::make_tuple(field("indexBegin", "Int", &R::indexBegin),
                                                   optionalField("materialId", "Int", &R::materialId),
                                                   field("numTriangles", "Int", &R::numTriangles));
};

template <>
struct RecordTraits<Zeq2Mesh> {
    using R = Zeq2Mesh;
    static constexpr std::string_view typeName = "Zeq2Mesh";
    static constexpr auto fields = std::make_tuple(
        optionalField("boundBoxId", "Int", &R::boundBoxId), field("id", "Long", &R::id),
        field("indexBufferId", "Int", &R::indexBufferId), optionalField("name", "String", &R::name),
        optionalField("parentId", "Long", &R::parentId), arrayField("surfaces", "Zeq2Surface", &R::surfaces),
        optionalField("transform", "Zeq2Transform", &R::transform),
        arrayField("vertexBufferIds", "Int", &R::vertexBufferIds), field("visible", "Bool", &R::visible));
};

template <>
struct RecordTraits<Zeq2Box> {
    using R = Zeq2Box;
    static constexpr std::string_view typeName = "Zeq2Box";
    static constexpr auto fields = std::make_tuple(arrayField("box", "Float", &R::box), field("id", "Int", &R::id));
};

static_assert(fieldTableMatchesTypes<Zeq2VertexBuffer>());
static_assert(fieldTableMatchesTypes<Zeq2IndexBuffer>());
static_assert(fieldTableMatchesTypes<Zeq2Surface>());
static_assert(fieldTableMatchesTypes<Zeq2Mesh>());
static_assert(fieldTableMatchesTypes<Zeq2Box>());

}  // namespace zeq
