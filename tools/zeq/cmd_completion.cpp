// `zeq completion`: prints a bash completion script for zeq. The script is made from the command
// line's own definition (verbs, options, which options take a value, the kind of file an argument
// names), so it never lags behind the verbs; the build installs it where bash-completion finds it.
#include "tools/zeq/command.h"

#include <iostream>
#include <string>
#include <vector>

namespace {

// The file names a value completes to, from its type name: "DIR" folders, "FILE.zeq" or
// "OUT.zeq|DIR" Zeq files and folders, "FILE", "SCENE" or "OUT" any file; a number (type names
// such as "T", "N", "INT", "FLOAT") completes to nothing.
std::string fileCompletion(const std::string& typeName) {
    if (typeName == "DIR") return "_zeq_files -d";
    const std::size_t dot = typeName.find('.');
    if (dot != std::string::npos) return "_zeq_files " + typeName.substr(dot + 1, typeName.find('|', dot) - dot - 1);
    for (const char* word : {"FILE", "SCENE", "OUT", "IN"})
        if (typeName.find(word) != std::string::npos) return "_zeq_files";
    return "";
}

bool takesValue(const CLI::Option& option) { return option.get_type_size() != 0 && option.get_expected_min() > 0; }

// One verb (or the top level, key ""): the words that may follow it and how values complete.
struct Verb {
    std::string key;  // the verb's words joined by '_': "", "export", "scene_convert"
    std::vector<std::string> subcommands;
    std::string options;
    std::vector<std::pair<std::string, std::string>> valueOptions;  // option name, its completion
    std::string arguments;                                          // completion of its arguments
};

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
    return text;
}

void collect(const CLI::App& app, const std::string& key, const std::vector<const CLI::Option*>& inherited,
             std::vector<Verb>& verbs) {
    Verb verb{key, {}, {}, {}, {}};
    std::vector<const CLI::Option*> options = inherited;
    for (const CLI::Option* option : app.get_options()) options.push_back(option);
    for (const CLI::Option* option : options) {
        if (option->get_positional()) {
            // Arguments of different kinds complete to any file.
            const std::string completion = fileCompletion(option->get_type_name());
            verb.arguments = verb.arguments.empty() || verb.arguments == completion ? completion : "_zeq_files";
            continue;
        }
        std::vector<std::string> names;
        for (const std::string& name : option->get_snames()) names.push_back("-" + name);
        for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
        for (const std::string& name : names) {
            verb.options += (verb.options.empty() ? "" : " ") + name;
            if (takesValue(*option)) verb.valueOptions.emplace_back(name, fileCompletion(option->get_type_name()));
        }
    }
    // Options of the top level stay valid after a verb (--plugins), except its version flag.
    std::vector<const CLI::Option*> passed = inherited;
    for (const CLI::Option* option : app.get_options())
        if (!option->get_positional() && option->get_lnames() != std::vector<std::string>{"version"} &&
            option != app.get_help_ptr())
            passed.push_back(option);
    std::vector<const CLI::App*> subs;
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
        if (!sub->get_name().empty() && !sub->get_group().empty()) subs.push_back(sub);
    for (const CLI::App* sub : subs) verb.subcommands.push_back(sub->get_name());
    verbs.push_back(verb);
    for (const CLI::App* sub : subs)
        collect(*sub, key.empty() ? sub->get_name() : key + "_" + sub->get_name(), passed, verbs);
}

// The value options of the top level (--plugins) are valid after every verb: their case lines
// match any verb ("*:--plugins") and are written once.
std::string caseKey(const Verb& verb, const std::string& name, const Verb& top) {
    if (&verb == &top) return "*\":" + name;
    for (const auto& option : top.valueOptions)
        if (option.first == name) return "";
    return "\"" + verb.key + ':' + name;
}

void printScript(const std::vector<Verb>& verbs) {
    std::ostream& out = std::cout;
    const Verb& top = verbs.front();
    out << "# bash completion for zeq, made by 'zeq completion'.\n"
           "# Install: zeq completion > ~/.local/share/bash-completion/completions/zeq\n"
           "# (zsh: autoload -U bashcompinit && bashcompinit && source <(zeq completion))\n\n"
           "# Files ending in .$1 and folders; any file without $1; folders only with -d.\n"
           "_zeq_files() {\n"
           "    local IFS=$'\\n'\n"
           "    if [[ $1 == -d ]]; then COMPREPLY=($(compgen -d -- \"$cur\"))\n"
           "    elif [[ -n $1 ]]; then COMPREPLY=($(compgen -d -- \"$cur\") $(compgen -f -X \"!*.$1\" -- \"$cur\"))\n"
           "    else COMPREPLY=($(compgen -f -- \"$cur\")); fi\n"
           "}\n\n"
           "_zeq() {\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} verb= word i\n"
           "    COMPREPLY=()\n"
           "    # The verb so far; the value of an option is skipped, so it is never taken for a verb.\n"
           "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
           "        word=${COMP_WORDS[i]}\n"
           "        case \"$verb:$word\" in\n";
    for (const Verb& verb : verbs) {
        for (const auto& [name, completion] : verb.valueOptions)
            if (const std::string key = caseKey(verb, name, top); !key.empty()) out << "        " << key << "\") ((i++)) ;;\n";
        for (const std::string& sub : verb.subcommands)
            out << "        \"" << verb.key << ':' << sub << "\") verb=" << (verb.key.empty() ? "" : verb.key + "_") << sub
                << " ;;\n";
    }
    out << "        esac\n"
           "    done\n"
           "    case \"$verb:$prev\" in\n";
    for (const Verb& verb : verbs)
        for (const auto& [name, completion] : verb.valueOptions)
            if (const std::string key = caseKey(verb, name, top); !key.empty())
                out << "    " << key << "\") " << (completion.empty() ? "" : completion + "; ") << "return ;;\n";
    out << "    esac\n"
           "    if [[ $cur == -* ]]; then\n"
           "        case \"$verb\" in\n";
    for (const Verb& verb : verbs)
        out << "        \"" << verb.key << "\") COMPREPLY=($(compgen -W \"" << verb.options << "\" -- \"$cur\")) ;;\n";
    out << "        esac\n"
           "        return\n"
           "    fi\n"
           "    case \"$verb\" in\n";
    for (const Verb& verb : verbs) {
        if (!verb.subcommands.empty())
            out << "    \"" << verb.key << "\") COMPREPLY=($(compgen -W \"" << joined(verb.subcommands) << "\" -- \"$cur\")) ;;\n";
        else if (!verb.arguments.empty())
            out << "    \"" << verb.key << "\") " << verb.arguments << " ;;\n";
    }
    out << "    esac\n"
           "}\n\n"
           "complete -o filenames -F _zeq zeq\n";
}

ZEQ_COMMAND(85, [](CLI::App& app) {
    app.add_subcommand("completion",
                       "Print a bash completion script for zeq (verbs, options, and file names of the kind each "
                       "argument takes). Installed with zeq; to load it by hand: source <(zeq completion)");
    const CLI::App* root = &app;
    return [root] {
        std::vector<Verb> verbs;
        collect(*root, "", {}, verbs);
        printScript(verbs);
        return 0;
    };
});

}  // namespace
