// Whole-file reads.
#include "format/file_io.h"
#include "support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace zeq::test {
namespace {

namespace fs = std::filesystem;

class FileIo : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("zeq_format_io_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

TEST_F(FileIo, ReadGivesTheBytesOfTheFile) {
    const ByteBuffer packet = encodeSceneFile(sampleScene());
    std::ofstream(path("scene.zeq"), std::ios::binary)
        .write(reinterpret_cast<const char*>(packet.data()), packet.length());
    const ByteBuffer read = readFileBytes(path("scene.zeq"));
    EXPECT_EQ(bytesOf(read), bytesOf(packet));
    EXPECT_EQ(read.position, 0);

    std::ofstream(path("empty.zeq"), std::ios::binary);
    EXPECT_EQ(readFileBytes(path("empty.zeq")).length(), 0);
}

// A file whose first bytes are no packet header and zlib stream is refused without reading it all:
// /dev/zero would be read up to the size limit (1 GiB) first.
TEST_F(FileIo, ReadStopsAtDataThatIsNoSceneFile) {
    ByteBuffer start = readFileBytes("/dev/zero");
    EXPECT_LE(start.length(), 65536);
    EXPECT_THROW(
        try { decodeSceneFile(start); } catch (const FormatError& e) {
            EXPECT_STREQ(e.what(), "not a Zeq file (no version 2 data after the packet header)");
            throw;
        },
        FormatError);
}

TEST_F(FileIo, ReadErrorsNameThePathAndTheReason) {
    try {
        readFileBytes(path("missing.zeq"));
        FAIL();
    } catch (const FileError& e) {
        EXPECT_EQ(e.path, path("missing.zeq"));
        EXPECT_EQ(e.reason, "cannot open: No such file or directory");
        EXPECT_EQ(std::string(e.what()), path("missing.zeq") + ": cannot open: No such file or directory");
    }
    try {
        readFileBytes(dir_.string());
        FAIL();
    } catch (const FileError& e) {
        EXPECT_EQ(e.reason, "is a directory, not a file");
    }
}

}  // namespace
}  // namespace zeq::test
