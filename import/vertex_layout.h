#pragma once
// Where each attribute kind lies inside the vertices of a mesh's vertex buffers, and reading the
// values out of the decoded byte arrays. Vertex data are little-endian 32-bit floats, or, in files
// of minor version 6, big-endian 16-bit floats taking half the bytes.
#include "format/records_geometry.h"
#include "host/point3.h"

#include <array>
#include <cstdint>
#include <vector>

namespace zeq {


// 16-bit files hold every number cut toward zero to a 16-bit float, and the next export cuts the
// same way: a value read back and computed on (moved, normalised) may come out a hair below its
// 16-bit value and lose a whole step of the grid on every round trip. These aim at the middle of
// the value's step instead, and tell whether a number cuts to a given 16-bit value.
//
// The middle of the 16-bit step that starts at `value` (a value of the 16-bit grid), away from
// zero; zero, the largest 16-bit values and non-finite values are kept.
float middleOfHalfStep(float value);
// Whether the exporter writes `value` as `half` (a value of the 16-bit grid), sign included: cut
// toward zero, or infinity past the largest 16-bit value.
bool cutsToHalf(float value, float half);

// The explicit normal to give the host for a normal a 16-bit file stores: a vector that, as the
// exporter normalises (until the normal settles) and cuts it, gives the stored normal again. That is
// the stored normal itself when it does; else a unit vector inside the box of the components'
// 16-bit steps, where the unit vector the stored normal was cut from lay: the one through the
// box's middle, or, where the unit sphere only grazes the box, one found on the sphere. Without
// a match (or for non-finite values) the stored normal is kept.
Point3 halfNormalFor(const Point3& stored);

// The explicit normal to give the host for a normal the file stores. The exporter writes each
// normal normalised, and a normalised float vector is not always its own normalisation; so the
// stored normal is kept when it is, else the first vector within two float steps per component
// (x steps outermost, each from -2 to +2) whose normalisation is exactly the stored one, so that
// exporting again writes the same bytes. Without such a vector, or for non-finite values, the
// stored normal is kept.
Point3 normalFor(const Point3& stored);

// normalFor with a memory of the normals it searched for: a fixed table of the last results by
// the stored normal's bits, so that a normal repeated inside a mesh (vertices split at seams and
// hard edges) or across meshes (copies of one object) is searched once. Normals that are their own
// normalisation need no search and are not kept.
class NormalSearch {
public:
    Point3 operator()(const Point3& stored);

private:
    struct Entry {
        uint32_t key[3];
        Point3 kept;
    };
    std::vector<Entry> entries_;  // allocated on the first search
};

// One occurrence of an attribute kind: the buffer holding it and its byte offset inside a vertex.
struct AttributeSlot {
    const Zeq2VertexBuffer* buffer = nullptr;
    int32_t offset = 0;
};

// The attribute layout of one triangle object being built.
struct VertexLayout {
    static constexpr int kKindCount = 5;

    uint16_t minorVersion = kMinorVersionFloat32;
    // Per kind, every occurrence in the order met, each with its own buffer: a kind listed in two
    // buffers is read from each of them at its own offset.
    std::array<std::vector<AttributeSlot>, kKindCount> slots;
    bool hasNormals = false;
    bool hasTexcoords = false;
    // The vertexCount of the last buffer added.
    int32_t vertexCount = 0;

    const std::vector<AttributeSlot>& of(Zeq2VertexAttributes kind) const {
        return slots[static_cast<std::size_t>(kind)];
    }
};

// Adds a buffer's attributes to the layout in order, with a running offset from 0. False when an
// attribute is outside the enumeration: its size, and so every offset after it, is unknown.
bool addVertexBuffer(VertexLayout& layout, const Zeq2VertexBuffer& buffer);

// Bytes from one vertex of a buffer to the next: the byte array's length divided by the vertex
// count, so that bytes a writer appended after the listed attributes are skipped. 0 for a buffer
// without vertices.
int32_t bufferStride(const Zeq2VertexBuffer& buffer);

// Whether `count` vertices of an occurrence, each read as `size` bytes at the occurrence's offset,
// lie inside its buffer's byte array.
bool slotFits(const AttributeSlot& slot, int32_t size, int32_t count);

// Reads the floats of one attribute occurrence. The caller checks with slotFits that every vertex
// it reads lies inside the buffer; the reader itself does no checks, so that the vertex loops read
// straight out of the byte arrays.
class AttributeReader {
public:
    AttributeReader(const AttributeSlot& slot, uint16_t minorVersion);

    float component(int32_t vertex, int32_t index) const {
        const uint8_t* p = base_ + static_cast<std::ptrdiff_t>(vertex) * stride_;
        if (half_) {
            p += index * 2;
            return halfToFloat(static_cast<uint16_t>((p[0] << 8) | p[1]));
        }
        p += index * 4;
        const uint32_t bits = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
        float value;
        static_assert(sizeof(value) == sizeof(bits));
        __builtin_memcpy(&value, &bits, sizeof(value));
        return value;
    }
    Point3 point3(int32_t vertex) const { return {component(vertex, 0), component(vertex, 1), component(vertex, 2)}; }

private:
    const uint8_t* base_ = nullptr;
    int32_t stride_ = 0;
    bool half_ = false;
};

}  // namespace zeq
