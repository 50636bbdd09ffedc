// Mends the animation curves of the ASCII FBX that Assimp's writer gives, which readers otherwise
// play wrongly:
// - it ties the scale curves to the property "Lcl Scale", which no FBX node has ("Lcl Scaling"),
//   so readers drop every scale key;
// - it writes each rotation key's Euler angles on their own, in (-180, 180], so a curve jumps by
//   360° where a turn passes ±180°, and readers, which interpolate the angles, turn the node the
//   long way back between the two keys. The angles of each key are taken again as the triple,
//   of the two that give the rotation and of their turns by whole 360°, nearest the key before.
#include "headless/foreign_write_build.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace headless {

namespace {

// A curve's key values "a: v,v,…" (the writer breaks long lists into lines): each number and where
// its text stands.
struct KeyValues {
    std::vector<double> values;
    std::vector<std::pair<std::size_t, std::size_t>> places;  // begin, length
};

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The key values of the curve that starts at `at`, or none where the text is not as expected.
std::optional<KeyValues> keyValuesOf(const std::string& text, std::size_t at) {
    const std::size_t close = text.find("\n\t}", at + 1);
    at = text.find("KeyValueFloat: *", at);
    if (at == std::string::npos || at > close) return std::nullopt;
    at = text.find("a: ", at);
    const std::size_t last = text.find('}', at);
    if (at == std::string::npos || last == std::string::npos || last > close) return std::nullopt;
    KeyValues keys;
    for (std::size_t p = at + 3; p < last;) {
        if (isSpace(text[p]) || text[p] == ',') {
            ++p;
            continue;
        }
        double value = 0;
        const auto [next, error] = std::from_chars(text.data() + p, text.data() + last, value);
        if (error != std::errc()) return std::nullopt;
        const std::size_t length = static_cast<std::size_t>(next - (text.data() + p));
        keys.values.push_back(value);
        keys.places.push_back({p, length});
        p += length;
    }
    return keys;
}

// The angle a + k · 360 nearest to `near`.
double nearestTurn(double a, double near) { return a + 360.0 * std::round((near - a) / 360.0); }

// Each key's X, Y and Z angles made continuous with the key before.
void unwrapEuler(std::vector<double>& x, std::vector<double>& y, std::vector<double>& z) {
    for (std::size_t i = 1; i < x.size(); ++i) {
        // (x, y, z) and (x + 180, 180 - y, z + 180) give one rotation in every order of axes.
        const double choices[2][3] = {{x[i], y[i], z[i]}, {x[i] + 180, 180 - y[i], z[i] + 180}};
        double best[3] = {}, bestDistance = HUGE_VAL;
        for (const auto& choice : choices) {
            const double turned[3] = {nearestTurn(choice[0], x[i - 1]), nearestTurn(choice[1], y[i - 1]),
                                      nearestTurn(choice[2], z[i - 1])};
            const double distance =
                std::fabs(turned[0] - x[i - 1]) + std::fabs(turned[1] - y[i - 1]) + std::fabs(turned[2] - z[i - 1]);
            if (distance < bestDistance - 1e-9) {
                bestDistance = distance;
                std::copy(std::begin(turned), std::end(turned), best);
            }
        }
        x[i] = best[0], y[i] = best[1], z[i] = best[2];
    }
}

std::string numberText(double value) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%.9g", value);
    return digits;
}

}  // namespace

