// Scenes out to foreign files and back through the built binary: Zeq → foreign file → Zeq keeps
// every triangle corner, the hierarchy, the material → map → image chain and, where the format
// carries them, the lights; bad inputs and outputs end with one line and leave no file.
#include "tools/zeq/inspect_load.h"
#include "tools/zeq/inspect_vertices.h"
#include "support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <tuple>

namespace zeq::test {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// Position, normal and first texture coordinates of one triangle corner.
using Corner = std::array<float, 8>;
using Triangle = std::array<Corner, 3>;

struct SceneFacts {
    std::map<std::string, std::vector<Triangle>> triangles;  // by mesh or skin name, sorted
    std::set<std::pair<std::string, std::string>> parents;   // (node, parent) by name
    // By mesh name: (triangles, diffuse image and channel, normal image) of every surface.
    std::map<std::string, std::multiset<std::tuple<int, std::string, int, std::string>>> materials;
    std::set<std::pair<std::string, std::string>> lights;  // (kind, name)
};

template <typename Record>
std::string nameOf(const Record& record) {
    return record.name.value_or("");
}

SceneFacts factsOf(const std::string& path) {
    const inspect::LoadedScene loaded = inspect::loadScene(path);
    const Zeq2& root = loaded.file.root;
    const uint16_t minor = loaded.file.minorVersion;
    SceneFacts facts;

    // A node whose object sits away from its pivot is a plain object with a content record of its
    // name below it, whose transform is the offset. Foreign files hold one node with the offset baked
    // into the vertices: so does the pair here.
    std::map<int64_t, std::string> plainObjects;
    if (root.objects)
        for (const auto& object : *root.objects) plainObjects[object.id] = nameOf(object);
    auto pivotOffsetOf = [&](const auto& record) -> const Zeq2Transform* {
        const auto holder = record.parentId ? plainObjects.find(*record.parentId) : plainObjects.end();
        return holder != plainObjects.end() && holder->second == nameOf(record) && record.transform
                   ? &*record.transform
                   : nullptr;
    };
    std::map<int64_t, std::string> names;
    std::vector<std::pair<std::string, std::optional<int64_t>>> nodes;
    auto note = [&](const auto& list) {
        if (!list) return;
        for (const auto& record : *list) {
            names[record.id] = nameOf(record);
            if (!pivotOffsetOf(record)) nodes.emplace_back(nameOf(record), record.parentId);
        }
    };
    note(root.objects);
    note(root.meshes);
    note(root.joints);
    note(root.skins);
    // LOD groups do not travel through foreign files: their levels come back as plain children of the
    // group's node, so where a level hangs is not compared.
    std::set<int64_t> levels;
    if (loaded.file.extra2.lods)
        for (const Zeq2LOD& lod : *loaded.file.extra2.lods) levels.insert(lod.objectIds.begin(), lod.objectIds.end());
    std::set<std::string> levelNames;
    for (int64_t id : levels) levelNames.insert(names[id]);
    for (const auto& [name, parent] : nodes)
        if (!levelNames.count(name)) facts.parents.emplace(name, parent ? names[*parent] : "");
    auto noteLights = [&](const char* kind, const auto& list) {
        if (list)
            for (const auto& light : *list) facts.lights.emplace(kind, nameOf(light));
    };
    noteLights("omni", root.omniLights);
    noteLights("spot", root.spotLights);
    noteLights("directional", root.directionalLights);

    std::map<int32_t, const Zeq2VertexBuffer*> vertexBuffers;
    std::map<int32_t, const Zeq2IndexBuffer*> indexBuffers;
    if (root.vertexBuffers)
        for (const auto& b : *root.vertexBuffers) vertexBuffers[b.id] = &b;
    if (root.indexBuffers)
        for (const auto& b : *root.indexBuffers) indexBuffers[b.id] = &b;
    std::map<int32_t, std::pair<std::string, int>> maps;  // map id -> (image url, channel)
    std::map<int32_t, std::string> images;
    if (root.images)
        for (const auto& image : *root.images) images[image.id] = image.url;
    if (root.maps)
        for (const auto& map : *root.maps) maps[map.id] = {images[map.imageId], map.channel};
    std::map<int32_t, const Zeq2Material*> materials;
    if (root.materials)
        for (const auto& material : *root.materials) materials[material.id] = &material;

    auto addGeometry = [&](const std::string& name, int32_t indexBufferId, const TArray<int32_t>& bufferIds,
                           const TArray<Zeq2Surface>& surfaces, const Zeq2Transform* offset) {
        std::vector<Triangle>& out = facts.triangles[name];
        const Zeq2IndexBuffer* indices = indexBuffers.at(indexBufferId);
        // Position, normal and first texture coordinates, from whichever buffer holds them.
        struct Column {
            inspect::VertexView view;
            int slot = -1;
        } columns[3];
        for (int32_t id : bufferIds) {
            inspect::VertexView view;
            std::string why;
            ASSERT_TRUE(inspect::viewVertexBuffer(*vertexBuffers.at(id), minor, view, why)) << why;
            for (size_t s = 0; s < view.layout.slots.size(); ++s) {
                const Zeq2VertexAttributes kind = view.layout.slots[s].kind;
                const int column = kind == Zeq2VertexAttributes::POSITION    ? 0
                                   : kind == Zeq2VertexAttributes::NORMAL    ? 1
                                   : kind == Zeq2VertexAttributes::TEXCOORDS ? 2
                                                                             : -1;
                if (column >= 0 && columns[column].slot < 0) columns[column] = {view, static_cast<int>(s)};
            }
        }
        const int widths[3] = {3, 3, 2};
        for (int64_t t = 0; t < inspect::storedIndexCount(*indices) / 3; ++t) {
            Triangle triangle{};
            for (int k = 0; k < 3; ++k) {
                const uint16_t v = inspect::storedIndex(*indices, 3 * t + k);
                int at = 0;
                for (int c = 0; c < 3; ++c)
                    for (int i = 0; i < widths[c]; ++i, ++at)
                        triangle[k][at] = columns[c].slot < 0 ? 0.0f
                                          : columns[c].view.value(v, columns[c].view.layout.slots[columns[c].slot], i);
                if (!offset) continue;
                // Rows (a b c d), (e f g h), (i j k l): positions move, normals turn.
                const ZeqMatrix& m = offset->matrix;
                const float rows[3][4] = {{m.a, m.b, m.c, m.d}, {m.e, m.f, m.g, m.h}, {m.i, m.j, m.k, m.l}};
                const Corner corner = triangle[k];
                for (int r = 0; r < 3; ++r) {
                    triangle[k][r] = rows[r][0] * corner[0] + rows[r][1] * corner[1] + rows[r][2] * corner[2] + rows[r][3];
                    triangle[k][3 + r] = rows[r][0] * corner[3] + rows[r][1] * corner[4] + rows[r][2] * corner[5];
                }
            }
            out.push_back(triangle);
        }
        std::sort(out.begin(), out.end());
        for (const Zeq2Surface& surface : surfaces) {
            std::string diffuse, normal;
            int channel = 0;
            if (surface.materialId && materials.count(*surface.materialId)) {
                const Zeq2Material& material = *materials[*surface.materialId];
                if (material.diffuseMapId) std::tie(diffuse, channel) = maps[*material.diffuseMapId];
                if (material.normalMapId) normal = maps[*material.normalMapId].first;
            }
            if (surface.numTriangles > 0) facts.materials[name].emplace(surface.numTriangles, diffuse, channel, normal);
        }
    };
    if (root.meshes)
        for (const auto& mesh : *root.meshes)
            addGeometry(nameOf(mesh), mesh.indexBufferId, mesh.vertexBufferIds, mesh.surfaces, pivotOffsetOf(mesh));
    if (root.skins)
        for (const auto& skin : *root.skins)
            addGeometry(nameOf(skin), skin.indexBufferId, skin.vertexBufferIds, skin.surfaces, pivotOffsetOf(skin));
    return facts;
}

// The foreign writer keeps node names unique ("Pedestal", "Pedestal_2"); back to the names of the
// reference so that the two scenes compare.
std::string baseName(const std::string& name, const SceneFacts& reference) {
    const size_t cut = name.find_last_of('_');
    if (cut == std::string::npos || cut + 1 == name.size() ||
        name.find_first_not_of("0123456789", cut + 1) != std::string::npos)
        return name;
    const std::string base = name.substr(0, cut);
    return reference.triangles.count(base) || std::any_of(reference.parents.begin(), reference.parents.end(),
                                                           [&](const auto& p) { return p.first == base; })
               ? base
               : name;
}

SceneFacts withBaseNames(const SceneFacts& facts, const SceneFacts& reference) {
    SceneFacts result;
    for (const auto& [name, triangles] : facts.triangles) {
        std::vector<Triangle>& merged = result.triangles[baseName(name, reference)];
        merged.insert(merged.end(), triangles.begin(), triangles.end());
    }
    for (const auto& [node, parent] : facts.parents)
        result.parents.emplace(baseName(node, reference), baseName(parent, reference));
    for (const auto& [name, surfaces] : facts.materials)
        result.materials[baseName(name, reference)].insert(surfaces.begin(), surfaces.end());
    result.lights = facts.lights;
    return result;
}

bool closeCorners(const Triangle& a, const Triangle& b) {
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 8; ++i)
            if (std::fabs(a[k][i] - b[k][i]) > 1e-5f * std::max(1.0f, std::fabs(a[k][i]))) return false;
    return true;
}

