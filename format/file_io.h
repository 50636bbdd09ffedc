#pragma once
// Whole-file reads of scene files (writes go through writeOutputFile in host/output_file.h).
#include "codec/byte_buffer.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace zeq {

// A file could not be read. what() is "<path>: <reason>", the reason one short lower-case text:
// "cannot open: No such file or directory", "cannot read: Input/output error" (the system's error
// text after what failed), "is a directory, not a file", "file too large (...)".
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
// a directory or larger than kMaxSceneFileSize. "-" reads standard input. Reading stops early when
// the bytes read show that the file is no scene file (startsNoSceneFile): decoding what was read
// reports that as it would for the whole file.
ByteBuffer readFileBytes(const std::string& path);


}  // namespace zeq
