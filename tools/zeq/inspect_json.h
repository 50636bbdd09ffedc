#pragma once
// Writing the JSON reports of the zeq verbs (--json): one indented document and a line feed.
#include <nlohmann/json.hpp>

#include <ostream>
#include <string>
#include <string_view>

namespace zeq::inspect {

// Texts that are not valid UTF-8 (file names, record names) have the bad bytes replaced, so the
// output always parses.
// Text as one JSON string (quoted, escaped, bad UTF-8 replaced): a name holding a line break or a
// quote cannot end the line it is written on.
inline std::string jsonString(std::string_view text) {
    return nlohmann::json(std::string(text)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

inline void writeJson(std::ostream& out, const nlohmann::ordered_json& document) {
    out << document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

}  // namespace zeq::inspect
