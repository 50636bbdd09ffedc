#pragma once
// Reading the numbers inside vertex and index buffer records.
//
// A vertex is its attributes back to back in the order of the buffer's `attributes` list. With
// minor version 5 every number is a 32-bit float stored little-endian; with minor version 6 every
// number is a 16-bit float stored big-endian, so each attribute takes half the bytes. Indices are
// unsigned 16-bit little-endian numbers in either version.
#include "format/records_geometry.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace zeq::inspect {

// How many numbers one attribute of `kind` holds per vertex (3, 3, 4, 4, 2); 0 for a value
// outside the enumeration.
int32_t attributeComponents(Zeq2VertexAttributes kind);

struct AttributeSlot {
    Zeq2VertexAttributes kind;
    int32_t offset = 0;      // bytes from the start of the vertex
    int32_t components = 0;  // numbers it holds
};

struct VertexLayout {
    std::vector<AttributeSlot> slots;  // in storage order
    int32_t attributeBytes = 0;        // sum of the attribute sizes: the stride the layout asks for
    int32_t valueBytes = 4;            // 4 (32-bit floats) or 2 (16-bit floats)
    bool known = true;                 // false when an attribute lies outside the enumeration
};

VertexLayout vertexLayout(const TArray<Zeq2VertexAttributes>& attributes, uint16_t minorVersion);

// A vertex buffer's data laid out for reading: vertex i, slot s, number c is at
// data + i * stride + slot.offset + c * layout.valueBytes.
struct VertexView {
    VertexLayout layout;
    const uint8_t* data = nullptr;
    int32_t stride = 0;
    int32_t vertexCount = 0;

    float value(int32_t vertex, const AttributeSlot& slot, int32_t component) const;
};

// The buffer's data as vertices, or false with the reason in `why` when its layout cannot be
// read: an unknown attribute kind, or a data length that is not vertexCount whole vertices of at
// least the layout's size. A length of vertexCount x S with S larger than the layout's size is
// read with stride S, as loaders do (the extra bytes of each vertex are skipped).
bool viewVertexBuffer(const Zeq2VertexBuffer& buffer, uint16_t minorVersion, VertexView& view, std::string& why);


inline float VertexView::value(int32_t vertex, const AttributeSlot& slot, int32_t component) const {
    const uint8_t* p = data + static_cast<std::size_t>(vertex) * static_cast<std::size_t>(stride) +
                       static_cast<std::size_t>(slot.offset) +
                       static_cast<std::size_t>(component) * static_cast<std::size_t>(layout.valueBytes);
    if (layout.valueBytes == 2) return halfToFloat(static_cast<uint16_t>((p[0] << 8) | p[1]));
    const uint32_t bits = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
    float result;
    std::memcpy(&result, &bits, sizeof result);
    return result;
}

// Number of whole indices the index buffer's data holds, and index i of them.
inline int64_t storedIndexCount(const Zeq2IndexBuffer& buffer) { return buffer.byteBuffer.length() / 2; }
inline uint16_t storedIndex(const Zeq2IndexBuffer& buffer, int64_t i) {
    const uint8_t* p = buffer.byteBuffer.data() + i * 2;
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

}  // namespace zeq::inspect
