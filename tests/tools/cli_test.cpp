// The inspection verbs through the built binary: their output on sound files, and one clear line
// with exit status 1 for every kind of bad file, never a crash or a hang.
#include "codec/protocol.h"
#include "format/json.h"
#include "format/record_codec.h"
#include "format/register.h"
#include "support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <tuple>

namespace zeq::test {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// `stream` behind the four-byte packet header that declares its length.
std::vector<uint8_t> framed(const std::vector<uint8_t>& stream) {
    const auto length = static_cast<uint32_t>(stream.size()) | 0x80000000u;
    std::vector<uint8_t> packet;
    packet.reserve(stream.size() + 4);
    for (int shift : {24, 16, 8, 0}) packet.push_back(static_cast<uint8_t>(length >> shift));
    packet.insert(packet.end(), stream.begin(), stream.end());
    return packet;
}

// Frames an already built body (null map encoding followed by the data stream) as a compressed
// packet, so that tests can put anything inside a well-formed frame.
std::vector<uint8_t> compressedPacket(const std::vector<uint8_t>& body) {
    uLongf size = compressBound(static_cast<uLong>(body.size()));
    std::vector<uint8_t> compressed(size);
    if (compress(compressed.data(), &size, body.data(), static_cast<uLong>(body.size())) != Z_OK) {
        throw std::runtime_error("compress failed");
    }
    compressed.resize(size);
    return framed(compressed);
}

// The body of a scene file: its presence bits and data stream, with `extra` bytes appended to the
// data stream.
std::vector<uint8_t> sceneBody(const SceneFile& file, const std::vector<uint8_t>& extra = {}) {
    Protocol protocol;
    registerFormatTypes(protocol);
    ProtocolBuffer pb;
    const uint8_t version[4] = {0, 2, 0, static_cast<uint8_t>(file.minorVersion)};
    pb.buffer.appendBytes(version, 4, false);
    encodeRecord(protocol, pb, file.root);
    encodeRecord(protocol, pb, file.extra1);
    encodeRecord(protocol, pb, file.extra2);
    if (!extra.empty()) pb.buffer.appendBytes(extra.data(), static_cast<int32_t>(extra.size()), false);
    ByteBuffer body;
    pb.nullMap.encode(body);
    body.appendFrom(pb.buffer, 0, pb.buffer.length());
    return bytesOf(body);
}

class ZeqCommand : public ::testing::Test {
protected:
    // Writes `file` encoded as a scene file and returns its path.
    std::string sceneFile(const SceneFile& file, const std::string& name = "scene.zeq") {
        const std::string path = scratch.file(name);
        writeBytes(path, encodeSceneFile(file));
        return path;
    }

    // Runs every inspection verb on a bad file and expects exactly one line naming the file and
    // the problem, exit status 1, and nothing on standard output.
    void expectRejected(const std::string& path, const std::string& problem) {
        for (const char* verb : {"dump", "info", "validate"}) {
            SCOPED_TRACE(verb);
            const RunResult result = runZeq(std::string(verb) + " " + quoted(path), scratch);
            EXPECT_EQ(result.status, 1);
            EXPECT_EQ(result.err, "zeq: " + path + ": " + problem + "\n");
            EXPECT_EQ(result.out, "");
        }
    }

    // Like expectRejected for dump, where only the start of the problem is fixed.
    void expectRejectedStartingWith(const std::string& path, const std::string& start) {
        const RunResult result = runZeq("dump " + quoted(path), scratch);
        EXPECT_EQ(result.status, 1);
        EXPECT_THAT(result.err, StartsWith("zeq: " + path + ": " + start));
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }

    ScratchDir scratch;
};

TEST_F(ZeqCommand, HelpDescribesEveryInspectionVerb) {
    const RunResult help = runZeq("--help", scratch);
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, HasSubstr("dump"));
    EXPECT_THAT(help.out, HasSubstr("info"));
    EXPECT_THAT(help.out, HasSubstr("validate"));

    const RunResult dump = runZeq("dump --help", scratch);
    EXPECT_EQ(dump.status, 0);
    EXPECT_THAT(dump.out, HasSubstr("--raw"));
    EXPECT_THAT(dump.out, HasSubstr("FILE"));
}

