// `zeq pack`: a raw dump packs back to the very bytes it came from, for every file the exporter
// writes; a document that describes no valid records is refused with its JSON path, and nothing
// is written.
#include "format/json.h"
#include "support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <filesystem>

namespace zeq::test {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

class Pack : public ::testing::Test {
protected:
    // Dumps `file` raw, packs the dump and returns the packed bytes.
    std::string dumpAndPack(const std::string& file) {
        const std::string dump = scratch.file("dump.json");
        const std::string packed = scratch.file("packed.zeq");
        const RunResult dumped = runZeq("dump --raw " + quoted(file), scratch, dump);
        EXPECT_EQ(dumped.status, 0) << dumped.err;
        const RunResult result = runZeq("pack " + quoted(dump) + " -o " + quoted(packed), scratch);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err, "");
        // The same dump as tools such as jq write it, -0.0 as -0 (an integer 0 given as -0 too).
        std::string text = std::regex_replace(readText(dump), std::regex("-0\\.0([^0-9])"), "-0$1");
        text = std::regex_replace(text, std::regex("\"indexBegin\": 0,"), "\"indexBegin\": -0,");
        writeText(dump, text);
        const RunResult rewritten = runZeq("pack " + quoted(dump) + " -o " + quoted(packed + "2"), scratch);
        EXPECT_EQ(rewritten.status, 0) << rewritten.err;
        EXPECT_TRUE(readText(packed + "2") == readText(packed)) << "-0 did not pack as -0.0 does";
        return readText(packed);
    }

    ScratchDir scratch;
};

TEST_F(Pack, RawDumpOfEveryExportPacksToTheSameBytes) {
    const char* optionSets[] = {"", "--normals --tangents --animation", "--half --normals", "--atf --animation-only",
                                "--tangents --half --animation"};
    for (const char* options : optionSets) {
        SCOPED_TRACE(options);
        const std::string exported = scratch.file("demo.zeq");
        const RunResult result = runZeq("export -o " + quoted(exported) + " " + options, scratch);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(dumpAndPack(exported), readText(exported));
    }
    // Every record kind, the rarer ones included, in both vertex formats.
    for (uint16_t minor : {kMinorVersionFloat32, kMinorVersionHalf}) {
        SceneFile file = validScene();
        file.minorVersion = minor;
        const std::string path = scratch.file("valid.zeq");
        writeBytes(path, encodeSceneFile(file));
        EXPECT_EQ(dumpAndPack(path), readText(path));
    }
}

