// The read of a foreign file runs in a child process. Assimp's readers are not hardened against
// damaged files: some crash, abort, loop for ever or ask for absurd amounts of memory. The child
// reads the file under a memory bound, packs the scene into a memory file (foreign_transfer.cpp)
// and ends; the loader waits for it under a time limit and unpacks the scene. Whatever becomes of
// the child, the loader ends up with the scene or with one ForeignSceneError saying what happened.
#include "headless/foreign_read.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <new>
#include <string>

// Set by the sanitizers' runtime when the program is built with them (absent otherwise).
extern "C" void __sanitizer_set_death_callback(void (*callback)()) __attribute__((weak));

namespace headless::foreign {

namespace {

// What the child sends first: the scene is whole in the memory file (the reader's notes follow, up
// to a zero byte), or the reason it is not follows. The parent goes on as soon as it has the whole
// word, while the child is still ending (letting go of a large scene's memory takes a while).
constexpr char kSceneHandedOver = 'S';
constexpr char kNotesEnd = '\0';
constexpr char kRefused = 'R';
// Exit statuses of the child.
constexpr int kChildRead = 0;
constexpr int kChildRefused = 1;
// The longest text the child may send: its reason, or its notes, which name every file the reader
// opened (a model of many buffers names many).
constexpr std::size_t kMaxReason = std::size_t(16) << 20;

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    void reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

[[noreturn]] void fail(const std::string& what) { throw ForeignSceneError(what); }

std::string systemError(const char* doing) { return std::string(doing) + " (" + std::strerror(errno) + ")"; }

uint64_t addressSpaceInUse() {
    std::ifstream statm("/proc/self/statm");
    uint64_t pages = 0;
    if (!(statm >> pages)) return 0;
    return pages * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

void writeAll(int fd, const std::string& text) {
    const char* at = text.data();
    std::size_t left = std::min(text.size(), kMaxReason);
    while (left > 0) {
        const ssize_t n = ::write(fd, at, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        at += n;
        left -= static_cast<std::size_t>(n);
    }
}

// The child's surroundings. A fault in the reader ends the child at once with its signal: default
// actions replace any handler the process installed (a sanitizer's or a fuzzer's report is about
// the parent's code, not about a reader fault the parent handles) and no core file is written. The
// child ends with its parent, and its address space may grow by `budget` bytes only, so that a file
// declaring absurd counts makes the reader's allocation fail instead of eating the machine's memory.
void prepareChild(uint64_t budget, pid_t parent) {
    // Likewise a sanitizer's report of a reader fault ends the child without the parent's death
    // callback (a fuzzer's would record the parent's current input as a finding of its own).
    if (__sanitizer_set_death_callback) __sanitizer_set_death_callback(nullptr);
    for (const int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS, SIGXCPU})
        ::signal(signal, SIG_DFL);
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(kChildRefused);
    // What a reader prints goes to standard error: standard output may carry the output file
    // (`zeq export model.fbx -o -`), which a stray line would corrupt.
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    const uint64_t used = addressSpaceInUse();
    rlimit bound{};
    if (used > 0 && getrlimit(RLIMIT_AS, &bound) == 0) {
        const uint64_t wanted = used + budget;
        if (bound.rlim_cur == RLIM_INFINITY || bound.rlim_cur > wanted) {
            bound.rlim_cur = static_cast<rlim_t>(wanted);
            setrlimit(RLIMIT_AS, &bound);
        }
    }
}

[[noreturn]] void runChild(const ReadInChild& read, const ChildLimits& limits, pid_t parent, int sceneFd, int reasonFd) {
    std::string reason;
    try {
        prepareChild(limits.memoryBudget, parent);
        std::string notes = read(sceneFd);
        std::replace(notes.begin(), notes.end(), kNotesEnd, ' ');
        notes.resize(std::min(notes.size(), kMaxReason - 2));
        writeAll(reasonFd, kSceneHandedOver + notes + kNotesEnd);
        _exit(kChildRead);
    } catch (const ForeignSceneError& e) {
        reason = e.what();
    } catch (const std::bad_alloc&) {
        reason = "reading it needs more than " + std::to_string(limits.memoryBudget >> 20) +
                 " MiB of memory (the file declares more data than it holds?)";
    } catch (const std::exception& e) {
        reason = std::string("the reader failed: ") + e.what();
    } catch (...) {
        reason = "the reader failed";
    }
    writeAll(reasonFd, kRefused + (reason.empty() ? std::string("the file could not be read") : reason));
    _exit(kChildRefused);
}

// Waits at most `seconds` for the child's word: until the scene is handed over, or else until the
// child has ended (with its reason, if it sent one); false when the time ran out.
bool collectReason(int reasonFd, double seconds, std::string& reason) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    char chunk[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd wait{reasonFd, POLLIN, 0};
        const int ready = ::poll(&wait, 1, static_cast<int>(std::min<long long>(left, 60'000)));
        if (ready < 0 && errno != EINTR) fail(systemError("lost the reading process"));
        if (ready <= 0) continue;
        const ssize_t n = ::read(reasonFd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return true;  // the child has ended (or closed its end)
        if (reason.size() < kMaxReason) reason.append(chunk, static_cast<std::size_t>(n));
        if (reason.front() == kSceneHandedOver && reason.back() == kNotesEnd) return true;
    }
}

// The child's status once it has ended; -1 when it cannot be had.
int waitForChild(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return status;
}

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", seconds);
    return text;
}

// The scene in the memory file, mapped read-only (the scene is handed on as const); the scene keeps
// the mapping. `done` runs once
// the scene is let go (or could not be unpacked).
std::shared_ptr<const aiScene> unpackMemoryFile(int fd, const std::function<void()>& done) {
    struct Finally {
        const std::function<void()>& run;
        bool armed = true;
        ~Finally() {
            if (armed) run();
        }
    } finally{done};
    struct stat info {};
    if (::fstat(fd, &info) != 0) fail(systemError("cannot take over the scene read"));
    if (info.st_size <= 0) fail("the reading process ended without a scene");
    const auto size = static_cast<std::size_t>(info.st_size);
    void* bytes = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (bytes == MAP_FAILED) fail(systemError("cannot take over the scene read"));
    finally.armed = false;  // from here on the scene's release runs it
    return unpackScene(static_cast<uint8_t*>(bytes), size, [bytes, size, done] {
        ::munmap(bytes, size);
        done();
    });
}

}  // namespace

std::shared_ptr<const aiScene> readInChildProcess(const ReadInChild& read, const ChildLimits& limits,
                                                  std::vector<std::string>* notes) {
    Descriptor scene(::memfd_create("zeq-foreign-scene", MFD_CLOEXEC));
    if (scene.get() < 0) fail(systemError("cannot start the reader"));
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) fail(systemError("cannot start the reader"));
    Descriptor reasonRead(ends[0]), reasonWrite(ends[1]);

    std::fflush(nullptr);
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child < 0) fail(systemError("cannot start the reader"));
    if (child == 0) {
        reasonRead.reset();
        runChild(read, limits, parent, scene.get(), reasonWrite.get());
    }
    reasonWrite.reset();

    std::string reason;
    const bool ended = collectReason(reasonRead.get(), limits.seconds, reason);
    if (ended && !reason.empty() && reason.front() == kSceneHandedOver) {
        if (!reason.empty() && reason.back() == kNotesEnd) reason.pop_back();
        for (std::size_t at = 1; notes && at < reason.size();) {
            const std::size_t end = std::min(reason.find('\n', at), reason.size());
            if (end > at) notes->push_back(reason.substr(at, end - at));
            at = end + 1;
        }
        // The child is reaped once the scene is let go, by which time it has long ended.
        return unpackMemoryFile(scene.get(), [child] { waitForChild(child); });
    }
    if (!ended) ::kill(child, SIGKILL);
    const int status = waitForChild(child);
    if (status == -1) fail(systemError("lost the reading process"));
    if (!ended) {
        fail("reading it took longer than " + secondsText(limits.seconds) +
             " seconds; the reader was stopped (a damaged file it cannot leave?)");
    }
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        if (signal == SIGKILL) fail("the reader was killed (out of memory?)");
        fail(std::string("the reader crashed on this file (") + strsignal(signal) + ")");
    }
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (code == kChildRefused && reason.size() > 1 && reason.front() == kRefused) fail(reason.substr(1));
    fail("the reader ended without a result (exit status " + std::to_string(code) + ")");
}

}  // namespace headless::foreign
