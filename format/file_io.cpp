// Whole-file reads with POSIX calls, so that every failure carries its errno.
#include "format/file_io.h"

#include "format/scene_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

namespace zeq {
namespace {

constexpr const char* kDirectoryText = "is a directory, not a file";

std::string cannot(const char* what, int error) { return std::string(what) + ": " + std::strerror(error); }

// Closes a descriptor on every path out of a function.
struct FileDescriptor {
    int fd = -1;
    ~FileDescriptor() {
        if (fd >= 0) ::close(fd);
    }
};

// Reads an open descriptor to its end; `name` is the subject of the errors.
ByteBuffer readAll(int fd, const std::string& name) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) throw FileError(name, cannot("cannot read", errno));
    if (S_ISDIR(info.st_mode)) throw FileError(name, kDirectoryText);
    if (S_ISREG(info.st_mode) && info.st_size > kMaxSceneFileSize) {
        throw FileError(name, "file too large (" + std::to_string(info.st_size) + " bytes; the limit is " +
                                  std::to_string(kMaxSceneFileSize) + ")");
    }

    ByteBuffer bytes;
    if (S_ISREG(info.st_mode) && info.st_size > 0) bytes.reserve(static_cast<int32_t>(info.st_size) + 1);
    // Read until end of file rather than trusting the size: the file may change underneath, and
    // pipes and devices have none. Each read goes straight into the buffer's free room (a chunk when
    // it is full; with the size reserved, the read after the last byte finds one byte of room), up to
    // one byte past the limit, so that a file beyond it is told from one that ends there.
    constexpr int32_t kChunk = 65536;
    for (;;) {
        const int32_t used = bytes.length();
        const int32_t spare = bytes.capacity() - used;
        const int64_t room = std::min<int64_t>(spare > 0 ? spare : kChunk, kMaxSceneFileSize + 1 - used);
        uint8_t* at = bytes.extend(static_cast<int32_t>(room));
        const ssize_t got = ::read(fd, at, static_cast<size_t>(room));
        bytes.truncate(static_cast<int32_t>(used + std::max<ssize_t>(got, 0)));
        if (got < 0) {
            if (errno == EINTR) continue;
            throw FileError(name, errno == EISDIR ? std::string(kDirectoryText) : cannot("cannot read", errno));
        }
        if (got == 0) break;
        // Data that starts as no scene file does is refused by its first bytes alone: the rest of
        // a wrong file (a video, /dev/zero) is not read.
        if (startsNoSceneFile(bytes)) break;
        if (bytes.length() > kMaxSceneFileSize) {
            throw FileError(name, "file too large (more than " + std::to_string(kMaxSceneFileSize) + " bytes)");
        }
    }
    bytes.position = 0;
    return bytes;
}

}  // namespace

ByteBuffer readFileBytes(const std::string& path) {
    FileDescriptor file;
    if (path == "-") {
        // A copy of the descriptor, so that standard input stays open for the rest of the program.
        file.fd = ::dup(STDIN_FILENO);
        if (file.fd < 0) throw FileError("standard input", cannot("cannot open", errno));
        return readAll(file.fd, "standard input");
    }
    do {
        file.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (file.fd < 0 && errno == EINTR);
    if (file.fd < 0) throw FileError(path, errno == EISDIR ? std::string(kDirectoryText) : cannot("cannot open", errno));
    return readAll(file.fd, path);
}

}  // namespace zeq