TEST_F(ZeqCommand, WrongUsageExitsWith2) {
    EXPECT_EQ(runZeq("dump", scratch).status, 2);
    EXPECT_EQ(runZeq("info a.zeq b.zeq", scratch).status, 2);
    EXPECT_EQ(runZeq("validate --frobnicate a.zeq", scratch).status, 2);
    // A Zeq file given where a scene is read: the line names the verb that reads it.
    for (const char* arguments : {"export a.zeq -o b.zeq", "scene convert a.ZEQ -o b.json"}) {
        const RunResult run = runZeq(arguments, scratch);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_THAT(run.err, ::testing::EndsWith("; 'zeq import' reads Zeq files\n")) << arguments;
    }
}

// The completion script completes verbs, options and file names of the kind each argument takes,
// and never takes an option's value for a verb.
TEST_F(ZeqCommand, CompletionScriptCompletesVerbsOptionsAndFiles) {
    const std::string script = scratch.file("zeq.bash");
    ASSERT_EQ(runZeq("completion", scratch, script).status, 0);
    const std::string folder = scratch.file("files");
    std::filesystem::create_directories(folder + "/sub");
    for (const char* name : {"a.zeq", "b.json", "c.glb"}) writeText(folder + "/" + name, "");
    const std::pair<const char*, const char*> cases[] = {
        {"zeq sc", "scene"},
        {"zeq scene c", "check convert"},
        {"zeq scene check ", "b.json sub"},
        {"zeq import ", "a.zeq sub"},
        {"zeq export -o ", "a.zeq sub"},
        {"zeq export --n", "--normals"},
        {"zeq --plugins ", "sub"},
        {"zeq export -o scene --plugins sub ", "a.zeq b.json c.glb sub"},
        {"zeq diff --tolerance ", ""},
    };
    std::string harness = "cd " + quoted(folder) + " && source " + quoted(script) +
                          " && t() { read -ra COMP_WORDS <<< \"$1\"; [[ $1 == *' ' ]] && COMP_WORDS+=(''); "
                          "COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _zeq; printf '%s\\n' \"${COMPREPLY[*]}\" | tr ' ' '\\n' | "
                          "LC_ALL=C sort | tr '\\n' ' '; echo; }";
    std::string expected;
    for (const auto& [line, words] : cases) {
        harness += " && t " + quoted(line);
        expected += std::string(words) + " \n";
    }
    const std::string output = scratch.file("completions.txt");
    ASSERT_EQ(std::system(("bash -c " + zeq::test::quoted(harness) + " > " + quoted(output)).c_str()), 0);
    EXPECT_EQ(readText(output), expected);
}

// A message box the exporter shows once per mesh is one line, with how often it was shown;
// --quiet leaves out everything but error lines.
TEST_F(ZeqCommand, RepeatedMessageBoxesAreOneLineAndQuietLeavesThemOut) {
    const std::string document = scratch.file("no_uv.json");
    const std::string mesh = R"("kind": "mesh", "mesh": {"vertices": [[0, 0, 0], [1, 0, 0], [0, 1, 0]], "faces": [[0, 1, 2]]})";
    writeText(document, R"({"objects": [{"id": "M1", )" + mesh + R"(}, {"id": "M2", )" + mesh +
                            R"(}], "nodes": [{"name": "A", "object": "M1"}, {"name": "B", "object": "M2"}]})");
    const RunResult run = runZeq("export --tangents " + quoted(document) + " -o " + quoted(scratch.file("a.zeq")), scratch);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "ZeqExport: Model don't have uv channel, unable to calculate TBN (2 times)\n");
    // Values too large for 16-bit vertex data are written as infinity, and the user is told.
    const std::string large = scratch.file("large.json");
    writeText(large, R"({"objects": [{"id": "M", "kind": "mesh",
                           "mesh": {"vertices": [[0, 0, 0], [70000, 0, 0], [0, 1, 0]], "faces": [[0, 1, 2]]}}],
                          "nodes": [{"name": "A", "object": "M"}]})");
    const RunResult half = runZeq("export --half " + quoted(large) + " -o " + quoted(scratch.file("b.zeq")), scratch);
    EXPECT_EQ(half.status, 0);
    EXPECT_EQ(half.err, "ZeqExport: 1 vertex value is larger than 16-bit vertex buffers hold (65504), written as "
                        "infinity; export without \"16bit vertex buffers\" to keep them\n");

    const RunResult quiet = runZeq("export --quiet --tangents " + quoted(document) + " -o " + quoted(scratch.file("a.zeq")), scratch);
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "");
    const RunResult failed = runZeq("-q info " + quoted(scratch.file("missing.zeq")), scratch);
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.err, "zeq: " + scratch.file("missing.zeq") + ": cannot open: No such file or directory\n");
}

