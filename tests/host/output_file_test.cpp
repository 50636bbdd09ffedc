// The output routine on every kind of target, in a scratch folder: what ends up where, that the
// folder holds no temporary afterwards, and that a refused or failed write changes nothing.
#include "host/output_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

class OutputFile : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "zeq-output-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(dir_, ignored))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(dir_, ignored);
    }
    fs::path at(const std::string& name) const { return dir_ / name; }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // The reason of the OutputError `write` throws, empty when it succeeds.
    static std::string failure(const std::function<void()>& write) {
        try {
            write();
        } catch (const zeq::OutputError& e) {
            return e.reason;
        }
        return {};
    }

    fs::path dir_;
};

TEST_F(OutputFile, EachKindOfTarget) {
    const std::string longName(NAME_MAX, 'n');
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> prepare;  // sets up "out" (and what it points to)
        std::string expectedError;
        std::string inTarget;                           // contents of "target" afterwards ("" none)
        std::vector<std::string> entries;               // the folder afterwards
        const char* output = "out";
    };
    const Case cases[] = {
        {"new file", [](const fs::path&) {}, "", "", {"out"}},
        {"existing file", [](const fs::path& d) { writeText(d / "out", "old"); }, "", "", {"out"}},
        {"link to a file",
         [](const fs::path& d) {
             writeText(d / "target", "old");
             fs::create_symlink("target", d / "out");
         },
         "", "new", {"out", "target"}},
        {"dangling link",
         [](const fs::path& d) { fs::create_symlink("target", d / "out"); }, "", "new", {"out", "target"}},
        {"link to a link in another folder",
         [](const fs::path& d) {
             fs::create_directory(d / "sub");
             fs::create_symlink("../target", d / "sub" / "hop");
             fs::create_symlink("sub/hop", d / "out");
         },
         "", "new", {"out", "sub", "target"}},
        {"directory", [](const fs::path& d) { fs::create_directory(d / "out"); }, "is a directory, not a file", "",
         {"out"}},
        {"link to a directory",
         [](const fs::path& d) {
             fs::create_directory(d / "target");
             fs::create_symlink("target", d / "out");
         },
         "is a directory, not a file", "", {"out", "target"}},
        {"link loop", [](const fs::path& d) { fs::create_symlink("out", d / "out"); },
         "cannot write: Too many levels of symbolic links", "", {"out"}},
        {"missing folder", [](const fs::path&) {}, "cannot write: No such file or directory", "", {}, "nowhere/out"},
        {"name as long as a name may be", [](const fs::path&) {}, "", "", {longName}, longName.c_str()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        c.prepare(dir_);
        const fs::path out = at(c.output);
        EXPECT_EQ(failure([&] { zeq::writeOutputFile(out.string(), "new"); }), c.expectedError);
        EXPECT_EQ(entries(), c.entries);
        if (c.expectedError.empty()) {
            EXPECT_EQ(readText(out), "new");
        }
        if (!c.inTarget.empty()) {
            EXPECT_EQ(readText(at("target")), c.inTarget);
            EXPECT_TRUE(fs::is_symlink(out));
        }
    }
}

