// Interchange benchmark: a glTF binary of about a million triangles in 20 meshes (gently curved
// grids with normals and one texture coordinate set), written with Assimp here. Measures
// `zeq export model.glb -o model.zeq` as a whole (the built zeq binary beside this program) against
// Assimp's own GLB → GLB conversion of the same file, prints the ratio (target: at most 1.5), and
// breaks the command's time down into reading the file, building the headless scene, the export
// work and the compression of the packet body.
#include "bench/ratio_reporter.h"
#include "tools/zeq/huge_pages.h"
#include "codec/deflate.h"
#include "export/export_plugin.h"
#include "export/options.h"
#include "format/file_io.h"
#include "format/scene_file.h"
#include "headless/foreign_scene.h"
#include "headless/host.h"

#include <assimp/Exporter.hpp>
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>
#include <zlib.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

constexpr int kMeshCount = 20;
constexpr int kGridQuads = 158;  // 158 × 158 quads = 49,928 triangles and 25,281 vertices per mesh
constexpr int kSide = kGridQuads + 1;

aiMesh* gridMesh(int i) {
    auto* mesh = new aiMesh();
    mesh->mName = aiString("Grid" + std::to_string(i));
    mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    mesh->mNumVertices = kSide * kSide;
    mesh->mVertices = new aiVector3D[mesh->mNumVertices];
    mesh->mNormals = new aiVector3D[mesh->mNumVertices];
    mesh->mNumUVComponents[0] = 2;
    mesh->mTextureCoords[0] = new aiVector3D[mesh->mNumVertices];
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const unsigned v = unsigned(y * kSide + x);
            const float fx = 0.1f * float(x + i), fy = 0.1f * float(y);
            mesh->mVertices[v] = aiVector3D(float(x), float(y), std::sin(fx) * std::cos(fy));
            aiVector3D n(-0.1f * std::cos(fx) * std::cos(fy), 0.1f * std::sin(fx) * std::sin(fy), 1.0f);
            mesh->mNormals[v] = n.Normalize();
            mesh->mTextureCoords[0][v] = aiVector3D(float(x) / kGridQuads, float(y) / kGridQuads, 0);
        }
    }
    mesh->mNumFaces = 2 * kGridQuads * kGridQuads;
    mesh->mFaces = new aiFace[mesh->mNumFaces];
    unsigned f = 0;
    for (int y = 0; y < kGridQuads; ++y) {
        for (int x = 0; x < kGridQuads; ++x) {
            const unsigned a = unsigned(y * kSide + x), b = a + 1, c = a + kSide + 1, d = a + kSide;
            for (const auto& corners : {std::array<unsigned, 3>{a, b, c}, std::array<unsigned, 3>{a, c, d}}) {
                aiFace& face = mesh->mFaces[f++];
                face.mNumIndices = 3;
                face.mIndices = new unsigned[3]{corners[0], corners[1], corners[2]};
            }
        }
    }
    return mesh;
}

struct BenchFiles {
    BenchFiles() {
        const std::string stem = (std::filesystem::temp_directory_path() /
                                  ("zeq_bench_interchange_" + std::to_string(::getpid())))
                                     .string();
        glb = stem + ".glb";
        zeq = stem + ".zeq";
        converted = stem + "_assimp.glb";

        aiScene scene;
        scene.mRootNode = new aiNode("Root");
        scene.mNumMeshes = kMeshCount;
        scene.mMeshes = new aiMesh*[kMeshCount];
        scene.mRootNode->mNumChildren = kMeshCount;
        scene.mRootNode->mChildren = new aiNode*[kMeshCount];
        for (int i = 0; i < kMeshCount; ++i) {
            scene.mMeshes[i] = gridMesh(i);
            auto* node = new aiNode("Grid" + std::to_string(i));
            node->mParent = scene.mRootNode;
            node->mTransformation = aiMatrix4x4::Translation(aiVector3D(float(i) * 170.0f, 0, 0), node->mTransformation);
            node->mNumMeshes = 1;
            node->mMeshes = new unsigned[1]{unsigned(i)};
            scene.mRootNode->mChildren[i] = node;
        }
        auto* material = new aiMaterial();
        const aiString name("Ground"), file("ground.png");
        material->AddProperty(&name, AI_MATKEY_NAME);
        material->AddProperty(&file, AI_MATKEY_TEXTURE(aiTextureType_DIFFUSE, 0));
        scene.mNumMaterials = 1;
        scene.mMaterials = new aiMaterial*[1]{material};
        Assimp::Exporter exporter;
        if (exporter.Export(&scene, "glb2", glb) != AI_SUCCESS) {
            std::fprintf(stderr, "cannot write %s: %s\n", glb.c_str(), exporter.GetErrorString());
            std::exit(1);
        }

        char self[4096];
        const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
        self[n > 0 ? n : 0] = '\0';
        zeqBinary = (std::filesystem::path(self).parent_path() / "zeq").string();
    }
    ~BenchFiles() {
        std::remove(glb.c_str());
        std::remove(zeq.c_str());
        std::remove(converted.c_str());
    }

    std::string glb, zeq, converted, zeqBinary;
};

BenchFiles& files() {
    static BenchFiles bench;
    return bench;
}

// The whole command, as a user runs it.
void BM_ZeqExportCommand(benchmark::State& state) {
    BenchFiles& f = files();
    const std::string command = "'" + f.zeqBinary + "' export '" + f.glb + "' -o '" + f.zeq + "' --normals 2>/dev/null";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError("zeq export failed");
}
BENCHMARK(BM_ZeqExportCommand)->Unit(benchmark::kMillisecond)->UseRealTime();

