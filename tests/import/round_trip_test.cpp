// Round trips through the exporter plug-in: the demo scene exported with normals and tangents,
// imported, and exported again gives the same geometry per triangle corner, hierarchy, world
// transforms, material -> map -> image chains and light values. Both plug-ins are loaded from the
// runtime folder as the host loads them.
#include "format/file_io.h"
#include "headless/demo_scene.h"
#include "robustness.h"
#include "support.h"

#include <cmath>
#include <map>
#include <random>

namespace zeq::test {
namespace {

const std::string kExporterPath = std::string(ZEQ_RUNTIME_DIR) + "/Export.so";
const std::string kImporterPath = std::string(ZEQ_RUNTIME_DIR) + "/SceneLoader.so";
constexpr int kTangentsCheckBox = 1006;  // forces normals on
constexpr int kOkButton = 1003;

// A node record of a file as the comparison sees it.
struct NodeView {
    enum Category { Geometry, Directional, Omni, Spot };
    Category category = Geometry;
    std::string name;
    std::string parentName;    // name of the imported parent record, empty at the root
    bool placed = false;       // every ancestor is a record the importer builds
    bool hasTransform = false;
    Matrix3 world;
    const Zeq2Mesh* mesh = nullptr;  // meshes only
    const void* light = nullptr;     // lights only
};

struct FileView {
    SceneFile file;
    std::vector<NodeView> nodes;
};

struct RecordLink {
    std::optional<int64_t> parentId;
    Matrix3 local;
    bool imported = false;
    std::string name;
};

template <class R>
void collectLinks(std::map<int64_t, RecordLink>& links, const std::optional<TArray<R>>& list, bool imported) {
    if (!list) return;
    for (const R& r : *list)
        links[r.id] = {r.parentId, r.transform ? toMatrix3(*r.transform) : Matrix3(), imported, r.name.value_or("")};
}

// Views of the records the importer builds, with world transforms chained through every node
// record of the file (the exporter writes transforms relative to the parent).
FileView viewOf(SceneFile file) {
    FileView view{std::move(file), {}};
    const Zeq2& root = view.file.root;
    std::map<int64_t, RecordLink> links;
    collectLinks(links, root.joints, false);
    collectLinks(links, root.skins, false);
    collectLinks(links, root.sprites, false);
    collectLinks(links, view.file.extra2.lods, false);
    collectLinks(links, root.objects, true);
    collectLinks(links, root.meshes, true);
    collectLinks(links, root.directionalLights, true);
    collectLinks(links, root.omniLights, true);
    collectLinks(links, root.spotLights, true);

    auto add = [&](NodeView::Category category, const auto& record) -> NodeView& {
        const int64_t id = record.id;
        NodeView node;
        node.category = category;
        node.name = record.name.value_or("");
        node.hasTransform = record.transform.has_value();
        node.placed = true;
        node.world = links.at(id).local;
        std::optional<int64_t> up = links.at(id).parentId;
        if (up && links.count(*up)) node.parentName = links.at(*up).imported ? links.at(*up).name : "";
        for (int guard = 0; up && links.count(*up) && guard < 1000; ++guard) {
            const RecordLink& parent = links.at(*up);
            node.placed = node.placed && parent.imported;
            node.world = node.world * parent.local;
            up = parent.parentId;
        }
        view.nodes.push_back(node);
        return view.nodes.back();
    };
    for (const auto& r : *root.objects) add(NodeView::Geometry, r);
    for (const auto& r : *root.meshes) add(NodeView::Geometry, r).mesh = &r;
    for (const auto& r : *root.directionalLights) add(NodeView::Directional, r).light = &r;
    for (const auto& r : *root.omniLights) add(NodeView::Omni, r).light = &r;
    for (const auto& r : *root.spotLights) add(NodeView::Spot, r).light = &r;
    return view;
}

// Per-vertex values of one mesh, read through its attribute lists (32-bit data).
struct Corner {
    Point3 position;
    Point3 normal;
    std::vector<std::pair<float, float>> uv;
};

std::vector<Corner> cornersOf(const Zeq2& root, const Zeq2Mesh& mesh) {
    const Zeq2IndexBuffer* indices = nullptr;
    for (const auto& b : *root.indexBuffers)
        if (b.id == mesh.indexBufferId) indices = &b;
    std::vector<Corner> vertices;
    for (int32_t id : mesh.vertexBufferIds) {
        for (const auto& b : *root.vertexBuffers) {
            if (b.id != id) continue;
            vertices.resize(b.vertexCount);
            const int32_t stride = b.byteBuffer.length() / std::max<int32_t>(b.vertexCount, 1);
            auto at = [&](int32_t v, int32_t offset) {
                float f;
                std::memcpy(&f, b.byteBuffer.data() + v * stride + offset, 4);
                return f;
            };
            int32_t offset = 0;
            for (A kind : b.attributes) {
                for (int32_t v = 0; v < b.vertexCount; ++v) {
                    if (kind == A::POSITION) vertices[v].position = {at(v, offset), at(v, offset + 4), at(v, offset + 8)};
                    if (kind == A::NORMAL) vertices[v].normal = {at(v, offset), at(v, offset + 4), at(v, offset + 8)};
                    if (kind == A::TEXCOORDS) vertices[v].uv.push_back({at(v, offset), at(v, offset + 4)});
                }
                offset += vertexAttributeSize(kind, kMinorVersionFloat32);
            }
        }
    }
    std::vector<Corner> corners;
    if (!indices) return corners;
    for (int32_t i = 0; i < indices->indexCount / 3 * 3; ++i) {
        const uint16_t index = static_cast<uint16_t>(indices->byteBuffer.data()[2 * i] | (indices->byteBuffer.data()[2 * i + 1] << 8));
        corners.push_back(vertices.at(index));
    }
    return corners;
}

// The maps of a material, slot by slot, as (channel, image url); reflection is not imported.
std::vector<std::string> materialChain(const Zeq2& root, std::optional<int32_t> materialId) {
    std::vector<std::string> chain;
    if (!materialId) return {"no material"};
    const Zeq2Material* material = nullptr;
    for (const auto& m : *root.materials)
        if (m.id == *materialId) material = &m;
    if (!material) return {"missing material"};
    auto describe = [&](const char* slot, const std::optional<int32_t>& mapId) {
        if (!mapId) return;
        for (const auto& map : *root.maps) {
            if (map.id != *mapId) continue;
            for (const auto& image : *root.images)
                if (image.id == map.imageId) chain.push_back(std::string(slot) + " ch" + std::to_string(map.channel) + " " + image.url);
        }
    };
    describe("diffuse", material->diffuseMapId);
    describe("normal", material->normalMapId);
    describe("glossiness", material->glossinessMapId);
    describe("specular", material->specularMapId);
    describe("opacity", material->opacityMapId);
    describe("light", material->lightMapId);
    return chain;
}

class RoundTrip : public ImportTest {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kExporterPath)) {
            GTEST_SKIP() << "the exporter plug-in " << kExporterPath << " has not been built";
        }
        ASSERT_TRUE(std::filesystem::exists(kImporterPath)) << kImporterPath << " is built with the tests";
        ASSERT_TRUE(plugins_.loadLibrary(kExporterPath)) << plugins_.failures().back().reason;
        ASSERT_TRUE(plugins_.loadLibrary(kImporterPath)) << plugins_.failures().back().reason;
        for (const char* library : {"/ZeqLOD.so", "/Sprite.so"})
            ASSERT_TRUE(plugins_.loadLibrary(std::string(ZEQ_RUNTIME_DIR) + library)) << library;
    }

    // Exports the host's scene with normals and tangents and decodes the file.
    SceneFile exportFrom(headless::Host& host, const std::string& file) {
        host.setPlugins(&plugins_);
        host.ui().setProgressStream(nullptr);
        host.ui().queueDialog({headless::DialogStep::click(kTangentsCheckBox), headless::DialogStep::click(kOkButton)});
        const int result = host.exportFile(file);
        std::string messages;
        for (const auto& box : host.ui().messageBoxes()) messages += box.caption + ": " + box.text + "\n";
        EXPECT_EQ(result, IMPEXP_SUCCESS) << messages;
        return decodeSceneFile(readFileBytes(file));
    }

    // Exports the demo scene, imports the file into the fixture's host and exports that again.
    void runDemoRoundTrip() {
        {
            headless::Host demo;
            headless::buildDemoScene(demo);
            first_ = viewOf(exportFrom(demo, path("first.zeq")));
        }
        if (HasFailure()) return;
        host_.setPlugins(&plugins_);
        ASSERT_EQ(host_.importFile(path("first.zeq")), IMPEXP_SUCCESS) << warnings();
        second_ = viewOf(exportFrom(host_, path("second.zeq")));
    }

    // The node of the second file that matches `node` of the first: same category, name, parent
    // name and world transform.
    const NodeView* match(const NodeView& node, std::vector<bool>& used) {
        const Matrix3& expected = node.world;
        for (std::size_t i = 0; i < second_.nodes.size(); ++i) {
            const NodeView& other = second_.nodes[i];
            if (used[i] || other.category != node.category || other.name != node.name) continue;
            if (node.placed && (other.parentName != node.parentName || !matricesNear(other.world, expected, 1e-3f))) continue;
            // A mesh keeps its geometry.
            const bool hasFaces = node.mesh && !cornersOf(first_.file.root, *node.mesh).empty();
            if (hasFaces && (!other.mesh || cornersOf(second_.file.root, *other.mesh).empty())) continue;
            used[i] = true;
            return &other;
        }
        return nullptr;
    }

    headless::PluginRegistry plugins_;
    FileView first_;
    FileView second_;
};

