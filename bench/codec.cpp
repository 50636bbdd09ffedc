// Codec speed against zlib on two large scene roots, measured in the same run:
//
//   keyframes  a record-heavy root: 1000 tracks of 1000 keyframes (1,000,000 keyframes)
//   geometry   a geometry-heavy root: vertex and index buffers of about 69 MB in total
//
// For each root four figures are taken, all on the same bytes:
//   encode    records -> packet body (version pair, the three roots, null map in front)
//   compress  zlib `compress` at the default level of that body (what a writer adds)
//   decode    packet body -> records (null map, version pair, the three roots)
//   inflate   zlib inflation of the compressed body (what a reader adds)
// and reported as the ratios encode / compress (target at most 0.1) and decode / inflate (target at
// most 1.0), as benchmark counters and as one summary line per root at the end of the run. The
// machines are shared and noisy, so only these ratios mean anything; the absolute times do not.
#include "codec/protocol.h"
#include "format/record_codec.h"
#include "format/records.h"
#include "format/register.h"
#include "format/scene_file.h"
#include "tools/zeq/huge_pages.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using zeq::ByteBuffer;
using zeq::SceneFile;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// ---- the two roots ----------------------------------------------------------------------------

zeq::Zeq2Transform rotationAboutY(float angle, float x, float y, float z) {
    zeq::Zeq2Transform t;
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    t.matrix = {c, 0, s, x, 0, 1, 0, y, -s, 0, c, z};
    return t;
}

// One track per node, sampled at 30 frames per second as an export with animation writes them:
// every other node moves (a rotation and a path), the rest stand still and repeat one transform.
SceneFile keyframeRoot() {
    constexpr int kTracks = 1000;
    constexpr int kKeyframes = 1000;
    SceneFile file;
    file.root.tracks.emplace();
    file.root.tracks->items.reserve(kTracks);
    for (int t = 0; t < kTracks; ++t) {
        zeq::Zeq2Track track;
        track.id = t;
        track.objectName = "Node" + std::to_string(t);
        track.keyframes.items.reserve(kKeyframes);
        const bool moving = t % 2 == 0;
        for (int k = 0; k < kKeyframes; ++k) {
            const float time = static_cast<float>(k) / 30.0f;
            const float phase = moving ? time * 0.7f + static_cast<float>(t) : static_cast<float>(t);
            const float x = static_cast<float>(t % 40) * 2.5f + (moving ? std::sin(time) * 3.0f : 0.0f);
            const float z = static_cast<float>(t / 40) * 2.5f + (moving ? std::cos(time * 0.5f) : 0.0f);
            track.keyframes.add(zeq::Zeq2Keyframe{time, rotationAboutY(phase, x, 0.0f, z)});
        }
        file.root.tracks->add(std::move(track));
    }
    return file;
}

void appendFloats(ByteBuffer& bytes, std::initializer_list<float> values) {
    for (float value : values) bytes.appendBytes(&value, 4, false);  // little-endian host
}

// Twenty-four wavy grid meshes of 65535 vertices (POSITION, NORMAL, TEXCOORDS: 2.1 MB each) with
// index buffers of 0.78 MB each: 69 MB of buffer data.
SceneFile geometryRoot() {
    using A = zeq::Zeq2VertexAttributes;
    constexpr int kMeshes = 24;
    constexpr int kColumns = 255;
    constexpr int kRows = 257;  // 255 x 257 = 65535 vertices
    SceneFile file;
    file.root.vertexBuffers.emplace();
    file.root.indexBuffers.emplace();
    file.root.meshes.emplace();
    for (int m = 0; m < kMeshes; ++m) {
        zeq::Zeq2VertexBuffer vertices;
        vertices.id = m;
        vertices.attributes = {A::POSITION, A::NORMAL, A::TEXCOORDS};
        vertices.vertexCount = kColumns * kRows;
        vertices.byteBuffer.reserve(kColumns * kRows * 32);
        for (int r = 0; r < kRows; ++r) {
            for (int c = 0; c < kColumns; ++c) {
                const float x = static_cast<float>(c) * 0.1f;
                const float z = static_cast<float>(r) * 0.1f;
                const float height = std::sin(x * 0.7f + static_cast<float>(m)) * std::cos(z * 0.3f);
                const float dx = 0.7f * std::cos(x * 0.7f + static_cast<float>(m)) * std::cos(z * 0.3f);
                const float dz = -0.3f * std::sin(x * 0.7f + static_cast<float>(m)) * std::sin(z * 0.3f);
                const float length = std::sqrt(dx * dx + 1.0f + dz * dz);
                appendFloats(vertices.byteBuffer, {x, height, z, -dx / length, 1.0f / length, -dz / length,
                                                   static_cast<float>(c) / (kColumns - 1),
                                                   static_cast<float>(r) / (kRows - 1)});
            }
        }
        zeq::Zeq2IndexBuffer indices;
        indices.id = m;
        for (int r = 0; r + 1 < kRows; ++r) {
            for (int c = 0; c + 1 < kColumns; ++c) {
                const auto at = [&](int row, int column) { return static_cast<uint16_t>(row * kColumns + column); };
                const uint16_t quad[6] = {at(r, c), at(r + 1, c), at(r, c + 1), at(r, c + 1), at(r + 1, c), at(r + 1, c + 1)};
                indices.byteBuffer.appendBytes(quad, sizeof quad, false);
                indices.indexCount += 6;
            }
        }
        zeq::Zeq2Mesh mesh;
        mesh.id = m;
        mesh.name = "Terrain" + std::to_string(m);
        mesh.indexBufferId = m;
        mesh.vertexBufferIds = {m};
        mesh.surfaces = {zeq::Zeq2Surface{0, std::nullopt, indices.indexCount / 3}};
        mesh.visible = true;
        file.root.vertexBuffers->add(std::move(vertices));
        file.root.indexBuffers->add(std::move(indices));
        file.root.meshes->add(std::move(mesh));
    }
    return file;
}

