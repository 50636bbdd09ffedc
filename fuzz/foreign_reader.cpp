// The foreign fuzz target's reading process: Assimp's read of each input, as a load runs it in its
// reading process, but in a program of its own, started once and built without the sanitizers
// (Assimp itself is not instrumented, and a reader fault is a refused file, not a finding). Forking
// the fuzzer for every input costs most of its time; this program is small, so forking it is cheap.
//
// Requests come on standard input, one a line: "<seconds> <path>". For each, a worker process
// reads the file and packs the scene into "<path>.scene"; the answer is one line on standard
// output: "S" (the scene is there), "R <reason>" (the reader refused the file), "C <signal>" (the
// reader crashed), or "T" (it ran out of time).
#include "headless/foreign_read.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>
#include <string>

namespace {

// A worker's whole address space: this program and Assimp take a few tens of MiB, so a file that
// declares absurd counts fails its allocation instead of taking the machine's memory.
constexpr rlim_t kAddressSpace = rlim_t(1) << 30;

[[noreturn]] void work(const std::string& path, double seconds, int reasonFd) {
    // Standard output carries the answers: whatever a reader prints goes nowhere instead.
    if (const int nowhere = ::open("/dev/null", O_WRONLY); nowhere >= 0) ::dup2(nowhere, 1);
    for (const int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) ::signal(signal, SIG_DFL);
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    rlimit memory{};
    getrlimit(RLIMIT_AS, &memory);
    memory.rlim_cur = kAddressSpace;
    setrlimit(RLIMIT_AS, &memory);
    itimerval timer{};
    timer.it_value.tv_sec = static_cast<time_t>(seconds);
    timer.it_value.tv_usec = static_cast<suseconds_t>((seconds - std::floor(seconds)) * 1e6);
    setitimer(ITIMER_REAL, &timer, nullptr);  // SIGALRM ends the worker

    std::string reason;
    try {
        const int sceneFd = ::open((path + ".scene").c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0600);
        if (sceneFd < 0) throw headless::ForeignSceneError("cannot write the scene");
        headless::foreign::readWithAssimp(path, headless::ForeignReadOptions{}, sceneFd);
        ::close(sceneFd);
        _exit(0);
    } catch (const std::bad_alloc&) {
        reason = "out of memory";
    } catch (const std::exception& e) {
        reason = e.what();
    } catch (...) {
        reason = "the reader failed";
    }
    for (char& c : reason)
        if (c == '\n') c = ' ';
    if (::write(reasonFd, reason.data(), reason.size()) < 0) _exit(2);
    _exit(1);
}

std::string answer(const std::string& path, double seconds) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return "R cannot start a worker";
    std::fflush(nullptr);
    const pid_t worker = ::fork();
    if (worker < 0) return "R cannot start a worker";
    if (worker == 0) {
        ::close(ends[0]);
        work(path, seconds, ends[1]);
    }
    ::close(ends[1]);
    std::string reason;
    char chunk[512];
    for (ssize_t n; (n = ::read(ends[0], chunk, sizeof chunk)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        reason.append(chunk, static_cast<size_t>(n));
    }
    ::close(ends[0]);
    int status = 0;
    while (::waitpid(worker, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return "S";
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) return "T";
    if (WIFSIGNALED(status)) return "C " + std::to_string(WTERMSIG(status));
    return "R " + (reason.empty() ? std::string("the file could not be read") : reason);
}

}  // namespace

int main() {
    double seconds = 0;
    std::string path;
    while (std::cin >> seconds && std::getline(std::cin >> std::ws, path)) std::cout << answer(path, seconds) << std::endl;
    return 0;
}
