#pragma once
// Writing the JSON reports of the zeq verbs (--json): one indented document and a line feed.
#include <nlohmann/json.hpp>

#include <ostream>

namespace zeq::inspect {

// Texts that are not valid UTF-8 (file names, record names) have the bad bytes replaced, so the
// output always parses.
inline void writeJson(std::ostream& out, const nlohmann::ordered_json& document) {
    out << document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

}  // namespace zeq::inspect
