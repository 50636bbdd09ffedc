// Whole-file output with POSIX calls, so that every failure carries its errno.
#include "host/output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <vector>

namespace zeq {

// An entry of the table of guarded files, which a signal handler may read at any moment. Entries
// are allocated on the heap, pushed on the front of a list with one atomic store and never freed;
// a free entry is taken again by the next guard. An entry's fields are complete before it is
// marked guarded.
// - restoreTo empty: the handler removes `path` (a temporary, or a file a set created).
// - restoreTo set: `path` holds the old file of `restoreTo` that a set is replacing; the handler
//   renames it back over restoreTo.
// An entry of a set points to the set's group entry: once the whole set is in place the group is
// disarmed, and then the handler leaves the new files and only removes the kept old ones.
struct GuardNode {
    std::atomic<bool> taken{true};
    std::atomic<bool> guarded{false};
    const GuardNode* group = nullptr;
    GuardNode* next = nullptr;
    char path[4096];
    char restoreTo[4096];
};

namespace {

constexpr std::size_t kGuardPathBytes = sizeof(GuardNode::path);
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<GuardNode*>::is_always_lock_free,
              "the signal handler reads the guard table without locks");
std::atomic<GuardNode*> gGuards{nullptr};

// Takes a free entry (or a new one) for path; nullptr when the path is too long to hold or memory
// runs out, in which case nothing is guarded. A group entry has an empty path: the handler only
// reads whether it is guarded.
GuardNode* guardFile(const std::string& path, const std::string& restoreTo = {}, const GuardNode* group = nullptr) {
    if (path.size() >= kGuardPathBytes || restoreTo.size() >= kGuardPathBytes) return nullptr;
    GuardNode* node = nullptr;
    for (GuardNode* free = gGuards.load(std::memory_order_acquire); free && !node; free = free->next) {
        bool taken = false;
        if (free->taken.compare_exchange_strong(taken, true, std::memory_order_acquire)) node = free;
    }
    if (!node) {
        node = new (std::nothrow) GuardNode;
        if (!node) return nullptr;
        node->next = gGuards.load(std::memory_order_relaxed);
        while (!gGuards.compare_exchange_weak(node->next, node, std::memory_order_release, std::memory_order_relaxed)) {
        }
    }
    std::memcpy(node->path, path.c_str(), path.size() + 1);
    std::memcpy(node->restoreTo, restoreTo.c_str(), restoreTo.size() + 1);
    node->group = group;
    node->guarded.store(true, std::memory_order_release);
    return node;
}

void releaseGuard(GuardNode* node) {
    if (!node) return;
    node->guarded.store(false, std::memory_order_release);
    node->taken.store(false, std::memory_order_release);
}

extern "C" void removeGuardedAndEnd(int signal) {
    for (const GuardNode* node = gGuards.load(std::memory_order_acquire); node; node = node->next) {
        if (!node->guarded.load(std::memory_order_acquire) || node->path[0] == '\0') continue;
        const bool armed = !node->group || node->group->guarded.load(std::memory_order_acquire);
        if (node->restoreTo[0] == '\0') {
            if (armed) ::unlink(node->path);
        } else if (!armed || ::rename(node->path, node->restoreTo) == 0) {
            // Put back (or no longer needed); a kept file that cannot be put back stays.
            ::unlink(node->path);
        }
    }
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

// A short name in folder for a file of this process: the temporaries and the kept old files of a
// set. Whoever creates the file does so exclusively and takes the next name when it is taken.
constexpr int kNameAttempts = 100;
std::string nameBeside(const std::string& folder, const char* suffix) {
    static std::atomic<unsigned> counter{0};
    return folder + "/.zeq-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + suffix;
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
    const std::string folder = directoryOf(destination.target);
    Temporary result;
    Descriptor file;
    {
        // The signals that remove guarded files wait until the new file is guarded: one arriving
        // between its creation and its guard would leave it behind.
        sigset_t ending, before;
        sigemptyset(&ending);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&ending, signal);
        ::pthread_sigmask(SIG_BLOCK, &ending, &before);
        struct Unblock {
            sigset_t* mask;
            ~Unblock() { ::pthread_sigmask(SIG_SETMASK, mask, nullptr); }
        } unblock{&before};
        int error = 0;
        for (int attempt = 0; attempt < kNameAttempts && file.fd < 0; ++attempt) {
            result.temporary = nameBeside(folder, ".tmp");
            file.fd = ::open(result.temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (file.fd < 0 && errno != EEXIST && errno != EINTR) {
                error = errno;
                break;
            }
        }
        if (error) failWith(shownPath, error);
        if (file.fd < 0) throw OutputError(shownPath, "cannot write: no free temporary name beside it");
        result.guard = std::make_unique<RemovedOnInterrupt>(result.temporary);
    }

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

// A file of a set that commit() has put in place, or is about to.
struct Placed {
    std::string target;
    std::string kept;          // the old file under its second name; empty: none
    bool created = false;      // target did not exist: the set makes it
    bool inPlace = false;      // the new file is at target
    GuardNode* guard = nullptr;
};

// Keeps the file at target under a second name beside it before the set replaces it: a hard link,
// so that the target never goes missing, or where the file system has none, the file renamed
// aside (a directory is left to the rename, which refuses to replace it). The guard that puts it
// back is in place before the second name exists. Throws OutputError when no name is free.
Placed keepAside(const std::string& shownPath, const std::string& target, const GuardNode* group) {
    Placed placed;
    placed.target = target;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string kept = nameBeside(directoryOf(target), ".old");
        GuardNode* guard = guardFile(kept, target, group);
        int error = ::link(target.c_str(), kept.c_str()) == 0 ? 0 : errno;
        if (error != 0 && error != EEXIST && error != ENOENT) {
            struct stat info {};
            if (::lstat(target.c_str(), &info) != 0) error = errno;
            else if (S_ISDIR(info.st_mode)) error = EISDIR;
            else error = ::renameat2(AT_FDCWD, target.c_str(), AT_FDCWD, kept.c_str(), RENAME_NOREPLACE) == 0 ? 0 : errno;
        }
        if (error == 0) {
            placed.kept = kept;
            placed.guard = guard;
            return placed;
        }
        releaseGuard(guard);
        if (error == EEXIST) continue;
        // Nothing there: the set creates the file, and removes it again on failure.
        if (error == ENOENT) {
            placed.created = true;
            placed.guard = guardFile(target, {}, group);
        }
        // Otherwise the file is replaced without a way back.
        return placed;
    }
    throw OutputError(shownPath, "cannot write: no free name beside it to keep the old file");
}

// Where a set puts its files: a path and, for an existing file, the identity of the file itself, so
// that two paths of one file (through links) are told apart from two files.
struct FileIdentity {
    std::string resolved;  // the folder resolved, then the name
    bool existed = false;
    dev_t device = 0;
    ino_t inode = 0;
    bool sameAs(const FileIdentity& other) const {
        if (existed && other.existed) return device == other.device && inode == other.inode;
        return resolved == other.resolved;
    }
};

FileIdentity identityOf(const Destination& destination) {
    FileIdentity identity;
    identity.existed = destination.existed;
    identity.device = destination.info.st_dev;
    identity.inode = destination.info.st_ino;
    char folder[PATH_MAX];
    const std::string name = destination.target.substr(destination.target.find_last_of('/') + 1);
    identity.resolved = ::realpath(directoryOf(destination.target).c_str(), folder)
                            ? std::string(folder) + "/" + name
                            : destination.target;
    return identity;
}

}  // namespace

struct OutputSet::Pending {
    std::string path;
    Destination destination;
    FileIdentity identity;  // Replace
    Temporary temporary;    // Replace
    std::string bytes;      // OpenDescriptor and Straight: written at commit
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
        // One file written as two paths of the set would keep only the one renamed last.
        pending->identity = identityOf(pending->destination);
        for (const std::unique_ptr<Pending>& earlier : pending_)
            if (earlier->destination.kind == Destination::Replace && earlier->identity.sameAs(pending->identity))
                throw OutputError(path, "is also written as " + earlier->path + " (the same file)");
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
    std::vector<std::unique_ptr<Pending>> pending = std::move(pending_);
    pending_.clear();
    // Another zeq putting a set of the same names in place at the same time would leave files of
    // both sets (a .gltf of one beside the .bin of the other), or put back what that one wrote: a set
    // of several files holds each of its folders locked while it goes into place.
    std::set<std::string> folders;
    if (pending.size() > 1)
        for (const auto& one : pending)
            if (one->destination.kind == Destination::Replace) folders.insert(directoryOf(one->destination.target));
    // Folders are told apart by what they are, not how they are spelt ("sub" and "sub/"): a second
    // lock of one folder would wait for the first for ever. They are locked in one order, so that
    // two runs never wait for each other.
    struct FolderLocks {
        std::map<std::pair<dev_t, ino_t>, int> fds;
        ~FolderLocks() {
            for (const auto& [folder, fd] : fds) ::close(fd);  // which unlocks
        }
    } locks;
    for (const std::string& folder : folders) {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat info {};
        if (fd < 0) continue;
        if (::fstat(fd, &info) != 0 || !locks.fds.emplace(std::make_pair(info.st_dev, info.st_ino), fd).second) ::close(fd);
    }
    for (const auto& [folder, fd] : locks.fds) {
        while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    // While the group is armed, a termination signal puts back what the set replaced and removes
    // what it created; once disarmed (every file in place), it only removes the kept old files.
    GuardNode* const group = guardFile({});
    std::vector<Placed> placed;
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
                placed.push_back(keepAside(one.path, one.destination.target, group));
                renameIntoPlace(one.path, one.destination.target, one.temporary);
                placed.back().inPlace = true;
                one.temporary.temporary.clear();
                one.temporary.guard.reset();
                break;
            }
        } catch (...) {
            // Every old file goes back and every new one goes, the last placed first; a kept file
            // that cannot be put back stays under its second name rather than be lost. The guards
            // stay armed until then, so a signal meanwhile finishes the same work.
            for (auto it = placed.rbegin(); it != placed.rend(); ++it) {
                if (it->created) {
                    if (it->inPlace) ::unlink(it->target.c_str());
                }
                else if (!it->kept.empty() && ::rename(it->kept.c_str(), it->target.c_str()) == 0)
                    ::unlink(it->kept.c_str());  // a hard link of a file never replaced
                releaseGuard(it->guard);
            }
            releaseGuard(group);
            for (std::size_t j = i; j < pending.size(); ++j)
                if (!pending[j]->temporary.temporary.empty()) ::unlink(pending[j]->temporary.temporary.c_str());
            throw;
        }
    }
    // Every file is in place: disarm the group (one store for the whole set), then drop the kept
    // old files. The group entry is freed last, so that no other guard takes it while the set's
    // entries still point to it.
    if (group) group->guarded.store(false, std::memory_order_release);
    for (const Placed& one : placed) {
        if (!one.kept.empty()) ::unlink(one.kept.c_str());
        releaseGuard(one.guard);
    }
    releaseGuard(group);
}

RemovedOnInterrupt::RemovedOnInterrupt(const std::string& path) : node_(guardFile(path)) {}

RemovedOnInterrupt::~RemovedOnInterrupt() { releaseGuard(node_); }

void removeGuardedFilesOn(int signal) {
    struct sigaction action {};
    action.sa_handler = removeGuardedAndEnd;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}

void removeGuardedFilesOnTermination() {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
        removeGuardedFilesOn(signal);
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