// Exporting the selection of a scene that selects nothing writes an empty scene, and says so.
TEST_F(ZeqCommand, SelectedWithoutSelectionWarns) {
    const std::string document = scratch.file("plain.json");
    writeText(document, R"({"nodes": [{"name": "A"}]})");
    const RunResult run = runZeq("export --selected " + quoted(document) + " -o " + quoted(scratch.file("a.zeq")), scratch);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "zeq: " + document + ": --selected, but the scene selects no node: the file holds none\n");
}

TEST_F(ZeqCommand, DumpPrintsTheDecodedFileAsJson) {
    const std::string path = sceneFile(validScene());
    const RunResult result = runZeq("dump " + quoted(path), scratch);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const nlohmann::json json = nlohmann::json::parse(result.out);
    EXPECT_EQ(json["minorVersion"], 5);
    EXPECT_EQ(json["Zeq2"]["vertexBuffers"][0]["byteBuffer"]["positions"][1], nlohmann::json::parse("[1, 0, 0]"));
    EXPECT_EQ(json["Zeq2"]["indexBuffers"][1]["byteBuffer"], nlohmann::json::parse("[0, 1, 2]"));
    EXPECT_EQ(json["Zeq2Extra1"]["layers"][0]["objectIds"], nlohmann::json::parse("[100, 101, 104]"));
}

TEST_F(ZeqCommand, RawDumpReadsBackIntoTheSameFile) {
    SceneFile file = validScene();
    file.minorVersion = kMinorVersionHalf;
    const RunResult result = runZeq("dump --raw " + quoted(sceneFile(file)), scratch);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(sceneFileFromJson(Json::parse(result.out)), file);
}

// Every output to standard output that fails is an error with the system's reason, also when the
// failure is found only as the output is flushed (the demo document outgrows the C library's
// buffer) and for the outputs of help, version and the lists.
TEST_F(ZeqCommand, FailedOutputIsAnErrorNotASuccess) {
    const std::string path = quoted(sceneFile(validScene()));
    const std::pair<std::string, int> runs[] = {{"dump " + path, 1},          {"info " + path, 1},
                                                {"validate " + path, 1},      {"scene demo", 1},
                                                {"--version", 1},             {"formats", 1},
                                                {"diff " + path + " " + path, 2}, {"diff --help", 2}};
    for (const auto& [arguments, status] : runs) {
        SCOPED_TRACE(arguments);
        const RunResult result = runZeq(arguments, scratch, "/dev/full");
        EXPECT_EQ(result.status, status);
        EXPECT_EQ(result.err, "zeq: standard output: cannot write: " + std::string(std::strerror(ENOSPC)) + "\n");
    }
}

TEST_F(ZeqCommand, InfoSummarisesTheFile) {
    const SceneFile file = validScene();
    const std::string path = sceneFile(file);
    PacketInfo packet;
    decodeSceneFile(encodeSceneFile(file), &packet);
    const RunResult result = runZeq("info " + quoted(path), scratch);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_THAT(result.out, StartsWith(path + "\n  version    2.5 (32-bit float vertex data)\n  packet     " +
                                       std::to_string(std::filesystem::file_size(path)) + " bytes, inflated " +
                                       std::to_string(packet.inflatedBytes) + " bytes\n"
                                       "  vertices   7 in 2 vertex buffers\n"
                                       "  triangles  3 in 2 index buffers\n"
                                       "  records\n"));
    EXPECT_THAT(result.out, HasSubstr("    Zeq2Keyframe            3\n"));
}

TEST_F(ZeqCommand, ValidatePassesASoundFile) {
    const std::string path = sceneFile(validScene());
    const RunResult result = runZeq("validate " + quoted(path), scratch);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, path + ": 0 errors, 0 warnings\n");
    EXPECT_EQ(result.err, "");
}