// ---- the four operations -------------------------------------------------------------------

// Records -> packet body, as the writer does before compression.
ByteBuffer encodeBody(zeq::Protocol& protocol, const SceneFile& file) {
    zeq::ProtocolBuffer pb;
    const uint8_t version[4] = {0, 2, 0, static_cast<uint8_t>(file.minorVersion)};
    pb.buffer.appendBytes(version, 4, false);
    zeq::encodeRecord(protocol, pb, file.root);
    zeq::encodeRecord(protocol, pb, file.extra1);
    zeq::encodeRecord(protocol, pb, file.extra2);
    ByteBuffer body;
    pb.nullMap.encode(body);
    body.appendFrom(pb.buffer, 0, pb.buffer.length());
    return body;
}

// Packet body -> records, as the reader does after inflation.
SceneFile decodeBody(zeq::Protocol& protocol, ByteBuffer body) {
    zeq::ProtocolBuffer pb;
    const int32_t mapLength = pb.nullMap.decode(body);
    body.dropFront(mapLength);
    body.position = 0;
    pb.buffer = std::move(body);
    SceneFile file;
    const uint8_t* version = pb.buffer.readView(4);
    file.majorVersion = static_cast<uint16_t>((version[0] << 8) | version[1]);
    file.minorVersion = static_cast<uint16_t>((version[2] << 8) | version[3]);
    zeq::recordCodec<zeq::Zeq2>(protocol).decode(pb, &file.root);
    zeq::recordCodec<zeq::Zeq2Extra1>(protocol).decode(pb, &file.extra1);
    zeq::recordCodec<zeq::Zeq2Extra2>(protocol).decode(pb, &file.extra2);
    return file;
}

std::vector<uint8_t> zlibCompress(const ByteBuffer& body) {
    uLongf size = compressBound(static_cast<uLong>(body.length()));
    std::vector<uint8_t> out(size);
    if (compress(out.data(), &size, body.data(), static_cast<uLong>(body.length())) != Z_OK) std::abort();
    out.resize(size);
    return out;
}

void zlibInflate(const std::vector<uint8_t>& compressed, std::vector<uint8_t>& out) {
    uLongf size = static_cast<uLongf>(out.size());
    if (uncompress(out.data(), &size, compressed.data(), static_cast<uLong>(compressed.size())) != Z_OK ||
        size != out.size()) {
        std::abort();
    }
}

// ---- one root and its measurements ---------------------------------------------------------

struct Case {
    Case(const char* name, SceneFile (*build)()) : name(name), build(build) {}

    const char* name;
    SceneFile (*build)();
    // Built on first use.
    std::unique_ptr<zeq::Protocol> protocol;
    std::unique_ptr<SceneFile> file;
    ByteBuffer body;
    std::vector<uint8_t> compressed;
    // Mean seconds per operation, 0 until measured.
    double encode = 0, compress = 0, decode = 0, inflate = 0;

