// Outputs of the zeq command.
#include "tools/zeq/output.h"

#include "headless/foreign_scene.h"
#include "headless/host.h"
#include "host/output_file.h"
#include "tools/zeq/command.h"

#include <signal.h>
#include <unistd.h>

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

namespace {
// A write-only buffer over descriptor 1. After the first failed write it drops everything, as the
// stream stops writing anyway, and keeps that write's errno.
class StandardOutputBuffer : public std::streambuf {
public:
    StandardOutputBuffer() { setp(buffer_, buffer_ + sizeof buffer_); }
    int error() const { return error_; }

protected:
    int_type overflow(int_type c) override {
        if (sync() != 0) return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) sputc(traits_type::to_char_type(c));
        return traits_type::not_eof(c);
    }
    // On a terminal each line shows when it is complete, in order with the lines on standard error.
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        const std::streamsize put = std::streambuf::xsputn(text, count);
        if (terminal_ && std::memchr(text, '\n', static_cast<size_t>(put)) && sync() != 0) return 0;
        return put;
    }
    int sync() override {
        const char* at = pbase();
        while (error_ == 0 && at < pptr()) {
            const ssize_t wrote = ::write(STDOUT_FILENO, at, static_cast<size_t>(pptr() - at));
            if (wrote > 0) at += wrote;
            else if (wrote < 0 && errno != EINTR) error_ = errno;
            else if (wrote == 0) error_ = EIO;
        }
        setp(buffer_, buffer_ + sizeof buffer_);
        return error_ == 0 ? 0 : -1;
    }

private:
    char buffer_[65536];
    int error_ = 0;
    const bool terminal_ = ::isatty(STDOUT_FILENO) != 0;
};

StandardOutputBuffer* gStandardOutput = nullptr;
}  // namespace

void bufferStandardOutput() {
    // Never destroyed: std::cout is flushed once more at exit, after the statics made since start-up.
    if (!gStandardOutput) gStandardOutput = new StandardOutputBuffer;
    std::cout.rdbuf(gStandardOutput);
}

std::string standardOutputProblem() {
    std::cout.flush();
    if (std::cout) return {};
    const int error = gStandardOutput ? gStandardOutput->error() : 0;
    return error ? std::string("cannot write: ") + std::strerror(error) : std::string("cannot write");
}

void flushStandardOutput() {
    if (std::string problem = standardOutputProblem(); !problem.empty()) throw CommandError("standard output", problem);
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

namespace {
std::vector<std::filesystem::path>& filesRead() {
    static std::vector<std::filesystem::path> files;
    return files;
}
}  // namespace

void noteFilesRead(const std::vector<std::filesystem::path>& files) {
    filesRead().insert(filesRead().end(), files.begin(), files.end());
}

void refuseInputAsOutput(const std::string& input, const std::string& output) {
    std::error_code ec;
    if (output == "-") return;
    if (input != "-" && std::filesystem::equivalent(input, output, ec))
        throw CommandError(output, "is the input file too: writing it would replace the input (choose another output)");
    for (const std::filesystem::path& file : filesRead())
        if (std::filesystem::equivalent(file, output, ec))
            throw CommandError(output,
                               "is read with the input model: writing it would break the model (choose another output)");
}

}  // namespace zeq::cli
