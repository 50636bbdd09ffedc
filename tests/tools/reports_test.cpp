// `zeq info --json` and `zeq validate --json`: the JSON document parses and states the same facts
// as the text form of the same file.
#include "support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace zeq::test {
namespace {

using ::testing::HasSubstr;

TEST(JsonReports, InfoStatesWhatTheTextStates) {
    ScratchDir scratch;
    const std::string path = scratch.file("scene.zeq");
    writeBytes(path, encodeSceneFile(validScene()));
    const RunResult text = runZeq("info " + quoted(path), scratch);
    const RunResult json = runZeq("info --json " + quoted(path), scratch);
    ASSERT_EQ(text.status, 0) << text.err;
    ASSERT_EQ(json.status, 0) << json.err;
    const nlohmann::json report = nlohmann::json::parse(json.out);

    EXPECT_EQ(report["file"], path);
    const auto number = [&](const char* key) { return std::to_string(report[key].get<int64_t>()); };
    EXPECT_THAT(text.out, HasSubstr("version    " + number("majorVersion") + "." + number("minorVersion") + " (" +
                                    report["vertexData"].get<std::string>() + ")\n"));
    EXPECT_THAT(text.out, HasSubstr("packet     " + number("packetBytes") + " bytes, inflated " +
                                    number("inflatedBytes") + " bytes\n"));
    EXPECT_THAT(text.out, HasSubstr("vertices   " + number("vertices") + " in " + number("vertexBuffers")));
    EXPECT_THAT(text.out, HasSubstr("triangles  " + number("triangles") + " in " + number("indexBuffers")));
    // Every record line of the text, and no other, appears in "records".
    std::size_t lines = 0;
    for (const auto& [name, count] : report["records"].items()) {
        EXPECT_THAT(text.out, ::testing::ContainsRegex("\n    " + name + " +" + std::to_string(count.get<int>()) + "\n"));
        ++lines;
    }
    EXPECT_EQ(lines, 21u);
    EXPECT_EQ(json.err, "");
}

TEST(JsonReports, ValidateStatesEachFindingWithRecordAndField) {
    ScratchDir scratch;
    SceneFile file = validScene();
    file.root.meshes->items[0].surfaces.items[1].materialId = 77;
    file.root.meshes->items[0].parentId = 999;
    file.root.indexBuffers->items[1].indexCount = 4;
    const std::string path = scratch.file("broken.zeq");
    writeBytes(path, encodeSceneFile(file));
    const RunResult text = runZeq("validate " + quoted(path), scratch);
    const RunResult json = runZeq("validate --json " + quoted(path), scratch);
    EXPECT_EQ(json.status, text.status);
    EXPECT_EQ(json.status, 1);
    const nlohmann::json report = nlohmann::json::parse(json.out);

    // The text lines rebuilt from the JSON findings are the text form, line for line.
    std::string rebuilt;
    for (const nlohmann::json& finding : report["findings"]) {
        rebuilt += finding["severity"].get<std::string>() + ": " + finding["record"].get<std::string>() + ": " +
                   finding["message"].get<std::string>() + "\n";
    }
    rebuilt += path + ": " + std::to_string(report["errors"].get<int>()) + " errors, " +
               std::to_string(report["warnings"].get<int>()) + " warnings\n";
    EXPECT_EQ(rebuilt, text.out);

    using Field = std::pair<std::string, std::string>;  // record, field
    std::vector<Field> fields;
    for (const nlohmann::json& finding : report["findings"])
        fields.emplace_back(finding["record"], finding["field"].is_null() ? "" : finding["field"].get<std::string>());
    EXPECT_THAT(fields, ::testing::UnorderedElementsAre(Field("meshes[0] (id 101)", "parentId"),
                                                        Field("meshes[0] (id 101)", "surfaces[1].materialId"),
                                                        Field("indexBuffers[1] (id 8)", "indexCount"),
                                                        Field("indexBuffers[1] (id 8)", "indexCount")));
}

}  // namespace
}  // namespace zeq::test
