// Import benchmark: a file of 50 meshes of 20,000 triangles each, with normals, tangents and two
// texture channels (the exporter's benchmark scene), written with the format library. Measures a
// whole import into a fresh headless host (reading the file, unpacking, decoding, building meshes,
// materials and nodes) against zlib's inflation of the same packet body, and prints the ratio of
// the two (target: at most 1). The packet's own inflation (decodePacket) is measured on its own too.
#include "bench/grid_records.h"
#include "bench/ratio_reporter.h"
#include "tools/zeq/huge_pages.h"
#include "format/scene_file.h"
#include "headless/host.h"
#include "host/output_file.h"
#include "import/zeq_import.h"

#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

namespace {

using bench::appendFloats;

constexpr int kMeshCount = 50;
constexpr int kGridQuads = 100;  // 100 x 100 quads = 20,000 triangles, 10,201 vertices
constexpr int kSide = kGridQuads + 1;

// A gently curved grid as the exporter writes it: position, normal, texture channels 1 and 2 (v
// flipped), tangent and handedness; 16-bit indices.
void addGrid(zeq::Zeq2& root, int i) {
    using A = zeq::Zeq2VertexAttributes;
    zeq::Zeq2VertexBuffer vertices;
    vertices.id = i;
    vertices.attributes = {A::POSITION, A::NORMAL, A::TEXCOORDS, A::TEXCOORDS, A::TANGENT4};
    vertices.vertexCount = static_cast<uint16_t>(kSide * kSide);
    vertices.byteBuffer.reserve(kSide * kSide * 56);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const float z = std::sin(0.1f * float(x + i)) * std::cos(0.1f * float(y));
            const Point3 n = Point3(-0.1f * std::cos(0.1f * float(x + i)) * std::cos(0.1f * float(y)),
                                    0.1f * std::sin(0.1f * float(x + i)) * std::sin(0.1f * float(y)), 1.0f)
                                 .Normalize();
            const float u = float(x) / kGridQuads, v = float(y) / kGridQuads;
            appendFloats(vertices.byteBuffer, {float(x), float(y), z, n.x, n.y, n.z, u, 1 - v, 4 * u, 1 - 4 * v, 1, 0,
                                               -n.x / n.z, -1});
        }
    }
    bench::addGridRecords(root, i, kGridQuads, kGridQuads, 120.0f, std::move(vertices));
}

struct BenchFile {
    BenchFile() {
        zeq::SceneFile file;
        zeq::Zeq2& root = file.root;
        root.vertexBuffers.emplace();
        root.indexBuffers.emplace();
        root.meshes.emplace();
        root.objects.emplace();
        root.directionalLights.emplace();
        root.omniLights.emplace();
        root.spotLights.emplace();
        root.ambientLights.emplace().add({});
        root.images.emplace() = {{0, "ground.png"}, {1, "ground_normal.png"}};
        root.maps.emplace() = {{1, 0, 0}, {2, 1, 1}};
        zeq::Zeq2Material material;
        material.diffuseMapId = 0;
        material.normalMapId = 1;
        root.materials.emplace().add(material);
        for (int i = 0; i < kMeshCount; ++i) addGrid(root, i);

        packet = zeq::encodeSceneFile(file);
        zeq::PacketInfo info;
        zeq::decodeSceneFile(packet, &info);
        inflatedBytes = info.inflatedBytes;
        headerBytes = (packet.data()[0] & 0x80) ? 4 : 2;
        path = (std::filesystem::temp_directory_path() / ("zeq_bench_import_" + std::to_string(::getpid()) + ".zeq")).string();
        zeq::writeOutputFile(path, packet.data(), static_cast<std::size_t>(packet.length()));
    }
    ~BenchFile() { std::remove(path.c_str()); }

    zeq::ByteBuffer packet;
    int64_t inflatedBytes = 0;
    int headerBytes = 2;
    std::string path;
};

BenchFile& benchFile() {
    static BenchFile file;
    return file;
}

void BM_ImportFile(benchmark::State& state) {
    BenchFile& file = benchFile();
    for (auto _ : state) {
        auto host = std::make_unique<headless::Host>();
        host->ui().setProgressStream(nullptr);
        if (host->importFile(zeq::GetZeqImportClassDesc(), file.path) != IMPEXP_SUCCESS) state.SkipWithError("import failed");
        if (host->scene().nodes().size() != kMeshCount) state.SkipWithError("unexpected scene");
        state.PauseTiming();
        host.reset();  // freeing the scene is not part of the import
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * file.inflatedBytes);
}
BENCHMARK(BM_ImportFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ZlibInflatePacket(benchmark::State& state) {
    BenchFile& file = benchFile();
    std::unique_ptr<Bytef[]> out(new Bytef[static_cast<std::size_t>(file.inflatedBytes)]);
    const Bytef* body = file.packet.data() + file.headerBytes;
    const uLong bodyLength = static_cast<uLong>(file.packet.length() - file.headerBytes);
    for (auto _ : state) {
        uLongf outLength = static_cast<uLongf>(file.inflatedBytes);
        if (uncompress(out.get(), &outLength, body, bodyLength) != Z_OK) state.SkipWithError("inflate failed");
        benchmark::DoNotOptimize(out.get());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * file.inflatedBytes);
}
BENCHMARK(BM_ZlibInflatePacket)->Unit(benchmark::kMillisecond)->UseRealTime();

// The part of the import that unpacks the packet: inflation and the split of the null map.
void BM_DecodePacket(benchmark::State& state) {
    BenchFile& file = benchFile();
    zeq::Protocol protocol;
    for (auto _ : state) {
        zeq::ProtocolBuffer pb;
        if (!protocol.decodePacket(file.packet, pb)) state.SkipWithError("decodePacket failed");
        benchmark::DoNotOptimize(pb.buffer.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * file.inflatedBytes);
}
BENCHMARK(BM_DecodePacket)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    zeq::cli::restartInHugePages(argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    zeq::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (const auto r = reporter.ratio("BM_ImportFile/real_time", "BM_ZlibInflatePacket/real_time")) {
        std::printf("import / zlib inflate of the same packet: %.2f (target: at most 1.00)\n", *r);
    }
    if (const auto r = reporter.ratio("BM_DecodePacket/real_time", "BM_ZlibInflatePacket/real_time")) {
        std::printf("packet unpacking / zlib inflate: %.2f\n", *r);
    }
    benchmark::Shutdown();
    return 0;
}
