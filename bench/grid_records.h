#pragma once
// Grid meshes for the benchmark scenes, as the exporter writes them: the caller fills the vertex
// buffer; the quads' 16-bit index buffer and the mesh record that places grid i are made here.
#include "format/records.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

namespace bench {

inline void appendFloats(zeq::ByteBuffer& bytes, std::initializer_list<float> values) {
    for (float value : values) bytes.appendBytes(&value, 4, false);  // little-endian host
}

// Adds grid i of quadsX x quadsY quads (vertices row by row, quadsX + 1 a row) to the root, moved
// `spacing` along x from the previous one.
inline void addGridRecords(zeq::Zeq2& root, int i, int quadsX, int quadsY, float spacing,
                           zeq::Zeq2VertexBuffer vertices) {
    const int sideX = quadsX + 1;
    zeq::Zeq2IndexBuffer indices;
    indices.id = i;
    indices.indexCount = 6 * quadsX * quadsY;
    for (int y = 0; y < quadsY; ++y) {
        for (int x = 0; x < quadsX; ++x) {
            const uint16_t a = uint16_t(y * sideX + x), b = uint16_t(a + 1), c = uint16_t(a + sideX + 1),
                           d = uint16_t(a + sideX);
            for (uint16_t index : {a, b, c, a, c, d}) indices.byteBuffer.appendBytes(&index, 2, false);
        }
    }
    zeq::Zeq2Mesh mesh;
    mesh.id = i + 1;
    mesh.name = "Grid" + std::to_string(i);
    mesh.indexBufferId = i;
    mesh.vertexBufferIds = {i};
    mesh.surfaces.add({0, 0, 2 * quadsX * quadsY});
    mesh.transform = zeq::Zeq2Transform{{1, 0, 0, float(i) * spacing, 0, 1, 0, 0, 0, 0, 1, 0}};
    mesh.visible = true;
    root.vertexBuffers->add(std::move(vertices));
    root.indexBuffers->add(std::move(indices));
    root.meshes->add(std::move(mesh));
}

}  // namespace bench
