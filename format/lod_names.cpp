// The switching distances that LOD levels' names encode.
#include "format/records_scene_graph.h"

#include <climits>

namespace zeq {

namespace {
bool isSpaceForAtoi(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
}  // namespace

int parseLeadingInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isSpaceForAtoi(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        // Stop growing once past the int range; the sign is applied and the result clamped below.
        if (value <= static_cast<long long>(INT_MAX) + 1) value = value * 10 + (text[i] - '0');
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

float lodDistanceFromName(std::string_view name, bool& hasAt) {
    const std::size_t at = name.find('@');
    hasAt = at != std::string_view::npos;
    if (!hasAt) return static_cast<float>(parseLeadingInt(name));
    std::string_view rest = name.substr(at + 1);
    rest = rest.substr(0, rest.find('_'));
    return static_cast<float>(parseLeadingInt(rest));
}

}  // namespace zeq
