// Export benchmark: a scene of 50 meshes of 20,000 triangles each, with normals, tangents and two
// texture channels. Measures against zlib's `compress` of the same encoded body (default level):
// - the export's own work (scene walk, mesh conversion and encoding of the roots: everything but
//   compression and the file write), target at most 0.3;
// - the export end to end (own work and the framed, compressed packet, on the calling thread alone
//   as in the host), target at most 0.5;
// and compares the packet's compressed size with zlib's (target: within 1 %).
#include "bench/ratio_reporter.h"
#include "tools/zeq/huge_pages.h"
#include "codec/protocol.h"
#include "export/context.h"
#include "export/geometry.h"
#include "export/options.h"
#include "format/register.h"
#include "headless/host.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

namespace {

constexpr int kMeshCount = 50;
constexpr int kGridQuads = 100;  // 100 x 100 quads = 20,000 triangles, 10,201 vertices

// A gently curved grid with texture channels 1 and 2 (the second at another scale).
Mesh gridMesh(int seed) {
    const int side = kGridQuads + 1;
    Mesh mesh;
    mesh.setNumVerts(side * side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            mesh.verts[y * side + x] = Point3(float(x), float(y), std::sin(0.1f * float(x + seed)) * std::cos(0.1f * float(y)));
    mesh.setNumFaces(2 * kGridQuads * kGridQuads);
    for (int y = 0; y < kGridQuads; ++y) {
        for (int x = 0; x < kGridQuads; ++x) {
            const uint32_t a = uint32_t(y * side + x), b = a + 1, c = a + uint32_t(side) + 1, d = a + uint32_t(side);
            Face& first = mesh.faces[2 * (y * kGridQuads + x)];
            Face& second = mesh.faces[2 * (y * kGridQuads + x) + 1];
            first.setVerts(a, b, c);
            second.setVerts(a, c, d);
            first.setSmGroup(1);
            second.setSmGroup(1);
        }
    }
    for (int channel = 1; channel <= 2; ++channel) {
        mesh.setMapSupport(channel);
        MeshMap& map = mesh.Map(channel);
        map.setNumVerts(side * side);
        const float scale = channel == 1 ? 1.0f / float(kGridQuads) : 4.0f / float(kGridQuads);
        for (int v = 0; v < side * side; ++v)
            map.tv[v] = Point3(float(v % side) * scale, float(v / side) * scale, 0.0f);
        for (int f = 0; f < mesh.getNumFaces(); ++f)
            map.tf[f].setTVerts(mesh.faces[f].v[0], mesh.faces[f].v[1], mesh.faces[f].v[2]);
    }
    return mesh;
}

struct BenchScene {
    BenchScene() {
        headless::Scene& scene = host.scene();
        headless::StandardMaterial* material = scene.newStdMat("Ground");
        material->SetSubTexmap(ID_DI, scene.newBitmapTex("C:\\maps\\ground.png"));
        material->SetSubTexmap(ID_BU, scene.newBitmapTex("C:\\maps\\ground_normal.png", 2));
        for (int i = 0; i < kMeshCount; ++i) {
            headless::Node* node = scene.createNode("Grid" + std::to_string(i));
            objects.push_back(scene.newTriObject(gridMesh(i)));
            node->SetObjectRef(objects.back());
            node->setLocalTM(TransMatrix(Point3(float(i) * 120.0f, 0.0f, 0.0f)));
            node->SetMtl(material);
        }
        zeq::ExportOptions& options = zeq::exportOptions();
        options = zeq::ExportOptions{};
        options.normals = true;
        options.tangents = true;
        // One export up front, for the body that compression gets.
        body = encodeScene();
    }

    // The export attaches the normals it builds to the meshes, where they would stay for the next
    // export; `zeq export` starts from a scene without them, so every timed export builds them
    // again (the time taken to clear them is not counted).
    void forgetNormals(benchmark::State& state) {
        state.PauseTiming();
        for (headless::TriMeshObject* object : objects) object->mesh.ClearSpecifiedNormals();
        state.ResumeTiming();
    }

    // Walk, conversion and encoding of one export into pb.
    void encodeRoots(zeq::Protocol& protocol, zeq::ProtocolBuffer& pb) {
        zeq::Zeq2 root;
        zeq::Zeq2Extra1 extra1;
        zeq::Zeq2Extra2 extra2;
        {
            zeq::ExportContext context(&host);
            context.convertScene(root, extra1, extra2);
        }
        protocol.getCodec(std::string("Zeq2"))->encode(pb, &root);
        protocol.getCodec(std::string("Zeq2Extra1"))->encode(pb, &extra1);
        protocol.getCodec(std::string("Zeq2Extra2"))->encode(pb, &extra2);
    }

    // The export's own work; returns the packet body that compression gets.
    zeq::ByteBuffer encodeScene() {
        zeq::Protocol protocol;
        zeq::registerFormatTypes(protocol);
        zeq::ProtocolBuffer pb;
        encodeRoots(protocol, pb);
        zeq::ByteBuffer out;
        pb.nullMap.encode(out);
        out.appendFrom(pb.buffer, 0, pb.buffer.length());
        return out;
    }

    headless::Host host;
    std::vector<headless::TriMeshObject*> objects;
    zeq::ByteBuffer body;
    int64_t packetBytes = 0;  // the last packet BM_ExportEndToEnd made
    int64_t zlibBytes = 0;    // the body compressed by zlib
};

BenchScene& benchScene() {
    static BenchScene scene;
    return scene;
}

void BM_ExportWork(benchmark::State& state) {
    BenchScene& scene = benchScene();
    for (auto _ : state) {
        scene.forgetNormals(state);
        zeq::ByteBuffer body = scene.encodeScene();
        benchmark::DoNotOptimize(body.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * scene.body.length());
}
BENCHMARK(BM_ExportWork)->Unit(benchmark::kMillisecond)->UseRealTime();

// Own work and the packet as the exporter writes it.
void BM_ExportEndToEnd(benchmark::State& state) {
    BenchScene& scene = benchScene();
    for (auto _ : state) {
        scene.forgetNormals(state);
        zeq::Protocol protocol;
        zeq::registerFormatTypes(protocol);
        zeq::ProtocolBuffer pb;
        scene.encodeRoots(protocol, pb);
        zeq::ByteBuffer packet;
        protocol.encodePacket(packet, pb, true);
        scene.packetBytes = packet.length();
        benchmark::DoNotOptimize(packet.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * scene.body.length());
}

BENCHMARK(BM_ExportEndToEnd)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ZlibCompressBody(benchmark::State& state) {
    BenchScene& scene = benchScene();
    const uLong length = static_cast<uLong>(scene.body.length());
    std::unique_ptr<Bytef[]> out(new Bytef[compressBound(length)]);
    for (auto _ : state) {
        uLongf outLength = compressBound(length);
        if (compress(out.get(), &outLength, scene.body.data(), length) != Z_OK) state.SkipWithError("compress failed");
        scene.zlibBytes = static_cast<int64_t>(outLength);
        benchmark::DoNotOptimize(out.get());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * scene.body.length());
}
BENCHMARK(BM_ZlibCompressBody)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    zeq::cli::restartInHugePages(argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    zeq::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const BenchScene& scene = benchScene();
    if (const auto r = reporter.ratio("BM_ExportWork/real_time", "BM_ZlibCompressBody/real_time")) {
        std::printf("body %d bytes; export work / zlib compress = %.3f (target <= 0.3)\n", scene.body.length(), *r);
    }
    if (const auto r = reporter.ratio("BM_ExportEndToEnd/real_time", "BM_ZlibCompressBody/real_time")) {
        std::printf("export end to end / zlib compress = %.3f (target <= 0.5)\n", *r);
    }
    if (scene.packetBytes > 0 && scene.zlibBytes > 0) {
        const int64_t header = scene.body.length() < 16384 ? 2 : 4;
        std::printf("compressed body %lld bytes, zlib %lld bytes: %+.2f %% (target within 1 %%)\n",
                    static_cast<long long>(scene.packetBytes - header), static_cast<long long>(scene.zlibBytes),
                    100.0 * double(scene.packetBytes - header - scene.zlibBytes) / double(scene.zlibBytes));
    }
    benchmark::Shutdown();
    return 0;
}
