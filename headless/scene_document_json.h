#pragma once
// JSON values with their paths for reading scene documents, and the streaming JSON writer.
//
// Reading works on a parsed DOM (simdjson). Every value carries where it sits ("nodes[3].object")
// as a chain of parent links on the stack, so that the path text is made only when a value is
// refused; reading a million vertices makes no strings.
//
// Writing streams pretty-printed JSON to a sink: objects and arrays one entry a line, indented by
// a tab a level, except inline arrays (small number arrays such as a vertex, a face or a matrix),
// which stay on one line without spaces. Tabs and the tight inline arrays keep a document of a
// million triangles, which is mostly such arrays, within a third of its compact size.
#include "headless/scene_document.h"

#include <simdjson.h>

#include <cstdint>
#include <functional>
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

class Item {
public:
    Item(simdjson::dom::element value, const Path* path) : value_(value), path_(path) {}

    simdjson::dom::element value() const { return value_; }
    const Path* path() const { return path_; }
    std::string pathText() const;

    [[noreturn]] void fail(const std::string& problem) const;

    bool isNull() const { return value_.type() == simdjson::dom::element_type::NULL_VALUE; }
    bool isString() const { return value_.type() == simdjson::dom::element_type::STRING; }
    bool isBool() const { return value_.type() == simdjson::dom::element_type::BOOL; }
    bool isNumber() const;
    bool isArray() const { return value_.type() == simdjson::dom::element_type::ARRAY; }
    bool isObject() const { return value_.type() == simdjson::dom::element_type::OBJECT; }
    // "a string", "an array", "a number" ... for messages.
    std::string describe() const;

    // The value as the given kind, or fail with "expected ..., got ...".
    std::string_view string() const;
    bool boolean() const;
    float floatValue() const;  // numbers and "inf", "-inf", "nan"
    int64_t integer(int64_t low, int64_t high) const;
    int intValue(int low = INT32_MIN, int high = INT32_MAX) const { return static_cast<int>(integer(low, high)); }
    // A 32-bit id: a number, or "0x" and one to eight hex digits.
    uint32_t id() const;
    simdjson::dom::array array() const;
    // An array of exactly `count` entries (else "expected <what>").
    simdjson::dom::array array(size_t count, const std::string& what) const;
    simdjson::dom::object object() const;
    // The number's text as JSON writes it (user properties keep numbers as text).
    std::string numberText() const;

    // Calls visit(Item) for each entry of an array, with its path.
    template <typename Visit>
    void forEach(Visit&& visit) const {
        size_t index = 0;
        for (simdjson::dom::element child : array()) {
            const Path path{path_, {}, index++, true};
            visit(Item(child, &path));
        }
    }
    size_t size() const { return array().size(); }

private:
    simdjson::dom::element value_;
    const Path* path_;
};

// A value at a key below this item's path (the child's Path must outlive it).
inline Path childPath(const Item& parent, std::string_view key) { return Path{parent.path(), key, 0, false}; }
inline Path childPath(const Item& parent, size_t index) { return Path{parent.path(), {}, index, true}; }

// A text as messages quote it: "name".
inline std::string inQuotes(std::string_view text) { return "\"" + std::string(text) + "\""; }

class JsonWriter {
public:
    using Sink = std::function<void(const char*, size_t)>;
    explicit JsonWriter(const Sink& sink);
    ~JsonWriter() = default;
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
    // "inf", "-inf" and "nan", which JSON numbers cannot hold.
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