TEST_F(ZeqCommand, ValidateListsFindingsAndFailsOnErrors) {
    SceneFile file = validScene();
    file.root.meshes->items[0].indexBufferId = 4;
    file.root.meshes->items[0].parentId = 999;
    const std::string path = sceneFile(file);
    const RunResult result = runZeq("validate " + quoted(path), scratch);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "warning: meshes[0] (id 101): parentId 999 names no scene node in this file (it loads as a root)\n"
                          "error: meshes[0] (id 101): indexBufferId 4 names no index buffer\n" +
                              path + ": 1 error, 1 warning\n");
    EXPECT_EQ(result.err, "");
}

TEST_F(ZeqCommand, ValidateWithOnlyWarningsSucceeds) {
    SceneFile file = validScene();
    file.root.objects->items[0].parentId = 5;  // selected-only exports write such parents
    const RunResult result = runZeq("validate " + quoted(sceneFile(file)), scratch);
    EXPECT_EQ(result.status, 0);
    EXPECT_THAT(result.out, HasSubstr(": 0 errors, 1 warning\n"));
}

TEST_F(ZeqCommand, LargeGeometryFile) {
    using A = Zeq2VertexAttributes;
    SceneFile file;
    Zeq2VertexBuffer vertices;
    vertices.id = 1;
    vertices.attributes = {A::POSITION, A::TEXCOORDS};
    vertices.vertexCount = 65535;
    for (int v = 0; v < 65535; ++v) {
        const float values[5] = {static_cast<float>(v), 0, 0, 0.5f, 0.25f};
        vertices.byteBuffer.appendBytes(values, sizeof values, false);
    }
    Zeq2IndexBuffer indices;
    indices.id = 1;
    for (uint16_t i = 0; i < 65535 - 2; ++i) {
        const uint16_t triangle[3] = {i, static_cast<uint16_t>(i + 1), static_cast<uint16_t>(i + 2)};
        indices.byteBuffer.appendBytes(triangle, sizeof triangle, false);
        indices.indexCount += 3;
    }
    Zeq2Mesh mesh;
    mesh.id = 1;
    mesh.indexBufferId = 1;
    mesh.vertexBufferIds = {1};
    mesh.surfaces = {Zeq2Surface{0, std::nullopt, indices.indexCount / 3}};
    file.root.vertexBuffers = TArray<Zeq2VertexBuffer>{vertices};
    file.root.indexBuffers = TArray<Zeq2IndexBuffer>{indices};
    file.root.meshes = TArray<Zeq2Mesh>{mesh};
    const std::string path = sceneFile(file);

    const RunResult validate = runZeq("validate " + quoted(path), scratch);
    EXPECT_EQ(validate.status, 0) << validate.out;
    const RunResult info = runZeq("info " + quoted(path), scratch);
    EXPECT_THAT(info.out, HasSubstr("  vertices   65535 in 1 vertex buffer\n  triangles  65533 in 1 index buffer\n"));
    const RunResult dump = runZeq("dump " + quoted(path), scratch);
    ASSERT_EQ(dump.status, 0);
    const nlohmann::json json = nlohmann::json::parse(dump.out);
    EXPECT_EQ(json["Zeq2"]["vertexBuffers"][0]["byteBuffer"]["positions"][65534][0], 65534);
    EXPECT_EQ(json["Zeq2"]["indexBuffers"][0]["byteBuffer"].size(), 3u * 65533u);
}

TEST_F(ZeqCommand, MissingFileAndDirectory) {
    expectRejected(scratch.file("nothing-here.zeq"), "cannot open: No such file or directory");
    const std::string folder = scratch.file("folder.zeq");
    std::filesystem::create_directory(folder);
    expectRejected(folder, "is a directory, not a file");
}

