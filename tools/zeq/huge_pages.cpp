// Big jobs in huge pages. A job on a large file fills hundreds of megabytes page by page. Where a
// page fault is dear (virtual machines: about ten microseconds each) and the kernel gives
// transparent huge pages only to programs that ask for them (the "madvise" setting), those faults
// cost a third of the job. The C library asks for huge pages for its heap and large blocks when its
// tunable glibc.malloc.hugetlb is 1, and it reads tunables only when a program starts. So zeq,
// given a file of 8 MB or more on such a system (an argument, or standard input redirected from
// one), starts itself once more with the tunable added to GLIBC_TUNABLES. A GLIBC_TUNABLES that
// names the tunable already (the user's choice, or the second start) is left alone, and if the new
// start fails the run goes on as it is.
#include "tools/zeq/huge_pages.h"

#include <sys/auxv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace zeq::cli {

namespace {

constexpr off_t kLargeFile = off_t(8) << 20;
constexpr const char* kTunable = "glibc.malloc.hugetlb";

bool hugePagesOnRequest() {
    std::ifstream setting("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string text;
    std::getline(setting, text);
    return text.find("[madvise]") != std::string::npos;
}

bool isLargeFile(const struct stat& info) { return S_ISREG(info.st_mode) && info.st_size >= kLargeFile; }

// An argument that names a large file, or standard input redirected from one.
bool givenLargeFile(int argc, char** argv) {
    struct stat info {};
    for (int i = 1; i < argc; ++i)
        if (::stat(argv[i], &info) == 0 && isLargeFile(info)) return true;
    return ::fstat(STDIN_FILENO, &info) == 0 && isLargeFile(info);
}

// Whether the kernel started zeq itself, and with it the dynamic loader (at AT_BASE). Run through
// the loader named as the program (ld-linux-x86-64.so.2 zeq ...), there is no AT_BASE, and
// /proc/self/exe is the loader, which would take the first argument for the program to load.
bool startedAsItself() { return ::getauxval(AT_BASE) != 0; }

}  // namespace

void restartInHugePagesForLargeFiles(int argc, char** argv) {
    if (givenLargeFile(argc, argv)) restartInHugePages(argv);
}

void restartInHugePages(char** argv) {
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    if (tunables && std::strstr(tunables, kTunable)) return;
    if (!hugePagesOnRequest() || !startedAsItself()) return;
    const std::string before = tunables ? tunables : "";
    const std::string value = (before.empty() ? "" : before + ":") + kTunable + "=1";
    if (::setenv("GLIBC_TUNABLES", value.c_str(), 1) != 0) return;
    ::execv("/proc/self/exe", argv);
    // No new start: the run goes on as it is, with the environment it was given.
    if (tunables) ::setenv("GLIBC_TUNABLES", before.c_str(), 1);
    else ::unsetenv("GLIBC_TUNABLES");
#else
    (void)argv;
#endif
}

}  // namespace zeq::cli
