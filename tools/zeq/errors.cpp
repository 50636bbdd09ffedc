// Wording of the zeq command's failures.
#include "tools/zeq/errors.h"

#include "tools/zeq/output.h"

#include <cctype>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <unordered_map>

namespace zeq::cli {

std::string errorLineText(std::string text, const std::string& subject) {
    while (!text.empty() && (text.back() == '.' || std::isspace(static_cast<unsigned char>(text.back())))) {
        text.pop_back();
    }
    if (!subject.empty() && text.rfind(subject + ": ", 0) == 0) text.erase(0, subject.size() + 2);
    // Lower-case only a capitalised ordinary word: one capital followed by small letters, or the
    // article "A".
    std::size_t end = 1;
    while (end < text.size() && std::islower(static_cast<unsigned char>(text[end]))) ++end;
    const bool wordEnds = end == text.size() || text[end] == ' ' || text[end] == ',' || text[end] == ':';
    if (!text.empty() && std::isupper(static_cast<unsigned char>(text[0])) && (end > 1 || text.starts_with("A ")) &&
        wordEnds) {
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    }
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

void printMessageBoxes(const std::vector<headless::MessageBoxRecord>& boxes) {
    std::vector<std::pair<std::string, int>> lines;  // in the order first shown, with their count
    std::unordered_map<std::string, std::size_t> index;
    for (const headless::MessageBoxRecord& box : boxes) {
        std::string text = box.text;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        std::string line = box.caption + ": " + text;
        if (const auto [at, added] = index.emplace(line, lines.size()); !added) ++lines[at->second].second;
        else lines.emplace_back(std::move(line), 1);
    }
    for (const auto& [line, count] : lines) {
        warnings() << line;
        if (count > 1) warnings() << " (" << count << " times)";
        warnings() << '\n';
    }
}

VerbOnCommandLine findVerb(CLI::App& app, int argc, char** argv) {
    VerbOnCommandLine verb;
    CLI::App* current = &app;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--") break;
        if (word == "--plugins") {
            ++i;  // its value
            continue;
        }
        // Before the verb only the global options stand; the words after another option may be its
        // value, so no verb is looked for past it.
        const bool global = word == "-q" || word == "--quiet" || word == "-h" || word == "--help" ||
                            word == "--version" || word.rfind("--plugins=", 0) == 0;
        if (current == &app && !word.empty() && word[0] == '-' && !global) {
            verb.early = word;
            break;
        }
        if (word.empty() || word[0] == '-') continue;
        CLI::App* next = nullptr;
        for (CLI::App* sub : current->get_subcommands({}))
            if (sub->get_name() == word) next = sub;
        if (!next) {
            verb.unknown = word;
            break;
        }
        current = next;
        verb.path += (verb.path.empty() ? "" : " ") + word;
        if (current->get_subcommands({}).empty()) break;  // the rest are the verb's arguments
    }
    return verb;
}

int reportUsage(const VerbOnCommandLine& verb, const std::string& problem) {
    std::string text = problem;
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    while (!text.empty() && text.back() == ' ') text.pop_back();
    // CLI11 starts its sentences with a capital ("The following argument was not expected: x").
    text = errorLineText(text, "");
    // An option of one value given more than once.
    const std::string repeated = "At Most 1 required but received ";
    if (const std::size_t at = text.find(repeated); at != std::string::npos)
        text = text.substr(0, at) + "given " + text.substr(at + repeated.size()) + " times, but it takes one value";
    // CLI11 lists the arguments it did not expect last first: they are put back in command-line order.
    const std::string extras = "arguments were not expected: ";
    if (const std::size_t at = text.find(extras); at != std::string::npos) {
        std::vector<std::string> words;
        std::istringstream list(text.substr(at + extras.size()));
        for (std::string word; list >> word;) words.insert(words.begin(), word);
        text.erase(at + extras.size());
        for (std::size_t i = 0; i < words.size(); ++i) text += (i ? " " : "") + words[i];
    }
    const std::string help = verb.path.empty() ? "zeq --help" : "zeq " + verb.path + " --help";
    if (verb.path.empty()) {
        std::fprintf(stderr, "zeq: %s; run '%s'\n", text.c_str(), help.c_str());
    } else {
        std::fprintf(stderr, "zeq: %s: %s; run '%s'\n", verb.path.c_str(), text.c_str(), help.c_str());
    }
    return 2;
}

}  // namespace zeq::cli