TEST_F(OutputFile, ReplacingKeepsThePermissionBits) {
    writeText(at("out"), "old");
    fs::permissions(at("out"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    zeq::writeOutputFile(at("out").string(), "new");
    EXPECT_EQ(readText(at("out")), "new");
    EXPECT_EQ(fs::status(at("out")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// A FIFO is written straight (devices take the same path): the reader gets the bytes and the FIFO
// is still a FIFO afterwards.
TEST_F(OutputFile, FifoIsWrittenStraight) {
    ASSERT_EQ(::mkfifo(at("pipe").c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = readText(at("pipe")); });
    zeq::writeOutputFile(at("pipe").string(), "through the pipe");
    reader.join();
    EXPECT_EQ(received, "through the pipe");
    EXPECT_TRUE(fs::is_fifo(at("pipe")));
    EXPECT_EQ(entries(), std::vector<std::string>{"pipe"});
}

TEST_F(OutputFile, DashIsStandardOutput) {
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    FILE* capture = std::fopen(at("captured").c_str(), "w");
    ASSERT_NE(capture, nullptr);
    ::dup2(::fileno(capture), STDOUT_FILENO);
    const std::string error = failure([] { zeq::writeOutputFile("-", "to stdout"); });
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    std::fclose(capture);
    EXPECT_EQ(error, "");
    EXPECT_EQ(readText(at("captured")), "to stdout");
    EXPECT_EQ(entries(), std::vector<std::string>{"captured"});
}

// A folder the user may not write, or a read-only file in a folder the user may write (which a
// rename would replace): the write fails, the old file stays, nothing is left behind. Root may
// write anywhere, so the attempt runs in a child that gives up root first.
TEST_F(OutputFile, UnwritableTargets) {
    const fs::perms readable = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(dir_, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    fs::create_directory(at("locked"));
    writeText(at("locked/out"), "old");
    fs::permissions(at("locked"), readable);
    fs::create_directory(at("open"));
    writeText(at("open/out"), "old");
    fs::permissions(at("open/out"), fs::perms::owner_read | fs::perms::others_read);
    fs::permissions(at("open"), fs::perms::all);
    for (const char* folder : {"locked", "open"}) {
        SCOPED_TRACE(folder);
        const fs::path out = at(folder) / "out";
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
            const std::string error = failure([&] { zeq::writeOutputFile(out.string(), "new"); });
            ::_exit(error == "cannot write: Permission denied" ? 0 : 1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_EQ(readText(out), "old");
        EXPECT_EQ(std::distance(fs::directory_iterator(at(folder)), fs::directory_iterator()), 1);
    }
}

// A descriptor of the process named through its descriptor folder (as /dev/stdout names the
// shell's redirection) is written at its own offset and in its append mode: the file keeps what
// it held and stays the same file.
TEST_F(OutputFile, OwnDescriptorIsWrittenInPlace) {
    writeText(at("log"), "HEADER\n");
    const int fd = ::open(at("log").c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(fd, 0);
    struct stat before {};
    ASSERT_EQ(::stat(at("log").c_str(), &before), 0);
    fs::create_symlink("/dev/fd/" + std::to_string(fd), at("link"));
    for (const std::string& path : {"/proc/self/fd/" + std::to_string(fd), "/dev/fd/" + std::to_string(fd), at("link").string()})
        EXPECT_EQ(failure([&] { zeq::writeOutputFile(path, "line\n"); }), "") << path;
    ::close(fd);
    struct stat after {};
    ASSERT_EQ(::stat(at("log").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(readText(at("log")), "HEADER\nline\nline\nline\n");
    EXPECT_EQ(entries(), (std::vector<std::string>{"link", "log"}));
}

// A set of files replaces all of them or none: a refused file, or a set never committed, leaves
// every old file and no temporary; a committed set puts every file in place.
TEST_F(OutputFile, SetReplacesAllOrNone) {
    writeText(at("a"), "old");
    fs::create_directory(at("taken"));
    {
        zeq::OutputSet set;
        set.add(at("a").string(), "new", 3);
        EXPECT_EQ(failure([&] { set.add(at("taken").string(), "new", 3); }), "is a directory, not a file");
    }
    {
        zeq::OutputSet set;
        set.add(at("a").string(), "new", 3);
        set.add(at("b").string(), "new", 3);
    }
    EXPECT_EQ(readText(at("a")), "old");
    EXPECT_EQ(entries(), (std::vector<std::string>{"a", "taken"}));

    // The folder spelt two ways is one folder (its lock is taken once).
    zeq::OutputSet set;
    set.add(at("a").string(), "new", 3);
    set.add((at(".") / "b").string(), "new", 3);
    EXPECT_EQ(readText(at("a")), "old");
    set.commit();
    EXPECT_EQ(readText(at("a")), "new");
    EXPECT_EQ(readText(at("b")), "new");
    EXPECT_EQ(entries(), (std::vector<std::string>{"a", "b", "taken"}));

    // A rename that fails in commit() (a folder took the name of the last file after add()) puts
    // back the files already replaced and removes the one already created.
    zeq::OutputSet failing;
    failing.add(at("a").string(), "newer", 5);
    failing.add(at("c").string(), "newer", 5);
    failing.add(at("b").string(), "newer", 5);
    failing.add(at("d").string(), "newer", 5);
    fs::create_directory(at("d"));
    EXPECT_EQ(failure([&] { failing.commit(); }), "cannot write: Is a directory");
    EXPECT_EQ(readText(at("a")), "new");
    EXPECT_EQ(readText(at("b")), "new");
    EXPECT_EQ(entries(), (std::vector<std::string>{"a", "b", "d", "taken"}));
}

// A set refuses a second path of a file it already writes, which would keep only one of the two.
TEST_F(OutputFile, SetRefusesOneFileTwice) {
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> prepare;
        const char* first;
        const char* second;
    };
    const Case cases[] = {
        {"link to a file yet to be made", [](const fs::path& d) { fs::create_symlink("x.gltf", d / "x.bin"); }, "x.bin",
         "x.gltf"},
        {"link to an existing file",
         [](const fs::path& d) {
             writeText(d / "x.gltf", "old");
             fs::create_symlink("x.gltf", d / "x.bin");
         },
         "x.bin", "x.gltf"},
        {"hard link",
         [](const fs::path& d) {
             writeText(d / "x.gltf", "old");
             fs::create_hard_link(d / "x.gltf", d / "x.bin");
         },
         "x.gltf", "x.bin"},
        {"another spelling", [](const fs::path& d) { fs::create_directory(d / "sub"); }, "x.gltf", "sub/../x.gltf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        c.prepare(dir_);
        const std::vector<std::string> before = entries();
        {
            zeq::OutputSet set;
            set.add(at(c.first).string(), "new", 3);
            EXPECT_EQ(failure([&] { set.add(at(c.second).string(), "new", 3); }),
                      "is also written as " + at(c.first).string() + " (the same file)");
        }
        EXPECT_EQ(entries(), before);
    }
}

// A write that fails half-way (here: over the file size limit) removes its temporary file and
// leaves the old file as it was.
TEST_F(OutputFile, WriteFailingHalfWay) {
    writeText(at("out"), "old");
    const std::string big(100000, 'x');
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string error = failure([&] { zeq::writeOutputFile(at("out").string(), big); });
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(error, "cannot write: File too large");
    EXPECT_EQ(readText(at("out")), "old");
    EXPECT_EQ(entries(), std::vector<std::string>{"out"});
}

// The streaming form writes every piece in order; a producer that throws half-way leaves the old
// file and no temporary, and its exception reaches the caller.
TEST_F(OutputFile, StreamedPieces) {
    const std::string target = at("out").string();
    zeq::writeOutputFile(target, [](const zeq::OutputSink& sink) {
        for (int i = 0; i < 1000; ++i) sink("piece ", 6);
    });
    EXPECT_EQ(readText(at("out")).size(), 6000u);

    writeText(at("out"), "old");
    EXPECT_THROW(zeq::writeOutputFile(target,
                                      [](const zeq::OutputSink& sink) {
                                          sink("new", 3);
                                          throw std::runtime_error("the producer failed");
                                      }),
                 std::runtime_error);
    EXPECT_EQ(readText(at("out")), "old");
    EXPECT_EQ(entries(), std::vector<std::string>{"out"});
}

// A process ended by a termination signal half-way through a write, with companion files already
// in place (more than a fixed table would hold), ends by that signal and leaves the old file and
// nothing else (it left its temporary).
TEST_F(OutputFile, TerminationSignalLeavesNoTemporary) {
    writeText(at("out"), "old");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        zeq::removeGuardedFilesOnTermination();
        std::vector<std::unique_ptr<zeq::RemovedOnInterrupt>> companions;
        for (int i = 0; i < 40; ++i) {
            const std::string companion = at("out_" + std::to_string(i) + ".png").string();
            writeText(companion, "companion");
            companions.push_back(std::make_unique<zeq::RemovedOnInterrupt>(companion));
        }
        zeq::writeOutputFile(at("out").string(), [](const zeq::OutputSink& sink) {
            sink("new", 3);
            std::raise(SIGTERM);
        });
        std::_Exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(entries(), std::vector<std::string>{"out"});
    EXPECT_EQ(readText(at("out")), "old");
}

// A termination signal while a set is put in place (here while it waits for the reader of its FIFO,
// the files before it already in place) leaves the old files: replaced ones go back, created ones
// and the temporaries go.
TEST_F(OutputFile, TerminationSignalDuringCommitLeavesTheOldFiles) {
    writeText(at("a"), "old");
    writeText(at("c"), "old");
    ASSERT_EQ(::mkfifo(at("pipe").c_str(), 0600), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        zeq::removeGuardedFilesOnTermination();
        zeq::OutputSet set;
        set.add(at("a").string(), "new", 3);
        set.add(at("b").string(), "new", 3);
        set.add(at("pipe").string(), std::string(1 << 20, 'x').data(), 1 << 20);  // more than the pipe holds
        set.add(at("c").string(), "new", 3);
        set.commit();
        std::_Exit(0);
    }
    // The FIFO opens once a and b are in place; unread, it keeps the child waiting.
    const int reader = ::open(at("pipe").c_str(), O_RDONLY);
    ::kill(child, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_GE(reader, 0);
    ::close(reader);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(entries(), (std::vector<std::string>{"a", "c", "pipe"}));
    EXPECT_EQ(readText(at("a")), "old");
    EXPECT_EQ(readText(at("c")), "old");
}

}  // namespace
