#pragma once
// The verbs of the zeq command. Each verb lives in its own cmd_<verb>.cpp and registers itself
// with a static ZEQ_COMMAND object, so adding a verb touches no other file.
#include <CLI/CLI.hpp>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace zeq::cli {

// Thrown by a verb for bad input or a failed command: printed as "zeq: <subject>: <message>",
// exit status 1. The subject is usually the file the failure concerns.
class CommandError : public std::runtime_error {
public:
    CommandError(std::string subject, const std::string& message)
        : std::runtime_error(message), subject_(std::move(subject)) {}
    const std::string& subject() const { return subject_; }

private:
    std::string subject_;
};

// Options every verb may use (set on the top-level command).
struct GlobalOptions {
    std::string pluginDir;  // --plugins DIR; empty: ZEQ_PLUGIN_PATH, then the folder of the binary
    std::string argv0;      // how the binary was started, to find its folder
    bool quiet = false;     // --quiet: error lines only
};
const GlobalOptions& globalOptions();
// The plug-in folder of this run (--plugins, $ZEQ_PLUGIN_PATH, ...). One that cannot be read is a
// CommandError ("DIR: cannot read the plug-in folder (...)") when `required`, else "" (no folder).
std::string pluginFolderToLoad(bool required);

struct Command {
    // Adds the verb's subcommand to the app; the returned callback runs it after parsing and
    // returns the exit status.
    std::function<std::function<int()>(CLI::App&)> setup;
    int order = 0;  // position in --help
};

std::vector<Command>& commands();

struct Registrar {
    Registrar(int order, std::function<std::function<int()>(CLI::App&)> setup) {
        commands().push_back({std::move(setup), order});
    }
};

}  // namespace zeq::cli

#define ZEQ_CLI_CONCAT2(a, b) a##b
#define ZEQ_CLI_CONCAT(a, b) ZEQ_CLI_CONCAT2(a, b)
// ZEQ_COMMAND(order, [](CLI::App& app) { auto* sub = app.add_subcommand(...); ...; return [=]{ ...; return 0; }; })
#define ZEQ_COMMAND(order, setup) \
    static ::zeq::cli::Registrar ZEQ_CLI_CONCAT(zeqCommandRegistrar_, __COUNTER__)(order, setup)
