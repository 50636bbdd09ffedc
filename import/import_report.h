#pragma once
// What an import left out. The builders never stop for bad input inside a decoded file: they skip
// the mesh, light slot, texture or link that cannot be built, note it here, and the import shows
// everything noted in one warning box at its end.
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace zeq {

class ImportReport {
public:
    // At most this many lines are listed in the warning box; the rest are counted.
    static constexpr std::size_t kMaxListedLines = 20;

    // Notes one skipped item. The same line noted twice is kept once (a bad material shared by a
    // hundred surfaces is one problem).
    void skip(const std::string& line);

    bool empty() const { return lines_.empty(); }
    const std::vector<std::string>& lines() const { return lines_; }
    // The text of the warning box: a heading, then one line per skipped item.
    std::string message() const;

private:
    std::vector<std::string> lines_;
    std::set<std::string> seen_;
};

// How a record is named in report lines: `mesh "Box01" (id 5)`, or `mesh (id 5)` without a name.
std::string describeRecord(const char* kind, const std::optional<std::string>& name, int64_t id);

}  // namespace zeq
