// `zeq export` and `zeq formats` on models of other tools: the exit statuses and single error
// lines of bad input (the corpus's deliberately broken files, a cut-short .glb, a .gltf whose
// buffer is missing, an unknown extension), and embedded textures written beside the output.
#include "../tools/support.h"
#include "tools/zeq/inspect_load.h"
#include "tools/zeq/inspect_validate.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using namespace zeq::test;
using ::testing::HasSubstr;
using ::testing::StartsWith;

const fs::path kCorpus = "/usr/share/assimp/models";

std::size_t lines(const std::string& text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')); }

TEST(ModelExport, UnknownExtensionIsAUsageErrorListingTheFormats) {
    ScratchDir scratch;
    writeBytes(scratch.file("model.xyzzy"), std::vector<uint8_t>{1, 2, 3});
    const RunResult run = runZeq("export " + quoted(scratch.file("model.xyzzy")) + " -o " + quoted(scratch.file("o.zeq")), scratch);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(lines(run.err), 1u) << run.err;
    EXPECT_THAT(run.err, HasSubstr("(readable: json, "));
    EXPECT_THAT(run.err, HasSubstr(", glb, "));
    EXPECT_FALSE(fs::exists(scratch.file("o.zeq")));

    const RunResult formats = runZeq("formats", scratch);
    EXPECT_EQ(formats.status, 0);
    EXPECT_THAT(readText(scratch.file("stdout.txt")), HasSubstr("read:"));
    EXPECT_THAT(readText(scratch.file("stdout.txt")), HasSubstr(" .fbx"));
}

// Broken models end in exit status 1 and one line naming them, and no file is written. The
// corpus's invalid/ folder holds files that once crashed readers: each converts or is refused that
// way, within the time limit of runZeq (OutOfMemory.off declares billions of vertices; the reader's
// memory bound makes it fail fast, but that bound is off under the address sanitizer).
TEST(ModelExport, BrokenModelsAreRefusedInOneLine) {
    ScratchDir scratch;
    std::vector<std::pair<std::string, bool>> models;  // the model, and whether it must be refused
    // A binary glTF whose header promises more than the file holds.
    std::vector<uint8_t> glb = {'g', 'l', 'T', 'F', 2, 0, 0, 0, 0, 0x10, 0, 0, 0x40, 0, 0, 0, 'J', 'S', 'O', 'N', '{', '"'};
    writeBytes(scratch.file("cut.glb"), glb);
    models.emplace_back(scratch.file("cut.glb"), true);
    const std::string missing = R"({"asset":{"version":"2.0"},"buffers":[{"byteLength":36,"uri":"gone.bin"}],
        "bufferViews":[{"buffer":0,"byteLength":36}],
        "accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3","min":[0,0,0],"max":[1,1,0]}],
        "meshes":[{"primitives":[{"attributes":{"POSITION":0}}]}],"nodes":[{"mesh":0}],"scenes":[{"nodes":[0]}],"scene":0})";
    writeBytes(scratch.file("missing.gltf"), std::vector<uint8_t>(missing.begin(), missing.end()));
    models.emplace_back(scratch.file("missing.gltf"), true);
    models.emplace_back(scratch.file("absent.fbx"), true);
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(kCorpus / "invalid", ec)) {
#if defined(__SANITIZE_ADDRESS__)
        if (entry.path().filename() == "OutOfMemory.off") continue;
#endif
        if (entry.is_regular_file() && entry.path().extension() != ".txt") models.emplace_back(entry.path().string(), false);
    }
    for (const auto& [model, refused] : models) {
        const RunResult run = runZeq("export " + quoted(model) + " -o " + quoted(scratch.file("out.zeq")), scratch);
        if (run.status == 0 && !refused) {
            fs::remove(scratch.file("out.zeq"));
            continue;
        }
        EXPECT_EQ(run.status, 1) << model << ": " << run.err;
        EXPECT_EQ(lines(run.err), 1u) << run.err;
        EXPECT_THAT(run.err, StartsWith("zeq: " + model + ": ")) << run.err;
        EXPECT_FALSE(fs::exists(scratch.file("out.zeq"))) << model;
    }
}

// A grid of 261 × 261 vertices passes the 16-bit vertex limit: it exports in pieces, with one
// warning line, and every triangle arrives.
TEST(ModelExport, LargeMeshIsCutBelowTheVertexLimit) {
    ScratchDir scratch;
    constexpr int n = 260;
    {
        std::ofstream obj(scratch.file("grid.obj"));
        for (int i = 0; i <= n; ++i)
            for (int j = 0; j <= n; ++j) obj << "v " << i << ' ' << j << " 0\n";
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                const int a = i * (n + 1) + j + 1;
                obj << "f " << a << ' ' << a + 1 << ' ' << a + n + 2 << ' ' << a + n + 1 << '\n';
            }
    }
    const RunResult run = runZeq("export " + quoted(scratch.file("grid.obj")) + " -o " + quoted(scratch.file("grid.zeq")), scratch);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(lines(run.err), 1u) << run.err;
    EXPECT_THAT(run.err, HasSubstr("cut into pieces"));
    const auto loaded = zeq::inspect::loadScene(scratch.file("grid.zeq"));
    EXPECT_EQ(zeq::inspect::validateScene(loaded.file).errors, 0);
    int64_t triangles = 0;
    ASSERT_TRUE(loaded.file.root.indexBuffers);
    for (const auto& buffer : *loaded.file.root.indexBuffers) triangles += buffer.indexCount / 3;
    EXPECT_EQ(triangles, 2 * n * n);
    EXPECT_GE(loaded.file.root.indexBuffers->size(), 2u);
}

