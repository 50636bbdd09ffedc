// `zeq import`: the built binary runs the importer plug-in and writes the scene document; failures
// give exit status 1 with the importer's message and write nothing.
#include "support.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace zeq::test {
namespace {

const std::string kZeq = std::string(ZEQ_RUNTIME_DIR) + "/zeq";

class ImportCommand : public ImportTest {
protected:
    struct Outcome {
        int status = -1;
        std::string err;
    };

    Outcome run(const std::string& arguments) {
        const std::string errFile = path("stderr.txt");
        const std::string command = "'" + kZeq + "' --plugins '" + ZEQ_RUNTIME_DIR + "' " + arguments + " >/dev/null 2>'" +
                                    errFile + "'";
        Outcome outcome;
        const int raw = std::system(command.c_str());
        outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        std::ifstream in(errFile);
        std::stringstream text;
        text << in.rdbuf();
        outcome.err = text.str();
        return outcome;
    }

    static std::string readText(const std::string& file) {
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

TEST_F(ImportCommand, WritesTheImportedSceneAndPrintsWarnings) {
    ASSERT_TRUE(std::filesystem::exists(kZeq)) << kZeq << " is built with the tests";
    SceneFile file;
    file.root = emptyRoot();
    addTriangleGeometry(file.root);
    file.root.objects->add(objectRecord(1, "Holder", std::nullopt, moveTo(1, 2, 3)));
    Zeq2Mesh mesh = meshRecord(2, "Leaf", 1, {1});
    mesh.parentId = 1;
    mesh.surfaces.add({0, 42, 1});  // no material 42: one warning
    file.root.meshes->add(mesh);
    const std::string input = writeScene(file);
    const std::string output = path("scene.json");

    const Outcome outcome = run("import '" + input + "' -o '" + output + "'");
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_NE(outcome.err.find("Warning: "), std::string::npos) << outcome.err;
    EXPECT_NE(outcome.err.find("material 42 does not exist"), std::string::npos) << outcome.err;
    const std::string document = readText(output);
    EXPECT_NE(document.find("\"Holder\""), std::string::npos);
    EXPECT_NE(document.find("\"Leaf\""), std::string::npos);
    EXPECT_NE(document.find("ProtocolID"), std::string::npos);
}

TEST_F(ImportCommand, FailedImportExitsWithTheMessageAndWritesNothing) {
    ASSERT_TRUE(std::filesystem::exists(kZeq)) << kZeq << " is built with the tests";
    SceneFile file;
    file.majorVersion = 1;
    const std::string input = writeScene(file);
    const std::string output = path("scene.json");
    const Outcome outcome = run("import '" + input + "' -o '" + output + "'");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "zeq: " + input + ": unsupported major version 1\n");
    EXPECT_FALSE(std::filesystem::exists(output));
}

TEST_F(ImportCommand, AFolderWithoutTheImporterIsAnError) {
    ASSERT_TRUE(std::filesystem::exists(kZeq)) << kZeq << " is built with the tests";
    const std::string empty = path("no-plugins");
    std::filesystem::create_directories(empty);
    const std::string command = "'" + kZeq + "' --plugins '" + empty + "' import x.zeq -o '" + path("x.json") +
                                "' >/dev/null 2>&1";
    const int raw = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 1);
}

}  // namespace
}  // namespace zeq::test
