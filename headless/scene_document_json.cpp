// JSON values with paths (over simdjson's DOM) and the streaming writer of scene documents.
#include "headless/scene_document_json.h"

#include <nlohmann/json.hpp>

#include <cfloat>
#include <charconv>
#include <cmath>
#include <limits>

namespace headless::document {

using simdjson::dom::element_type;

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

std::string Item::pathText() const { return path_ ? path_->text() : std::string(); }

void Item::fail(const std::string& problem) const {
    const std::string where = pathText();
    throw SceneDocumentError((where.empty() ? std::string("document") : where) + ": " + problem);
}

bool Item::isNumber() const {
    const element_type t = value_.type();
    return t == element_type::INT64 || t == element_type::UINT64 || t == element_type::DOUBLE;
}

std::string Item::describe() const {
    switch (value_.type()) {
    case element_type::NULL_VALUE: return "null";
    case element_type::BOOL: return "a boolean";
    case element_type::STRING: return "a string";
    case element_type::ARRAY: return "an array";
    case element_type::OBJECT: return "an object";
    default: return "a number";
    }
}

std::string_view Item::string() const {
    if (!isString()) fail("expected a string, got " + describe());
    return value_.get_string().value_unsafe();
}

bool Item::boolean() const {
    if (!isBool()) fail("expected true or false, got " + describe());
    return value_.get_bool().value_unsafe();
}

float Item::floatValue() const {
    double value = 0;
    switch (value_.type()) {
    case element_type::DOUBLE: value = value_.get_double().value_unsafe(); break;
    // Integers become floats through a double, as every number is read.
    case element_type::INT64: value = static_cast<double>(value_.get_int64().value_unsafe()); break;
    case element_type::UINT64: value = static_cast<double>(value_.get_uint64().value_unsafe()); break;
    case element_type::STRING: {
        const std::string_view text = value_.get_string().value_unsafe();
        if (text == "inf") return std::numeric_limits<float>::infinity();
        if (text == "-inf") return -std::numeric_limits<float>::infinity();
        if (text == "nan") return std::numeric_limits<float>::quiet_NaN();
        fail("expected a number, got " + inQuotes(text));
    }
    default: fail("expected a number, got " + describe());
    }
    if (!std::isfinite(value) || std::fabs(value) > FLT_MAX) fail("number out of the range of a float");
    return static_cast<float>(value);
}

int64_t Item::integer(int64_t low, int64_t high) const {
    int64_t value = 0;
    switch (value_.type()) {
    case element_type::INT64: value = value_.get_int64().value_unsafe(); break;
    case element_type::UINT64: {
        const uint64_t u = value_.get_uint64().value_unsafe();
        if (u > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) fail("integer out of range");
        value = static_cast<int64_t>(u);
        break;
    }
    case element_type::DOUBLE: {
        const double d = value_.get_double().value_unsafe();
        if (!(std::fabs(d) < 9.0e15) || d != std::floor(d)) fail("expected an integer, got " + numberText());
        value = static_cast<int64_t>(d);
        break;
    }
    default: fail("expected an integer, got " + describe());
    }
    if (value < low || value > high)
        fail("must be between " + std::to_string(low) + " and " + std::to_string(high) + ", got " + std::to_string(value));
    return value;
}

uint32_t Item::id() const {
    if (isString()) {
        const std::string_view text = value_.get_string().value_unsafe();
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

simdjson::dom::array Item::array() const {
    if (!isArray()) fail("expected an array, got " + describe());
    return value_.get_array().value_unsafe();
}

simdjson::dom::array Item::array(size_t count, const std::string& what) const {
    const simdjson::dom::array a = array();
    if (a.size() != count) fail("expected " + what);
    return a;
}

simdjson::dom::object Item::object() const {
    if (!isObject()) fail("expected an object, got " + describe());
    return value_.get_object().value_unsafe();
}

std::string Item::numberText() const {
    switch (value_.type()) {
    case element_type::INT64: return std::to_string(value_.get_int64().value_unsafe());
    case element_type::UINT64: return std::to_string(value_.get_uint64().value_unsafe());
    default: return nlohmann::json(value_.get_double().value_unsafe()).dump();
    }
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
    if (std::isnan(value)) return string("nan");
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

void JsonWriter::quoted(std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    buffer_ += '"';
    // Text that is not UTF-8 (names come from foreign files) keeps its valid parts; each byte that
    // starts no valid sequence becomes U+FFFD, so that the document stays readable JSON.
    const bool valid = simdjson::validate_utf8(text.data(), text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            buffer_ += '\\';
            buffer_ += static_cast<char>(c);
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
        } else if (c < 0x80 || valid) {
            buffer_ += static_cast<char>(c);
        } else {
            size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            if (length > 1 && i + length <= text.size() && simdjson::validate_utf8(text.data() + i, length)) {
                buffer_.append(text.data() + i, length);
                i += length - 1;
            } else {
                buffer_ += "\xEF\xBF\xBD";
            }
        }
    }
    buffer_ += '"';
    if (buffer_.size() >= kFlushAt) flush();
}

}  // namespace headless::document