void mendFbxCurves(std::string& text) {
    // Connections: "\tC: "OP", from, to, "property"".
    std::map<std::string, std::map<char, std::string>> rotationCurves;  // curve node → axis → curve
    std::set<std::string> rotationNodes;
    std::vector<std::pair<std::size_t, std::size_t>> scaleNames;  // where "Lcl Scale" stands
    std::vector<std::tuple<std::string, std::string, std::string>> curveLinks;
    constexpr std::string_view kLink = "\n\tC: \"OP\", ";
    for (std::size_t at = text.find(kLink); at != std::string::npos; at = text.find(kLink, at + 1)) {
        const std::size_t begin = at + kLink.size();
        const std::size_t end = text.find('\n', begin);
        const std::string_view line(text.data() + begin, (end == std::string::npos ? text.size() : end) - begin);
        const std::size_t comma1 = line.find(", "), comma2 = line.find(", ", comma1 + 2);
        if (comma1 == std::string_view::npos || comma2 == std::string_view::npos) continue;
        const std::string from(line.substr(0, comma1)), to(line.substr(comma1 + 2, comma2 - comma1 - 2));
        const std::string_view property = line.substr(comma2 + 2);
        if (property == "\"Lcl Scale\"") scaleNames.push_back({begin + comma2 + 2, property.size()});
        else if (property == "\"Lcl Rotation\"") rotationNodes.insert(from);
        else if (property.size() == 5 && property.starts_with("\"d|")) curveLinks.emplace_back(from, to, property.substr(3, 1));
    }
    for (const auto& [curve, node, axis] : curveLinks)
        if (rotationNodes.count(node)) rotationCurves[node][axis[0]] = curve;
    // Where each curve starts: "\n\tAnimationCurve: id, ...".
    std::unordered_map<std::string, std::size_t> curveAt;
    constexpr std::string_view kCurve = "\n\tAnimationCurve: ";
    for (std::size_t at = text.find(kCurve); at != std::string::npos; at = text.find(kCurve, at + 1)) {
        const std::size_t begin = at + kCurve.size();
        curveAt.emplace(text.substr(begin, text.find(',', begin) - begin), at);
    }

    // New texts by where they stand, replaced from the end of the text so that places hold.
    std::map<std::size_t, std::pair<std::size_t, std::string>> replacements;
    for (const auto& [begin, length] : scaleNames) replacements[begin] = {length, "\"Lcl Scaling\""};
    for (auto& [node, curves] : rotationCurves) {
        std::optional<KeyValues> keys[3];
        std::size_t axis = 0;
        for (const char name : {'X', 'Y', 'Z'}) {
            const auto found = curves.find(name);
            const auto at = found == curves.end() ? curveAt.end() : curveAt.find(found->second);
            if (at != curveAt.end()) keys[axis] = keyValuesOf(text, at->second);
            ++axis;
        }
        if (!keys[0] || !keys[1] || !keys[2] || keys[0]->values.size() != keys[1]->values.size() ||
            keys[0]->values.size() != keys[2]->values.size())
            continue;
        const std::vector<double> before[3] = {keys[0]->values, keys[1]->values, keys[2]->values};
        unwrapEuler(keys[0]->values, keys[1]->values, keys[2]->values);
        for (int a = 0; a < 3; ++a)
            for (std::size_t i = 0; i < before[a].size(); ++i)
                if (keys[a]->values[i] != before[a][i])
                    replacements[keys[a]->places[i].first] = {keys[a]->places[i].second, numberText(keys[a]->values[i])};
    }
    for (auto it = replacements.rbegin(); it != replacements.rend(); ++it)
        text.replace(it->first, it->second.first, it->second.second);

    // The writer starts the animation at 0 and readers drop the keys before its start: an animation
    // with keys before 0 starts at its first key.
    long long first = 0;
    constexpr std::string_view kTimes = "KeyTime: *";
    for (std::size_t at = text.find(kTimes); at != std::string::npos; at = text.find(kTimes, at + 1)) {
        const std::size_t values = text.find("a: ", at);
        if (values == std::string::npos) break;
        first = std::min(first, std::strtoll(text.c_str() + values + 3, nullptr, 10));
    }
    if (first < 0)
        for (const char* name : {"LocalStart", "ReferenceStart", "TimeSpanStart"}) {
            const std::string from = std::string("P: \"") + name + "\", \"KTime\", \"Time\", \"\", 0\n";
            const std::string to = from.substr(0, from.size() - 2) + std::to_string(first) + "\n";
            for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
                text.replace(at, from.size(), to);
        }
}

}  // namespace headless
