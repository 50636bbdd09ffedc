#pragma once
// Whole-file reads and atomic whole-file writes of scene files.
#include "codec/byte_buffer.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace zeq {

// A file could not be read or written. what() is "<path>: <reason>", the reason being the system's
// error text ("No such file or directory", "Permission denied", ...) or a short description.
class FileError : public std::runtime_error {
public:
    FileError(std::string path, std::string reason)
        : std::runtime_error(path + ": " + reason), path(std::move(path)), reason(std::move(reason)) {}
    std::string path;
    std::string reason;
};

// The largest file readFileBytes accepts (1 GiB): a scene file is one packet whose body inflates
// to at most that much, and its compressed form is never larger in practice.
constexpr int64_t kMaxSceneFileSize = int64_t(1) << 30;

// Reads the whole file into a buffer (position 0). FileError when the file is missing, unreadable,
// a directory or larger than kMaxSceneFileSize.
ByteBuffer readFileBytes(const std::string& path);

// Writes data[0 .. length) to `path` through a temporary file beside it, flushed to disk and then
// renamed over the target. On failure the temporary file is removed and an existing target is
// left as it was; FileError names the target and the reason. An existing target's permission bits
// are kept; a new file gets the usual ones (0666 less the umask).
void writeFileAtomic(const std::string& path, const ByteBuffer& bytes);

}  // namespace zeq
