// Whole-file reads and atomic writes with POSIX calls, so that every failure carries its errno.
#include "format/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace zeq {
namespace {

std::string errorText(int error) { return std::strerror(error); }

// Closes a descriptor on every path out of a function.
struct FileDescriptor {
    int fd = -1;
    ~FileDescriptor() {
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

}  // namespace

ByteBuffer readFileBytes(const std::string& path) {
    FileDescriptor file;
    do {
        file.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (file.fd < 0 && errno == EINTR);
    if (file.fd < 0) throw FileError(path, errorText(errno));

    struct stat info {};
    if (::fstat(file.fd, &info) != 0) throw FileError(path, errorText(errno));
    if (S_ISDIR(info.st_mode)) throw FileError(path, errorText(EISDIR));
    if (S_ISREG(info.st_mode) && info.st_size > kMaxSceneFileSize) {
        throw FileError(path, "file too large (" + std::to_string(info.st_size) + " bytes; the limit is " +
                                  std::to_string(kMaxSceneFileSize) + ")");
    }

    ByteBuffer bytes;
    if (S_ISREG(info.st_mode) && info.st_size > 0) bytes.reserve(static_cast<int32_t>(info.st_size) + 1);
    // Read until end of file rather than trusting the size: the file may change underneath, and
    // pipes and devices have none.
    uint8_t chunk[65536];
    int64_t total = 0;
    for (;;) {
        const ssize_t got = ::read(file.fd, chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw FileError(path, errorText(errno));
        }
        if (got == 0) break;
        total += got;
        if (total > kMaxSceneFileSize) {
            throw FileError(path, "file too large (more than " + std::to_string(kMaxSceneFileSize) + " bytes)");
        }
        bytes.appendBytes(chunk, static_cast<int32_t>(got), false);
    }
    bytes.position = 0;
    return bytes;
}

void writeFileAtomic(const std::string& path, const ByteBuffer& bytes) {
    if (path.empty()) throw FileError(path, errorText(ENOENT));

    // Keep the permission bits of a file being replaced.
    mode_t mode = 0666;
    bool keepMode = false;
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode)) throw FileError(path, errorText(EISDIR));
        mode = existing.st_mode & 07777;
        keepMode = true;
    }

    // A unique name beside the target, so that the rename stays within one file system.
    static unsigned counter = 0;
    std::string temporary;
    FileDescriptor file;
    for (int attempt = 0; attempt < 100 && file.fd < 0; ++attempt) {
        temporary = path + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter++);
        file.fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file.fd < 0 && errno != EEXIST && errno != EINTR) throw FileError(path, errorText(errno));
    }
    if (file.fd < 0) throw FileError(path, "cannot create a temporary file beside it");

    auto fail = [&](int error) {
        if (file.fd >= 0) ::close(file.release());
        ::unlink(temporary.c_str());
        throw FileError(path, errorText(error));
    };

    if (keepMode && ::fchmod(file.fd, mode) != 0) fail(errno);
    const uint8_t* data = bytes.data();
    int64_t left = bytes.length();
    while (left > 0) {
        const ssize_t written = ::write(file.fd, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR) continue;
            fail(errno);
        }
        data += written;
        left -= written;
    }
    if (::fsync(file.fd) != 0) fail(errno);
    if (::close(file.release()) != 0) fail(errno);
    if (::rename(temporary.c_str(), path.c_str()) != 0) fail(errno);

    // Make the rename itself durable; a failure here does not undo a completed write.
    FileDescriptor directory;
    directory.fd = ::open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory.fd >= 0) ::fsync(directory.fd);
}

}  // namespace zeq
