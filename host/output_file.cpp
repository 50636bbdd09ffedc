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
#include <memory>
#include <string>
#include <vector>

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

// The descriptor of this process that path names through its descriptor folder (/dev/stdout,
// /dev/fd/N, /proc/self/fd/N, also by further links), or -1. Such a path is written to that
// descriptor itself: opening it anew would start at the beginning of a file the shell opened for
// appending, and a rename would replace the file instead of writing into it.
int ownDescriptorNamed(const std::string& path) {
    const std::string ownFolder = "/proc/" + std::to_string(::getpid()) + "/";
    std::string current = path;
    for (int hops = 0; hops <= kMaxLinkHops; ++hops) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return -1;
        // The descriptor folder is /proc/PID/fd, or /proc/PID/task/TID/fd for a thread's own view.
        char folder[PATH_MAX];
        if (::realpath(directoryOf(current).c_str(), folder)) {
            const std::string resolved = folder;
            const std::string name = current.substr(current.find_last_of('/') + 1);
            if (resolved.rfind(ownFolder, 0) == 0 && resolved.size() > 3 &&
                resolved.compare(resolved.size() - 3, 3, "/fd") == 0 && !name.empty() && name.size() < 10 &&
                name.find_first_not_of("0123456789") == std::string::npos) {
                const int fd = std::stoi(name);
                return ::fcntl(fd, F_GETFD) == -1 ? -1 : fd;
            }
        }
        std::string target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n < 0 || static_cast<std::size_t>(n) >= target.size()) return -1;
        target.resize(static_cast<std::size_t>(n));
        current = target[0] == '/' ? target : directoryOf(current) + "/" + target;
    }
    return -1;
}

// Where the data for a path go.
struct Destination {
    enum Kind { OpenDescriptor, Straight, Replace } kind = Replace;
    int fd = -1;          // OpenDescriptor: the descriptor written to
    std::string target;   // Replace: the file the temporary is renamed over
    bool existed = false;  // Replace: target exists (its permission bits are in `info`)
    struct stat info {};
};

// Decides how path is written; throws OutputError for a target that is refused.
Destination destinationOf(const std::string& path) {
    Destination destination;
    if (path == "-") {
        destination.kind = Destination::OpenDescriptor;
        destination.fd = STDOUT_FILENO;
        return destination;
    }
    if (path.empty()) throw OutputError(path, "no file name given");
    if (const int fd = ownDescriptorNamed(path); fd >= 0) {
        destination.kind = Destination::OpenDescriptor;
        destination.fd = fd;
        return destination;
    }

    // What the path finally names is asked of the system first: it also follows the links of
    // /proc (of another process, say), which no folder holds.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno != ENOENT) failWith(path, errno);
        destination.target = finalTarget(path);  // new, or a dangling link
        return destination;
    }
    if (S_ISDIR(info.st_mode)) throw OutputError(path, "is a directory, not a file");
    if (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode)) {
        destination.kind = Destination::Straight;
        return destination;
    }
    if (!S_ISREG(info.st_mode)) throw OutputError(path, "cannot write: not a regular file, FIFO or character device");
    // The rename needs only the folder's permission; a file the user may not write (a read-only
    // one) is refused as opening it for writing would be.
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) failWith(path, errno);
    destination.target = finalTarget(path);
    destination.existed = true;
    destination.info = info;
    return destination;
}

// A complete temporary beside its target, waiting to be renamed over it.
struct Temporary {
    std::string temporary;
    std::unique_ptr<RemovedOnInterrupt> guard;
};

// Writes the producer's output to a new temporary file beside destination.target, flushed to disk.
// On failure the temporary is removed and OutputError (or the producer's exception) is thrown.
Temporary writeTemporary(const std::string& shownPath, const Destination& destination, const OutputProducer& produce) {
    // A short unique name in the target's folder, so that the rename stays within one file system
    // and a target whose name is as long as a name may be still gets a temporary; the exclusive
    // create never reuses a file someone else made under that name.
    static std::atomic<unsigned> counter{0};
    const std::string folder = directoryOf(destination.target);
    Temporary result;
    Descriptor file;
    for (int attempt = 0; attempt < 100 && file.fd < 0; ++attempt) {
        result.temporary =
            folder + "/.zeq-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
        file.fd = ::open(result.temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file.fd < 0 && errno != EEXIST && errno != EINTR) failWith(shownPath, errno);
    }
    if (file.fd < 0) throw OutputError(shownPath, "cannot write: no free temporary name beside it");
    result.guard = std::make_unique<RemovedOnInterrupt>(result.temporary);

    auto fail = [&](int error) {
        if (file.fd >= 0) ::close(file.release());
        ::unlink(result.temporary.c_str());
        failWith(shownPath, error);
    };
    if (destination.existed && ::fchmod(file.fd, destination.info.st_mode & 07777) != 0) fail(errno);
    // A producer that throws leaves no temporary behind either.
    int error = 0;
    try {
        error = produceInto(file.fd, produce);
    } catch (...) {
        ::close(file.release());
        ::unlink(result.temporary.c_str());
        throw;
    }
    if (error) fail(error);
    if (::fsync(file.fd) != 0) fail(errno);
    if (::close(file.release()) != 0) fail(errno);
    return result;
}

