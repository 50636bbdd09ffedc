// Several inputs for `zeq export` and `zeq import`: each good input is converted as it would be
// alone, a bad one is reported and skipped, and the summary and exit status tell that one failed.
#include "support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>

namespace zeq::test {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;

TEST(Batch, CarriesOnPastABadInput) {
    ScratchDir scratch;
    const std::string first = scratch.file("first.json");
    const std::string second = scratch.file("second.json");
    const std::string bad = scratch.file("bad.json");
    ASSERT_EQ(runZeq("scene demo -o " + quoted(first), scratch).status, 0);
    std::filesystem::copy_file(first, second);
    writeText(bad, "{\"nodes\": 3}");
    const std::string zeqs = scratch.file("zeqs");

    const RunResult exported =
        runZeq("export --normals " + quoted(first) + " " + quoted(bad) + " " + quoted(second) + " -o " + quoted(zeqs), scratch);
    EXPECT_EQ(exported.status, 1);
    EXPECT_THAT(exported.err, HasSubstr("zeq: " + bad + ": "));
    EXPECT_THAT(exported.err, EndsWith("zeq export: 2 converted, 1 failed\n"));
    EXPECT_FALSE(std::filesystem::exists(zeqs + "/bad.zeq"));
    // Each output is what exporting its input alone writes.
    const std::string alone = scratch.file("alone.zeq");
    ASSERT_EQ(runZeq("export --normals " + quoted(first) + " -o " + quoted(alone), scratch).status, 0);
    EXPECT_EQ(readText(zeqs + "/first.zeq"), readText(alone));
    EXPECT_EQ(readText(zeqs + "/second.zeq"), readText(alone));

    const std::string scenes = scratch.file("scenes");
    const RunResult imported = runZeq("import " + quoted(zeqs + "/first.zeq") + " " + quoted(bad) + " " +
                                          quoted(zeqs + "/second.zeq") + " -o " + quoted(scenes),
                                      scratch);
    EXPECT_EQ(imported.status, 1);
    EXPECT_THAT(imported.err, HasSubstr("zeq: " + bad + ": "));
    EXPECT_THAT(imported.err, EndsWith("zeq import: 2 converted, 1 failed\n"));
    EXPECT_TRUE(std::filesystem::exists(scenes + "/first.json"));
    EXPECT_TRUE(std::filesystem::exists(scenes + "/second.json"));

    // Two inputs of the same name would write one file: the second is refused, not overwritten.
    const RunResult clash = runZeq("import " + quoted(zeqs + "/first.zeq") + " " + quoted(zeqs + "/first.zeq") +
                                       " -o " + quoted(scenes),
                                   scratch);
    EXPECT_EQ(clash.status, 1);
    EXPECT_THAT(clash.err, HasSubstr("is also the output of"));
    EXPECT_THAT(clash.err, EndsWith("zeq import: 1 converted, 1 failed\n"));

    // Standard input among several inputs is written as stdin.json; standard output takes one file.
    EXPECT_THAT(runZeq("import - - -o " + quoted(scenes), scratch).err,
                HasSubstr(scenes + "/stdin.json is also the output of -"));
    const RunResult toOutput =
        runZeq("import " + quoted(zeqs + "/first.zeq") + " " + quoted(zeqs + "/second.zeq") + " -o -", scratch);
    EXPECT_EQ(toOutput.status, 2);
    EXPECT_EQ(toOutput.err, "zeq: import: several inputs need an output folder; standard output (-) takes one file\n");

    // A run that writes nothing takes away the folders it made for its outputs.
    const RunResult none = runZeq("import " + quoted(bad) + " -o " + quoted(scratch.file("made/for/them/")), scratch);
    EXPECT_EQ(none.status, 1);
    EXPECT_FALSE(std::filesystem::exists(scratch.file("made")));
}

// A batch run ended by SIGTERM ends the conversion it was running too: here one blocked reading a
// FIFO no one writes, which would otherwise stay and convert whatever reaches the FIFO later. So
// does one killed outright while it ignores SIGTERM (as a run started so inherits).
TEST(Batch, EndsItsConversionWhenEnded) {
    const std::string zeq = quoted(std::string(ZEQ_RUNTIME_DIR) + "/zeq");
    for (const auto& [start, signal] : {std::pair<std::string, int>{"", SIGTERM}, {"trap '' TERM; ", SIGKILL}}) {
        ScratchDir scratch;
        const std::string fifo = scratch.file("slow.json");
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        const std::string script = "(" + start + "exec " + zeq + " -q export " + quoted(fifo) + " -o " +
                                   quoted(scratch.file("out/")) + " 2>/dev/null) & sleep 1; kill -" +
                                   std::to_string(signal) + " $!; wait $!";
        const int status = std::system(("sh -c " + quoted(script)).c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + signal) << status;
        // The FIFO has no reader once the conversion has ended (opening it for writing then fails).
        ::usleep(500000);
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        EXPECT_LT(writer, 0) << "the conversion still reads the FIFO after signal " << signal;
        if (writer >= 0) ::close(writer);  // its reader gets an empty document and ends
    }
}

// A run given a file of 8 MB or more may start zeq once more (to ask for huge pages): it ends, and
// does what the same run on a small file does, with the user's own GLIBC_TUNABLES or without, and
// when zeq is run through the dynamic loader named as the program (which also finds the plug-ins
// beside zeq, not beside the loader).
TEST(Batch, LargeInputsRunAsSmallOnes) {
    ScratchDir scratch;
    const std::string small = scratch.file("small.json");
    const std::string large = scratch.file("large.json");
    ASSERT_EQ(runZeq("scene demo -o " + quoted(small), scratch).status, 0);
    writeText(large, readText(small) + std::string(9 << 20, ' '));
    ASSERT_EQ(runZeq("-q export " + quoted(small) + " -o " + quoted(scratch.file("small.zeq")), scratch).status, 0);
    std::vector<std::string> launchers = {"env GLIBC_TUNABLES=", "env GLIBC_TUNABLES=glibc.malloc.check=0",
                                          "env GLIBC_TUNABLES=glibc.malloc.hugetlb=0"};
    if (std::filesystem::exists("/lib64/ld-linux-x86-64.so.2")) launchers.push_back("/lib64/ld-linux-x86-64.so.2");
    for (const std::string& launcher : launchers) {
        const std::string out = scratch.file("large.zeq");
        const RunResult run = runZeq("-q export " + quoted(large) + " -o " + quoted(out), scratch, {}, launcher);
        EXPECT_EQ(run.status, 0) << launcher << ": " << run.err;
        EXPECT_EQ(readText(out), readText(scratch.file("small.zeq"))) << launcher;
    }
}

}  // namespace
}  // namespace zeq::test
