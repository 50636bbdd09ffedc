// The zeq command's failures as the user sees them: one line on stderr in the same words for the
// same fault whichever verb meets it, exit status 1 for bad input and 2 for wrong usage.
#include "support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

extern char** environ;

namespace zeq::test {
namespace {

// A scene document whose one mesh welds into 65536 output vertices, one more than a mesh may have.
std::string oversizedSceneDocument() {
    constexpr int kVertices = 65536;
    std::string vertices, faces;
    for (int v = 0; v < kVertices; ++v) vertices += (v ? ",[" : "[") + std::to_string(v) + ",0,0]";
    for (int f = 0; f * 3 < kVertices; ++f) {
        faces += (f ? ",[" : "[") + std::to_string(f * 3) + "," + std::to_string((f * 3 + 1) % kVertices) + "," +
                 std::to_string((f * 3 + 2) % kVertices) + "]";
    }
    return R"({"objects": [{"id": "BigMesh", "kind": "mesh", "mesh": {"vertices": [)" + vertices +
           R"(], "faces": [)" + faces + R"(]}}], "nodes": [{"name": "Big", "object": "BigMesh"}]})";
}

TEST(ErrorLines, EachFaultIsOneLineInTheSameWordsEverywhere) {
    ScratchDir scratch;
    const std::string missing = scratch.file("missing.zeq");
    const std::string folder = scratch.file("folder");
    std::filesystem::create_directory(folder);
    const std::string out = scratch.file("out.zeq");
    const std::string document = scratch.file("out.json");
    const std::string missingDocument = scratch.file("missing.json");
    const std::string good = scratch.file("good.zeq");
    writeBytes(good, encodeSceneFile(validScene()));
    const std::string big = scratch.file("big.json");
    std::ofstream(big) << oversizedSceneDocument();
    // A shape without a mesh form under a modifier stack (which makes it a mesh node), and a model
    // whose node name is not UTF-8.
    const std::string shapeless = scratch.file("shapeless.json");
    std::ofstream(shapeless) << R"({"objects": [
        {"id": "Line", "kind": "object", "superClass": "shape", "classId": ["0xA", "0x0"], "conversion": "none"},
        {"id": "Wrapped", "kind": "stack", "base": "Line", "modifiers": []}],
        "nodes": [{"name": "Outline", "object": "Wrapped"}]})";
    const std::string badName = scratch.file("bad_name.obj");
    std::ofstream(badName) << "o Caf\xE9\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";

    // A vertex buffer whose byte array declares 4194303 bytes of which three are present: the
    // value at byte 9 of the 12-byte data stream runs past its end.
    NullMap map;
    for (int i = 0; i < 18; ++i) map.appendBit(true);
    map.appendBit(false);
    for (int i = 0; i < 3; ++i) map.appendBit(true);
    ProtocolBuffer pb;
    pb.nullMap = map;
    const uint8_t data[] = {0, 2, 0, 5, 1, 0, 0xFF, 0xFF, 0xFF, 1, 2, 3};
    pb.buffer.appendBytes(data, sizeof data, false);
    Protocol protocol;
    ByteBuffer packet;
    protocol.encodePacket(packet, pb, true);
    const std::string truncated = scratch.file("truncated.zeq");
    writeBytes(truncated, packet);
    const std::string truncatedText =
        "truncated data: the value at byte offset 9 runs past the end of the data stream (12 bytes)";

    // A scene document given as its own output: it used to be replaced by the Zeq file.
    const std::string inPlace = scratch.file("in_place.json");
    std::ofstream(inPlace) << R"({"nodes": [{"name": "Box"}]})";
    const std::string replaces = ": is the input file too: writing it would replace the input (choose another output)\n";

    // A model on a pipe: read once by a check, it left the reader waiting for a writer for ever.
    const std::string pipe = scratch.file("pipe.glb");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);

    // A model, the material library it names and the texture that names, which an output named like
    // them used to replace.
    const std::string model = scratch.file("model.obj"), library = scratch.file("model.mtl");
    const std::string texture = scratch.file("paint.zeq");  // a texture of any name
    std::ofstream(model) << "mtllib model.mtl\nusemtl Red\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
    std::ofstream(library) << "newmtl Red\nKd 1 0 0\nmap_Kd paint.zeq\n";
    std::ofstream(texture) << "PNG";
    const std::string breaks =
        ": is read with the input model: writing it would break the model (choose another output)\n";

    // A name that is not UTF-8: the importer's sentence starts "A text", which reads "a text" here too.
    // The writer refuses such a name, so a byte of the stored body is changed.
    SceneFile badText = validScene();
    badText.root.meshes->items[0].name = "A~";
    const ByteBuffer packed = encodeSceneFile(badText);
    const int header = (packed.data()[0] & 0x80) ? 4 : 2;
    std::vector<uint8_t> body(1 << 16);
    uLongf size = body.size();
    ASSERT_EQ(uncompress(body.data(), &size, packed.data() + header, static_cast<uLong>(packed.length() - header)), Z_OK);
    body.resize(size);
    const auto name = std::search(body.begin(), body.end(), std::begin("A~"), std::end("A~") - 1);
    ASSERT_NE(name, body.end());
    name[1] = 0xFF;
    body.insert(body.begin(), {static_cast<uint8_t>(size >> 8), static_cast<uint8_t>(size & 0xFF)});  // stored
    const std::string notUtf8 = scratch.file("not_utf8.zeq");
    std::ofstream(notUtf8, std::ios::binary).write(reinterpret_cast<const char*>(body.data()), std::streamsize(body.size()));

    const std::string cannotOpen = ": cannot open: No such file or directory\n";
    const std::string isFolder = ": is a directory, not a file\n";
    struct Case {
        std::string arguments;
        int status;
        std::string line;
    };
    const Case cases[] = {
        {"frobnicate", 2, "zeq: unknown command 'frobnicate'; run 'zeq --help'\n"},
        {"scene frobnicate", 2, "zeq: scene: unknown command 'frobnicate'; run 'zeq scene --help'\n"},
        {"-o " + quoted(out) + " export", 2,
         "zeq: -o: not an option of zeq itself; a command's options follow the command; run 'zeq --help'\n"},
        {"export -o " + quoted(out) + " -o " + quoted(out), 2,
         "zeq: export: --output: given 2 times, but it takes one value; run 'zeq export --help'\n"},
        {"", 2, "zeq: no command given; run 'zeq --help'\n"},
        {"info --frob " + quoted(good), 2,
         "zeq: info: the following argument was not expected: --frob; run 'zeq info --help'\n"},
        {"export", 2, "zeq: export: --output is required; run 'zeq export --help'\n"},
        {"scene demo extra", 2,
         "zeq: scene demo: the following argument was not expected: extra; run 'zeq scene demo --help'\n"},
        {"scene demo one two", 2,  // in command-line order
         "zeq: scene demo: the following arguments were not expected: one two; run 'zeq scene demo --help'\n"},
        // An empty value (an unset variable) is wrong usage: an empty scene used to export the demo.
        {"export '' -o " + quoted(out), 2, "zeq: export: SCENE: an empty value was given; run 'zeq export --help'\n"},
        {"import " + quoted(good) + " -o ''", 2,
         "zeq: import: --output: an empty value was given; run 'zeq import --help'\n"},
        {"diff " + quoted(good) + " " + quoted(good) + " --tolerance -1", 2,
         "zeq: diff: --tolerance: expected a finite number of 0 or more, got \"-1\"; run 'zeq diff --help'\n"},
        {"diff - -", 2, "zeq: diff: A and B are both standard input, which can be read once; run 'zeq diff --help'\n"},


        {"info " + quoted(missing), 1, "zeq: " + missing + cannotOpen},
        {"dump " + quoted(missing), 1, "zeq: " + missing + cannotOpen},
        {"validate " + quoted(missing), 1, "zeq: " + missing + cannotOpen},
        {"import " + quoted(missing) + " -o " + quoted(document), 1, "zeq: " + missing + cannotOpen},
        {"export " + quoted(missingDocument) + " -o " + quoted(out), 1, "zeq: " + missingDocument + cannotOpen},
        {"scene check " + quoted(missing), 1, "zeq: " + missing + cannotOpen},
        {"pack " + quoted(missing) + " -o " + quoted(out), 1, "zeq: " + missing + cannotOpen},

        {"info " + quoted(folder), 1, "zeq: " + folder + isFolder},
        {"import " + quoted(folder) + " -o " + quoted(document), 1, "zeq: " + folder + isFolder},
        {"export " + quoted(folder) + " -o " + quoted(out), 1, "zeq: " + folder + isFolder},
        {"scene check " + quoted(folder), 1, "zeq: " + folder + isFolder},
        {"pack " + quoted(folder) + " -o " + quoted(out), 1, "zeq: " + folder + isFolder},
        {"scene demo -o " + quoted(folder), 1, "zeq: " + folder + isFolder},
        {"export " + quoted(pipe) + " -o " + quoted(out), 1,
         "zeq: " + pipe + ": is not a regular file (a pipe or a device): models are read from files\n"},
        {"export -o " + quoted(scratch.file("nowhere/out.zeq")), 1,
         "zeq: " + scratch.file("nowhere/out.zeq") + ": cannot write: No such file or directory\n"},

        {"info " + quoted(truncated), 1, "zeq: " + truncated + ": " + truncatedText + "\n"},
        {"import " + quoted(truncated) + " -o " + quoted(document), 1, "zeq: " + truncated + ": " + truncatedText + "\n"},
        {"import " + quoted(notUtf8) + " -o " + quoted(document), 1,
         "zeq: " + notUtf8 + ": a text is not valid UTF-8 (it ends at byte offset 445 of the data stream)\n"},

        {"--plugins " + quoted(folder + "/none") + " import " + quoted(good) + " -o " + quoted(document), 1,
         "zeq: " + folder + "/none: cannot read the plug-in folder (No such file or directory)\n"},

        {"export " + quoted(inPlace) + " -o " + quoted(inPlace), 1, "zeq: " + inPlace + replaces},
        {"scene convert " + quoted(inPlace) + " -o " + quoted(inPlace), 1, "zeq: " + inPlace + replaces},
        {"export " + quoted(model) + " -o " + quoted(library), 1, "zeq: " + library + breaks},
        {"export " + quoted(model) + " -o " + quoted(texture), 1, "zeq: " + texture + breaks},

        {"export " + quoted(big) + " -o " + quoted(out), 1,
         "zeq: " + out + ": too many vertices in the mesh \"Big\" (65536 vertices, at most 65535)\n"},
        {"export " + quoted(shapeless) + " -o " + quoted(out), 1,
         "zeq: " + out + ": the object of node \"Outline\" cannot be converted to a triangle mesh\n"},
        {"export " + quoted(badName) + " -o " + quoted(out), 1,
         "zeq: " + out + ": the scene holds a name or text that is not valid UTF-8, or has a character the file's "
         "code page cannot hold\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const RunResult result = runZeq(c.arguments, scratch);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.err, c.line);
        EXPECT_FALSE(std::filesystem::exists(out));
        EXPECT_FALSE(std::filesystem::exists(document));
    }
    EXPECT_EQ(readText(inPlace), R"({"nodes": [{"name": "Box"}]})");
    EXPECT_EQ(readText(library), "newmtl Red\nKd 1 0 0\nmap_Kd paint.zeq\n");
    EXPECT_EQ(readText(texture), "PNG");
    // Past a file-size limit the write fails as any other, and leaves nothing behind.
    const RunResult limited = runZeq("scene demo -o " + quoted(document), scratch, {}, "prlimit --fsize=4096");
    EXPECT_EQ(limited.status, 1);
    EXPECT_EQ(limited.err, "zeq: " + document + ": cannot write: File too large\n");
    EXPECT_FALSE(std::filesystem::exists(document));
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(document).parent_path()))
        EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
    // A plug-in folder the environment names must be there too, for a conversion as for the rest.
    const RunResult named = runZeq("scene convert " + quoted(inPlace) + " -o " + quoted(scratch.file("x.glb")), scratch,
                                   {}, "env ZEQ_PLUGIN_PATH=" + quoted(folder + "/none"));
    EXPECT_EQ(named.status, 1);
    EXPECT_EQ(named.err, "zeq: " + folder + "/none: cannot read the plug-in folder (No such file or directory)\n");
}