TEST_F(ZeqCommand, FilesThatAreNotZeqFiles) {
    const std::string empty = scratch.file("empty.zeq");
    writeBytes(empty, std::vector<uint8_t>{});
    expectRejected(empty, "not a Zeq file: empty");

    const std::string text = scratch.file("text.zeq");
    const std::string hello = "hello, world\n";
    writeBytes(text, std::vector<uint8_t>(hello.begin(), hello.end()));
    expectRejected(text, "not a Zeq file (no zlib stream after the packet header)");

    const std::string stored = scratch.file("stored.zeq");
    const std::string letters("\x00\x10" "abcdefghijklmnop", 18);
    writeBytes(stored, std::vector<uint8_t>(letters.begin(), letters.end()));
    expectRejected(stored, "not a Zeq file (no version 2 data after the packet header)");

    const std::string one = scratch.file("one.zeq");
    writeBytes(one, std::vector<uint8_t>{0x41});
    expectRejected(one, "not a Zeq file: too short");

    SceneFile future = validScene();
    future.majorVersion = 3;
    expectRejected(sceneFile(future, "future.zeq"), "unsupported major version 3");
}

TEST_F(ZeqCommand, TruncatedFiles) {
    const std::vector<uint8_t> whole = bytesOf(encodeSceneFile(validScene()));
    const std::size_t header = (whole[0] & 0x80) ? 4 : 2;
    const std::size_t body = whole.size() - header;
    for (const std::size_t keep : {std::size_t(1), header + 1, header + 6, whole.size() / 2, whole.size() - 1}) {
        SCOPED_TRACE(keep);
        const std::string path = scratch.file("cut" + std::to_string(keep) + ".zeq");
        writeBytes(path, std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(keep)));
        if (keep < header) {
            expectRejected(path, "not a Zeq file: too short");
        } else {
            expectRejected(path, "truncated: the packet declares " + std::to_string(body) + " body bytes, the file holds " +
                                     std::to_string(keep - header));
        }
    }
}

TEST_F(ZeqCommand, DamagedCompressedData) {
    std::vector<uint8_t> bytes = bytesOf(encodeSceneFile(validScene()));
    for (std::size_t i = bytes.size() / 3; i < bytes.size() / 3 + 8; ++i) bytes[i] ^= 0x5A;
    const std::string path = scratch.file("damaged.zeq");
    writeBytes(path, bytes);
    expectRejected(path, "corrupted compressed data");

    // A stream cut short inside a well-formed frame.
    std::vector<uint8_t> compressed = compressedPacket(sceneBody(validScene()));
    const std::string cutPath = scratch.file("cut-stream.zeq");
    writeBytes(cutPath, framed(std::vector<uint8_t>(compressed.begin() + 4, compressed.end() - 10)));
    expectRejected(cutPath, "corrupted compressed data");
}

TEST_F(ZeqCommand, DeclaredLengthsBeyondTheData) {
    // One vertex buffer whose byte array declares 4194303 bytes of which three are present.
    NullMap map;
    for (int i = 0; i < 18; ++i) map.appendBit(true);  // Zeq2 lists before vertexBuffers: absent
    map.appendBit(false);                              // vertexBuffers: present
    for (int i = 0; i < 3; ++i) map.appendBit(true);   // layers, cameras, lods: absent
    ByteBuffer body;
    map.encode(body);
    const uint8_t data[] = {0, 2, 0, 5, /* one buffer */ 1, /* no attributes */ 0, 0xFF, 0xFF, 0xFF, 1, 2, 3};
    body.appendBytes(data, sizeof data, false);
    const std::string path = scratch.file("long-array.zeq");
    writeBytes(path, compressedPacket(bytesOf(body)));
    expectRejected(path, "truncated data: the value at byte offset 9 runs past the end of the data stream (12 bytes)");

    // A data stream cut inside the roots.
    std::vector<uint8_t> shortBody = sceneBody(validScene());
    shortBody.resize(shortBody.size() - 40);
    const std::string cutPath = scratch.file("cut-data.zeq");
    writeBytes(cutPath, compressedPacket(shortBody));
    expectRejectedStartingWith(cutPath, "truncated data: the value at byte offset ");
}