// Assimp reading and writing the same file, the reference. Each conversion starts as the command
// does, in a new process: the memory the one before freed is handed back to the system first, so
// that Assimp does not build its scene in pages an earlier conversion left mapped (where first
// touching a page is dear, as in virtual machines, that alone makes it a third faster).
void BM_AssimpGlbToGlb(benchmark::State& state) {
    BenchFiles& f = files();
    malloc_trim(0);
    for (auto _ : state) {
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(f.glb, 0);
        Assimp::Exporter exporter;
        if (scene == nullptr || exporter.Export(scene, "glb2", f.converted) != AI_SUCCESS)
            state.SkipWithError("Assimp's conversion failed");
        state.PauseTiming();
        malloc_trim(0);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AssimpGlbToGlb)->Unit(benchmark::kMillisecond)->UseRealTime();

// The parts of the command: Assimp reading the file, triangulated only (the loader's other
// post-processing steps, joining vertices and making normals among them, count in scene building) ...
void BM_PartRead(benchmark::State& state) {
    BenchFiles& f = files();
    for (auto _ : state) {
        Assimp::Importer importer;
        if (importer.ReadFile(f.glb, aiProcess_Triangulate) == nullptr) state.SkipWithError("read failed");
    }
}
BENCHMARK(BM_PartRead)->Unit(benchmark::kMillisecond)->UseRealTime();

// ... reading and building the headless scene (scene building is this less the read; it includes
// the loader's post-processing and the hand-over of the scene from the reading process) ...
void BM_PartReadAndBuild(benchmark::State& state) {
    BenchFiles& f = files();
    for (auto _ : state) {
        auto host = std::make_unique<headless::Host>();
        headless::loadForeignScene(*host, f.glb);
        state.PauseTiming();
        host.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PartReadAndBuild)->Unit(benchmark::kMillisecond)->UseRealTime();

// ... the export plug-in on the built scene, compression included ...
void BM_PartExport(benchmark::State& state) {
    BenchFiles& f = files();
    headless::Host host;
    host.ui().setProgressStream(nullptr);
    headless::loadForeignScene(host, f.glb);
    for (auto _ : state) {
        zeq::exportOptions() = zeq::ExportOptions{};
        zeq::exportOptions().normals = true;
        const int result = host.exportFile(zeq::GetExportClassDesc(), f.zeq, true);
        if (result != IMPEXP_SUCCESS || !std::filesystem::exists(f.zeq)) {
            std::fprintf(stderr, "export result %d, %zu dialogs\n", result, host.ui().dialogs().size());
            for (const headless::MessageBoxRecord& box : host.ui().messageBoxes())
                std::fprintf(stderr, "%s: %s\n", box.caption.c_str(), box.text.c_str());
            state.SkipWithError("export failed");
            break;
        }
    }
}
BENCHMARK(BM_PartExport)->Unit(benchmark::kMillisecond)->UseRealTime();

// ... and the compression of the packet body it writes, as the packet writer does it (libdeflate
// at zlib's default level, on the calling thread); export work is the export less this.
void BM_PartCompress(benchmark::State& state) {
    BenchFiles& f = files();
    {
        headless::Host host;
        host.ui().setProgressStream(nullptr);
        headless::loadForeignScene(host, f.glb);
        zeq::exportOptions() = zeq::ExportOptions{};
        zeq::exportOptions().normals = true;
        host.exportFile(zeq::GetExportClassDesc(), f.zeq, true);
    }
    if (!std::filesystem::exists(f.zeq)) {
        state.SkipWithError("export failed");
        return;
    }
    zeq::ByteBuffer packet = zeq::readFileBytes(f.zeq);
    zeq::PacketInfo info;
    zeq::decodeSceneFile(packet, &info);
    const int header = (packet.data()[0] & 0x80) ? 4 : 2;
    std::vector<Bytef> body(static_cast<size_t>(info.inflatedBytes));
    uLongf length = static_cast<uLongf>(body.size());
    if (uncompress(body.data(), &length, packet.data() + header, uLong(packet.length() - header)) != Z_OK)
        state.SkipWithError("inflate failed");
    std::vector<Bytef> out(zeq::zlibCompressBound(length));
    for (auto _ : state) {
        if (zeq::zlibCompress(body.data(), length, out.data(), out.size()) == 0) state.SkipWithError("compress failed");
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_PartCompress)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    zeq::cli::restartInHugePages(argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    files();  // written before any timing
    zeq::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const std::string reference = "BM_AssimpGlbToGlb/real_time";
    if (const auto r = reporter.ratio("BM_ZeqExportCommand/real_time", reference))
        std::printf("zeq export model.glb / Assimp glb -> glb: %.2f (target: at most 1.50)\n", *r);
    const auto read = reporter.ratio("BM_PartRead/real_time", reference);
    const auto build = reporter.ratio("BM_PartReadAndBuild/real_time", reference);
    const auto exportAll = reporter.ratio("BM_PartExport/real_time", reference);
    const auto compress = reporter.ratio("BM_PartCompress/real_time", reference);
    if (read && build && exportAll && compress) {
        std::printf("breakdown, each against Assimp's conversion: read %.2f, scene building %.2f, export work %.2f, "
                    "compression %.2f (in-process total %.2f)\n",
                    *read, *build - *read, *exportAll - *compress, *compress, *build + *exportAll);
    }
    benchmark::Shutdown();
    return 0;
}
