#pragma once
// Scene pieces and buffer readers shared by the mesh, material and skin tests.
#include "export/geometry.h"
#include "export/materials.h"
#include "export/options.h"
#include "export/surfaces.h"
#include "headless/host.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace zeq::test {

// A unit cube: 8 vertices, 12 faces. With `smoothed` every face is in smoothing group 1 (one
// normal per vertex); otherwise each side has a smoothing group of its own (flat sides: the two
// triangles of a side share their normals, sides do not).
inline Mesh cubeMesh(bool smoothed) {
    Mesh mesh;
    mesh.setNumVerts(8);
    for (int i = 0; i < 8; ++i) mesh.verts[i] = Point3(float(i & 1), float((i >> 1) & 1), float((i >> 2) & 1));
    const uint32_t quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    mesh.setNumFaces(12);
    for (int q = 0; q < 6; ++q) {
        const uint32_t* v = quads[q];
        mesh.faces[2 * q].setVerts(v[0], v[1], v[2]);
        mesh.faces[2 * q + 1].setVerts(v[0], v[2], v[3]);
        for (int k = 0; k < 2; ++k) mesh.faces[2 * q + k].setSmGroup(smoothed ? 1u : (1u << q));
    }
    return mesh;
}

// A square in the XY plane (two triangles) with texture channel 1 mapping it onto the unit square.
inline Mesh texturedQuad() {
    Mesh mesh;
    mesh.setNumVerts(4);
    mesh.verts = {{0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}, {1.0f, 1.0f, 0.0f}, {0.0f, 1.0f, 0.0f}};
    mesh.setNumFaces(2);
    mesh.faces[0].setVerts(0, 1, 2);
    mesh.faces[1].setVerts(0, 2, 3);
    for (Face& face : mesh.faces) face.setSmGroup(1);
    mesh.setMapSupport(1);
    mesh.Map(1).setNumVerts(4);
    mesh.Map(1).tv = {{0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}, {1.0f, 1.0f, 0.0f}, {0.0f, 1.0f, 0.0f}};
    mesh.Map(1).tf[0].setTVerts(0, 1, 2);
    mesh.Map(1).tf[1].setTVerts(0, 2, 3);
    return mesh;
}

inline std::vector<float> floatsOf(const ByteBuffer& bytes) {
    std::vector<float> out(static_cast<std::size_t>(bytes.length()) / 4);
    if (!out.empty()) std::memcpy(out.data(), bytes.data(), out.size() * 4);
    return out;
}

inline std::vector<uint16_t> indicesOf(const ByteBuffer& bytes) {
    std::vector<uint16_t> out;
    for (int32_t i = 0; i + 1 < bytes.length(); i += 2)
        out.push_back(static_cast<uint16_t>(bytes.data()[i] | bytes.data()[i + 1] << 8));
    return out;
}

// A headless host with the per-export objects of the exporter, reset options and an empty box
// list.
class ExportFixture : public ::testing::Test {
protected:
    ExportFixture() {
        exportOptions() = ExportOptions{};
        BoxFactory::instance().takeBoxes();
    }
    ~ExportFixture() override {
        exportOptions() = ExportOptions{};
        BoxFactory::instance().takeBoxes();
    }

    headless::Node* meshNode(const std::string& name, const Mesh& mesh) {
        headless::Node* node = scene().createNode(name);
        node->SetObjectRef(scene().newTriObject(mesh));
        return node;
    }

    headless::Scene& scene() { return host.scene(); }

    headless::Host host;
    BufferLists lists;
    ImageFactory images;
    MapFactory maps{images};
    CubeMapFactory cubeMaps{images};
    MaterialFactory materials{maps, cubeMaps};
    GeometryConverter converter{lists};
    SurfaceBuilder surfaces{materials};
};

}  // namespace zeq::test
