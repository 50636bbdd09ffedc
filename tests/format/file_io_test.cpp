// Whole-file reads and atomic writes.
#include "format/file_io.h"
#include "support.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>

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
    void TearDown() override {
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir_);
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename().string());
        return names;
    }

    fs::path dir_;
};

TEST_F(FileIo, WriteThenReadGivesTheSameBytes) {
    const ByteBuffer packet = encodeSceneFile(sampleScene());
    writeFileAtomic(path("scene.zeq"), packet);
    const ByteBuffer read = readFileBytes(path("scene.zeq"));
    EXPECT_EQ(bytesOf(read), bytesOf(packet));
    EXPECT_EQ(read.position, 0);
    EXPECT_EQ(entries(), std::vector<std::string>{"scene.zeq"});  // no temporary left behind

    writeFileAtomic(path("empty.zeq"), ByteBuffer());
    EXPECT_EQ(readFileBytes(path("empty.zeq")).length(), 0);
}

TEST_F(FileIo, ReplacingKeepsPermissions) {
    writeFileAtomic(path("scene.zeq"), bufferOf({1, 2, 3}));
    fs::permissions(path("scene.zeq"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    writeFileAtomic(path("scene.zeq"), bufferOf({4}));
    EXPECT_EQ(bytesOf(readFileBytes(path("scene.zeq"))), std::vector<uint8_t>{4});
    EXPECT_EQ(fs::status(path("scene.zeq")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(FileIo, ReadErrorsNameThePathAndTheReason) {
    try {
        readFileBytes(path("missing.zeq"));
        FAIL();
    } catch (const FileError& e) {
        EXPECT_EQ(e.path, path("missing.zeq"));
        EXPECT_EQ(e.reason, "No such file or directory");
        EXPECT_EQ(std::string(e.what()), path("missing.zeq") + ": No such file or directory");
    }
    try {
        readFileBytes(dir_.string());
        FAIL();
    } catch (const FileError& e) {
        EXPECT_EQ(e.reason, "Is a directory");
    }
}

TEST_F(FileIo, FailedWriteLeavesTheExistingFileAlone) {
    writeFileAtomic(path("scene.zeq"), bufferOf({1, 2, 3}));
    if (::geteuid() != 0) {
        // A directory that cannot take the temporary file.
        fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_THROW(writeFileAtomic(path("scene.zeq"), bufferOf({9})), FileError);
        fs::permissions(dir_, fs::perms::owner_all);
    }
    // A target that is a directory.
    fs::create_directory(path("folder.zeq"));
    try {
        writeFileAtomic(path("folder.zeq"), bufferOf({9}));
        FAIL();
    } catch (const FileError& e) {
        EXPECT_EQ(e.reason, "Is a directory");
    }
    // A target in a folder that does not exist.
    try {
        writeFileAtomic(path("nowhere/scene.zeq"), bufferOf({9}));
        FAIL();
    } catch (const FileError& e) {
        EXPECT_EQ(e.path, path("nowhere/scene.zeq"));
        EXPECT_EQ(e.reason, "No such file or directory");
    }
    EXPECT_EQ(bytesOf(readFileBytes(path("scene.zeq"))), (std::vector<uint8_t>{1, 2, 3}));
    auto names = entries();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"folder.zeq", "scene.zeq"}));
}

// A write that fails half-way (here: over the file size limit) removes its temporary file and
// leaves the old file as it was.
TEST_F(FileIo, WriteFailingHalfWay) {
    writeFileAtomic(path("scene.zeq"), bufferOf({1, 2, 3}));
    std::vector<uint8_t> big(100000, 7);

    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string reason;
    try {
        writeFileAtomic(path("scene.zeq"), bufferOf(big));
    } catch (const FileError& e) {
        reason = e.reason;
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(reason, "File too large");
    EXPECT_EQ(bytesOf(readFileBytes(path("scene.zeq"))), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(entries(), std::vector<std::string>{"scene.zeq"});
}

}  // namespace
}  // namespace zeq::test
