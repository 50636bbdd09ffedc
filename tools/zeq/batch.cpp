// The batch loop of `zeq export` and `zeq import`.
#include "tools/zeq/batch.h"

#include "host/output_file.h"

#include "tools/zeq/command.h"
#include "tools/zeq/output.h"

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <map>
#include <new>

namespace zeq::cli {

namespace fs = std::filesystem;

namespace {

void flushAll() {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
}

// Converts one input and prints its failure; false when it failed.
bool convertAndReport(const BatchItem& item, const std::string& subject,
                      const std::function<int(const BatchItem&)>& convert) {
    try {
        return convert(item) == 0;
    } catch (const CommandError& e) {
        std::fprintf(stderr, "zeq: %s: %s\n", e.subject().c_str(), e.what());
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "zeq: %s: out of memory\n", subject.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zeq: %s: %s\n", subject.c_str(), e.what());
    } catch (const char* text) {
        std::fprintf(stderr, "zeq: %s: %s\n", subject.c_str(), text ? text : "failed");
    } catch (...) {
        std::fprintf(stderr, "zeq: %s: unexpected failure\n", subject.c_str());
    }
    return false;
}

// Each input runs in a child process of its own: it meets freshly loaded plug-ins, exactly as a run
// for that input alone would (the exporter numbers scene nodes with a counter that lives as long as
// the library), and nothing one input leaves behind (process-wide state, a crash) reaches the next.
bool convertInChild(const BatchItem& item, const std::string& subject,
                    const std::function<int(const BatchItem&)>& convert) {
    flushAll();
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0) {
        std::fprintf(stderr, "zeq: %s: cannot start its conversion (%s)\n", subject.c_str(), std::strerror(errno));
        return false;
    }
    if (child == 0) {
        // The conversion ends with the batch: when the parent is ended (SIGTERM, SIGHUP), the child
        // gets SIGTERM and removes its temporary files as the parent did; where SIGTERM is ignored
        // (inherited so), SIGUSR2 does the same. A parent that ended before the request took hold
        // is noticed by the changed parent id.
        struct sigaction term {};
        const bool termIgnored = sigaction(SIGTERM, nullptr, &term) == 0 && term.sa_handler == SIG_IGN;
        const int deathSignal = termIgnored ? SIGUSR2 : SIGTERM;
        if (termIgnored) zeq::removeGuardedFilesOn(deathSignal);
        sigset_t death;
        sigemptyset(&death);
        sigaddset(&death, deathSignal);
        sigprocmask(SIG_UNBLOCK, &death, nullptr);  // a batch started with it blocked
        if (prctl(PR_SET_PDEATHSIG, deathSignal) != 0 || getppid() != parent) _exit(1);
        const bool converted = convertAndReport(item, subject, convert);
        flushAll();
        _exit(converted ? 0 : 1);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            std::fprintf(stderr, "zeq: %s: lost its conversion (%s)\n", subject.c_str(), std::strerror(errno));
            return false;
        }
    }
    if (WIFSIGNALED(status)) {
        std::fprintf(stderr, "zeq: %s: the conversion crashed (%s)\n", subject.c_str(), strsignal(WTERMSIG(status)));
        return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

bool isBatchOutput(const std::vector<std::string>& inputs, const std::string& output) {
    std::error_code ec;
    // "-" is standard output, never a folder, even where a folder of that name exists.
    return inputs.size() > 1 || (output != "-" && (fs::is_directory(output, ec) || (!output.empty() && output.back() == '/')));
}

int runBatch(const std::string& verb, const std::vector<std::string>& inputs, const std::string& output,
             const std::string& extension, const std::string& defaultStem,
             const std::function<int(const BatchItem&)>& convert) {
    std::error_code ec;
    if (!isBatchOutput(inputs, output)) {
        return convert({inputs.empty() ? std::string() : inputs.front(), output});
    }

    if (output == "-") {
        std::fprintf(stderr, "zeq: %s: several inputs need an output folder; standard output (-) takes one file\n",
                     verb.c_str());
        return 2;
    }
    // The folders this run creates, deepest first: taken away again when nothing was written in them.
    std::vector<fs::path> created;
    fs::path folder = fs::path(output);  // as given: "a/b/../c" creates a/b too
    if (!folder.has_filename()) folder = folder.parent_path();
    for (; !folder.empty() && !fs::exists(folder, ec); folder = folder.parent_path()) created.push_back(folder);
    fs::create_directories(output, ec);
    if (!fs::is_directory(output)) {
        throw CommandError(output, ec ? "cannot create the output folder (" + ec.message() + ")"
                                      : std::string("is not a folder; several inputs need an output folder"));
    }
    const std::vector<std::string> items = inputs.empty() ? std::vector<std::string>{std::string()} : inputs;
    std::map<std::string, std::string> written;  // output file -> the input that writes it
    int converted = 0;
    int failed = 0;
    for (const std::string& input : items) {
        const std::string stem = input.empty() ? defaultStem : input == "-" ? "stdin" : fs::path(input).stem().string();
        const std::string target = (fs::path(output) / (stem + extension)).string();
        const std::string subject = input.empty() ? target : input;
        const auto [earlier, added] = written.emplace(target, subject);
        if (!added) {
            std::fprintf(stderr, "zeq: %s: %s is also the output of %s\n", subject.c_str(), target.c_str(),
                         earlier->second.c_str());
            ++failed;
        } else if (convertInChild({input, target}, subject, convert)) {
            ++converted;
        } else {
            ++failed;
        }
    }
    warnings() << "zeq " << verb << ": " << converted << " converted, " << failed << " failed\n";
    if (converted == 0)
        for (const fs::path& made : created) fs::remove(made, ec);  // only while empty
    return failed ? 1 : 0;
}

}  // namespace zeq::cli
