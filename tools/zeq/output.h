#pragma once
// The zeq command's outputs: files through the suite's one output routine, and standard output,
// with failures as CommandError lines ("zeq: out.zeq: cannot write: Permission denied").
#include <string>
#include <string_view>

namespace zeq::cli {

// Writes `text` to `path` ("-": standard output); see host/output_file.h for how links, FIFOs and
// devices are written.
void writeOutput(const std::string& path, std::string_view text);

// Flushes standard output; a failed write is reported as "standard output: cannot write: ...".
void flushStandardOutput();

// The name errors use for a file argument: "standard input" for "-".
std::string inputName(const std::string& path);

}  // namespace zeq::cli
