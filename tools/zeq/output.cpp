// Outputs of the zeq command.
#include "tools/zeq/output.h"

#include "host/output_file.h"
#include "tools/zeq/command.h"

#include <cerrno>
#include <cstring>
#include <iostream>

namespace zeq::cli {

void writeOutput(const std::string& path, std::string_view text) {
    try {
        writeOutputFile(path, text);
    } catch (const OutputError& e) {
        throw CommandError(e.path, e.reason);
    }
}

void flushStandardOutput() {
    errno = 0;
    std::cout.flush();
    if (std::cout) return;
    const int error = errno;
    throw CommandError("standard output", error ? std::string("cannot write: ") + std::strerror(error)
                                                : std::string("cannot write"));
}

std::string inputName(const std::string& path) { return path == "-" ? "standard input" : path; }

}  // namespace zeq::cli