TEST_F(RoundTrip, DemoSceneKeepsHierarchyTransformsGeometryMaterialsAndLights) {
    runDemoRoundTrip();
    if (HasFatalFailure() || HasFailure()) return;
    ASSERT_FALSE(first_.nodes.empty());
    ASSERT_EQ(first_.nodes.size(), second_.nodes.size());

    std::vector<bool> used(second_.nodes.size(), false);
    int meshesCompared = 0, lightsCompared = 0;
    for (const NodeView& node : first_.nodes) {
        const NodeView* other = match(node, used);
        ASSERT_NE(other, nullptr) << "no counterpart for \"" << node.name << "\" under \"" << node.parentName << "\"";

        if (node.mesh && other->mesh) {
            const std::vector<Corner> before = cornersOf(first_.file.root, *node.mesh);
            const std::vector<Corner> after = cornersOf(second_.file.root, *other->mesh);
            if (before.empty()) continue;
            ++meshesCompared;
            ASSERT_EQ(before.size(), after.size()) << node.name;
            for (std::size_t c = 0; c < before.size(); ++c) {
                EXPECT_EQ(before[c].position, after[c].position) << node.name << " corner " << c;
                EXPECT_NEAR((before[c].normal - after[c].normal).Length(), 0.0f, 1e-5f) << node.name << " corner " << c;
                ASSERT_EQ(before[c].uv.size(), after[c].uv.size()) << node.name;
                for (std::size_t ch = 0; ch < before[c].uv.size(); ++ch) {
                    EXPECT_NEAR(before[c].uv[ch].first, after[c].uv[ch].first, 1e-6f) << node.name << " corner " << c;
                    EXPECT_NEAR(before[c].uv[ch].second, after[c].uv[ch].second, 1e-6f) << node.name << " corner " << c;
                }
            }
            ASSERT_EQ(node.mesh->surfaces.size(), other->mesh->surfaces.size()) << node.name;
            for (std::size_t s = 0; s < node.mesh->surfaces.size(); ++s) {
                const Zeq2Surface& a = node.mesh->surfaces.items[s];
                const Zeq2Surface& b = other->mesh->surfaces.items[s];
                EXPECT_EQ(a.indexBegin, b.indexBegin) << node.name;
                EXPECT_EQ(a.numTriangles, b.numTriangles) << node.name;
                EXPECT_EQ(materialChain(first_.file.root, a.materialId), materialChain(second_.file.root, b.materialId))
                    << node.name << " surface " << s;
            }
        }
        if (node.category == NodeView::Spot) {
            ++lightsCompared;
            const auto& a = *static_cast<const Zeq2SpotLight*>(node.light);
            const auto& b = *static_cast<const Zeq2SpotLight*>(other->light);
            EXPECT_EQ(a.color, b.color);
            EXPECT_FLOAT_EQ(a.intensity, b.intensity);
            EXPECT_FLOAT_EQ(a.attenuationBegin, b.attenuationBegin);
            EXPECT_FLOAT_EQ(a.attenuationEnd, b.attenuationEnd);
            EXPECT_NEAR(a.hotspot, b.hotspot, 1e-5f);
            EXPECT_NEAR(a.falloff, b.falloff, 1e-5f);
        }
        if (node.category == NodeView::Omni) {
            ++lightsCompared;
            const auto& a = *static_cast<const Zeq2OmniLight*>(node.light);
            const auto& b = *static_cast<const Zeq2OmniLight*>(other->light);
            EXPECT_EQ(a.color, b.color);
            EXPECT_FLOAT_EQ(a.intensity, b.intensity);
            EXPECT_FLOAT_EQ(a.attenuationBegin, b.attenuationBegin);
            EXPECT_FLOAT_EQ(a.attenuationEnd, b.attenuationEnd);
        }
        if (node.category == NodeView::Directional) {
            ++lightsCompared;
            const auto& a = *static_cast<const Zeq2DirectionalLight*>(node.light);
            const auto& b = *static_cast<const Zeq2DirectionalLight*>(other->light);
            EXPECT_EQ(a.color, b.color);
            EXPECT_FLOAT_EQ(a.intensity, b.intensity);
        }
    }
    EXPECT_GT(meshesCompared, 0);
    EXPECT_EQ(lightsCompared, 3);

    // The ambient colour comes back as it was.
    ASSERT_TRUE(first_.file.root.ambientLights && second_.file.root.ambientLights);
    ASSERT_FALSE(first_.file.root.ambientLights->empty());
    EXPECT_EQ(first_.file.root.ambientLights->items[0].color, second_.file.root.ambientLights->items[0].color);
}

TEST_F(RoundTrip, DamagedExportsFailCleanly) {
    {
        headless::Host demo;
        headless::buildDemoScene(demo);
        exportFrom(demo, path("demo.zeq"));
    }
    const ByteBuffer bytes = readFileBytes(path("demo.zeq"));
    DamagedFileChecker checker(path("damaged.zeq"));
    for (int32_t length = 0; length < bytes.length(); ++length) {
        ByteBuffer cut;
        cut.appendFrom(bytes, 0, length);
        checker.check(cut, "truncated to " + std::to_string(length) + " bytes");
        if (HasFatalFailure()) return;
    }
    std::mt19937 random(99);
    for (int round = 0; round < 1000; ++round) {
        ByteBuffer damaged = bytes;
        corrupt(damaged, random);
        checker.check(damaged, "corruption round " + std::to_string(round));
        if (HasFatalFailure()) return;
    }
}

}  // namespace
}  // namespace zeq::test
