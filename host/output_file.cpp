// Whole-file output with POSIX calls, so that every failure carries its errno.
#include "host/output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

namespace zeq {
namespace {

// The files RemovedOnInterrupt guards, in a table a signal handler may read: a slot's path is
// complete before the slot is marked guarded.
constexpr int kGuardSlots = 16;
constexpr std::size_t kGuardPathBytes = 4096;
struct GuardSlot {
    std::atomic<bool> taken{false};
    std::atomic<bool> guarded{false};
    char path[kGuardPathBytes];
};
GuardSlot gGuards[kGuardSlots];

extern "C" void removeGuardedAndEnd(int signal) {
    for (GuardSlot& slot : gGuards)
        if (slot.guarded.load(std::memory_order_acquire)) ::unlink(slot.path);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// Links followed before giving up, as the kernel does for a path.
constexpr int kMaxLinkHops = 40;

// Closes a descriptor on every path out of a function.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
    int release() {
        const int result = fd;
        fd = -1;
        return result;
    }
};

std::string directoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

[[noreturn]] void failWith(const std::string& path, int error) {
    throw OutputError(path, std::string("cannot write: ") + std::strerror(error));
}

// Writes everything, resuming after interrupted or partial writes; returns 0 or the errno.
int writeAll(int fd, const void* data, std::size_t size) {
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, next, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        next += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

// The file a path finally names: symbolic links are followed one by one (a relative link target
// counts from the link's folder) until a name that is no link, or that does not exist yet.
std::string finalTarget(const std::string& path) {
    std::string current = path;
    for (int hops = 0;; ++hops) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0) {
            if (errno == ENOENT) return current;  // created by the write
            failWith(path, errno);
        }
        if (!S_ISLNK(info.st_mode)) return current;
        if (hops == kMaxLinkHops) failWith(path, ELOOP);
        std::string target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n < 0) failWith(path, errno);
        if (static_cast<std::size_t>(n) >= target.size()) failWith(path, ENAMETOOLONG);
        target.resize(static_cast<std::size_t>(n));
        current = target[0] == '/' ? target : directoryOf(current) + "/" + target;
    }
}

// A write into the output failed; carries the errno out of the producer's callback.
struct WriteFailed {
    int error;
};

// Runs the producer with a sink that writes into fd; returns 0 or the errno of the failed write.
// Anything else the producer throws passes through.
int produceInto(int fd, const OutputProducer& produce) {
    try {
        produce([fd](const void* data, std::size_t size) {
            if (const int error = writeAll(fd, data, size)) throw WriteFailed{error};
        });
    } catch (const WriteFailed& failed) {
        return failed.error;
    }
    return 0;
}

// FIFOs and devices are opened as they are: no temporary, no truncation (neither has a length).
void writeStraight(const std::string& path, const OutputProducer& produce) {
    Descriptor out;
    do {
        out.fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    } while (out.fd < 0 && errno == EINTR);
    if (out.fd < 0) failWith(path, errno);
    if (const int error = produceInto(out.fd, produce)) failWith(path, error);
    if (::close(out.release()) != 0) failWith(path, errno);
}

void writeReplacing(const std::string& shownPath, const std::string& target, const OutputProducer& produce,
                    const struct stat* existing) {
    // A unique name beside the target, so that the rename stays within one file system; the
    // exclusive create never reuses a file someone else made under that name.
    static std::atomic<unsigned> counter{0};
    std::string temporary;
    Descriptor file;
    for (int attempt = 0; attempt < 100 && file.fd < 0; ++attempt) {
        temporary = target + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter++);
        file.fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file.fd < 0 && errno != EEXIST && errno != EINTR) failWith(shownPath, errno);
    }
    if (file.fd < 0) throw OutputError(shownPath, "cannot write: no free temporary name beside it");
    const RemovedOnInterrupt guard(temporary);

    auto fail = [&](int error) {
        if (file.fd >= 0) ::close(file.release());
        ::unlink(temporary.c_str());
        failWith(shownPath, error);
    };
    if (existing && ::fchmod(file.fd, existing->st_mode & 07777) != 0) fail(errno);
    // A producer that throws leaves no temporary behind either.
    int error = 0;
    try {
        error = produceInto(file.fd, produce);
    } catch (...) {
        ::close(file.release());
        ::unlink(temporary.c_str());
        throw;
    }
    if (error) fail(error);
    if (::fsync(file.fd) != 0) fail(errno);
    if (::close(file.release()) != 0) fail(errno);
    if (::rename(temporary.c_str(), target.c_str()) != 0) fail(errno);

    // Make the rename itself durable; a failure here does not undo a completed write.
    Descriptor directory;
    directory.fd = ::open(directoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory.fd >= 0) ::fsync(directory.fd);
}

}  // namespace

RemovedOnInterrupt::RemovedOnInterrupt(const std::string& path) : slot_(-1) {
    if (path.size() >= kGuardPathBytes) return;
    for (int i = 0; i < kGuardSlots && slot_ < 0; ++i) {
        bool expected = false;
        if (!gGuards[i].taken.compare_exchange_strong(expected, true)) continue;
        std::memcpy(gGuards[i].path, path.c_str(), path.size() + 1);
        gGuards[i].guarded.store(true, std::memory_order_release);
        slot_ = i;
    }
}

RemovedOnInterrupt::~RemovedOnInterrupt() {
    if (slot_ < 0) return;
    gGuards[slot_].guarded.store(false, std::memory_order_release);
    gGuards[slot_].taken.store(false, std::memory_order_release);
}

void removeGuardedFilesOnTermination() {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = removeGuardedAndEnd;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}

void writeOutputFile(const std::string& path, const void* data, std::size_t size) {
    writeOutputFile(path, [data, size](const OutputSink& sink) { sink(data, size); });
}

void writeOutputFile(const std::string& path, const OutputProducer& produce) {
    if (path == "-") {
        if (const int error = produceInto(STDOUT_FILENO, produce)) failWith("standard output", error);
        return;
    }
    if (path.empty()) throw OutputError(path, "no file name given");

    // What the path finally names is asked of the system first: it also follows the links of
    // /proc (/dev/stdout names "pipe:[...]"), which no folder holds.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno != ENOENT) failWith(path, errno);
        writeReplacing(path, finalTarget(path), produce, nullptr);  // new, or a dangling link
        return;
    }
    if (S_ISDIR(info.st_mode)) throw OutputError(path, "is a directory, not a file");
    if (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode)) {
        writeStraight(path, produce);
        return;
    }
    if (!S_ISREG(info.st_mode)) throw OutputError(path, "cannot write: not a regular file, FIFO or character device");
    writeReplacing(path, finalTarget(path), produce, &info);
}

}  // namespace zeq
