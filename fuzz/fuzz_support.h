#pragma once
// Shared helpers of the fuzz targets: turning libFuzzer's input into the buffers and files the
// readers take, and stopping a run when a property that must hold does not.
#include "codec/byte_buffer.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace zeq::fuzz {

// The input as a buffer positioned at its start. Inputs beyond 2 GiB cannot occur (libFuzzer's
// -max_len is far below), but the length is clamped rather than wrapped all the same.
inline ByteBuffer bufferOf(const uint8_t* data, size_t size) {
    ByteBuffer bytes;
    if (size > 0x7FFFFFFF) size = 0x7FFFFFFF;
    if (size > 0) bytes.appendBytes(data, static_cast<int32_t>(size), false);
    bytes.position = 0;
    return bytes;
}

// A property of the code under test failed: print why and abort, which libFuzzer reports as a
// crash with the input that caused it.
[[noreturn]] inline void violated(const std::string& what) {
    std::fprintf(stderr, "property violated: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

// One scratch file per process for readers that take a path. It lives in the temporary folder
// and is removed when the process exits normally.
class ScratchFile {
public:
    explicit ScratchFile(const char* suffix) {
        const char* tmp = std::getenv("TMPDIR");
        path_ = std::string(tmp && *tmp ? tmp : "/tmp") + "/zeq_fuzz_" + std::to_string(::getpid()) + suffix;
    }
    ~ScratchFile() { std::remove(path_.c_str()); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::string& path() const { return path_; }

    // Replaces the file's content by the input; aborts when it cannot be written, since every
    // later run would then test a stale file.
    const std::string& write(const uint8_t* data, size_t size) {
        std::FILE* file = std::fopen(path_.c_str(), "wb");
        if (!file) violated("cannot create the scratch file " + path_);
        const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
        if (std::fclose(file) != 0 || !written) violated("cannot write the scratch file " + path_);
        return path_;
    }

private:
    std::string path_;
};

}  // namespace zeq::fuzz