// Faults after the first root do not stop the importer, which reads only that root: info and
// validate report them in the same words, validate damaged extension roots as an error and leftovers
// as a warning; diff compares a file with leftovers and refuses damaged roots, whose records are
// lost; dump (which shows every record) refuses.
TEST_F(ZeqCommand, FaultsAfterTheFirstRoot) {
    std::vector<uint8_t> afterPacket = bytesOf(encodeSceneFile(validScene()));
    afterPacket.push_back(0);
    afterPacket.push_back(0);
    std::vector<uint8_t> cutExtras = sceneBody(validScene());
    cutExtras.resize(cutExtras.size() - 3);  // into the LOD group of the last root
    const std::tuple<std::vector<uint8_t>, std::string, bool> files[] = {
        {compressedPacket(sceneBody(validScene(), {1, 2, 3})), "trailing bytes after the roots (3 bytes)", false},
        {afterPacket, "trailing bytes after the packet (2 bytes)", false},
        {compressedPacket(cutExtras), "truncated data: the value at byte offset ", true},
    };
    for (const auto& [bytes, problem, isError] : files) {
        SCOPED_TRACE(problem);
        const std::string path = scratch.file("leftover.zeq");
        writeBytes(path, bytes);
        const RunResult dump = runZeq("dump " + quoted(path), scratch);
        EXPECT_EQ(dump.status, 1);
        EXPECT_THAT(dump.err, StartsWith("zeq: " + path + ": " + problem));

        const std::string severity = isError ? "error: " : "warning: ";
        const RunResult validate = runZeq("validate " + quoted(path), scratch);
        EXPECT_EQ(validate.status, isError ? 1 : 0) << validate.err;
        EXPECT_THAT(validate.out, StartsWith(severity + "file: " + problem));
        EXPECT_THAT(validate.out, HasSubstr(path + (isError ? ": 1 error, 0 warnings\n" : ": 0 errors, 1 warning\n")));
        const RunResult info = runZeq("info " + quoted(path), scratch);
        EXPECT_EQ(info.status, 0) << info.err;
        const std::string finding = validate.out.substr(severity.size(), validate.out.find('\n') + 1 - severity.size());
        EXPECT_THAT(info.out, HasSubstr("\nwarning: " + finding));

        const RunResult import = runZeq("import " + quoted(path) + " -o " + quoted(scratch.file("out.json")), scratch);
        EXPECT_EQ(import.status, 0) << import.err;

        const RunResult diff = runZeq("diff " + quoted(path) + " " + quoted(path), scratch);
        EXPECT_EQ(diff.status, isError ? 2 : 0) << diff.err;
        EXPECT_THAT(diff.err, StartsWith("zeq: " + path + ": " + (isError ? "" : "warning: ") + problem));
    }
}

// A small file whose zlib stream inflates to more than 1 GiB of zeros: one flushed deflate block
// sequence of 1 MiB, repeated, then a final empty block. Inflation must stop at the limit.
TEST_F(ZeqCommand, InflationBomb) {
    std::vector<uint8_t> zeros(1 << 20, 0);
    z_stream zs{};
    ASSERT_EQ(deflateInit2(&zs, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY), Z_OK);
    std::vector<uint8_t> chunk(compressBound(static_cast<uLong>(zeros.size())) + 64);
    zs.next_in = zeros.data();
    zs.avail_in = static_cast<uInt>(zeros.size());
    zs.next_out = chunk.data();
    zs.avail_out = static_cast<uInt>(chunk.size());
    ASSERT_EQ(deflate(&zs, Z_FULL_FLUSH), Z_OK);
    chunk.resize(chunk.size() - zs.avail_out);
    deflateEnd(&zs);

    std::vector<uint8_t> stream = {0x78, 0xDA};
    for (int i = 0; i < 1100; ++i) stream.insert(stream.end(), chunk.begin(), chunk.end());
    stream.insert(stream.end(), {0x03, 0x00, 0, 0, 0, 0});  // final empty block, a checksum never reached
    const std::string path = scratch.file("bomb.zeq");
    writeBytes(path, framed(stream));

    const RunResult result = runZeq("info " + quoted(path), scratch);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "zeq: " + path + ": inflated size exceeds the 1 GiB limit\n");
}

// "-" is standard input or output wherever a verb reads or writes one file: a scene document
// through export into validate, without a file in between.
TEST_F(ZeqCommand, DashIsStandardInputAndOutput) {
    const std::string zeq = quoted(std::string(ZEQ_RUNTIME_DIR) + "/zeq");
    const std::string out = scratch.file("piped.txt");
    const std::string command = zeq + " scene demo -o - | " + zeq + " export - -o - --normals | " + zeq +
                                " validate - >" + quoted(out) + " 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << readText(out);
    EXPECT_THAT(readText(out), HasSubstr("standard input: 0 errors"));
}

}  // namespace
}  // namespace zeq::test