class Interchange : public ::testing::Test {
protected:
    ScratchDir scratch;

    void run(const std::string& arguments) {
        const RunResult result = runZeq(arguments, scratch);
        ASSERT_EQ(result.status, 0) << arguments << "\n" << result.err;
    }
};

TEST_F(Interchange, ZeqThroughForeignFilesAndBackKeepsCornersHierarchyMaterialsAndLights) {
    const std::string demo = scratch.file("demo.json");
    const std::string zeq = scratch.file("demo.zeq");
    const std::string imported = scratch.file("imported.json");
    const std::string reference = scratch.file("reference.zeq");
    run("scene demo -o " + quoted(demo));
    run("export " + quoted(demo) + " -o " + quoted(zeq) + " --normals");
    // Zeq → scene → Zeq without a foreign file: what the foreign leg must keep.
    run("import " + quoted(zeq) + " -o " + quoted(imported));
    run("export " + quoted(imported) + " -o " + quoted(reference) + " --normals");
    const SceneFacts expected = factsOf(reference);
    ASSERT_FALSE(expected.triangles.empty());
    ASSERT_FALSE(expected.lights.empty());

    struct Case {
        std::string extension;
        std::vector<std::string> companions;  // files written beside the main one
        bool lights;
    };
    for (const Case& c : {Case{"glb", {}, false}, Case{"gltf", {"foreign.bin"}, false}, Case{"dae", {}, true}}) {
        SCOPED_TRACE(c.extension);
        const std::string foreign = scratch.file("foreign." + c.extension);
        const std::string back = scratch.file("back-" + c.extension + ".json");
        const std::string again = scratch.file("back-" + c.extension + ".zeq");
        run("import " + quoted(zeq) + " -o " + quoted(foreign));
        for (const std::string& companion : c.companions)
            EXPECT_TRUE(std::filesystem::exists(scratch.file(companion))) << companion;
        run("scene convert " + quoted(foreign) + " -o " + quoted(back));
        run("export " + quoted(back) + " -o " + quoted(again) + " --normals");
        const SceneFacts actual = withBaseNames(factsOf(again), expected);

        for (const auto& [name, triangles] : expected.triangles) {
            if (triangles.empty()) continue;  // a mesh without faces has nothing to write
            ASSERT_TRUE(actual.triangles.count(name)) << name;
            const std::vector<Triangle>& got = actual.triangles.at(name);
            ASSERT_EQ(got.size(), triangles.size()) << name;
            for (const Triangle& t : triangles)
                EXPECT_TRUE(std::any_of(got.begin(), got.end(), [&](const Triangle& g) { return closeCorners(t, g); }))
                    << name << ": a triangle corner changed";
        }
        // Names come back as written (Collada's by their name attributes, not their XML ids).
        for (const auto& parent : expected.parents)
            EXPECT_TRUE(actual.parents.count(parent)) << parent.first << " under " << parent.second;
        for (const auto& [name, surfaces] : expected.materials)
            if (!expected.triangles.at(name).empty()) {
                EXPECT_EQ(actual.materials.at(name), surfaces) << name;
            }
        if (c.lights) {
            EXPECT_EQ(actual.lights, expected.lights);
        }
        // A sprite, whose rectangle faces the viewer, and the LOD helper, whose mesh is its viewport
        // icon, are written as plain nodes; so too when the document goes to the foreign file directly.
        const std::string direct = scratch.file("direct." + c.extension);
        run("scene convert " + quoted(demo) + " -o " + quoted(direct));
        run("scene convert " + quoted(direct) + " -o " + quoted(back));
        run("export " + quoted(back) + " -o " + quoted(again));
        for (const SceneFacts& facts : {actual, factsOf(again)}) {
            for (const char* name : {"TreeLOD", "Flare"}) EXPECT_EQ(facts.triangles.count(name), 0u) << name;
        }
    }
}

