#pragma once
// Helpers of the importer tests: byte builders for vertex and index data, small record builders, a
// headless host with a scratch folder, and lookups into the imported scene.
#include "format/records.h"
#include "format/scene_file.h"
#include "headless/host.h"
#include "host/output_file.h"
#include "import/import_pipeline.h"
#include "import/scene_builder.h"
#include "import/zeq_import.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

namespace zeq::test {

using A = Zeq2VertexAttributes;

inline ByteBuffer floatBytes(std::initializer_list<float> values) {
    ByteBuffer bytes;
    for (float value : values) {
        uint32_t bits;
        std::memcpy(&bits, &value, 4);
        for (int i = 0; i < 4; ++i) bytes.appendByte(static_cast<uint8_t>(bits >> (8 * i)));
    }
    return bytes;
}

inline ByteBuffer indexBytes(std::initializer_list<uint16_t> indices) {
    ByteBuffer bytes;
    for (uint16_t index : indices) {
        bytes.appendByte(static_cast<uint8_t>(index & 0xFF));
        bytes.appendByte(static_cast<uint8_t>(index >> 8));
    }
    return bytes;
}

inline Zeq2Transform transformOf(const ZeqMatrix& m) {
    Zeq2Transform t;
    t.matrix = m;
    return t;
}

inline Zeq2Transform moveTo(float x, float y, float z) { return transformOf({1, 0, 0, x, 0, 1, 0, y, 0, 0, 1, z}); }

inline Zeq2VertexBuffer vertexBuffer(int32_t id, std::vector<A> attributes, uint16_t count, ByteBuffer bytes) {
    Zeq2VertexBuffer buffer;
    buffer.id = id;
    buffer.attributes = TArray<A>(std::move(attributes));
    buffer.vertexCount = count;
    buffer.byteBuffer = std::move(bytes);
    return buffer;
}

inline Zeq2IndexBuffer indexBuffer(int32_t id, std::initializer_list<uint16_t> indices) {
    Zeq2IndexBuffer buffer;
    buffer.id = id;
    buffer.byteBuffer = indexBytes(indices);
    buffer.indexCount = static_cast<int32_t>(indices.size());
    return buffer;
}

inline Zeq2Mesh meshRecord(int64_t id, const std::string& name, int32_t indexBufferId,
                           std::vector<int32_t> vertexBufferIds) {
    Zeq2Mesh mesh;
    mesh.id = id;
    mesh.name = name;
    mesh.indexBufferId = indexBufferId;
    mesh.vertexBufferIds = TArray<int32_t>(std::move(vertexBufferIds));
    mesh.visible = true;
    return mesh;
}

inline Zeq2Object objectRecord(int64_t id, const std::string& name, std::optional<int64_t> parentId = std::nullopt,
                               std::optional<Zeq2Transform> transform = std::nullopt) {
    Zeq2Object object;
    object.id = id;
    object.name = name;
    object.parentId = parentId;
    object.transform = transform;
    object.visible = true;
    return object;
}

// A root whose lists the importer walks are all present and empty.
inline Zeq2 emptyRoot() {
    Zeq2 root;
    root.objects.emplace();
    root.meshes.emplace();
    root.indexBuffers.emplace();
    root.vertexBuffers.emplace();
    root.directionalLights.emplace();
    root.omniLights.emplace();
    root.spotLights.emplace();
    root.ambientLights.emplace();
    root.materials.emplace();
    root.maps.emplace();
    root.images.emplace();
    return root;
}

// One triangle (0,0,0) (1,0,0) (0,1,0) with a normal and one texture channel: vertex buffer 1,
// index buffer 1.
inline void addTriangleGeometry(Zeq2& root) {
    root.vertexBuffers->add(vertexBuffer(1, {A::POSITION, A::NORMAL, A::TEXCOORDS}, 3,
                                         floatBytes({0, 0, 0, 0, 0, 1, 0, 0,  //
                                                     1, 0, 0, 0, 0, 1, 1, 0,  //
                                                     0, 1, 0, 0, 0, 1, 0, 1})));
    root.indexBuffers->add(indexBuffer(1, {0, 1, 2}));
}

inline bool matricesNear(const Matrix3& a, const Matrix3& b, float epsilon = 1e-4f) { return a.Equals(b, epsilon); }

// A headless host with a scratch folder; imports go through the importer class.
class ImportTest : public ::testing::Test {
protected:
    ImportTest() {
        dir_ = std::filesystem::temp_directory_path() /
               ("zeq_import_" + std::to_string(::getpid()) + "_" + std::to_string(counter()++));
        std::filesystem::create_directories(dir_);
        host_.ui().setProgressStream(nullptr);
    }
    ~ImportTest() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    std::string writeScene(const SceneFile& file, const std::string& name = "scene.zeq") {
        const std::string target = path(name);
        const ByteBuffer bytes = encodeSceneFile(file);
        writeOutputFile(target, bytes.data(), static_cast<std::size_t>(bytes.length()));
        return target;
    }
    std::string writeBytes(const ByteBuffer& bytes, const std::string& name = "bytes.zeq") {
        const std::string target = path(name);
        writeOutputFile(target, bytes.data(), static_cast<std::size_t>(bytes.length()));
        return target;
    }

    int importFile(const std::string& file) { return host_.importFile(GetZeqImportClassDesc(), file); }
    int importRoot(const Zeq2& root, uint16_t minorVersion = kMinorVersionFloat32) {
        SceneFile file;
        file.minorVersion = minorVersion;
        file.root = root;
        return importFile(writeScene(file));
    }

    headless::Node* node(const std::string& name) { return host_.scene().findNode(name); }
    TriObject* triOf(const std::string& name) {
        headless::Node* n = node(name);
        return n ? dynamic_cast<TriObject*>(n->GetObjectRef()) : nullptr;
    }
    std::vector<headless::MessageBoxRecord> boxes() const {
        return const_cast<headless::Host&>(host_).ui().messageBoxes();
    }
    // The text of the one warning box, empty when there is none.
    std::string warnings() const {
        std::string text;
        for (const auto& box : boxes())
            if (box.caption == "Warning") text += box.text;
        return text;
    }
    std::size_t sceneNodeCount() { return host_.scene().nodes().size(); }

    static int& counter() {
        static int n = 0;
        return n;
    }

    headless::Host host_;
    std::filesystem::path dir_;
};

}  // namespace zeq::test