// Runs zeq with its standard output on a pipe whose reader has gone before it starts.
RunResult runWithClosedOutput(std::vector<std::string> arguments, const ScratchDir& scratch) {
    const std::string zeq = std::string(ZEQ_RUNTIME_DIR) + "/zeq";
    const std::string err = scratch.file("stderr.txt");
    int ends[2];
    if (::pipe(ends) != 0) throw std::runtime_error("pipe failed");
    ::close(ends[0]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    arguments.insert(arguments.begin(), zeq);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, zeq.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    RunResult result;
    int status = 0;
    if (spawned == 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)) result.status = WEXITSTATUS(status);
    result.err = readText(err);
    return result;
}

// A reader of standard output that stops early ends zeq quietly with 141, as it ends other Unix
// tools; a failure before anything is written is still reported.
TEST(ErrorLines, ClosedStandardOutput) {
    ScratchDir scratch;
    const std::string good = scratch.file("good.zeq");
    writeBytes(good, encodeSceneFile(validScene()));
    const std::string missing = scratch.file("missing.zeq");
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string err;
    };
    const Case cases[] = {
        {{"dump", good}, 141, ""},
        {{"info", "--json", good}, 141, ""},
        {{"diff", good, good}, 141, ""},
        {{"export", "-o", "-"}, 141, ""},
        {{"scene", "demo"}, 141, ""},
        {{"--help"}, 141, ""},
        {{"info", missing}, 1, "zeq: " + missing + ": cannot open: No such file or directory\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.front());
        const RunResult result = runWithClosedOutput(c.arguments, scratch);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.err, c.err);
    }
}