// Renames a complete temporary over its target; on failure the temporary is removed.
void renameIntoPlace(const std::string& shownPath, const std::string& target, const Temporary& temporary) {
    if (::rename(temporary.temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.temporary.c_str());
        failWith(shownPath, error);
    }
    // Make the rename itself durable; a failure here does not undo a completed write.
    Descriptor directory;
    directory.fd = ::open(directoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory.fd >= 0) ::fsync(directory.fd);
}

}  // namespace

struct OutputSet::Pending {
    std::string path;
    Destination destination;
    Temporary temporary;  // Replace
    std::string bytes;    // OpenDescriptor and Straight: written at commit
};

OutputSet::OutputSet() = default;

OutputSet::~OutputSet() {
    for (const std::unique_ptr<Pending>& pending : pending_)
        if (!pending->temporary.temporary.empty()) ::unlink(pending->temporary.temporary.c_str());
}

void OutputSet::add(const std::string& path, const OutputProducer& produce) {
    auto pending = std::make_unique<Pending>();
    pending->path = path;
    pending->destination = destinationOf(path);
    if (pending->destination.kind == Destination::Replace) {
        pending->temporary = writeTemporary(path, pending->destination, produce);
    } else {
        produce([&](const void* data, std::size_t size) { pending->bytes.append(static_cast<const char*>(data), size); });
    }
    pending_.push_back(std::move(pending));
}

void OutputSet::add(const std::string& path, const void* data, std::size_t size) {
    add(path, [data, size](const OutputSink& sink) { sink(data, size); });
}

void OutputSet::commit() {
    // A file put in place that did not exist before is removed again should a signal end the
    // process before the last one is in place.
    std::vector<std::unique_ptr<RemovedOnInterrupt>> placed;
    std::vector<std::string> created;
    std::vector<std::unique_ptr<Pending>> pending = std::move(pending_);
    pending_.clear();
    for (std::size_t i = 0; i < pending.size(); ++i) {
        Pending& one = *pending[i];
        try {
            const OutputProducer fromMemory = [&one](const OutputSink& sink) { sink(one.bytes.data(), one.bytes.size()); };
            switch (one.destination.kind) {
            case Destination::OpenDescriptor:
                if (const int error = produceInto(one.destination.fd, fromMemory))
                    failWith(one.path == "-" ? "standard output" : one.path, error);
                break;
            case Destination::Straight: writeStraight(one.path, fromMemory); break;
            case Destination::Replace:
                if (!one.destination.existed) placed.push_back(std::make_unique<RemovedOnInterrupt>(one.destination.target));
                renameIntoPlace(one.path, one.destination.target, one.temporary);
                one.temporary.temporary.clear();
                one.temporary.guard.reset();
                if (!one.destination.existed) created.push_back(one.destination.target);
                break;
            }
        } catch (...) {
            // Files this set created go again; files it already replaced cannot be restored.
            for (const std::string& path : created) ::unlink(path.c_str());
            for (std::size_t j = i + 1; j < pending.size(); ++j)
                if (!pending[j]->temporary.temporary.empty()) ::unlink(pending[j]->temporary.temporary.c_str());
            throw;
        }
    }
}

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
    const Destination destination = destinationOf(path);
    switch (destination.kind) {
    case Destination::OpenDescriptor:
        if (const int error = produceInto(destination.fd, produce)) failWith(path == "-" ? "standard output" : path, error);
        return;
    case Destination::Straight: writeStraight(path, produce); return;
    case Destination::Replace:
        renameIntoPlace(path, destination.target, writeTemporary(path, destination, produce));
        return;
    }
}

bool isStreamOutput(const std::string& path) {
    try {
        return destinationOf(path).kind != Destination::Replace;
    } catch (const OutputError&) {
        return false;  // refused when written; not a stream
    }
}

}  // namespace zeq
