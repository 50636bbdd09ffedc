// Scene-document benchmark on a scene of a million triangles: 20 meshes of 50,000 triangles with
// normals and one texture channel, imported from a Zeq file into a headless host. Measures, in one
// run:
// - loading the saved document into a fresh headless scene, against nlohmann::json parsing the
//   same text into its DOM (target: at most 0.3); each load and parse starts as in a new process,
//   with the memory of the one before handed back to the system (malloc_trim), since a parse into
//   pages an earlier one left mapped is up to twice as fast where first touching a page is dear
//   (virtual machines), and only nlohmann's DOM, made of small blocks, would get them;
// - saving the imported scene as a document (captured and written, the bytes handed to a sink that
//   drops them), against zlib's compress of the Zeq body at the default level (target: at most 1);
// - the saved document's size against the same content written compactly (target: at most 1.5).
#include "bench/grid_records.h"
#include "bench/ratio_reporter.h"
#include "tools/zeq/huge_pages.h"
#include "format/scene_file.h"
#include "headless/host.h"
#include "headless/scene_document.h"
#include "headless/scene_document_model.h"
#include "host/output_file.h"
#include "import/zeq_import.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <nlohmann/json.hpp>
#include <simdjson.h>
#include <unistd.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace {

using bench::appendFloats;

constexpr int kMeshCount = 20;
constexpr int kQuadsX = 125, kQuadsY = 200;  // 25,000 quads = 50,000 triangles, 25,326 vertices
constexpr int kSideX = kQuadsX + 1, kSideY = kQuadsY + 1;

// A curved grid as the exporter writes it: position, normal and one texture channel.
void addGrid(zeq::Zeq2& root, int i) {
    using A = zeq::Zeq2VertexAttributes;
    zeq::Zeq2VertexBuffer vertices;
    vertices.id = i;
    vertices.attributes = {A::POSITION, A::NORMAL, A::TEXCOORDS};
    vertices.vertexCount = static_cast<uint16_t>(kSideX * kSideY);
    for (int y = 0; y < kSideY; ++y) {
        for (int x = 0; x < kSideX; ++x) {
            const float fx = 0.1f * float(x + i), fy = 0.1f * float(y);
            const float z = std::sin(fx) * std::cos(fy);
            const Point3 n = Point3(-0.1f * std::cos(fx) * std::cos(fy), 0.1f * std::sin(fx) * std::sin(fy), 1.0f).Normalize();
            appendFloats(vertices.byteBuffer, {float(x) * 0.37f, float(y) * 0.41f, z, n.x, n.y, n.z, float(x) / kQuadsX,
                                               1 - float(y) / kQuadsY});
        }
    }
    bench::addGridRecords(root, i, kQuadsX, kQuadsY, 60.0f, std::move(vertices));
}

struct BenchScene {
    BenchScene() {
        zeq::SceneFile file;
        zeq::Zeq2& root = file.root;
        root.vertexBuffers.emplace();
        root.indexBuffers.emplace();
        root.meshes.emplace();
        root.objects.emplace();
        root.images.emplace() = {{0, "ground.png"}};
        root.maps.emplace() = {{1, 0, 0}};
        zeq::Zeq2Material material;
        material.diffuseMapId = 0;
        root.materials.emplace().add(material);
        for (int i = 0; i < kMeshCount; ++i) addGrid(root, i);
        const zeq::ByteBuffer packet = zeq::encodeSceneFile(file);

        // The Zeq body: the packet's inflated content.
        zeq::PacketInfo info;
        zeq::decodeSceneFile(packet, &info);
        body.resize(static_cast<size_t>(info.inflatedBytes));
        const int header = (packet.data()[0] & 0x80) ? 4 : 2;
        uLongf length = static_cast<uLongf>(body.size());
        if (uncompress(reinterpret_cast<Bytef*>(body.data()), &length, packet.data() + header,
                       static_cast<uLong>(packet.length() - header)) != Z_OK)
            std::abort();

        const std::string path =
            (std::filesystem::temp_directory_path() / ("zeq_bench_document_" + std::to_string(::getpid()) + ".zeq")).string();
        zeq::writeOutputFile(path, packet.data(), static_cast<std::size_t>(packet.length()));
        imported.ui().setProgressStream(nullptr);
        const int result = imported.importFile(zeq::GetZeqImportClassDesc(), path);
        std::remove(path.c_str());
        if (result != IMPEXP_SUCCESS) std::abort();

        text = headless::saveSceneDocumentText(imported);
        text.reserve(text.size() + simdjson::SIMDJSON_PADDING);
        compactBytes = nlohmann::json::parse(text).dump().size();
    }

