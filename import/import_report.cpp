// Collecting and formatting what an import skipped.
#include "import/import_report.h"

namespace zeq {

void ImportReport::skip(const std::string& line) {
    if (seen_.insert(line).second) lines_.push_back(line);
}

std::string ImportReport::message() const {
    std::string text = "Some parts of the file could not be imported and were skipped:";
    const std::size_t listed = lines_.size() < kMaxListedLines ? lines_.size() : kMaxListedLines;
    for (std::size_t i = 0; i < listed; ++i) text += "\n- " + lines_[i];
    if (lines_.size() > listed) text += "\n... and " + std::to_string(lines_.size() - listed) + " more";
    return text;
}

std::string describeRecord(const char* kind, const std::optional<std::string>& name, int64_t id) {
    std::string text = kind;
    if (name) text += " \"" + *name + "\"";
    return text + " (id " + std::to_string(id) + ")";
}

}  // namespace zeq
