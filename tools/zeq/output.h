#pragma once
// The zeq command's outputs: files through the suite's one output routine, and standard output,
// with failures as CommandError lines ("zeq: out.zeq: cannot write: Permission denied").
#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace headless {
class Host;
}

namespace zeq::cli {

// Writes `text` to `path` ("-": standard output); see host/output_file.h for how links, FIFOs and
// devices are written.
void writeOutput(const std::string& path, std::string_view text);

// Sends std::cout straight to the standard output descriptor through a buffer that keeps the
// system's reason for the first failed write, so that a failure found only when the output is
// flushed (a full disk, /dev/full) is still reported with its reason. Installed once, by main.
void bufferStandardOutput();

// Flushes standard output; a failed write is reported as "standard output: cannot write: ...".
void flushStandardOutput();
// Flushes standard output and returns "cannot write: <reason>" when any write to it failed (empty
// when all went out), for the commands that report it themselves.
std::string standardOutputProblem();

// A reader of standard output (or of a FIFO) that stops early: `zeq dump x.zeq | head -1`. Such a
// write does not end zeq by a signal; it fails like any other write, the command unwinds (removing
// temporary files), and the run ends quietly, without an error line, with the status a command
// ended by that signal has in the shell (128 + SIGPIPE), as common Unix tools do.
constexpr int kClosedPipeStatus = 141;
// Installs the handler that notes such writes instead of ending the process.
void noteClosedPipes();
// Whether a write met a pipe without a reader during this run.
bool metClosedPipe();

// Where warnings, message boxes and summaries go: standard error, or nowhere with --quiet (error
// lines always go to standard error).
std::ostream& warnings();
// Turns off the host's progress bar with --quiet.
void quietProgress(headless::Host& host);

// The name errors use for a file argument: "standard input" for "-".
std::string inputName(const std::string& path);

// For a message refusing `path` as a scene to read: "; 'zeq import' reads Zeq files" when it names
// a Zeq file (by its extension), else nothing.
std::string zeqFileHint(const std::string& path);

// Refuses, before any work, an output that names the input file itself (by any path or link):
// the finished output would replace the input. Standard input and output are never the same file.
// Once a model was read, an output that names a file its reader opened (a glTF buffer, an OBJ
// material library) is refused as well: the model would lose it.
void refuseInputAsOutput(const std::string& input, const std::string& output);
// Notes the files a model's reader opened, which refuseInputAsOutput refuses from then on.
void noteFilesRead(const std::vector<std::filesystem::path>& files);

}  // namespace zeq::cli