TEST_F(Pack, RefusesDocumentsThatDescribeNoValidRecords) {
    const std::string source = scratch.file("valid.zeq");
    writeBytes(source, encodeSceneFile(validScene()));
    const RunResult dumped = runZeq("dump --raw " + quoted(source), scratch);
    ASSERT_EQ(dumped.status, 0) << dumped.err;
    const Json valid = Json::parse(dumped.out);

    struct Case {
        const char* pointer;  // the value to replace; an empty value removes it
        Json value;
        std::string problem;  // the start of the expected error
    };
    const Case cases[] = {
        {"/Zeq2/meshes/0/visible", Json(), "Zeq2.meshes[0].visible: missing required field"},
        {"/Zeq2/meshes/0/name", 5, "Zeq2.meshes[0].name: expected a string"},
        {"/Zeq2/meshes/0/colour", "red", "Zeq2.meshes[0]: unknown field \"colour\""},
        {"/Zeq2/indexBuffers/1/id", 3000000000LL, "Zeq2.indexBuffers[1].id: expected an integer from"},
        {"/Zeq2/vertexBuffers/0/attributes/1", "COLOR", "Zeq2.vertexBuffers[0].attributes[1]: unknown vertex attribute"},
        {"/Zeq2/vertexBuffers/0/byteBuffer", "0g", "Zeq2.vertexBuffers[0].byteBuffer: not a hex digit"},
        {"/Zeq2/indexBuffers/0/byteBuffer", Json::array({0, 1, 2}),
         "Zeq2.indexBuffers[0].byteBuffer: expected a hex string (decoded vertex and index data do not pack: dump "
         "with --raw)"},
        {"/Zeq2/meshes/0/name", std::string("a\0b", 3),
         "Zeq2.meshes[0].name: a text cannot hold a zero character (\\u0000)"},
        {"/Zeq2/tracks/0/keyframes/1/time", 1e300, "Zeq2.tracks[0].keyframes[1].time: number out of range"},
        {"/Zeq2/tracks/0/keyframes/1/time", 1e-50, "Zeq2.tracks[0].keyframes[1].time: number too close to 0"},
        {"/Zeq2/indexBuffers/0/byteBuffer", std::string(2 * 4194304, '0'),
         "Zeq2.indexBuffers[0].byteBuffer: 4194304 bytes, at most 4194303"},
        {"/majorVersion", 3, "majorVersion: 3 is not 2"},
        {"/Zeq2Extra2", Json(), "scene file.Zeq2Extra2: missing required field"},
    };
    const std::string output = scratch.file("out.zeq");
    writeText(output, "keep");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pointer);
        Json document = valid;
        const Json::json_pointer pointer(c.pointer);
        if (c.value.is_null()) {
            document[pointer.parent_pointer()].erase(pointer.back());
        } else {
            document[pointer] = c.value;
        }
        const std::string dump = scratch.file("edited.json");
        writeText(dump, document.dump());
        const RunResult result = runZeq("pack " + quoted(dump) + " -o " + quoted(output), scratch);
        EXPECT_EQ(result.status, 1);
        EXPECT_THAT(result.err, StartsWith("zeq: " + dump + ": " + c.problem));
        EXPECT_EQ(readText(output), "keep");
    }

    // Text that is not JSON: cut short, or a whole document followed by zeroes (a damaged file); a
    // key given twice, whose first value would be lost; nesting no dump has, which would take a
    // hundred times its size to build.
    const auto lines = std::count(dumped.out.begin(), dumped.out.end(), '\n');
    const std::string twice = dumped.out.substr(0, dumped.out.rfind('}')) + R"(, "Zeq2Extra2": {}})";
    std::string twiceInList = dumped.out;
    twiceInList.insert(twiceInList.find("\"visible\"", twiceInList.find("\"meshes\"")), R"("name": "Box", )");
    const std::pair<std::string, std::string> damaged[] = {
        {dumped.out.substr(0, dumped.out.size() / 2), "not a JSON document: parse error at line"},
        {dumped.out + std::string(4, '\0'),
         "not a JSON document: parse error at line " + std::to_string(lines + 1) + ", column 1: a zero byte"},
        {twice, "Zeq2Extra2: a key given twice in one object"},
        {twiceInList, "Zeq2.meshes[0].name: a key given twice in one object"},
        {std::string(100000, '[') + std::string(100000, ']'), "[0][0][0]"},
        {"{\"majorVersion\": 2, \"Zeq2\": {\"tracks\": [{\"id\": -1e400}]}}", "Zeq2.tracks[0].id: number out of range"},
    };
    for (const auto& [text, problem] : damaged) {
        const std::string dump = scratch.file("damaged.json");
        writeText(dump, text);
        const RunResult result = runZeq("pack " + quoted(dump) + " -o " + quoted(output), scratch);
        EXPECT_EQ(result.status, 1);
        EXPECT_THAT(result.err, StartsWith("zeq: " + dump + ": " + problem));
        EXPECT_EQ(readText(output), "keep");
    }
}

// A number is rounded to a float once, from its text: through a double first, these two would be
// stored a float step low.
TEST_F(Pack, NumbersRoundToTheNearestFloat) {
    const std::string source = scratch.file("valid.zeq");
    writeBytes(source, encodeSceneFile(validScene()));
    const RunResult dumped = runZeq("dump --raw " + quoted(source), scratch);
    ASSERT_EQ(dumped.status, 0) << dumped.err;
    const std::pair<const char*, float> cases[] = {
        {"1.00000005960464477539062500001", std::nextafter(1.0f, 2.0f)},
        {"1152921573326323713", std::ldexp(1.0f, 60) + std::ldexp(1.0f, 37)},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        std::string document = dumped.out;
        const std::size_t at = document.find("\"time\": 0.5") + 8;
        ASSERT_NE(at, std::string::npos + 8);
        document.replace(at, 3, text);
        const std::string dump = scratch.file("rounded.json");
        const std::string packed = scratch.file("rounded.zeq");
        writeText(dump, document);
        const RunResult result = runZeq("pack " + quoted(dump) + " -o " + quoted(packed), scratch);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(decodeSceneFile(readFileBytes(packed)).root.tracks->items[0].keyframes.items[1].time, expected);
    }
}

}  // namespace
}  // namespace zeq::test
