#pragma once
// Writing a whole output file, the one routine every output of the suite goes through (exported
// scene files, scene documents, the zeq command's outputs).
//
//     zeq::writeOutputFile("out.zeq", bytes.data(), bytes.size());
//
// What the path names decides how it is written:
// - "-": standard output, written straight.
// - a descriptor of this process named through its descriptor folder (/dev/stdout, /dev/fd/N,
//   /proc/self/fd/N): written straight to that descriptor, at its offset and in its append mode.
// - a regular file, or nothing yet: the data go to a new temporary file beside it (exclusive
//   create, short unique name), are flushed to disk, and the temporary is renamed over the target.
//   A failure removes the temporary and leaves an existing file as it was; a replaced file keeps
//   its permission bits. An existing file the user may not write (a read-only one) is refused.
// - a symbolic link (also one whose target does not exist yet): written through to the final
//   target of the link chain, atomically beside that target; the link itself stays.
// - a FIFO or a character device (after following links): opened and written straight, since
//   neither can be replaced by a rename without breaking whoever reads it.
// - a directory or any other kind of file: refused.
#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <memory>
#include <string_view>
#include <vector>

namespace zeq {

// An output could not be written. what() is "<path>: <reason>"; `path` is the path the caller gave
// ("standard output" for "-"), `reason` a short lower-case text such as
// "cannot write: Permission denied" or "is a directory, not a file".
class OutputError : public std::runtime_error {
public:
    OutputError(std::string path, std::string reason)
        : std::runtime_error(path + ": " + reason), path(std::move(path)), reason(std::move(reason)) {}
    std::string path;
    std::string reason;
};

void writeOutputFile(const std::string& path, const void* data, std::size_t size);

// Whether path is written as a stream (standard output, a descriptor of this process, a FIFO or a
// character device) rather than as a file in a folder, where files that belong with it can go.
bool isStreamOutput(const std::string& path);

// An entry of the table of files the termination handler removes or puts back (see the .cpp).
struct GuardNode;

// A file to remove should the process end on a termination signal while the guard lives: the
// temporary being written (writeOutputFile guards its own), or a companion file already in place
// whose main file is not yet. Any number of files may be guarded at once; a path of 4096 bytes or
// more is not guarded (nor is a file when memory for its entry runs out).
class RemovedOnInterrupt {
public:
    explicit RemovedOnInterrupt(const std::string& path);
    ~RemovedOnInterrupt();
    RemovedOnInterrupt(const RemovedOnInterrupt&) = delete;
    RemovedOnInterrupt& operator=(const RemovedOnInterrupt&) = delete;

private:
    GuardNode* node_;
};

// For a process that owns its signals (the zeq command; a host keeps its own handling): on SIGINT,
// SIGTERM or SIGHUP the guarded files are removed and the process then ends by that signal as it
// would have. A signal the process ignores stays ignored.
void removeGuardedFilesOnTermination();
// The same for one signal, whether or not the process ignored it: for a child process told by
// that signal that its parent ended.
void removeGuardedFilesOn(int signal);

// The streaming form, for outputs too large to hold whole: produce is called once and hands the
// output to the sink piece by piece, straight into the temporary file (or the stream). When
// produce throws, the temporary is removed and the exception passes on; an existing file stays as
// it was (standard output and FIFOs keep what was already written to them).
using OutputSink = std::function<void(const void* data, std::size_t size)>;
using OutputProducer = std::function<void(const OutputSink& sink)>;
void writeOutputFile(const std::string& path, const OutputProducer& produce);
inline void writeOutputFile(const std::string& path, std::string_view text) {
    writeOutputFile(path, text.data(), text.size());
}

// Files that belong together (a glTF file and its buffer, a model and its textures), written so that
// a failure replaces none of them: add() writes each file to its temporary beside its target (what
// a path names is decided, and refused, as for writeOutputFile); commit() renames them into place
// in the order they were added, the main file last by convention. A set destroyed before commit(),
// or an add() that fails, removes every temporary and leaves every existing file as it was. add()
// also refuses a file that is the same file as an earlier one of the set (through a link, say),
// which would otherwise take only the last of the two.
// Standard output, FIFOs and devices cannot wait in a temporary: their bytes are kept and written
// at commit(). Before commit() replaces an existing file, it keeps the old one under a second name
// beside it (a hard link, or the file renamed aside where the file system has no hard links).
// Should anything in commit() fail, every replaced file is put back, the files the set created are
// removed and the remaining temporaries too; on success the kept files are removed. A termination
// signal (with removeGuardedFilesOnTermination) during commit() does the same as a failure: the
// folder holds the old files, or once the last file is in place, the new ones, never a mix. Where
// the file system keeps no second name either way, that file is replaced without a way back.
class OutputSet {
public:
    OutputSet();
    ~OutputSet();
    OutputSet(const OutputSet&) = delete;
    OutputSet& operator=(const OutputSet&) = delete;

    void add(const std::string& path, const OutputProducer& produce);
    void add(const std::string& path, const void* data, std::size_t size);
    void commit();

private:
    struct Pending;
    std::vector<std::unique_ptr<Pending>> pending_;
};

}  // namespace zeq
