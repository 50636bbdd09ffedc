#pragma once
// Several inputs in one run of `zeq export` or `zeq import`: each input goes through the verb's
// one-input code path into OUT_DIR/<input stem><extension>; a failing input is reported and the
// run carries on; a summary line ends the run.
#include <functional>
#include <string>
#include <vector>

namespace zeq::cli {

struct BatchItem {
    std::string input;   // empty: the verb's default input (the demo scene of export)
    std::string output;
};

// Runs `convert` once per input; it returns the one-input command's exit status. With at most one input and an `output` that is not a folder
// (and does not end in '/'), this is the plain one-input command: `output` is the file to write
// and its status and failures propagate as usual. Otherwise `output` is a folder, created when missing; each
// input writes <stem><extension> into it, in a child process of its own (so each output is what a
// run for that input alone writes, and a crash fails only its input); failures are printed as
// "zeq: <file>: <what>" and counted, and the run ends with "zeq <verb>: N converted, M failed" on stderr and exit status 1
// when any input failed. Two inputs with the same stem would write the same file: the second one
// fails instead of overwriting the first one's output.
// Whether runBatch treats `output` as the folder for its inputs: several inputs, an existing folder,
// or a name ending in '/' ("-", standard output, is no folder: several inputs with it are refused
// as wrong usage). Standard input among several inputs writes <folder>/stdin<extension>.
bool isBatchOutput(const std::vector<std::string>& inputs, const std::string& output);

int runBatch(const std::string& verb, const std::vector<std::string>& inputs, const std::string& output,
             const std::string& extension, const std::string& defaultStem,
             const std::function<int(const BatchItem&)>& convert);

}  // namespace zeq::cli