    void prepare() {
        if (file) return;
        protocol = std::make_unique<zeq::Protocol>();
        zeq::registerFormatTypes(*protocol);
        file = std::make_unique<SceneFile>(build());
        body = encodeBody(*protocol, *file);
        compressed = zlibCompress(body);
        // The measurements are only worth something if the codec reads back what it wrote.
        if (decodeBody(*protocol, body) != *file) {
            std::fprintf(stderr, "%s: decoded records differ from the originals\n", name);
            std::abort();
        }
    }
};

Case gKeyframes{"keyframes", keyframeRoot};
Case gGeometry{"geometry", geometryRoot};

// Each operation runs a fixed number of times with only the operation itself timed (manual time):
// the heavy set-up of each iteration (fresh input, freeing the result) stays outside.
template <class Operation>
double timeIterations(benchmark::State& state, Operation&& operation) {
    double total = 0;
    int64_t runs = 0;
    for (auto _ : state) {
        const double seconds = operation();
        state.SetIterationTime(seconds);
        total += seconds;
        ++runs;
    }
    return runs ? total / static_cast<double>(runs) : 0;
}

void setBytes(benchmark::State& state, const Case& c) {
    state.SetBytesProcessed(state.iterations() * c.body.length());
    state.counters["body_MB"] = static_cast<double>(c.body.length()) / 1e6;
    state.counters["zlib_MB"] = static_cast<double>(c.compressed.size()) / 1e6;
}

void compressBenchmark(benchmark::State& state, Case* c) {
    c->prepare();
    c->compress = timeIterations(state, [&] {
        const auto start = Clock::now();
        benchmark::DoNotOptimize(zlibCompress(c->body));
        return secondsSince(start);
    });
    setBytes(state, *c);
}

void inflateBenchmark(benchmark::State& state, Case* c) {
    c->prepare();
    std::vector<uint8_t> out(static_cast<std::size_t>(c->body.length()));
    c->inflate = timeIterations(state, [&] {
        const auto start = Clock::now();
        zlibInflate(c->compressed, out);
        benchmark::DoNotOptimize(out.data());
        return secondsSince(start);
    });
    setBytes(state, *c);
}

void encodeBenchmark(benchmark::State& state, Case* c) {
    c->prepare();
    c->encode = timeIterations(state, [&] {
        const auto start = Clock::now();
        ByteBuffer body = encodeBody(*c->protocol, *c->file);
        const double seconds = secondsSince(start);
        benchmark::DoNotOptimize(body.data());
        return seconds;
    });
    setBytes(state, *c);
    if (c->compress > 0) state.counters["x_compress"] = c->encode / c->compress;
}

void decodeBenchmark(benchmark::State& state, Case* c) {
    c->prepare();
    c->decode = timeIterations(state, [&] {
        ByteBuffer input = c->body;  // a fresh copy: decoding consumes its input
        const auto start = Clock::now();
        SceneFile file = decodeBody(*c->protocol, std::move(input));
        const double seconds = secondsSince(start);
        benchmark::DoNotOptimize(&file);
        return seconds;
    });
    setBytes(state, *c);
    if (c->inflate > 0) state.counters["x_inflate"] = c->decode / c->inflate;
}

// The references of a root run before its codec figures, so that the ratios exist when those are
// reported.
void registerCase(Case* c) {
    const std::string prefix = std::string(c->name) + "/";
    benchmark::RegisterBenchmark((prefix + "compress").c_str(), compressBenchmark, c)
        ->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((prefix + "inflate").c_str(), inflateBenchmark, c)
        ->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((prefix + "encode").c_str(), encodeBenchmark, c)
        ->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((prefix + "decode").c_str(), decodeBenchmark, c)
        ->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
}

std::string ratioText(double numerator, double denominator) {
    if (numerator <= 0 || denominator <= 0) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", numerator / denominator);
    return text;
}

void printSummary(const Case& c) {
    if (c.encode <= 0 && c.decode <= 0) return;
    const bool encodeMet = c.encode > 0 && c.compress > 0 && c.encode <= 0.1 * c.compress;
    const bool decodeMet = c.decode > 0 && c.inflate > 0 && c.decode <= 1.0 * c.inflate;
    std::printf("%s: encode %s x compress, decode %s x inflate (targets 0.1 / 1.0: %s / %s)\n", c.name,
                ratioText(c.encode, c.compress).c_str(), ratioText(c.decode, c.inflate).c_str(),
                encodeMet ? "met" : "missed", decodeMet ? "met" : "missed");
}

}  // namespace

int main(int argc, char** argv) {
    zeq::cli::restartInHugePages(argv);
    registerCase(&gKeyframes);
    registerCase(&gGeometry);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::fflush(stdout);
    printSummary(gKeyframes);
    printSummary(gGeometry);
    return 0;
}
