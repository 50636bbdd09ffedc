// zeq: the command-line front end of the headless host. Verbs register themselves (command.h);
// this file parses the command line, runs the chosen verb and turns failures into one line on
// stderr with the documented exit status (0 success, 1 bad input or failed command, 2 usage).
#include "headless/plugin_path.h"
#include "host/output_file.h"
#include "tools/zeq/command.h"
#include "tools/zeq/errors.h"
#include "tools/zeq/huge_pages.h"
#include "tools/zeq/output.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <iostream>
#include <new>

namespace zeq::cli {

namespace {
GlobalOptions gOptions;
}

const GlobalOptions& globalOptions() { return gOptions; }

std::string pluginFolderToLoad(bool required) {
    const std::string folder = headless::pluginFolder(gOptions.pluginDir, gOptions.argv0);
    std::error_code unreadable;
    std::filesystem::directory_iterator probe(folder, unreadable);
    if (!unreadable) return folder;
    if (required) throw CommandError(folder, "cannot read the plug-in folder (" + unreadable.message() + ")");
    return {};
}

namespace {
// The run's exit status once standard output is flushed: a run that met a closed pipe ends quietly
// (output.h); a failed write that no verb reported (help, version, the lists) fails the run here,
// with `failed`: 1, or 2 for diff, whose 1 means that the files differ.
int finish(int status, int failed = 1) {
    const std::string problem = standardOutputProblem();
    if (metClosedPipe()) return kClosedPipeStatus;
    if (!problem.empty() && status == 0) {
        std::fprintf(stderr, "zeq: standard output: %s\n", problem.c_str());
        return failed;
    }
    return status;
}
}  // namespace

namespace {
// An empty value (an unset shell variable, say) is refused, by every option and argument that takes
// one, before any verb runs: an empty input would otherwise read as "none given" (for export: the
// demo scene) and an empty output would fail only after the work.
void refuseEmptyValues(CLI::App& app) {
    static const CLI::Validator kNotEmpty(
        [](std::string& value) { return value.empty() ? std::string("an empty value was given") : std::string(); }, "");
    for (CLI::Option* option : app.get_options())
        if (option->get_type_size() != 0 && option->get_expected_min() > 0) option->check(kNotEmpty);
    for (CLI::App* sub : app.get_subcommands({})) refuseEmptyValues(*sub);
}
}  // namespace

std::vector<Command>& commands() {
    static std::vector<Command> list;
    return list;
}

}  // namespace zeq::cli

int main(int argc, char** argv) {
    using namespace zeq::cli;
    restartInHugePagesForLargeFiles(argc, argv);
    noteClosedPipes();
    bufferStandardOutput();
    zeq::removeGuardedFilesOnTermination();
    // Past a file-size limit (ulimit -f) a write fails with "File too large" and the command ends
    // with that error, removing its temporary files, instead of being killed half-way.
    ::signal(SIGXFSZ, SIG_IGN);
    CLI::App app{"zeq: export, import and inspect Zeq scene files with the headless host", "zeq"};
    app.require_subcommand(1);
    // Options a verb does not know go to the top level, so --plugins works after the verb too
    // (verbs inherit this when they are added).
    app.fallthrough();
    app.set_version_flag("--version", "zeq " ZEQ_VERSION);
    gOptions.argv0 = argc > 0 ? argv[0] : "zeq";
    app.add_option("--plugins", gOptions.pluginDir,
                   "Folder of the plug-in libraries (default: $ZEQ_PLUGIN_PATH, else ../lib/zeq/plugins beside an "
                   "installed zeq, else the folder of zeq)")
        ->type_name("DIR");
    app.add_flag("-q,--quiet", gOptions.quiet,
                 "Print error lines only: no warnings, message boxes, progress bar or batch summary");

    auto& list = commands();
    std::stable_sort(list.begin(), list.end(), [](const Command& a, const Command& b) { return a.order < b.order; });
    std::vector<std::function<int()>> runners;
    std::vector<CLI::App*> subs;
    for (auto& command : list) {
        const std::size_t before = app.get_subcommands({}).size();
        runners.push_back(command.setup(app));
        auto all = app.get_subcommands({});
        subs.push_back(all.size() > before ? all.back() : nullptr);
    }

    refuseEmptyValues(app);
    // A verb's help lists its own options; the global ones are taken after the verb too.
    std::function<void(CLI::App&)> noteGlobalOptions = [&](CLI::App& parent) {
        for (CLI::App* sub : parent.get_subcommands({})) {
            sub->footer("-q/--quiet and --plugins DIR (see 'zeq --help') may follow the verb too.");
            noteGlobalOptions(*sub);
        }
    };
    noteGlobalOptions(app);

    const VerbOnCommandLine verb = findVerb(app, argc, argv);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return finish(app.exit(e), verb.path == "diff" ? 2 : 1);
    } catch (const CLI::CallForAllHelp& e) {
        return finish(app.exit(e), verb.path == "diff" ? 2 : 1);
    } catch (const CLI::CallForVersion& e) {
        return finish(app.exit(e));
    } catch (const CLI::ParseError& e) {
        if (!verb.unknown.empty()) return reportUsage(verb, "unknown command '" + verb.unknown + "'");
        if (!verb.early.empty())
            return reportUsage({}, verb.early + ": not an option of zeq itself; a command's options follow "
                                                "the command");
        const std::string problem = e.what();
        if (verb.path.empty() && problem.find("subcommand") != std::string::npos) {
            return reportUsage({}, "no command given");
        }
        return reportUsage(verb, problem);
    }

    try {
        for (std::size_t i = 0; i < subs.size(); ++i)
            if (subs[i] && subs[i]->parsed()) return finish(runners[i]());
        return reportUsage({}, "no command given");
    } catch (const CommandError& e) {
        if (!metClosedPipe()) std::fprintf(stderr, "zeq: %s: %s\n", e.subject().c_str(), e.what());
    } catch (const std::bad_alloc&) {
        if (!metClosedPipe()) std::fprintf(stderr, "zeq: out of memory\n");
    } catch (const std::exception& e) {
        if (!metClosedPipe()) std::fprintf(stderr, "zeq: %s\n", e.what());
    } catch (const char* text) {
        if (!metClosedPipe()) std::fprintf(stderr, "zeq: %s\n", text);
    } catch (...) {
        if (!metClosedPipe()) std::fprintf(stderr, "zeq: unexpected failure\n");
    }
    return finish(1);
}