    headless::Host imported;
    std::string body;
    std::string text;
    size_t compactBytes = 0;
};

BenchScene& benchScene() {
    static BenchScene scene;
    return scene;
}

void BM_NlohmannParse(benchmark::State& state) {
    const BenchScene& scene = benchScene();
    malloc_trim(0);
    for (auto _ : state) {
        nlohmann::json doc = nlohmann::json::parse(scene.text);
        benchmark::DoNotOptimize(doc);
        state.PauseTiming();
        doc = nullptr;  // freeing the DOM is not part of parsing
        malloc_trim(0);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(scene.text.size()));
}
BENCHMARK(BM_NlohmannParse)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadDocument(benchmark::State& state) {
    const BenchScene& scene = benchScene();
    malloc_trim(0);
    for (auto _ : state) {
        auto host = std::make_unique<headless::Host>();
        // As a file is loaded: the text has room for the parser's padding after it.
        headless::document::buildScene(*host, headless::document::readScene(scene.text, true));
        state.PauseTiming();
        host.reset();  // freeing the scene is not part of loading
        malloc_trim(0);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(scene.text.size()));
}
BENCHMARK(BM_LoadDocument)->Unit(benchmark::kMillisecond)->UseRealTime();

// The parts of loading: the parser's first pass alone (finding the structure of the text, which
// the reader then walks), and the model read from the text (scene building not included).
void BM_SimdjsonStructure(benchmark::State& state) {
    const BenchScene& scene = benchScene();
    for (auto _ : state) {
        simdjson::ondemand::parser parser;
        simdjson::ondemand::document document;
        if (parser.iterate(scene.text.data(), scene.text.size(), scene.text.capacity()).get(document))
            state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(document);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(scene.text.size()));
}
BENCHMARK(BM_SimdjsonStructure)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadModel(benchmark::State& state) {
    const BenchScene& scene = benchScene();
    malloc_trim(0);
    for (auto _ : state) {
        headless::document::SceneModel model = headless::document::readScene(scene.text, true);
        benchmark::DoNotOptimize(model);
        state.PauseTiming();
        model = {};
        malloc_trim(0);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(scene.text.size()));
}
BENCHMARK(BM_ReadModel)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SaveDocument(benchmark::State& state) {
    BenchScene& scene = benchScene();
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        headless::document::writeScene(headless::document::captureScene(scene.imported),
                                       [&](const char*, size_t size) { bytes += size; });
    }
    if (bytes != scene.text.size()) state.SkipWithError("the saved document changed size");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}
BENCHMARK(BM_SaveDocument)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ZlibCompressBody(benchmark::State& state) {
    const BenchScene& scene = benchScene();
    std::vector<Bytef> out(compressBound(static_cast<uLong>(scene.body.size())));
    for (auto _ : state) {
        uLongf length = static_cast<uLongf>(out.size());
        if (compress(out.data(), &length, reinterpret_cast<const Bytef*>(scene.body.data()), static_cast<uLong>(scene.body.size())) != Z_OK)
            state.SkipWithError("compress failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(scene.body.size()));
}
BENCHMARK(BM_ZlibCompressBody)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    zeq::cli::restartInHugePages(argv);
    // glibc raises its threshold for serving allocations by mmap as large blocks are freed, so each
    // benchmark would find the allocator as the ones before it left it (loading ran a third faster
    // after nlohmann's parse than alone). A fixed threshold gives every benchmark the same.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    zeq::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const BenchScene& scene = benchScene();
    std::printf("document: %.1f MB, compact: %.1f MB, size / compact: %.2f (target: at most 1.50)\n",
                double(scene.text.size()) / 1e6, double(scene.compactBytes) / 1e6,
                double(scene.text.size()) / double(scene.compactBytes));
    if (const auto r = reporter.ratio("BM_LoadDocument/real_time", "BM_NlohmannParse/real_time"))
        std::printf("load into the scene / nlohmann parse of the same text: %.2f (target: at most 0.30)\n", *r);
    if (const auto r = reporter.ratio("BM_SimdjsonStructure/real_time", "BM_NlohmannParse/real_time"))
        std::printf("  of which the parser's first pass: %.2f\n", *r);
    if (const auto r = reporter.ratio("BM_ReadModel/real_time", "BM_NlohmannParse/real_time"))
        std::printf("  of which parsing and reading the model: %.2f\n", *r);
    if (const auto r = reporter.ratio("BM_SaveDocument/real_time", "BM_ZlibCompressBody/real_time"))
        std::printf("save of the imported scene / zlib compress of the Zeq body: %.2f (target: at most 1.00)\n", *r);
    benchmark::Shutdown();
    return 0;
}