// --plugins is a global option: it may come before or after the verb. A library that loads but
// has a class another library registered first is listed with that failure and counted as loaded.
TEST(ErrorLines, PluginFolderBeforeOrAfterTheVerb) {
    ScratchDir scratch;
    const std::string empty = scratch.file("no-plugins");
    std::filesystem::create_directory(empty);
    for (const std::string& arguments : {"--plugins " + quoted(empty) + " plugins", "plugins --plugins " + quoted(empty)}) {
        SCOPED_TRACE(arguments);
        const RunResult result = runZeq(arguments, scratch);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_THAT(result.out, ::testing::HasSubstr("0 libraries loaded, 0 failed"));
    }
    const std::string twice = scratch.file("twice");
    std::filesystem::create_directory(twice);
    for (const char* name : {"a.so", "b.so"})
        std::filesystem::copy_file(std::string(ZEQ_RUNTIME_DIR) + "/Sprite.so", twice + "/" + name);
    const RunResult result = runZeq("--plugins " + quoted(twice) + " plugins", scratch);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_THAT(result.out, ::testing::HasSubstr("failed: b.so: class"));
    EXPECT_THAT(result.out, ::testing::HasSubstr("2 libraries loaded, 0 failed"));
}

}  // namespace
}  // namespace zeq::test
