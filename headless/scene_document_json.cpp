// JSON values with paths (over simdjson's On-Demand API) and the streaming writer of scene documents.
#include "headless/scene_document_json.h"

#include <nlohmann/json.hpp>

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace headless::document {

namespace {

void appendPath(const Path* path, std::string& out) {
    if (!path) return;
    appendPath(path->parent, out);
    if (path->isIndex) {
        out += '[' + std::to_string(path->index) + ']';
        return;
    }
    if (!out.empty()) out += '.';
    out += path->key;
}

}  // namespace

std::string Path::text() const {
    std::string out;
    appendPath(this, out);
    return out;
}

void Item::fail(const std::string& problem) const {
    // A key may be empty text: a path that reads as nothing is the document's.
    const std::string where = path_ ? path_->text() : std::string();
    throw SceneDocumentError((where.empty() ? std::string("document") : where) + ": " + problem);
}

using simdjson::ondemand::json_type;

json_type Item::type() const {
    json_type type{};
    if (const auto error = value_.type().get(type)) invalidJson(error);
    return type;
}

bool Item::isNull() const {
    if (type() != json_type::null) return false;
    bool null = false;
    if (const auto error = value_.is_null().get(null)) invalidJson(error);
    if (!null) invalidJson(simdjson::INCORRECT_TYPE);
    return true;
}

std::string describe(json_type type) {
    switch (type) {
    case json_type::null: return "null";
    case json_type::boolean: return "a boolean";
    case json_type::string: return "a string";
    case json_type::array: return "an array";
    case json_type::object: return "an object";
    default: return "a number";
    }
}

std::string_view stringText(const char* raw, std::string& storage) {
    size_t end = 0;
    bool escaped = false;
    for (; raw[end] != '"'; ++end) {
        if (static_cast<unsigned char>(raw[end]) < 0x20) invalidJson(simdjson::STRING_ERROR);
        if (raw[end] == '\\') {
            escaped = true;
            ++end;
        }
    }
    if (!escaped) return std::string_view(raw, end);
    try {
        storage = nlohmann::json::parse(std::string_view(raw - 1, end + 2)).get<std::string>();
    } catch (const nlohmann::json::exception&) {
        invalidJson(simdjson::STRING_ERROR);
    }
    return storage;
}

std::string_view Item::string() const {
    if (string_) return *string_;
    if (!isString()) fail("expected a string, got " + describe());
    simdjson::ondemand::raw_json_string raw;
    if (const auto error = value_.get_raw_json_string().get(raw)) invalidJson(error);
    string_ = stringText(raw.raw(), unescaped_);
    // The host keeps names, file names and texts up to their first zero character: a "\u0000"
    // would cut them without a word (and make names that differ after it one).
    if (string_->find('\0') != std::string_view::npos)
        fail("text holds a zero character (\\u0000), which the host cannot keep");
    return *string_;
}

bool Item::boolean() const {
    if (!isBool()) fail("expected true or false, got " + describe());
    bool value = false;
    if (const auto error = value_.get_bool().get(value)) invalidJson(error);
    return value;
}

float Item::floatValue() const {
    if (isString()) {
        const std::string_view text = string();
        if (text == "inf") return std::numeric_limits<float>::infinity();
        if (text == "-inf") return -std::numeric_limits<float>::infinity();
        if (text == "nan") return std::numeric_limits<float>::quiet_NaN();
        if (text == "-nan") return -std::numeric_limits<float>::quiet_NaN();
        fail("expected a number, got " + inQuotes(text));
    }
    if (!isNumber()) fail("expected a number, got " + describe());
    // Integers become floats through a double, as every number is read.
    double value = 0;
    if (value_.get_double().get(value) || !fitsFloat(value))
        fail("number out of the range of a float");
    return static_cast<float>(value);
}

int64_t Item::integer(int64_t low, int64_t high) const {
    if (!isNumber()) fail("expected an integer, got " + describe());
    simdjson::ondemand::number_type kind{};
    if (value_.get_number_type().get(kind)) {
        const std::string text = numberText();  // refuses a malformed number
        const bool whole = text.find_first_of(".eE") == std::string::npos;
        fail(whole ? "integer out of range" : "expected an integer, got " + text);
    }
    int64_t value = 0;
    uint64_t u = 0;
    if (kind == simdjson::ondemand::number_type::signed_integer && !value_.get_int64().get(value)) {
    } else if (kind == simdjson::ondemand::number_type::unsigned_integer && !value_.get_uint64().get(u)) {
        if (u > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) fail("integer out of range");
        value = static_cast<int64_t>(u);
    } else {
        // A fraction, an exponent or an integer beyond 64 bits (below -2^63 too).
        double d = 0;
        if (value_.get_double().get(d) || !(std::fabs(d) < 9.0e15) || d != std::floor(d))
            fail("expected an integer, got " + numberText());
        value = static_cast<int64_t>(d);
    }
    if (value < low || value > high)
        fail("must be between " + std::to_string(low) + " and " + std::to_string(high) + ", got " + std::to_string(value));
    return value;
}

uint32_t Item::id() const {
    if (isString()) {
        const std::string_view text = string();
        uint32_t value = 0;
        const bool prefixed = text.size() > 2 && text.size() <= 10 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        const auto [end, error] = prefixed ? std::from_chars(text.data() + 2, text.data() + text.size(), value, 16)
                                           : std::from_chars_result{text.data(), std::errc::invalid_argument};
        if (error != std::errc() || end != text.data() + text.size())
            fail("expected a number or a hex string such as \"0x1A2B3C4D\", got " + inQuotes(text));
        return value;
    }
    if (!isNumber()) fail("expected a number or a hex string such as \"0x1A2B3C4D\", got " + describe());
    return static_cast<uint32_t>(integer(0, 0xFFFFFFFFll));
}

simdjson::ondemand::array& Item::array() const {
    if (!array_) {
        if (!isArray()) fail("expected an array, got " + describe());
        simdjson::ondemand::array array;
        if (const auto error = value_.get_array().get(array)) invalidJson(error);
        array_ = array;
    }
    return *array_;
}

size_t Item::size() const {
    size_t count = 0;
    if (const auto error = array().count_elements().get(count)) invalidJson(error);
    return count;
}

simdjson::ondemand::object& Item::object() const {
    if (!object_) {
        if (!isObject()) fail("expected an object, got " + describe());
        simdjson::ondemand::object object;
        if (const auto error = value_.get_object().get(object)) invalidJson(error);
        object_ = object;
    }
    return *object_;
}

namespace {

// Whether text is a number as JSON writes them: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
bool isJsonNumber(std::string_view text) {
    size_t i = 0;
    auto digits = [&] {
        const size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
        return i > start;
    };
    if (i < text.size() && text[i] == '-') ++i;
    if (i < text.size() && text[i] == '0') ++i;
    else if (!digits()) return false;
    if (i < text.size() && text[i] == '.' && (++i, !digits())) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (!digits()) return false;
    }
    return i == text.size();
}

}  // namespace

