// Outputs of the zeq command.
#include "tools/zeq/output.h"

#include "headless/foreign_scene.h"
#include "headless/host.h"
#include "host/output_file.h"
#include "tools/zeq/command.h"

#include <signal.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
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

namespace {
volatile std::sig_atomic_t gClosedPipe = 0;
extern "C" void onClosedPipe(int) { gClosedPipe = 1; }
}  // namespace

void noteClosedPipes() {
    struct sigaction action {};
    action.sa_handler = onClosedPipe;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGPIPE, &action, nullptr);
}

bool metClosedPipe() { return gClosedPipe != 0; }

std::ostream& warnings() {
    // A stream without a buffer drops what is written to it.
    static std::ostream nowhere(nullptr);
    return globalOptions().quiet ? nowhere : std::cerr;
}

void quietProgress(headless::Host& host) {
    if (globalOptions().quiet) host.ui().setProgressStream(nullptr);
}

std::string inputName(const std::string& path) { return path == "-" ? "standard input" : path; }

std::string zeqFileHint(const std::string& path) {
    return headless::lowerExtension(path) == "zeq" ? "; 'zeq import' reads Zeq files" : "";
}

void refuseInputAsOutput(const std::string& input, const std::string& output) {
    std::error_code ec;
    if (input != "-" && output != "-" && std::filesystem::equivalent(input, output, ec))
        throw CommandError(output, "is the input file too: writing it would replace the input (choose another output)");
}

}  // namespace zeq::cli
