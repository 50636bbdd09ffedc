#pragma once

namespace zeq::cli {

// Called first thing in main: on a system that gives transparent huge pages only on request, a
// run given a file of 8 MB or more (an argument, or standard input) starts zeq once more with the
// C library asking for them (glibc.malloc.hugetlb=1 in GLIBC_TUNABLES). Returns when no new start
// is wanted or it failed.
void restartInHugePagesForLargeFiles(int argc, char** argv);

// The same start whatever the arguments (for programs that always work on large data: the
// benchmarks, so that they measure as zeq runs).
void restartInHugePages(char** argv);

}  // namespace zeq::cli