std::string Item::numberText() const {
    // The text as the document has it; a number beyond a double (1e999, 300 digits) is still JSON,
    // while a malformed one is refused.
    std::string_view text = value_.raw_json_token();
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    double d = 0;
    if (const auto error = value_.get_double().get(d); error && !isJsonNumber(text)) invalidJson(error);
    return std::string(text);
}

// ---- Writing ----

JsonWriter::JsonWriter(const Sink& sink) : sink_(sink) { buffer_.reserve(kFlushAt + 4096); }

void JsonWriter::flush() {
    if (!buffer_.empty()) sink_(buffer_.data(), buffer_.size());
    buffer_.clear();
}

void JsonWriter::finish() {
    put("\n");
    flush();
}

void JsonWriter::newline() {
    buffer_ += '\n';
    buffer_.append(levels_.size(), '\t');
}

void JsonWriter::beforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (levels_.empty()) return;
    Level& level = levels_.back();
    if (!level.empty) buffer_ += ',';
    if (!level.inlineLevel) newline();
    level.empty = false;
}

void JsonWriter::key(std::string_view name) {
    beforeValue();
    quoted(name);
    buffer_ += ": ";
    afterKey_ = true;
}

void JsonWriter::beginObject() {
    beforeValue();
    buffer_ += '{';
    levels_.push_back({!levels_.empty() && levels_.back().inlineLevel, true, true});
}

void JsonWriter::endObject() {
    const Level level = levels_.back();
    levels_.pop_back();
    if (!level.empty && !level.inlineLevel) newline();
    put("}");
}

void JsonWriter::beginArray(bool inlineArray) {
    beforeValue();
    buffer_ += '[';
    levels_.push_back({inlineArray || (!levels_.empty() && levels_.back().inlineLevel), true, false});
}

void JsonWriter::endArray() {
    const Level level = levels_.back();
    levels_.pop_back();
    if (!level.empty && !level.inlineLevel) newline();
    put("]");
}

void JsonWriter::null() {
    beforeValue();
    put("null");
}

void JsonWriter::boolean(bool value) {
    beforeValue();
    put(value ? "true" : "false");
}

void JsonWriter::integer(int64_t value) {
    beforeValue();
    char text[24];
    const auto result = std::to_chars(text, text + sizeof text, value);
    put(std::string_view(text, static_cast<size_t>(result.ptr - text)));
}

void JsonWriter::floatValue(float value) {
    if (std::isnan(value)) return string(std::signbit(value) ? "-nan" : "nan");
    if (std::isinf(value)) return string(value > 0 ? "inf" : "-inf");
    beforeValue();
    // "-0" would read back as the integer 0; the fraction keeps the sign.
    if (value == 0.0f && std::signbit(value)) return put("-0.0");
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    put(std::string_view(text, static_cast<size_t>(result.ptr - text)));
}

void JsonWriter::string(std::string_view text) {
    beforeValue();
    quoted(text);
}

std::string utf8Text(std::string_view text) {
    if (simdjson::validate_utf8(text.data(), text.size())) return std::string(text);
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const size_t length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
        if (length > 0 && i + length <= text.size() && simdjson::validate_utf8(text.data() + i, length)) {
            out.append(text.data() + i, length);
            i += length - 1;
        } else {
            out += "\xEF\xBF\xBD";
        }
    }
    return out;
}

void JsonWriter::quoted(std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    std::string repaired;
    if (!simdjson::validate_utf8(text.data(), text.size())) text = repaired = utf8Text(text);
    buffer_ += '"';
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            buffer_ += '\\';
            buffer_ += ch;
        } else if (c < 0x20) {
            switch (c) {
            case '\n': buffer_ += "\\n"; break;
            case '\t': buffer_ += "\\t"; break;
            case '\r': buffer_ += "\\r"; break;
            case '\b': buffer_ += "\\b"; break;
            case '\f': buffer_ += "\\f"; break;
            default:
                buffer_ += "\\u00";
                buffer_ += kHex[c >> 4];
                buffer_ += kHex[c & 15];
            }
        } else {
            buffer_ += ch;
        }
    }
    buffer_ += '"';
    if (buffer_.size() >= kFlushAt) flush();
}

}  // namespace headless::document