TEST(ModelExport, EmbeddedTexturesAreWrittenBesideTheOutput) {
    const fs::path model = kCorpus / "glTF2/BoxTextured-glTF-Binary/BoxTextured.glb";
    if (!fs::exists(model)) GTEST_SKIP() << "the model corpus is not installed";
    ScratchDir scratch;
    const RunResult run = runZeq("export " + quoted(model.string()) + " -o " + quoted(scratch.file("box.zeq")), scratch);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::exists(scratch.file("box_0.png")));
    const RunResult dump = runZeq("dump " + quoted(scratch.file("box.zeq")), scratch);
    EXPECT_THAT(readText(scratch.file("stdout.txt")), HasSubstr("box_0.png"));
    (void)dump;

    // A texture that cannot be written fails the export before the Zeq file replaces the old one.
    writeText(scratch.file("taken.zeq"), "old");
    fs::create_directory(scratch.file("taken_0.png"));
    const RunResult taken = runZeq("export " + quoted(model.string()) + " -o " + quoted(scratch.file("taken.zeq")), scratch);
    EXPECT_EQ(taken.status, 1);
    EXPECT_EQ(taken.err, "zeq: " + scratch.file("taken_0.png") + ": embedded texture: is a directory, not a file\n");
    EXPECT_EQ(readText(scratch.file("taken.zeq")), "old");
    // Standard output takes the Zeq file alone: the textures are named in a warning.
    const RunResult piped = runZeq("export " + quoted(model.string()) + " -o -", scratch);
    EXPECT_EQ(piped.status, 0);
    EXPECT_THAT(piped.err, HasSubstr("1 embedded texture not written"));
    // So does a descriptor named as a path: there is no folder beside it.
    const RunResult descriptor = runZeq("export " + quoted(model.string()) + " -o /dev/fd/1", scratch);
    EXPECT_EQ(descriptor.status, 0) << descriptor.err;
    EXPECT_THAT(descriptor.err, HasSubstr("/dev/fd/1 takes the Zeq file alone"));

    // Converted to a scene document, the textures go beside it; when the document cannot be
    // written, an existing texture of that name is left as it was.
    const RunResult converted = runZeq("scene convert " + quoted(model.string()) + " -o " + quoted(scratch.file("doc.json")), scratch);
    EXPECT_EQ(converted.status, 0) << converted.err;
    EXPECT_TRUE(fs::exists(scratch.file("doc_0.png")));
    writeText(scratch.file("dir_0.png"), "old");
    fs::create_directory(scratch.file("dir.json"));
    const RunResult refused = runZeq("scene convert " + quoted(model.string()) + " -o " + quoted(scratch.file("dir.json")), scratch);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(readText(scratch.file("dir_0.png")), "old");
}


// A model's export, imported and exported again, gives the same records (ids may be renumbered):
// the skinned, animated models and models with lights, cameras and several materials. Numbers come
// back to the bit, but the bind matrices of skins, which the host holds inverted (within 1e-4).
TEST(ModelExport, ExportImportExportKeepsEveryRecord) {
    const std::pair<const char*, bool> models[] = {  // (model, bind matrices that invert exactly)
        {"glTF2/simple_skin/simple_skin.gltf", true}, {"FBX/huesitos.fbx", false}, {"Collada/lights.dae", true},
        {"Collada/cameras.dae", true}, {"OBJ/spider.obj", true},
        // Nodes below turned parents, and a skin whose matrix makes zeros of its normals' signs.
        {"Collada/anims_with_full_rotations_between_keys.DAE", true}, {"X/test_cube_text.x", true}};
    for (const auto& [model, exact] : models) {
        SCOPED_TRACE(model);
        if (!fs::exists(kCorpus / model)) continue;
        ScratchDir scratch;
        const std::string first = scratch.file("first.zeq");
        const std::string document = scratch.file("back.json");
        const std::string second = scratch.file("second.zeq");
        for (const std::string& step :
             {"export " + quoted((kCorpus / model).string()) + " -o " + quoted(first) + " --normals --animation",
              "import " + quoted(first) + " -o " + quoted(document),
              "export " + quoted(document) + " -o " + quoted(second) + " --normals --animation"}) {
            const RunResult run = runZeq(step, scratch);
            ASSERT_EQ(run.status, 0) << step << "\n" << run.err;
        }
        const std::string tolerance = exact ? "" : " --tolerance 1e-4";
        const RunResult diff = runZeq("diff " + quoted(first) + " " + quoted(second) + tolerance, scratch);
        EXPECT_EQ(diff.status, 0) << readText(scratch.file("stdout.txt"));
    }
}

}  // namespace
