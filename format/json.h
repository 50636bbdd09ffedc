#pragma once
// JSON form of every record, built from the field tables: an object with every field in wire
// order. Texts are converted from the active code page to UTF-8 (and back by fromJson); an
// absent optional field is null, a byte array a lower-case hex string, a vertex
// attribute its name ("TEXCOORDS"), an "Id" its number, a non-finite float one of the strings
// "NaN", "Infinity", "-Infinity" (a NaN other than the usual quiet one as "NaN:0x" and its bits, so
// that its sign and payload survive the text). fromJson reads the same form back; it names the offending
// field in its std::invalid_argument ("Zeq2Mesh.surfaces[1].indexBegin: expected an integer"), also
// for a text, byte array or list longer than a file can store ("...byteBuffer: 4194304 bytes, at
// most 4194303").
#include "codec/code_page.h"
#include "codec/null_map.h"
#include "format/records.h"
#include "format/scene_file.h"

#include <nlohmann/json.hpp>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

namespace zeq {

using Json = nlohmann::ordered_json;

std::string toHex(const ByteBuffer& bytes);
// Accepts upper- and lower-case digits; std::invalid_argument for odd lengths or other characters.
ByteBuffer fromHex(const std::string& hex);

// The text of a NaN: "NaN" for the usual quiet NaN, else "NaN:0x" and its bits ("NaN:0xffc00000").
template <class F>
std::string nanText(F value) {
    using Bits = std::conditional_t<sizeof(F) == 4, uint32_t, uint64_t>;
    const Bits bits = std::bit_cast<Bits>(value);
    if (bits == std::bit_cast<Bits>(std::numeric_limits<F>::quiet_NaN())) return "NaN";
    char digits[2 * sizeof(F)];
    for (std::size_t i = 0; i < sizeof digits; ++i) digits[i] = "0123456789abcdef"[(bits >> (4 * (sizeof digits - 1 - i))) & 0xF];
    return "NaN:0x" + std::string(digits, sizeof digits);
}

// Reads "NaN" or "NaN:0x" and the bits of a NaN of F's width into value; false for any other text.
template <class F>
bool nanFromText(std::string_view text, F& value) {
    using Bits = std::conditional_t<sizeof(F) == 4, uint32_t, uint64_t>;
    if (text == "NaN") {
        value = std::numeric_limits<F>::quiet_NaN();
        return true;
    }
    constexpr std::string_view prefix = "NaN:0x";
    if (!text.starts_with(prefix) || text.size() != prefix.size() + 2 * sizeof(F)) return false;
    Bits bits = 0;
    const char* end = text.data() + text.size();
    if (auto [at, error] = std::from_chars(text.data() + prefix.size(), end, bits, 16); error != std::errc() || at != end)
        return false;
    value = std::bit_cast<F>(bits);
    return std::isnan(value);
}

namespace json_detail {

[[noreturn]] inline void fail(const std::string& where, const std::string& what) {
    throw std::invalid_argument(where + ": " + what);
}

// Texts, byte arrays and lists store their length in a prefix that counts up to kMaxLength.
inline void checkLength(std::size_t length, const char* unit, const std::string& where) {
    if (length > kMaxLength) {
        fail(where, std::to_string(length) + " " + unit + ", at most " + std::to_string(kMaxLength));
    }
}

// floatsAsNumbers: every float a JSON number, NaN and the infinities too (for comparing values in
// memory; such a JSON cannot be written as text). Else those are the texts "NaN", "NaN:0x<bits>",
// "Infinity" and "-Infinity".
template <class T>
Json valueToJson(const T& value, bool floatsAsNumbers = false);

template <Record R>
Json recordToJson(const R& record, bool floatsAsNumbers = false) {
    Json object = Json::object();
    forEachField<R>([&](const auto& f) {
        object[std::string(f.name)] = valueToJson(record.*(f.member), floatsAsNumbers);
    });
    return object;
}

template <class T>
Json valueToJson(const T& value, bool floatsAsNumbers) {
    if constexpr (Record<T>) {
        return recordToJson(value, floatsAsNumbers);
    } else if constexpr (IsOptional<T>::value) {
        return value ? valueToJson(*value, floatsAsNumbers) : Json(nullptr);
    } else if constexpr (IsArray<T>::value) {
        Json array = Json::array();
        for (const auto& item : value) array.push_back(valueToJson(item, floatsAsNumbers));
        return array;
    } else if constexpr (std::is_same_v<T, ByteBuffer>) {
        return toHex(value);
    } else if constexpr (std::is_same_v<T, Zeq2VertexAttributes>) {
        const char* name = vertexAttributeName(value);
        return name ? Json(name) : Json(static_cast<int32_t>(value));
    } else if constexpr (std::is_same_v<T, ZeqId>) {
        return value.value;
    } else if constexpr (std::is_same_v<T, std::string>) {
        return activeToUtf8(value);  // record texts are in the active code page, JSON is UTF-8
    } else if constexpr (std::is_same_v<T, bool>) {
        return value;
    } else if constexpr (std::is_floating_point_v<T>) {
        if (floatsAsNumbers) return static_cast<double>(value);
        if (std::isnan(value)) return nanText(value);
        if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
        return static_cast<double>(value);
    } else {
        static_assert(std::is_integral_v<T>, "no JSON form for this value type");
        return static_cast<std::conditional_t<std::is_signed_v<T>, int64_t, uint64_t>>(value);
    }
}

template <class T>
void valueFromJson(const Json& json, T& value, const std::string& where);

template <Record R>
void recordFromJson(const Json& json, R& record, const std::string& where) {
    if (!json.is_object()) fail(where, "expected an object");
    std::size_t known = 0;
    forEachField<R>([&](const auto& f) {
        const std::string name(f.name);
        const std::string path = where + "." + name;
        auto& member = record.*(f.member);
        const auto it = json.find(name);
        if (it != json.end()) ++known;
        if constexpr (IsOptional<std::remove_cvref_t<decltype(member)>>::value) {
            if (it == json.end() || it->is_null()) {
                member.reset();
            } else {
                member.emplace();
                valueFromJson(*it, *member, path);
            }
        } else {
            if (it == json.end() || it->is_null()) fail(path, "missing required field");
            valueFromJson(*it, member, path);
        }
    });
    if (known != json.size()) {
        for (const auto& item : json.items()) {
            bool isField = false;
            forEachField<R>([&](const auto& f) { isField = isField || item.key() == f.name; });
            if (!isField) fail(where, "unknown field \"" + item.key() + "\"");
        }
    }
}

template <class T>
void integerFromJson(const Json& json, T& value, const std::string& where) {
    const auto range = [&] {
        return "expected an integer from " + std::to_string(std::numeric_limits<T>::min()) + " to " +
               std::to_string(std::numeric_limits<T>::max());
    };
    if (json.is_number_unsigned()) {
        const auto number = json.get<uint64_t>();
        if (number > static_cast<uint64_t>(std::numeric_limits<T>::max())) fail(where, range());
        value = static_cast<T>(number);
    } else if (json.is_number_integer()) {
        const auto number = json.get<int64_t>();
        if (number < static_cast<int64_t>(std::numeric_limits<T>::min()) ||
            (number > 0 && static_cast<uint64_t>(number) > static_cast<uint64_t>(std::numeric_limits<T>::max()))) {
            fail(where, range());
        }
        value = static_cast<T>(number);
    } else if (json.is_number_float() && json.get<double>() == 0 && std::signbit(json.get<double>())) {
        value = 0;  // -0, which readers keep as a float for its sign
    } else {
        fail(where, range());
    }
}

// `number` rounded to the nearest T. Refused when the rounding gives what the document does not
// say: an infinity (the number lies half a step or more beyond the largest T; the shortest text of
// the largest T, such as 3.4028235e38, lies below that and is taken) or 0 for a number that is not 0.
template <class T>
T roundedNumber(double number, const std::string& where) {
    const double largest = std::numeric_limits<T>::max();
    const double halfStep = (largest - static_cast<double>(std::nextafter(std::numeric_limits<T>::max(), T(0)))) / 2;
    if (std::isinf(number) || std::fabs(number) >= largest + halfStep) fail(where, "number out of range");
    const T value = number > largest    ? std::numeric_limits<T>::max()
                    : number < -largest ? std::numeric_limits<T>::lowest()
                                        : static_cast<T>(number);
    if (value == 0 && number != 0) fail(where, "number too close to 0: it would be stored as 0");
    return value;
}

template <class T>
void valueFromJson(const Json& json, T& value, const std::string& where) {
    if constexpr (Record<T>) {
        recordFromJson(json, value, where);
    } else if constexpr (IsArray<T>::value) {
        if (!json.is_array()) fail(where, "expected an array");
        checkLength(json.size(), "entries", where);
        value.items.clear();
        value.items.reserve(json.size());
        for (std::size_t i = 0; i < json.size(); ++i) {
            value.items.emplace_back();
            valueFromJson(json[i], value.items.back(), where + "[" + std::to_string(i) + "]");
        }
    } else if constexpr (std::is_same_v<T, ByteBuffer>) {
        if (!json.is_string()) fail(where, "expected a hex string");
        checkLength(json.get_ref<const std::string&>().size() / 2, "bytes", where);
        try {
            value = fromHex(json.get<std::string>());
        } catch (const std::invalid_argument& e) {
            fail(where, e.what());
        }
    } else if constexpr (std::is_same_v<T, Zeq2VertexAttributes>) {
        if (json.is_string()) {
            const auto kind = vertexAttributeFromName(json.get<std::string>());
            if (!kind) fail(where, "unknown vertex attribute \"" + json.get<std::string>() + "\"");
            value = *kind;
        } else {
            int32_t number = 0;
            integerFromJson(json, number, where);
            value = static_cast<Zeq2VertexAttributes>(number);
        }
    } else if constexpr (std::is_same_v<T, ZeqId>) {
        integerFromJson(json, value.value, where);
    } else if constexpr (std::is_same_v<T, std::string>) {
        if (!json.is_string()) fail(where, "expected a string");
        const std::string& text = json.get_ref<const std::string&>();
        // A stored text ends at its first zero byte: what follows it would be lost without a word.
        if (text.find('\0') != std::string::npos) fail(where, "a text cannot hold a zero character (\\u0000)");
        value = utf8ToActive(text);
        // Stored as UTF-8 again, which is never longer than the document's text.
        if (text.size() > kMaxLength) checkLength(activeToUtf8(value).size(), "bytes", where);
    } else if constexpr (std::is_same_v<T, bool>) {
        if (!json.is_boolean()) fail(where, "expected true or false");
        value = json.get<bool>();
    } else if constexpr (std::is_floating_point_v<T>) {
        // An integer is rounded to T once (through a double it would be rounded twice).
        if (json.is_number_unsigned()) {
            value = static_cast<T>(json.get<uint64_t>());
        } else if (json.is_number_integer()) {
            value = static_cast<T>(json.get<int64_t>());
        } else if (json.is_number()) {
            value = roundedNumber<T>(json.get<double>(), where);
        } else if (json.is_string() && nanFromText(std::string_view(json.get_ref<const std::string&>()), value)) {
        } else if (json == "Infinity") {
            value = std::numeric_limits<T>::infinity();
        } else if (json == "-Infinity") {
            value = -std::numeric_limits<T>::infinity();
        } else {
            fail(where, "expected a number (or \"NaN\", \"NaN:0x\" and a NaN's bits, \"Infinity\", \"-Infinity\")");
        }
    } else {
        static_assert(std::is_integral_v<T>, "no JSON form for this value type");
        integerFromJson(json, value, where);
    }
}

}  // namespace json_detail

template <Record R>
Json toJson(const R& record, bool floatsAsNumbers = false) {
    return json_detail::recordToJson(record, floatsAsNumbers);
}

template <Record R>
R fromJson(const Json& json) {
    R record;
    json_detail::recordFromJson(json, record, std::string(RecordTraits<R>::typeName));
    return record;
}

// {"majorVersion": 2, "minorVersion": 5, "Zeq2": {...}, "Zeq2Extra1": {...}, "Zeq2Extra2": {...}}
Json sceneFileToJson(const SceneFile& file, bool floatsAsNumbers = false);
SceneFile sceneFileFromJson(const Json& json);

}  // namespace zeq