TEST_F(Interchange, BadInputsAndOutputsEndWithOneLineAndNoFile) {
    const std::string demo = scratch.file("demo.json");
    run("scene demo -o " + quoted(demo));
    const std::string zeq = scratch.file("demo.zeq");
    run("export " + quoted(demo) + " -o " + quoted(zeq));
    const std::string glb = scratch.file("good.glb");
    run("scene convert " + quoted(demo) + " -o " + quoted(glb));
    const std::string text = readText(glb);
    const std::string truncated = scratch.file("truncated.glb");
    writeBytes(truncated, reinterpret_cast<const uint8_t*>(text.data()), text.size() / 2);
    const std::string garbage = scratch.file("garbage.gltf");
    writeBytes(garbage, reinterpret_cast<const uint8_t*>("{\"asset\": 12"), 12);

    // A Zeq file named like the buffer of the glTF file it is imported to, and an existing glTF
    // buffer whose main file cannot be written (a link into a missing folder): neither may be replaced.
    const std::string companionInput = scratch.file("t.bin");
    std::filesystem::copy_file(zeq, companionInput);
    const std::string oldBuffer = scratch.file("pair.bin");
    writeText(oldBuffer, "old buffer");
    std::filesystem::create_symlink("missing/pair.gltf", scratch.file("pair.gltf"));

    struct Case {
        std::string arguments;
        std::string output;  // must not exist afterwards
        int status;
        std::string message;  // part of the one line
    };
    const std::string out = scratch.file("out");
    const Case cases[] = {
        {"import " + quoted(zeq) + " -o " + quoted(out + ".xyz"), out + ".xyz", 2, "writable: json, gltf, glb, dae, obj, fbx"},
        {"scene convert " + quoted(demo) + " -o " + quoted(out), out, 2, "cannot write files without an extension"},
        {"scene convert " + quoted(scratch.file("in.xyz")) + " -o " + quoted(out + ".json"), out + ".json", 2,
         "readable: json, "},
        {"export " + quoted(demo) + " -o " + quoted(out + ".glb"), out + ".glb", 2,
         "export writes Zeq files; \".glb\" files are written by 'zeq import'"},
        {"scene convert " + quoted(scratch.file("missing.glb")) + " -o " + quoted(out + ".json"), out + ".json", 1,
         "missing.glb: "},
        {"scene convert " + quoted(truncated) + " -o " + quoted(out + ".json"), out + ".json", 1, "truncated.glb: "},
        {"scene convert " + quoted(garbage) + " -o " + quoted(out + ".glb"), out + ".glb", 1, "garbage.gltf: "},
        {"scene convert " + quoted(demo) + " -o " + quoted(scratch.file("no/such/dir/out.gltf")),
         scratch.file("no/such/dir/out.bin"), 1, "No such file or directory"},
        {"import " + quoted(companionInput) + " -o " + quoted(scratch.file("t.gltf")), scratch.file("t.gltf"), 1,
         "t.bin: is the input file too"},
        {"import " + quoted(zeq) + " -o " + quoted(scratch.file("pair.gltf")), out + ".gltf", 1,
         "pair.gltf: cannot write: No such file or directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const RunResult result = runZeq(c.arguments, scratch);
        EXPECT_EQ(result.status, c.status) << result.err;
        EXPECT_THAT(result.err, StartsWith("zeq: "));
        EXPECT_THAT(result.err, HasSubstr(c.message));
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_FALSE(std::filesystem::exists(c.output));
    }
    EXPECT_EQ(readText(companionInput), readText(zeq));
    EXPECT_EQ(readText(oldBuffer), "old buffer");
    // A failed write leaves no companion or temporary file behind.
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(out).parent_path()))
        EXPECT_THAT(entry.path().filename().string(), ::testing::Not(HasSubstr(".tmp"))) << entry.path();
}

}  // namespace
}  // namespace zeq::test
