// Whole-file reads with POSIX calls, so that every failure carries its errno.
#include "format/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    // pipes and devices have none.
    uint8_t chunk[65536];
    int64_t total = 0;
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw FileError(name, errno == EISDIR ? std::string(kDirectoryText) : cannot("cannot read", errno));
        }
        if (got == 0) break;
        total += got;
        if (total > kMaxSceneFileSize) {
            throw FileError(name, "file too large (more than " + std::to_string(kMaxSceneFileSize) + " bytes)");
        }
        bytes.appendBytes(chunk, static_cast<int32_t>(got), false);
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
