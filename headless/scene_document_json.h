#pragma once
// JSON values with their paths for reading scene documents, and the streaming JSON writer.
//
// Reading walks the text with simdjson's On-Demand API. Every value carries where it sits
// ("nodes[3].object") as a chain of parent links on the stack, so that the path text is made only
// when a value is refused; reading a million vertices makes no strings.
//
// Writing streams pretty-printed JSON to a sink: objects and arrays one entry a line, indented by
// a tab a level, except inline arrays (small number arrays such as a vertex, a face or a matrix),
// which stay on one line without spaces. Tabs and the tight inline arrays keep a document of a
// million triangles, which is mostly such arrays, within a third of its compact size.
#include "headless/scene_document.h"

#include <simdjson.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace headless::document {

// Where a value sits: the key or index below its parent's path (no parent: the document).
struct Path {
    const Path* parent = nullptr;
    std::string_view key;
    size_t index = 0;
    bool isIndex = false;
    std::string text() const;
};

// Text the parser found not to be JSON, found while reading; the reader reports it with its line
// and column.
struct InvalidJson {
    simdjson::error_code error;
};
[[noreturn]] inline void invalidJson(simdjson::error_code error) { throw InvalidJson{error}; }

// The text of a JSON string that starts at `raw` (just past its opening quote): a view of the
// document when it has no escapes, else unescaped into `storage`. Strings are taken from the text
// rather than from the parser's string buffer, which fills up when values are read more than once.
std::string_view stringText(const char* raw, std::string& storage);

// Whether a number (read as a double) becomes a finite float: below the point halfway between the
// largest float and 2^128. The largest float is written as 3.4028235e+38, a little above it.
inline bool fitsFloat(double value) { return std::fabs(value) < 0x1.ffffffp+127; }

// A JSON type as messages name it: "a string", "an array", "a number" ...
std::string describe(simdjson::ondemand::json_type type);

// A JSON value being read (simdjson's On-Demand API: the text is read once, front to back, and
// numbers go straight into the model). Each value is read once, in document order; the array or
// object of a value is kept, so that its size may be asked before its entries are visited.
class Item {
public:
    Item(simdjson::ondemand::value value, const Path* path) : value_(value), path_(path) {}

    simdjson::ondemand::value& value() const { return value_; }
    const Path* path() const { return path_; }

    [[noreturn]] void fail(const std::string& problem) const;

    simdjson::ondemand::json_type type() const;
    // True (and the value read) for null.
    bool isNull() const;
    bool isString() const { return type() == simdjson::ondemand::json_type::string; }
    bool isBool() const { return type() == simdjson::ondemand::json_type::boolean; }
    bool isNumber() const { return type() == simdjson::ondemand::json_type::number; }
    bool isArray() const { return type() == simdjson::ondemand::json_type::array; }
    bool isObject() const { return type() == simdjson::ondemand::json_type::object; }
    std::string describe() const { return document::describe(type()); }

    // The value as the given kind, or fail with "expected ..., got ...".
    std::string_view string() const;
    bool boolean() const;
    float floatValue() const;  // numbers and "inf", "-inf", "nan", "-nan"
    int64_t integer(int64_t low, int64_t high) const;
    int intValue(int low = INT32_MIN, int high = INT32_MAX) const { return static_cast<int>(integer(low, high)); }
    // A 32-bit id: a number, or "0x" and one to eight hex digits.
    uint32_t id() const;
    simdjson::ondemand::array& array() const;
    simdjson::ondemand::object& object() const;
    // The number as the document writes it (user properties keep numbers as text).
    std::string numberText() const;

    // Calls visit(Item) for each entry of an array, with its path.
    template <typename Visit>
    void forEach(Visit&& visit) const {
        size_t index = 0;
        for (auto entry : array()) {
            simdjson::ondemand::value child;
            if (const auto error = std::move(entry).get(child)) invalidJson(error);
            const Path path{path_, {}, index++, true};
            visit(Item(child, &path));
        }
    }
    // The number of entries of an array (a scan; visiting them afterwards starts at the first).
    size_t size() const;

private:
    mutable simdjson::ondemand::value value_;
    const Path* path_;
    mutable std::optional<simdjson::ondemand::array> array_;
    mutable std::optional<simdjson::ondemand::object> object_;
    mutable std::optional<std::string_view> string_;
    mutable std::string unescaped_;
};

// Calls visit(key, Item) for each key of an object in document order, while it returns true;
// returns whether every key was visited.
template <typename Visit>
bool forEachKey(const Item& item, Visit&& visit) {
    for (auto entry : item.object()) {
        simdjson::ondemand::field field;
        if (auto error = std::move(entry).get(field)) invalidJson(error);
        std::string storage;
        const std::string_view key = stringText(field.key().raw(), storage);
        const Path path{item.path(), key, 0, false};
        if (!visit(key, Item(field.value(), &path))) return false;
    }
    return true;
}

// A value at a key below this item's path (the child's Path must outlive it).
inline Path childPath(const Item& parent, std::string_view key) { return Path{parent.path(), key, 0, false}; }
inline Path childPath(const Item& parent, size_t index) { return Path{parent.path(), {}, index, true}; }

// A text as messages quote it: "name".
inline std::string inQuotes(std::string_view text) { return "\"" + std::string(text) + "\""; }

class JsonWriter {
public:
    using Sink = std::function<void(const char*, size_t)>;
    explicit JsonWriter(const Sink& sink);
    // Hands the rest to the sink; call once at the end.
    void finish();

    void beginObject();
    void endObject();
    void key(std::string_view name);
    // An inline array keeps its entries (and anything inside them) on one line.
    void beginArray(bool inlineArray = false);
    void endArray();

    void null();
    void boolean(bool value);
    void integer(int64_t value);
    // The shortest text that reads back as the same float; infinities and NaN as the strings
    // "inf", "-inf", "nan" and "-nan" (a NaN with its sign bit set), which JSON numbers cannot hold.
    void floatValue(float value);
    void string(std::string_view text);

private:
    void beforeValue();
    void quoted(std::string_view text);
    void newline();
    void put(std::string_view text) {
        buffer_.append(text);
        if (buffer_.size() >= kFlushAt) flush();
    }
    void flush();

    static constexpr size_t kFlushAt = 1 << 16;
    struct Level {
        bool inlineLevel;
        bool empty;
        bool object;
    };
    const Sink& sink_;
    std::string buffer_;
    std::vector<Level> levels_;
    bool afterKey_ = false;
};

}  // namespace headless::document
