#pragma once
// How the zeq command words its failures: every failure is one line on stderr,
// "zeq: <file>: <what went wrong>" (exit status 1), and a mistake on the command line is one line
// that points to the help of the verb concerned (exit status 2).
#include "headless/ui_services.h"

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace zeq::cli {

// A plug-in's message-box sentence as the text of an error line about `subject`: without the
// trailing full stop, blanks and line breaks, without a leading "<subject>: " (the line names the
// file already), and with the first word in lower case when it is an ordinary word ("Too many
// vertices ..." becomes "too many vertices ...", a name such as "TransformationFactory::..." stays).
std::string errorLineText(std::string sentence, const std::string& subject);

// Prints the message boxes a plug-in showed, one line each ("<caption>: <text>"), on stderr (not
// with --quiet). A box shown again with the same words (one per mesh, say) is printed once, with
// how often it was shown: "ZeqExport: Model don't have uv channel, unable to calculate TBN (12 times)".
void printMessageBoxes(const std::vector<headless::MessageBoxRecord>& boxes);

// The verb a command line names, found before parsing so that errors can point to its help.
struct VerbOnCommandLine {
    std::string path;     // "info", "scene demo"; empty when no verb is named
    std::string unknown;  // the word where a verb of `path` (or a verb, when empty) should stand but none is named
    std::string early;    // an option before the verb that is no global one (a verb's options follow it)
};
VerbOnCommandLine findVerb(CLI::App& app, int argc, char** argv);

// Prints the line for a command-line mistake and returns the exit status 2.
int reportUsage(const VerbOnCommandLine& verb, const std::string& problem);

}  // namespace zeq::cli
