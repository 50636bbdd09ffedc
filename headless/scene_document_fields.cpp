// Field tables of scene documents: for every kind of entry, the ordered list of its keys, each with
// whether it is required, how it is read into the model, when it is left out (its default) and how
// it is written. One table drives both reading and writing, in table order, which is also the order
// in which a key may depend on the keys before it (faces after vertices, weights after bones).
// Here are the tables, the value codecs they use, and the two generic walks over them: reading a
// JSON object into a model entry and writing a model entry as a JSON object.
#include "headless/scene_document_json.h"
#include "headless/scene_document_model.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <span>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>

namespace headless::document {

namespace {

enum class Ref { Node, Object, Material, Map };
constexpr const char* kRefNames[] = {"node", "object", "material", "map"};

// What reading needs besides the value: the ids of every table (gathered before the entries are
// read, so that entries may refer to entries further down) and the layer names.
struct Reader {
    std::unordered_map<std::string, int> ids[4];  // by Ref
    std::unordered_set<std::string> layerNames;
    // A key was given twice in some object: its earlier values were skipped, not parsed.
    bool skippedValues = false;

    // The entry an id names; null is allowed (-1) only with allowNull.
    int resolve(const Item& item, Ref table, bool allowNull) const {
        const char* what = kRefNames[static_cast<int>(table)];
        if (allowNull && item.isNull()) return -1;
        if (!item.isString())
            item.fail(std::string("expected the id of a ") + what + (allowNull ? " or null" : "") + ", got " + item.describe());
        const std::string_view id = item.string();
        const auto& known = ids[static_cast<int>(table)];
        auto found = known.find(std::string(id));
        if (found == known.end()) item.fail(std::string("no ") + what + " " + inQuotes(id));
        return found->second;
    }
};

// What writing needs besides the value: the output and the model, whose entries give the ids.
struct Writer {
    JsonWriter& out;
    const SceneModel& model;
    void ref(Ref table, int index) const {
        if (index < 0) return out.null();
        switch (table) {
        case Ref::Node: return out.string(model.nodes[index].id);
        case Ref::Object: return out.string(model.objects[index].id);
        case Ref::Material: return out.string(model.materials[index].id);
        case Ref::Map: return out.string(model.maps[index].id);
        }
    }
    // An array of the entries of list, each written by write(entry); an inline array stays on one line.
    template <class List, class Write>
    void array(const List& list, Write&& write, bool inlineArray = false) const {
        out.beginArray(inlineArray);
        for (const auto& entry : list) write(entry);
        out.endArray();
    }
    // The same over the indices below count.
    template <class Write>
    void array(int count, Write&& write, bool inlineArray = false) const {
        out.beginArray(inlineArray);
        for (int i = 0; i < count; ++i) write(i);
        out.endArray();
    }
};

template <class M>
struct Field {
    const char* key;
    bool required;
    void (*read)(Reader&, const Item&, M&);
    bool (*omit)(const M&);  // null: always written
    void (*write)(Writer&, const M&);
    void (*absent)(M&) = nullptr;  // when the document leaves the key out (null: keep the default)
};

template <class M>
using Fields = std::span<const Field<M>>;

// The table of each entry kind (defined below).
template <class M>
Fields<M> fieldsOf();

// ---- The generic walks ----

// Edits (a letter changed, added or left out; case ignored) that turn a into b: how close a
// misspelt key is to a known one.
size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) == std::tolower(static_cast<unsigned char>(b[j - 1]));
            const size_t next = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = row[j];
            row[j] = next;
        }
    }
    return row[b.size()];
}

// Reads an object whose keys are those of the first table and, for entries of a kind, those of
// the kind's table; any other key is refused, so that a misspelt key is reported rather than
// silently ignored. Keys are read in table order, the order in which a key may depend on the keys
// before it. Documents list them in that order (as they are written), so they are read as they
// come, in one pass; an object with its keys in another order, or with a problem, is read again
// key by key in table order, which finds the same values and reports the first problem.
template <class A, class B = A>
void readObject(Reader& reader, const Item& item, A& a, B* b = nullptr) {
    simdjson::ondemand::object& object = item.object();
    const Fields<A> fa = fieldsOf<A>();
    const Fields<B> fb = fieldsOf<B>();
    const size_t na = fa.size(), count = na + (b ? fb.size() : 0);
    auto key = [&](size_t i) { return i < na ? fa[i].key : fb[i - na].key; };
    auto required = [&](size_t i) { return i < na ? fa[i].required : fb[i - na].required; };
    auto indexOf = [&](std::string_view name, const Item& value) {
        for (size_t i = 0; i < count; ++i)
            if (name == key(i)) return i;
        const char* nearest = nullptr;
        size_t best = std::max<size_t>(1, name.size() / 2) + 1;
        for (size_t i = 0; i < count; ++i)
            if (const size_t d = editDistance(name, key(i)); d < best) best = d, nearest = key(i);
        value.fail(nearest ? std::string("unknown field (did you mean \"") + nearest + "\"?)" : "unknown field");
    };
    auto read = [&](size_t i, const Item& value) {
        if (i < na) fa[i].read(reader, value, a);
        else fb[i - na].read(reader, value, *b);
    };
    // A key the document leaves out: refused when required, else it keeps or takes its default.
    auto absent = [&](size_t i) {
        if (required(i)) item.fail(std::string("missing field \"") + key(i) + "\"");
        if (i < na && fa[i].absent) fa[i].absent(a);
        if (i >= na && fb[i - na].absent) fb[i - na].absent(*b);
    };
    auto rewind = [&] {
        if (const auto error = object.reset().error()) invalidJson(error);
    };
    // Visits the keys in document order while visit(index, value) returns true.
    auto eachKey = [&](auto&& visit) {
        rewind();
        return forEachKey(item, [&](std::string_view name, const Item& value) { return visit(indexOf(name, value), value); });
    };
    const A freshA = a;
    const std::optional<B> freshB = b ? std::optional<B>(*b) : std::nullopt;
    size_t next = 0;
    try {
        const bool inOrder = eachKey([&](size_t i, const Item& value) {
            if (i < next) return false;
            for (; next < i; ++next) {
                if (required(next)) return false;
                absent(next);
            }
            read(i, value);
            ++next;
            return true;
        });
        if (inOrder) {
            for (; next < count; ++next) absent(next);
            return;
        }
    } catch (const SceneDocumentError&) {
        // The problem stands when every key is known and in table order.
        next = 0;
        if (eachKey([&](size_t i, const Item&) { return i >= next && (next = i + 1); })) throw;
    }
    a = freshA;
    if (b) *b = *freshB;
    // Where each key is (its last place when given twice: the last value counts).
    constexpr size_t kAbsent = SIZE_MAX;
    size_t place[64];
    if (count > std::size(place)) throw std::logic_error("a field table is longer than readObject allows");
    std::fill(place, place + count, kAbsent);
    size_t at = 0;
    eachKey([&](size_t i, const Item&) {
        if (place[i] != kAbsent) reader.skippedValues = true;
        return (place[i] = at++) != kAbsent;
    });
    for (size_t i = 0; i < count; ++i) {
        if (place[i] == kAbsent) {
            absent(i);
            continue;
        }
        at = 0;
        eachKey([&](size_t, const Item& value) {
            if (at++ == place[i]) read(i, value);
            return true;
        });
    }
}

template <class M>
void writeFields(Writer& writer, const M& model) {
    for (const Field<M>& field : fieldsOf<M>()) {
        if (field.omit && field.omit(model)) continue;
        writer.out.key(field.key);
        field.write(writer, model);
    }
    // An entry of a kind goes on with the keys of its kind.
    if constexpr (requires { model.kind.index(); })
        std::visit([&](const auto& kindModel) { writeFields(writer, kindModel); }, model.kind);
}

// ---- Field helpers ----

template <class>
struct MemberTraits;
template <class M, class T>
struct MemberTraits<T M::*> {
    using Model = M;
    using Type = T;
};

template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};

enum class Use { Required, Optional, Always };

// A key held by one member and read and written by codec C (static read and write). An optional
// member is left out when empty; any other is left out when it holds its default, unless the
// key is required or always written. A member with a Default (another member: a node's id is its
// name) holds that member's value when the key is left out, and is left out when it does.
template <auto Member, class C, Use use = Use::Optional, auto Default = nullptr>
auto field(const char* key) {
    using M = typename MemberTraits<decltype(Member)>::Model;
    using T = typename MemberTraits<decltype(Member)>::Type;
    Field<M> f{key, use == Use::Required, nullptr, nullptr, nullptr};
    f.read = [](Reader& r, const Item& item, M& m) { m.*Member = C::read(r, item); };
    if constexpr (IsOptional<T>::value) {
        if constexpr (use == Use::Optional) f.omit = [](const M& m) { return !(m.*Member).has_value(); };
        f.write = [](Writer& w, const M& m) { C::write(w, *(m.*Member)); };
    } else {
        if constexpr (!std::is_null_pointer_v<decltype(Default)>) {
            f.omit = [](const M& m) { return m.*Member == m.*Default; };
            f.absent = [](M& m) { m.*Member = m.*Default; };
        } else if constexpr (use == Use::Optional) {
            if constexpr (requires(const T& v) { v.empty(); }) f.omit = [](const M& m) { return (m.*Member).empty(); };
            else f.omit = [](const M& m) { return isExactly(m.*Member, M{}.*Member); };
        }
        f.write = [](Writer& w, const M& m) { C::write(w, m.*Member); };
    }
    return f;
}

// ---- Value codecs ----

struct Str {
    static std::string read(Reader&, const Item& item) { return std::string(item.string()); }
    static void write(Writer& w, const std::string& v) { w.out.string(v); }
};

struct Bool {
    static bool read(Reader&, const Item& item) { return item.boolean(); }
    static void write(Writer& w, bool v) { w.out.boolean(v); }
};

struct Float {
    static float read(Reader&, const Item& item) { return item.floatValue(); }
    static void write(Writer& w, float v) { w.out.floatValue(v); }
};

template <int64_t Low = INT32_MIN, int64_t High = INT32_MAX>
struct Int {
    static int read(Reader&, const Item& item) { return static_cast<int>(item.integer(Low, High)); }
    static void write(Writer& w, int64_t v) { w.out.integer(v); }
};

struct Id {
    static uint32_t read(Reader&, const Item& item) { return item.id(); }
    static void write(Writer& w, uint32_t v) { w.out.integer(v); }
};

std::string hexText(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08X", static_cast<unsigned>(value));
    return text;
}

struct ClassIdCodec {
    static Class_ID read(Reader&, const Item& item) {
        const size_t count = item.size();
        if (count != 2) item.fail("expected two ids [partA, partB], got " + std::to_string(count) + " values");
        uint32_t parts[2] = {0, 0};
        size_t i = 0;
        item.forEach([&](const Item& part) { parts[i++] = part.id(); });
        return Class_ID(parts[0], parts[1]);
    }
    static void write(Writer& w, const Class_ID& id) {
        w.out.beginArray(true);
        w.out.string(hexText(id.PartA()));
        w.out.string(hexText(id.PartB()));
        w.out.endArray();
    }
};

// A super class by name ("geometry" ...) or id.
struct SuperClassCodec {
    static SClass_ID read(Reader&, const Item& item) {
        if (item.isString()) {
            const std::string_view text = item.string();
            if (auto id = superClassFromName(text)) return *id;
            if (text.rfind("0x", 0) != 0 && text.rfind("0X", 0) != 0)
                item.fail("unknown super class " + inQuotes(text) +
                          " (expected geometry, helper, shape, light, camera or a number)");
        }
        return item.id();
    }
    static void write(Writer& w, SClass_ID id) {
        const std::string name = superClassName(id);
        w.out.string(name.empty() ? hexText(id) : name);
    }
};

// Three numbers; with allowTwo, two numbers give the third as 0 (texture coordinates).
Point3 readPoint(const Item& item, bool allowTwo = false) {
    // The common case straight from the text; anything unusual is read again on the checked path
    // below, which reports the problem.
    Point3 p;
    size_t n = 0;
    for (auto entry : item.array()) {
        simdjson::ondemand::value value;
        if (const auto error = std::move(entry).get(value)) invalidJson(error);
        double d = 0;
        if (n == 3 || value.get_double().get(d) || !fitsFloat(d)) {
            n = 4;
            break;
        }
        p[static_cast<int>(n++)] = static_cast<float>(d);
    }
    if (n == 3 || (allowTwo && n == 2)) return p;
    if (const auto error = item.array().reset().error()) invalidJson(error);
    n = item.size();
    if (n != 3 && !(allowTwo && n == 2))
        item.fail(std::string("expected ") + (allowTwo ? "2 or 3" : "3") + " numbers, got " + std::to_string(n));
    int i = 0;
    item.forEach([&](const Item& v) { p[i++] = v.floatValue(); });
    return p;
}

void writePoint(Writer& w, const Point3& p, bool dropZeroZ = false) {
    w.out.beginArray(true);
    w.out.floatValue(p.x);
    w.out.floatValue(p.y);
    if (!dropZeroZ || p.z != 0.0f || std::signbit(p.z)) w.out.floatValue(p.z);
    w.out.endArray();
}

struct Point3Codec {
    static Point3 read(Reader&, const Item& item) { return readPoint(item); }
    static void write(Writer& w, const Point3& p) { writePoint(w, p); }
};

struct ColorCodec {
    static Color read(Reader&, const Item& item) { return Color(readPoint(item)); }
    static void write(Writer& w, const Color& c) { writePoint(w, Point3(c.r, c.g, c.b)); }
};

// Twelve numbers (the X, Y and Z axis rows, then the translation row), or an object with
// "translation", "rotation" (degrees about X, then Y, then Z) and "scale", applied as scale, then
// rotation, then translation. Written as the twelve numbers.
struct Placement {
    std::optional<Point3> translation, rotation, scale;
};

const Field<Placement> kPlacementFields[] = {
    field<&Placement::translation, Point3Codec>("translation"),
    field<&Placement::rotation, Point3Codec>("rotation"),
    field<&Placement::scale, Point3Codec>("scale"),
};

struct MatrixCodec {
    static Matrix3 read(Reader& r, const Item& item) {
        if (item.isArray()) {
            const size_t count = item.size();
            if (count != 12)
                item.fail("expected 12 numbers (X, Y and Z axis rows, then translation), got " + std::to_string(count));
            Matrix3 m;
            int i = 0;
            item.forEach([&](const Item& v) {
                m.m[i / 3][i % 3] = v.floatValue();
                ++i;
            });
            return m;
        }
        if (!item.isObject()) item.fail("expected 12 numbers or an object with translation, rotation and scale");
        Placement placement;
        readObject(r, item, placement);
        Matrix3 m;
        if (placement.scale) m = m * ScaleMatrix(*placement.scale);
        if (placement.rotation) {
            constexpr double kRadians = 3.14159265358979323846 / 180.0;
            m = m * RotateXMatrix(static_cast<float>(placement.rotation->x * kRadians));
            m = m * RotateYMatrix(static_cast<float>(placement.rotation->y * kRadians));
            m = m * RotateZMatrix(static_cast<float>(placement.rotation->z * kRadians));
        }
        if (placement.translation) m = m * TransMatrix(*placement.translation);
        return m;
    }
    static void write(Writer& w, const Matrix3& m) {
        w.array(12, [&](int i) { w.out.floatValue(m.m[i / 3][i % 3]); }, true);
    }
};

// A reference to an entry of another table, by id.
template <Ref table, bool allowNull = true>
struct RefCodec {
    static int read(Reader& r, const Item& item) { return r.resolve(item, table, allowNull); }
    static void write(Writer& w, int index) { w.ref(table, index); }
};

// An array of values of codec C.
template <class C, bool inlineArray = false>
struct ArrayOf {
    using T = decltype(C::read(std::declval<Reader&>(), std::declval<const Item&>()));
    static std::vector<T> read(Reader& r, const Item& item) {
        std::vector<T> list;
        item.forEach([&](const Item& entry) { list.push_back(C::read(r, entry)); });
        return list;
    }
    static void write(Writer& w, const std::vector<T>& list) {
        w.array(list, [&](const T& value) { C::write(w, value); }, inlineArray);
    }
};

template <Ref table, bool allowNull = true>
using RefList = ArrayOf<RefCodec<table, allowNull>, true>;

// A value written as a JSON object of the fields of its table.
template <class M>
struct TableCodec {
    static M read(Reader& r, const Item& item) {
        M model;
        readObject(r, item, model);
        return model;
    }
    static void write(Writer& w, const M& model) {
        w.out.beginObject();
        writeFields(w, model);
        w.out.endObject();
    }
};

// A list of entries, each an object read and written through its own table.
template <class M>
using List = ArrayOf<TableCodec<M>>;

// The names of a list for messages: "a, b or c".
template <class List>
std::string choices(const List& list) {
    std::string text;
    for (size_t i = 0; i < std::size(list); ++i) {
        if (i > 0) text += i + 1 == std::size(list) ? " or " : ", ";
        if constexpr (std::is_same_v<std::decay_t<decltype(list[i])>, Name<int>>) text += list[i].name;
        else text += list[i];
    }
    return text;
}

// A value named by one of a list of words ("pyramidal", "summedArea", "none").
template <const auto& words, const char* const& noun>
struct Named {
    static int read(Reader&, const Item& item) {
        const std::string_view text = item.string();
        for (const Name<int>& w : words)
            if (text == w.name) return w.value;
        item.fail("unknown " + std::string(noun) + " " + inQuotes(text) + " (expected " + choices(words) + ")");
    }
    static void write(Writer& w, int value) {
        for (const Name<int>& word : words)
            if (word.value == value) return w.out.string(word.name);
        w.out.string(words[0].name);
    }
};

constexpr Name<int> kFilters[] = {{FILTER_PYR, "pyramidal"}, {FILTER_SAT, "summedArea"}, {FILTER_NADA, "none"}};
constexpr const char* kFilterNoun = "filter";
constexpr Name<int> kAlphaSources[] = {{ALPHA_FILE, "file"}, {ALPHA_RGB, "rgb"}, {ALPHA_NONE, "none"}};
constexpr const char* kAlphaNoun = "alpha source";
constexpr Name<int> kLightTypes[] = {{OMNI_LIGHT, "omni"},
                                {FSPOT_LIGHT, "spot"},
                                {TSPOT_LIGHT, "targetSpot"},
                                {DIR_LIGHT, "directional"},
                                {TDIR_LIGHT, "targetDirectional"}};
constexpr const char* kLightNoun = "light type";
constexpr Name<int> kConversions[] = {{int(MeshConversion::Triangle), "triangle"},
                                 {int(MeshConversion::PolygonOnly), "polygon"},
                                 {int(MeshConversion::None), "none"}};
constexpr const char* kConversionNoun = "conversion";

// Bytes as hex digits.
struct HexBytes {
    static std::vector<uint8_t> read(Reader&, const Item& item) {
        const std::string_view text = item.string();
        if (text.size() % 2 != 0) item.fail("expected an even number of hex digits");
        std::vector<uint8_t> bytes;
        bytes.reserve(text.size() / 2);
        auto digit = [&](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            item.fail("expected hex digits, found " + inQuotes(std::string(1, c)));
        };
        for (size_t i = 0; i < text.size(); i += 2)
            bytes.push_back(static_cast<uint8_t>(digit(text[i]) * 16 + digit(text[i + 1])));
        return bytes;
    }
    static void write(Writer& w, const std::vector<uint8_t>& bytes) {
        static const char digits[] = "0123456789abcdef";
        std::string text;
        text.reserve(bytes.size() * 2);
        for (uint8_t b : bytes) {
            text += digits[b >> 4];
            text += digits[b & 15];
        }
        w.out.string(text);
    }
};

struct HexIdCodec {
    static SClass_ID read(Reader& r, const Item& item) { return SuperClassCodec::read(r, item); }
    static void write(Writer& w, uint32_t id) { w.out.string(hexText(id)); }
};

// A pair of integers in [Low, High], such as a size.
template <int Low, int High, const char* const& what>
struct IntPair {
    static std::pair<int, int> read(Reader&, const Item& item) {
        if (item.size() != 2) item.fail(std::string("expected ") + what);
        int v[2] = {0, 0};
        int i = 0;
        item.forEach([&](const Item& e) { v[i++] = e.intValue(Low, High); });
        return {v[0], v[1]};
    }
    static void write(Writer& w, const std::pair<int, int>& p) {
        w.out.beginArray(true);
        w.out.integer(p.first);
        w.out.integer(p.second);
        w.out.endArray();
    }
};
constexpr const char* kWidthHeight = "[width, height]";
constexpr const char* kPixels = "[width, height] in pixels";

constexpr const char* kStartEnd = "[start, end] in ticks";

struct RangeCodec {
    static Interval read(Reader& r, const Item& item) {
        const auto [start, end] = IntPair<INT32_MIN, INT32_MAX, kStartEnd>::read(r, item);
        if (end < start) item.fail("the range ends (" + std::to_string(end) + ") before it starts (" + std::to_string(start) + ")");
        return Interval(start, end);
    }
    static void write(Writer& w, const Interval& range) { IntPair<0, 0, kStartEnd>::write(w, {range.Start(), range.End()}); }
};

// ---- Kinds: a variant member chosen by the "kind" key ----

template <class V, size_t... I>
void emplaceAt(V& variant, size_t index, std::index_sequence<I...>) {
    ((index == I ? (variant.template emplace<I>(), 0) : 0), ...);
}

template <class M, const auto& names>
Field<M> kindField() {
    Field<M> f{"kind", true, nullptr, nullptr, nullptr};
    // Chosen before the object is read, by its first "kind"; the walk reads the last one, which
    // must agree (elsewhere the last value of a key given twice counts).
    f.read = [](Reader&, const Item& item, M& m) {
        const std::string_view kind = item.string();
        if (kind != names[m.kind.index()])
            item.fail("\"kind\" is given twice: " + inQuotes(names[m.kind.index()]) + ", then " + inQuotes(kind));
    };
    f.write = [](Writer& w, const M& m) { w.out.string(names[m.kind.index()]); };
    return f;
}

// An entry of a kind: the "kind" key chooses the variant member, then the keys of the common
// table and the kind's table are read.
template <class M, const auto& names, const char* const& noun>
struct Kinded : TableCodec<M> {
    static M read(Reader& r, const Item& item) {
        M model;
        // Without a "kind", the keys of its kind would be refused as unknown ones first.
        if (forEachKey(item, [&](std::string_view key, const Item& kindItem) {
            if (key != "kind") return true;
            const std::string_view kind = kindItem.string();
            const size_t index = std::find(std::begin(names), std::end(names), kind) - std::begin(names);
            if (index == std::size(names))
                kindItem.fail("unknown " + std::string(noun) + " kind " + inQuotes(kind) + " (expected " + choices(names) + ")");
            emplaceAt(model.kind, index, std::make_index_sequence<std::variant_size_v<decltype(model.kind)>>());
            return false;
        }))
            item.fail("missing field \"kind\"");
        std::visit([&](auto& kindModel) { readObject(r, item, model, &kindModel); }, model.kind);
        return model;
    }
};

template <class M, const auto& names, const char* const& noun>
using KindedList = ArrayOf<Kinded<M, names, noun>>;

constexpr const char* kMapKinds[] = {"bitmap", "cube", "other"};
constexpr const char* kMapNoun = "map";
constexpr const char* kMaterialKinds[] = {"standard", "multi", "other"};
constexpr const char* kMaterialNoun = "material";
constexpr const char* kObjectKinds[] = {"mesh", "poly", "object", "light", "camera", "stack"};
constexpr const char* kObjectNoun = "object";
constexpr const char* kModifierKinds[] = {"skin", "modifier"};
constexpr const char* kModifierNoun = "modifier";

// ---- App data and parameter blocks ----

// App data, each chunk once: a second chunk of one key would replace the first when loaded.
struct AppDataList : List<AppData> {
    static std::vector<AppData> read(Reader& r, const Item& item) {
        std::vector<AppData> list = List<AppData>::read(r, item);
        std::map<std::array<uint32_t, 4>, size_t> seen;
        for (size_t i = 0; i < list.size(); ++i) {
            const AppData& a = list[i];
            const auto [it, added] = seen.emplace(std::array{a.classId.PartA(), a.classId.PartB(), a.superClassId, a.subId}, i);
            if (added) continue;
            const Path entry = childPath(item, i);
            Item(item.value(), &entry).fail("the same classId, superClassId and subId as appData[" +
                                            std::to_string(it->second) + "]");
        }
        return list;
    }
};

const Field<AppData> kAppDataFields[] = {
    field<&AppData::classId, ClassIdCodec, Use::Required>("classId"),
    field<&AppData::superClassId, HexIdCodec, Use::Required>("superClassId"),
    field<&AppData::subId, Id, Use::Always>("subId"),
    field<&AppData::bytes, HexBytes, Use::Always>("data"),
};

// A parameter's value, as its type reads it.
void readParamValue(Reader& r, const Item& item, ParamType2 base, ParamValue& v) {
    switch (base) {
    case TYPE_INT: v.i = item.intValue(); break;
    case TYPE_BOOL: v.i = item.boolean() ? 1 : 0; break;
    case TYPE_POINT3:
    case TYPE_RGBA: v.p = readPoint(item); break;
    case TYPE_STRING:
    case TYPE_FILENAME:
        if (!item.isNull()) v.s = std::string(item.string());
        break;
    case TYPE_INODE: v.ref = r.resolve(item, Ref::Node, true); break;
    case TYPE_MTL: v.ref = r.resolve(item, Ref::Material, true); break;
    case TYPE_TEXMAP: v.ref = r.resolve(item, Ref::Map, true); break;
    default: v.f = item.floatValue(); break;
    }
}

void writeParamValue(Writer& w, ParamType2 base, const ParamValue& v) {
    switch (base) {
    case TYPE_INT: w.out.integer(v.i); break;
    case TYPE_BOOL: w.out.boolean(v.i != 0); break;
    case TYPE_POINT3:
    case TYPE_RGBA: writePoint(w, v.p); break;
    case TYPE_STRING:
    case TYPE_FILENAME:
        if (v.s) w.out.string(*v.s);
        else w.out.null();
        break;
    case TYPE_INODE: w.ref(Ref::Node, v.ref); break;
    case TYPE_MTL: w.ref(Ref::Material, v.ref); break;
    case TYPE_TEXMAP: w.ref(Ref::Map, v.ref); break;
    default: w.out.floatValue(v.f); break;
    }
}

struct ParamTypeCodec {
    static ParamType2 read(Reader&, const Item& item) {
        const std::string_view name = item.string();
        const auto type = paramTypeFromName(name);
        if (!type)
            item.fail("unknown parameter type " + inQuotes(name) +
                      " (expected float, int, bool, point3, color, angle, percent, world, string, filename, node, "
                      "material or map, or one of them followed by [] for a table)");
        return *type;
    }
    static void write(Writer& w, ParamType2 type) { w.out.string(paramTypeName(type)); }
};

Field<ParamModel> paramValueField() {
    Field<ParamModel> f{"value", false, nullptr, nullptr, nullptr};
    f.read = [](Reader& r, const Item& item, ParamModel& p) {
        const ParamType2 base = ParamBaseType(p.type);
        if (IsParamTable(p.type)) {
            item.forEach([&](const Item& entry) { readParamValue(r, entry, base, p.values.emplace_back()); });
        } else {
            readParamValue(r, item, base, p.values.emplace_back());
        }
    };
    f.omit = [](const ParamModel& p) { return !IsParamTable(p.type) && p.values.empty(); };
    f.write = [](Writer& w, const ParamModel& p) {
        const ParamType2 base = ParamBaseType(p.type);
        if (!IsParamTable(p.type)) return writeParamValue(w, base, p.values.front());
        w.array(p.values, [&](const ParamValue& v) { writeParamValue(w, base, v); }, true);
    };
    return f;
}

const Field<ParamModel> kParamFields[] = {
    field<&ParamModel::id, Int<std::numeric_limits<ParamID>::min(), std::numeric_limits<ParamID>::max()>, Use::Required>("id"),
    field<&ParamModel::name, Str>("name"),
    field<&ParamModel::type, ParamTypeCodec, Use::Required>("type"),
    paramValueField(),
};

// A list whose entries differ in one member (an id, a tick): the first entry that repeats an
// earlier one's value is refused at <list>[i].<key> with "<prefix><value><middle>[<earlier>])".
struct Repeat {
    const char* key;
    const char* prefix;
    const char* middle;
};

template <class M, auto Member, const Repeat& repeat>
struct UniqueList : List<M> {
    static std::vector<M> read(Reader& r, const Item& item) {
        std::vector<M> list = List<M>::read(r, item);
        std::unordered_map<int64_t, size_t> seen;
        for (size_t i = 0; i < list.size(); ++i) {
            if (auto [it, added] = seen.emplace(list[i].*Member, i); !added) {
                const Path entry = childPath(item, i);
                const Path at{&entry, repeat.key, 0, false};
                Item(item.value(), &at).fail(repeat.prefix + std::to_string(list[i].*Member) + repeat.middle + "[" +
                                             std::to_string(it->second) + "])");
            }
        }
        return list;
    }
};

constexpr Repeat kParamRepeat{"id", "duplicate parameter id ", " (also params"};
constexpr Repeat kBlockRepeat{"id", "duplicate block id ", " (also paramBlocks"};
constexpr Repeat kSlotRepeat{"id", "duplicate sub-material id ", " (also subMaterials"};
constexpr Repeat kTickRepeat{"tick", "a key at tick ", " is given already (keys"};
using ParamList = UniqueList<ParamModel, &ParamModel::id, kParamRepeat>;

const Field<ParamBlockModel> kBlockFields[] = {
    field<&ParamBlockModel::id, Int<std::numeric_limits<BlockID>::min(), std::numeric_limits<BlockID>::max()>, Use::Required>("id"),
    field<&ParamBlockModel::name, Str>("name"),
    field<&ParamBlockModel::params, ParamList, Use::Always>("params"),
};

using BlockList = UniqueList<ParamBlockModel, &ParamBlockModel::id, kBlockRepeat>;

// ---- Layers ----

const Field<LayerModel> kLayerFields[] = {
    {"name", true,
     [](Reader&, const Item& item, LayerModel& l) {
         l.name = std::string(item.string());
         if (l.name.empty()) item.fail("a layer name must not be empty");
     },
     nullptr, [](Writer& w, const LayerModel& l) { w.out.string(l.name); }},
    field<&LayerModel::hidden, Bool>("hidden"),
};

// The layers, whose names nodes refer to; each is listed once (the default layer "0" may be too).
struct LayerList : List<LayerModel> {
    static std::vector<LayerModel> read(Reader& r, const Item& item) {
        std::vector<LayerModel> layers = List<LayerModel>::read(r, item);
        r.layerNames.clear();
        for (size_t i = 0; i < layers.size(); ++i) {
            if (layers[i].name != "0" && !r.layerNames.insert(layers[i].name).second) {
                const Path entry = childPath(item, i);
                const Path name{&entry, "name", 0, false};
                Item(item.value(), &name).fail("duplicate layer " + inQuotes(layers[i].name));
            }
        }
        return layers;
    }
};

// ---- Maps ----

const Field<MapModel> kMapFields[] = {
    field<&MapModel::id, Str, Use::Required>("id"),
    field<&MapModel::name, Str, Use::Optional, &MapModel::id>("name"),
    kindField<MapModel, kMapKinds>(),
    field<&MapModel::channel, Int<0, kMaxMapChannels - 1>>("channel"),
    field<&MapModel::showInViewport, Bool>("showInViewport"),
    field<&MapModel::appData, AppDataList>("appData"),
};

const Field<BitmapMapModel> kBitmapFields[] = {
    field<&BitmapMapModel::file, Str, Use::Required>("file"),
    field<&BitmapMapModel::size, IntPair<0, 65535, kPixels>>("size"),
    field<&BitmapMapModel::filter, Named<kFilters, kFilterNoun>>("filter"),
    field<&BitmapMapModel::alphaSource, Named<kAlphaSources, kAlphaNoun>>("alphaSource"),
    field<&BitmapMapModel::alphaAsMono, Bool>("alphaAsMono"),
};

struct CubeFiles {
    using Files = std::array<std::optional<std::string>, 6>;
    static Files read(Reader&, const Item& item) {
        const size_t count = item.size();
        if (count != 6) item.fail("expected six file names (or null), got " + std::to_string(count));
        Files names;
        size_t i = 0;
        item.forEach([&](const Item& name) {
            if (!name.isNull()) names[i] = std::string(name.string());
            ++i;
        });
        return names;
    }
    static void write(Writer& w, const Files& files) {
        w.array(files, [&](const std::optional<std::string>& name) { name ? w.out.string(*name) : w.out.null(); });
    }
};

struct CubeBlocks : BlockList {
    static std::vector<ParamBlockModel> read(Reader& r, const Item& item) {
        std::vector<ParamBlockModel> blocks = BlockList::read(r, item);
        if (blocks.size() > 1) item.fail("a cube map has at most one parameter block");
        return blocks;
    }
};

// Whether a block replacing the cube map's own can take the six file names of "files": they go
// into its parameter 10, a table of texts.
bool holdsFaceFiles(const std::vector<ParamBlockModel>& blocks) {
    if (blocks.empty()) return false;
    for (const ParamModel& p : blocks.front().params)
        if (p.id == ACUBIC_BITMAP_NAMES_PARAM)
            return IsParamTable(p.type) && p.values.size() >= 6 &&
                   (ParamBaseType(p.type) == TYPE_STRING || ParamBaseType(p.type) == TYPE_FILENAME);
    return false;
}

const Field<CubeMapModel> kCubeFields[] = {
    field<&CubeMapModel::files, CubeFiles>("files"),
    {"paramBlocks", false,
     [](Reader& r, const Item& item, CubeMapModel& c) {
         c.paramBlocks = CubeBlocks::read(r, item);
         if (c.files && !holdsFaceFiles(*c.paramBlocks))
             item.fail("no parameter 10 (a table of at least six texts) to hold the names of \"files\"");
     },
     [](const CubeMapModel& c) { return !c.paramBlocks.has_value(); },
     [](Writer& w, const CubeMapModel& c) { CubeBlocks::write(w, *c.paramBlocks); }},
};

const Field<OtherMapModel> kOtherMapFields[] = {
    field<&OtherMapModel::classId, ClassIdCodec, Use::Required>("classId"),
    field<&OtherMapModel::subMaps, RefList<Ref::Map>>("subMaps"),
    field<&OtherMapModel::paramBlocks, BlockList>("paramBlocks"),
};

// ---- Materials ----

const Field<MaterialModel> kMaterialFields[] = {
    field<&MaterialModel::id, Str, Use::Required>("id"),
    field<&MaterialModel::name, Str, Use::Optional, &MaterialModel::id>("name"),
    kindField<MaterialModel, kMaterialKinds>(),
    field<&MaterialModel::showInViewport, Bool>("showInViewport"),
    field<&MaterialModel::activeMap, RefCodec<Ref::Map>>("activeMap"),
    field<&MaterialModel::appData, AppDataList>("appData"),
};

// Standard material slots as an object {"diffuse": ..., "bump": ...}.
template <auto Member, class C>
Field<StandardMaterialModel> slotTable(const char* key) {
    Field<StandardMaterialModel> f{key, false, nullptr, nullptr, nullptr};
    f.read = [](Reader& r, const Item& item, StandardMaterialModel& m) {
        forEachKey(item, [&](std::string_view name, const Item& slotItem) {
            const int slot = mapSlotFromName(name);
            if (slot < 0)
                slotItem.fail("unknown map slot (expected ambient, diffuse, specular, glossiness, specularLevel, "
                              "selfIllumination, opacity, filter, bump, reflection, refraction or displacement)");
            (m.*Member)[slot] = C::read(r, slotItem);
            return true;
        });
    };
    f.omit = [](const StandardMaterialModel& m) {
        return m.*Member == StandardMaterialModel{}.*Member;
    };
    f.write = [](Writer& w, const StandardMaterialModel& m) {
        const StandardMaterialModel fresh;
        w.out.beginObject();
        for (int slot = 0; slot < STD_NUM_TEXMAPS; ++slot) {
            if ((m.*Member)[slot] == (fresh.*Member)[slot]) continue;
            w.out.key(mapSlotName(slot));
            if constexpr (std::is_same_v<std::decay_t<decltype((m.*Member)[slot])>, int>) C::write(w, (m.*Member)[slot]);
            else C::write(w, *(m.*Member)[slot]);
        }
        w.out.endObject();
    };
    return f;
}

const Field<StandardMaterialModel> kStandardFields[] = {
    field<&StandardMaterialModel::ambient, ColorCodec>("ambient"),
    field<&StandardMaterialModel::diffuse, ColorCodec>("diffuse"),
    field<&StandardMaterialModel::specular, ColorCodec>("specular"),
    field<&StandardMaterialModel::glossiness, Float>("glossiness"),
    field<&StandardMaterialModel::specularLevel, Float>("specularLevel"),
    field<&StandardMaterialModel::opacity, Float>("opacity"),
    field<&StandardMaterialModel::selfIllumination, Float>("selfIllumination"),
    field<&StandardMaterialModel::twoSided, Bool>("twoSided"),
    slotTable<&StandardMaterialModel::maps, RefCodec<Ref::Map>>("maps"),
    slotTable<&StandardMaterialModel::amounts, Float>("mapAmounts"),
    slotTable<&StandardMaterialModel::enabled, Bool>("mapEnabled"),
};

const Field<MultiSlot> kMultiSlotFields[] = {
    field<&MultiSlot::slot, Int<0, 0xFFFF>, Use::Required>("id"),
    field<&MultiSlot::material, RefCodec<Ref::Material>, Use::Always>("material"),
    field<&MultiSlot::name, Str>("name"),
};

int highestSlot(const MultiMaterialModel& m) {
    int highest = -1;
    for (const MultiSlot& slot : m.slots) highest = std::max(highest, slot.slot);
    return highest;
}

const Field<MultiMaterialModel> kMultiFields[] = {
    {"subMaterials", false,
     [](Reader& r, const Item& item, MultiMaterialModel& m) {
         m.slots = UniqueList<MultiSlot, &MultiSlot::slot, kSlotRepeat>::read(r, item);
         m.slotCount = highestSlot(m) + 1;
     },
     nullptr, [](Writer& w, const MultiMaterialModel& m) { List<MultiSlot>::write(w, m.slots); }},
    {"count", false,
     [](Reader&, const Item& item, MultiMaterialModel& m) {
         m.slotCount = item.intValue(0, 0x10000);
         if (m.slotCount <= highestSlot(m))
             item.fail("count " + std::to_string(m.slotCount) + " leaves out sub-material id " + std::to_string(highestSlot(m)));
     },
     [](const MultiMaterialModel& m) { return m.slotCount == highestSlot(m) + 1; },
     [](Writer& w, const MultiMaterialModel& m) { w.out.integer(m.slotCount); }},
};

const Field<OtherMaterialModel> kOtherMaterialFields[] = {
    field<&OtherMaterialModel::classId, ClassIdCodec, Use::Required>("classId"),
    field<&OtherMaterialModel::subMaterials, RefList<Ref::Material>>("subMaterials"),
    field<&OtherMaterialModel::subMaps, RefList<Ref::Map>>("subMaps"),
    field<&OtherMaterialModel::reportsMulti, Bool>("multi"),
    field<&OtherMaterialModel::diffuse, ColorCodec>("diffuse"),
};

// ---- Meshes ----

// The three corners of a face: indices below count, which messages call `what` ("vertex"); normal
// ids may also be -1 (none).
template <class T>
void readTriangle(const Item& item, size_t count, const char* what, T* corners, bool normalIds = false) {
    const int64_t low = normalIds ? -1 : 0;
    // The common case straight from the text; anything unusual is read again on the checked path
    // below, which reports the problem.
    size_t n = 0;
    for (auto entry : item.array()) {
        simdjson::ondemand::value number;
        if (const auto error = std::move(entry).get(number)) invalidJson(error);
        int64_t value = 0;
        if (n == 3 || number.get_int64().get(value) || value < low || value >= static_cast<int64_t>(count)) {
            n = 4;
            break;
        }
        corners[n++] = static_cast<T>(value);
    }
    if (n == 3) return;
    if (const auto error = item.array().reset().error()) invalidJson(error);
    if (n = item.size(); n != 3)
        item.fail(std::string("expected 3 ") + (normalIds ? "normal ids" : "indices") + ", got " + std::to_string(n));
    int k = 0;
    item.forEach([&](const Item& corner) {
        const int64_t index = corner.integer(low, normalIds ? INT32_MAX : UINT32_MAX);
        if (index >= 0 && static_cast<uint64_t>(index) >= count)
            corner.fail(std::string(what) + " " + std::to_string(index) + " out of range (there are " + std::to_string(count) + ")");
        corners[k++] = static_cast<T>(index);
    });
}

void writeTriangle(Writer& w, const uint32_t* corners) {
    w.out.beginArray(true);
    for (int k = 0; k < 3; ++k) w.out.integer(corners[k]);
    w.out.endArray();
}

// A value of every face: given once for all faces, or one value per face; written once when all
// faces hold the same value, left out when that is the default.
template <int64_t Low, int64_t High, int64_t Default, class Value>
Field<Mesh> perFace(const char* key) {
    Field<Mesh> f{key, false, nullptr, nullptr, nullptr};
    f.read = [](Reader&, const Item& item, Mesh& mesh) {
        if (item.isArray()) {
            size_t i = 0;
            item.forEach([&](const Item& v) {
                if (i < mesh.faces.size()) Value::set(mesh.faces[i], v.integer(Low, High));
                ++i;
            });
            if (i != mesh.faces.size()) item.fail(std::to_string(i) + " entries for " + std::to_string(mesh.faces.size()) + " faces");
        } else {
            const int64_t value = item.integer(Low, High);
            for (Face& face : mesh.faces) Value::set(face, value);
        }
    };
    f.omit = [](const Mesh& mesh) {
        return std::all_of(mesh.faces.begin(), mesh.faces.end(), [](const Face& face) { return Value::get(face) == Default; });
    };
    f.write = [](Writer& w, const Mesh& mesh) {
        const int64_t first = Value::get(mesh.faces[0]);
        if (std::all_of(mesh.faces.begin(), mesh.faces.end(), [&](const Face& face) { return Value::get(face) == first; }))
            return w.out.integer(first);
        w.array(mesh.faces, [&](const Face& face) { w.out.integer(Value::get(face)); }, true);
    };
    return f;
}

struct MatIds {
    static int64_t get(const Face& f) { return f.getMatID(); }
    static void set(Face& f, int64_t v) { f.setMatID(static_cast<MtlID>(v)); }
};
struct SmoothingGroups {
    static int64_t get(const Face& f) { return f.smGroup; }
    static void set(Face& f, int64_t v) { f.smGroup = static_cast<uint32_t>(v); }
};
struct Edges {
    static int64_t get(const Face& f) { return f.flags & EDGE_ALL; }
    static void set(Face& f, int64_t v) { f.flags = (f.flags & ~EDGE_ALL) | static_cast<uint32_t>(v); }
};

// One map channel of a mesh (writing only reads through the pointer).
// A channel of a mesh. Read into a map of its own, which goes into the mesh once the whole entry
// is read: the entry's keys are read again, from a fresh start, when one is given twice.
struct Channel {
    Mesh* mesh;
    int channel = 0;
    bool reading = false;
    mutable MeshMap read;
    MeshMap& map() const { return reading ? read : mesh->Map(channel); }
};

// The flags of a channel that the document leaves out.
uint32_t usualFlags(const MeshMap& map) { return map.tf.empty() ? 0u : uint32_t(MESHMAP_USED); }

const Field<Channel> kChannelFields[] = {
    {"channel", true,
     [](Reader&, const Item& item, Channel& c) {
         c.channel = item.intValue(0, kMaxMapChannels - 1);
     },
     nullptr, [](Writer& w, const Channel& c) { w.out.integer(c.channel); }},
    {"vertices", false,
     [](Reader&, const Item& item, Channel& c) {
         MeshMap& map = c.map();
         map.tv.clear();
         item.forEach([&](const Item& v) { map.tv.push_back(readPoint(v, true)); });
     },
     nullptr,
     // Texture coordinates usually have no third component; it is written only when set.
     [](Writer& w, const Channel& c) { w.array(c.map().tv, [&](const UVVert& uv) { writePoint(w, uv, true); }); }},
    {"faces", false,
     [](Reader&, const Item& item, Channel& c) {
         MeshMap& map = c.map();
         map.tf.clear();
         item.forEach([&](const Item& face) { readTriangle(face, map.tv.size(), "channel vertex", map.tf.emplace_back().t); });
         const size_t count = map.tf.size(), faceCount = c.mesh->faces.size();
         if (count != 0 && count != faceCount)
             item.fail(std::to_string(count) + " channel faces for " + std::to_string(faceCount) +
                       " mesh faces (a channel has one face per mesh face)");
     },
     nullptr,
     [](Writer& w, const Channel& c) { w.array(c.map().tf, [&](const TVFace& f) { writeTriangle(w, f.t); }); }},
    {"flags", false, [](Reader&, const Item& item, Channel& c) { c.map().flags = item.id(); },
     [](const Channel& c) { return c.map().flags == usualFlags(c.map()); },
     [](Writer& w, const Channel& c) { w.out.integer(c.map().flags); },
     [](Channel& c) { c.map().flags = usualFlags(c.map()); }},
};

// The channels that hold anything, which are written.
std::vector<int> usedChannels(const Mesh& mesh) {
    std::vector<int> used;
    for (int c = 0; c < mesh.getNumMaps() && c < kMaxMapChannels; ++c) {
        const MeshMap& map = mesh.Map(c);
        if (map.flags != 0 || !map.tv.empty() || !map.tf.empty()) used.push_back(c);
    }
    return used;
}

// Explicit normals: the values, per face the normal id of each corner (-1: none), which normals
// are explicit (true: all, the default; false: none; or their ids), the specified corners per face
// as bits (1 corner 0, 2 corner 1, 4 corner 2; default all) and the flags.
// Writing only reads through the mesh pointer.
struct NormalsModel {
    Mesh* mesh = nullptr;
    bool allExplicit = true;
    std::vector<int> explicitIds;
    MeshNormalSpec& normals() const { return *mesh->GetSpecifiedNormals(); }
};

constexpr uint32_t kUsualNormalFlags = MESH_NORMAL_NORMALS_BUILT | MESH_NORMAL_NORMALS_COMPUTED;

int explicitCount(const MeshNormalSpec& specified) {
    int count = 0;
    for (int i = 0; i < specified.GetNumNormals(); ++i) count += specified.GetNormalExplicit(i) ? 1 : 0;
    return count;
}

int specifiedBits(const MeshNormalFace& f) {
    return (f.GetSpecified(0) ? 1 : 0) | (f.GetSpecified(1) ? 2 : 0) | (f.GetSpecified(2) ? 4 : 0);
}

const Field<NormalsModel> kNormalFields[] = {
    {"values", false,
     [](Reader&, const Item& item, NormalsModel& n) {
         std::vector<Point3> values;
         item.forEach([&](const Item& v) { values.push_back(readPoint(v)); });
         MeshNormalSpec& specified = n.normals();
         specified.SetNumNormals(static_cast<int>(values.size()));
         for (size_t i = 0; i < values.size(); ++i) specified.Normal(static_cast<int>(i)) = values[i];
     },
     nullptr,
     [](Writer& w, const NormalsModel& n) {
         w.array(n.normals().GetNumNormals(), [&](int i) { writePoint(w, n.normals().Normal(i)); });
     }},
    {"faces", false,
     [](Reader&, const Item& item, NormalsModel& n) {
         MeshNormalSpec& specified = n.normals();
         const size_t normalCount = static_cast<size_t>(specified.GetNumNormals());
         std::vector<MeshNormalFace> faces;
         item.forEach([&](const Item& face) {
             MeshNormalFace& normalFace = faces.emplace_back();
             normalFace.SpecifyAll();
             int ids[3];
             readTriangle(face, normalCount, "normal", ids, true);
             for (int k = 0; k < 3; ++k) normalFace.SetNormalID(k, ids[k]);
         });
         if (!faces.empty() && faces.size() != n.mesh->faces.size())
             item.fail(std::to_string(faces.size()) + " normal faces for " + std::to_string(n.mesh->faces.size()) + " mesh faces");
         specified.SetNumFaces(static_cast<int>(faces.size()));
         for (size_t i = 0; i < faces.size(); ++i) specified.Face(static_cast<int>(i)) = faces[i];
     },
     nullptr,
     [](Writer& w, const NormalsModel& n) {
         w.array(n.normals().GetNumFaces(), [&](int i) {
             w.array(3, [&](int k) { w.out.integer(n.normals().Face(i).GetNormalID(k)); }, true);
         });
     }},
    {"explicit", false,
     [](Reader&, const Item& item, NormalsModel& n) {
         if (item.isBool()) {
             n.allExplicit = item.boolean();
             return;
         }
         n.allExplicit = false;
         const size_t normalCount = static_cast<size_t>(n.normals().GetNumNormals());
         item.forEach([&](const Item& id) {
             const int value = id.intValue(0);
             if (static_cast<size_t>(value) >= normalCount)
                 id.fail("normal " + std::to_string(value) + " out of range (there are " + std::to_string(normalCount) + ")");
             n.explicitIds.push_back(value);
         });
     },
     [](const NormalsModel& n) { return explicitCount(n.normals()) == n.normals().GetNumNormals(); },
     [](Writer& w, const NormalsModel& n) {
         if (explicitCount(n.normals()) == 0) return w.out.boolean(false);
         w.array(n.normals().GetNumNormals(), [&](int i) { if (n.normals().GetNormalExplicit(i)) w.out.integer(i); }, true);
     }},
    {"specified", false,
     [](Reader&, const Item& item, NormalsModel& n) {
         MeshNormalSpec& specified = n.normals();
         auto apply = [&](int face, int64_t bits) {
             for (int k = 0; k < 3; ++k) specified.Face(face).SpecifyNormalID(k, (bits >> k) & 1);
         };
         if (item.isArray()) {
             if (item.size() != static_cast<size_t>(specified.GetNumFaces()))
                 item.fail(std::to_string(item.size()) + " entries for " + std::to_string(specified.GetNumFaces()) + " faces");
             int i = 0;
             item.forEach([&](const Item& v) {
                 apply(i, v.integer(0, 7));
                 ++i;
             });
         } else {
             const int64_t bits = item.integer(0, 7);
             for (int i = 0; i < specified.GetNumFaces(); ++i) apply(i, bits);
         }
     },
     [](const NormalsModel& n) {
         for (int i = 0; i < n.normals().GetNumFaces(); ++i)
             if (specifiedBits(n.normals().Face(i)) != 7) return false;
         return true;
     },
     [](Writer& w, const NormalsModel& n) {
         w.array(n.normals().GetNumFaces(), [&](int i) { w.out.integer(specifiedBits(n.normals().Face(i))); }, true);
     }},
    {"flags", false,
     [](Reader&, const Item& item, NormalsModel& n) {
         n.normals().ClearFlag(0xFFFFFFFFu);
         n.normals().SetFlag(item.id());
     },
     [](const NormalsModel& n) { return n.normals().GetFlags() == kUsualNormalFlags; },
     [](Writer& w, const NormalsModel& n) { w.out.integer(n.normals().GetFlags()); }},
};

void readNormals(Reader& r, const Item& item, Mesh& mesh) {
    mesh.SpecifyNormals();
    MeshNormalSpec& specified = *mesh.GetSpecifiedNormals();
    specified.ClearFlag(0xFFFFFFFFu);
    specified.SetFlag(kUsualNormalFlags);
    NormalsModel normals{&mesh, true, {}};
    readObject(r, item, normals);
    for (int i = 0; i < specified.GetNumNormals(); ++i) specified.SetNormalExplicit(i, normals.allExplicit);
    for (int id : normals.explicitIds) specified.SetNormalExplicit(id, true);
}

const Field<Mesh> kMeshFields[] = {
    {"vertices", true,
     [](Reader&, const Item& item, Mesh& mesh) {
         mesh.setNumVerts(0);
         item.forEach([&](const Item& v) { mesh.verts.push_back(readPoint(v)); });
     },
     nullptr,
     [](Writer& w, const Mesh& mesh) { w.array(mesh.verts, [&](const Point3& p) { writePoint(w, p); }); }},
    {"faces", true,
     [](Reader&, const Item& item, Mesh& mesh) {
         mesh.setNumFaces(0);
         item.forEach([&](const Item& face) {
             Face& f = mesh.faces.emplace_back();
             readTriangle(face, mesh.verts.size(), "vertex", f.v);
             f.flags = EDGE_ALL;
         });
     },
     nullptr,
     [](Writer& w, const Mesh& mesh) { w.array(mesh.faces, [&](const Face& f) { writeTriangle(w, f.v); }); }},
    perFace<0, 0xFFFF, 0, MatIds>("materialIds"),
    perFace<0, 0xFFFFFFFFll, 0, SmoothingGroups>("smoothingGroups"),
    perFace<0, 7, EDGE_ALL, Edges>("edges"),
    {"hiddenFaces", false,
     [](Reader&, const Item& item, Mesh& mesh) {
         item.forEach([&](const Item& index) {
             const int64_t face = index.integer(0, std::numeric_limits<int32_t>::max());
             if (static_cast<size_t>(face) >= mesh.faces.size())
                 index.fail("face " + std::to_string(face) + " out of range (there are " + std::to_string(mesh.faces.size()) + ")");
             mesh.faces[face].flags |= FACE_HIDDEN;
         });
     },
     [](const Mesh& mesh) { return std::none_of(mesh.faces.begin(), mesh.faces.end(), [](const Face& f) { return f.Hidden(); }); },
     [](Writer& w, const Mesh& mesh) {
         w.out.beginArray(true);
         for (size_t i = 0; i < mesh.faces.size(); ++i)
             if (mesh.faces[i].Hidden()) w.out.integer(static_cast<int64_t>(i));
         w.out.endArray();
     }},
    {"channels", false,
     [](Reader& r, const Item& item, Mesh& mesh) {
         std::vector<bool> seen(kMaxMapChannels, false);
         item.forEach([&](const Item& entry) {
             Channel channel{&mesh, 0, true};
             readObject(r, entry, channel);
             if (seen[channel.channel]) {
                 const Path path = childPath(entry, "channel");
                 Item(entry.value(), &path).fail("channel " + std::to_string(channel.channel) + " is given twice");
             }
             seen[channel.channel] = true;
             if (channel.channel >= mesh.getNumMaps()) mesh.setNumMaps(channel.channel + 1, true);
             mesh.Map(channel.channel) = std::move(channel.read);
         });
     },
     [](const Mesh& mesh) { return usedChannels(mesh).empty(); },
     [](Writer& w, const Mesh& mesh) {
         w.array(usedChannels(mesh), [&](int c) { TableCodec<Channel>::write(w, {const_cast<Mesh*>(&mesh), c}); });
     }},
    {"normals", false, readNormals, [](const Mesh& mesh) { return mesh.GetSpecifiedNormals() == nullptr; },
     [](Writer& w, const Mesh& mesh) { TableCodec<NormalsModel>::write(w, {const_cast<Mesh*>(&mesh), true, {}}); }},
};

using MeshCodec = TableCodec<Mesh>;

// ---- Objects ----

const Field<ObjectModel> kObjectFields[] = {
    field<&ObjectModel::id, Str, Use::Required>("id"),
    kindField<ObjectModel, kObjectKinds>(),
    field<&ObjectModel::appData, AppDataList>("appData"),
};

const Field<MeshObjectModel> kMeshObjectFields[] = {
    field<&MeshObjectModel::mesh, MeshCodec, Use::Required>("mesh"),
};

const Field<PolyObjectModel> kPolyFields[] = {
    field<&PolyObjectModel::mesh, MeshCodec, Use::Required>("mesh"),
    field<&PolyObjectModel::classId, ClassIdCodec>("classId"),
};

MeshConversion naturalConversion(const GenericObjectModel& o) {
    return o.mesh ? MeshConversion::Triangle : MeshConversion::None;
}

const Field<GenericObjectModel> kGenericFields[] = {
    field<&GenericObjectModel::superClass, SuperClassCodec, Use::Required>("superClass"),
    field<&GenericObjectModel::classId, ClassIdCodec, Use::Required>("classId"),
    field<&GenericObjectModel::objectName, Str>("name"),
    field<&GenericObjectModel::mesh, MeshCodec>("mesh"),
    {"conversion", false,
     [](Reader& r, const Item& item, GenericObjectModel& o) {
         o.conversion = static_cast<MeshConversion>(Named<kConversions, kConversionNoun>::read(r, item));
         if (o.conversion != MeshConversion::None && !o.mesh) item.fail("a conversion needs a \"mesh\"");
     },
     [](const GenericObjectModel& o) { return o.conversion == naturalConversion(o); },
     [](Writer& w, const GenericObjectModel& o) { Named<kConversions, kConversionNoun>::write(w, int(o.conversion)); },
     [](GenericObjectModel& o) { o.conversion = naturalConversion(o); }},
    field<&GenericObjectModel::source, RefCodec<Ref::Object>>("source"),
    field<&GenericObjectModel::paramBlocks, BlockList>("paramBlocks"),
};

const Field<Attenuation> kAttenuationFields[] = {
    field<&Attenuation::nearStart, Float>("nearStart"),
    field<&Attenuation::nearEnd, Float>("nearEnd"),
    field<&Attenuation::farStart, Float>("farStart"),
    field<&Attenuation::farEnd, Float>("farEnd"),
};

template <size_t I>
Field<LightModel> switchField() {
    Field<LightModel> f{lightSwitches()[I].key, false, nullptr, nullptr, nullptr};
    f.read = [](Reader&, const Item& item, LightModel& l) {
        l.switches[I] = lightSwitches()[I].isBool ? (item.boolean() ? 1 : 0) : item.intValue();
    };
    f.omit = [](const LightModel& l) { return !l.switches[I].has_value(); };
    f.write = [](Writer& w, const LightModel& l) {
        if (lightSwitches()[I].isBool) w.out.boolean(*l.switches[I] != 0);
        else w.out.integer(*l.switches[I]);
    };
    return f;
}

template <size_t... I>
std::vector<Field<LightModel>> lightFields(std::index_sequence<I...>) {
    return {
        field<&LightModel::type, Named<kLightTypes, kLightNoun>, Use::Required>("type"),
        field<&LightModel::color, Point3Codec>("color"),
        field<&LightModel::intensity, Float>("intensity"),
        field<&LightModel::attenuation, TableCodec<Attenuation>>("attenuation"),
        field<&LightModel::hotspot, Float>("hotspot"),
        field<&LightModel::falloff, Float>("falloff"),
        switchField<I>()...,
    };
}

const Field<CameraModel> kCameraFields[] = {
    field<&CameraModel::classId, ClassIdCodec>("classId"),
    field<&CameraModel::fov, Float, Use::Always>("fov"),
    field<&CameraModel::nearClip, Float>("near"),
    field<&CameraModel::farClip, Float>("far"),
};

const Field<BoneModel> kBoneFields[] = {
    field<&BoneModel::node, RefCodec<Ref::Node>, Use::Required>("node"),
    field<&BoneModel::initialMatrix, MatrixCodec, Use::Always>("initialMatrix"),
};

const Field<SkinModel> kSkinFields[] = {
    field<&SkinModel::bones, List<BoneModel>, Use::Always>("bones"),
    field<&SkinModel::skinMatrix, MatrixCodec>("skinMatrix"),
    {"weights", false,
     [](Reader&, const Item& item, SkinModel& skin) {
         item.forEach([&](const Item& vertex) {
             auto& assignments = skin.weights.emplace_back();
             vertex.forEach([&](const Item& pair) {
                 if (pair.size() != 2) pair.fail("expected [bone, weight]");
                 SkinModifier::Assignment assignment;
                 int k = 0;
                 pair.forEach([&](const Item& v) {
                     if (k++ == 1) {
                         assignment.weight = v.floatValue();
                         return;
                     }
                     assignment.bone = v.intValue(0);
                     if (static_cast<size_t>(assignment.bone) >= skin.bones.size())
                         v.fail("bone " + std::to_string(assignment.bone) + " out of range (the skin has " +
                                std::to_string(skin.bones.size()) + " bones)");
                 });
                 assignments.push_back(assignment);
             });
         });
     },
     nullptr,
     [](Writer& w, const SkinModel& skin) {
         w.array(skin.weights, [&](const std::vector<SkinModifier::Assignment>& vertex) {
             w.array(vertex, [&](const SkinModifier::Assignment& a) {
                 w.out.beginArray(true);
                 w.out.integer(a.bone);
                 w.out.floatValue(a.weight);
                 w.out.endArray();
             }, true);
         });
     }},
};

const Field<PlainModifierModel> kPlainModifierFields[] = {
    field<&PlainModifierModel::enabled, Bool>("enabled"),
    field<&PlainModifierModel::classId, ClassIdCodec, Use::Required>("classId"),
    field<&PlainModifierModel::name, Str>("name"),
};

const Field<ModifierModel> kModifierFields[] = {
    kindField<ModifierModel, kModifierKinds>(),
    field<&ModifierModel::appData, AppDataList>("appData"),
};

struct StackSuperClass {
    static SClass_ID read(Reader&, const Item& item) {
        const SClass_ID id = item.id();
        if (!IsDerivedObjectSuperClass(id)) item.fail("a modifier stack has super class 2, 3 or 4, got " + std::to_string(id));
        return id;
    }
    static void write(Writer& w, SClass_ID id) { w.out.integer(id); }
};

const Field<StackModel> kStackFields[] = {
    field<&StackModel::superClass, StackSuperClass>("superClass"),
    field<&StackModel::base, RefCodec<Ref::Object>>("base"),
    field<&StackModel::modifiers, KindedList<ModifierModel, kModifierKinds, kModifierNoun>>("modifiers"),
};

// ---- Nodes ----

using KeyList = UniqueList<KeyModel, &KeyModel::tick, kTickRepeat>;

const Field<KeyModel> kKeyFields[] = {
    field<&KeyModel::tick, Int<>, Use::Required>("tick"),
    field<&KeyModel::transform, MatrixCodec, Use::Required>("transform"),
};

struct UserProperties {
    using Type = std::vector<std::pair<std::string, std::string>>;
    static Type read(Reader&, const Item& item) {
        Type properties;
        forEachKey(item, [&](std::string_view key, const Item& value) {
            // The host keeps properties as "key = value" lines with the ends of keys trimmed: a key
            // that would not come back as it is, or a value that would break its line, is refused.
            constexpr std::string_view kBlank = " \t\r\n";
            if (key.empty() || kBlank.find(key.front()) != std::string_view::npos ||
                kBlank.find(key.back()) != std::string_view::npos ||
                key.find_first_of(std::string_view("=\r\n\0", 4)) != std::string_view::npos)
                value.fail("a user property key is not empty, holds no \"=\", line break or zero character and has no "
                           "spaces at its ends; got " + inQuotes(key));
            // Numbers and booleans are taken as their text, as the host stores every property.
            std::string text;
            if (value.isString()) text = std::string(value.string());
            else if (value.isNumber()) text = value.numberText();
            else if (value.isBool()) text = value.boolean() ? "true" : "false";
            else value.fail("expected a string, number or boolean, got " + value.describe());
            if (text.find_first_of("\r\n") != std::string::npos) value.fail("a user property value holds no line break");
            properties.emplace_back(std::string(key), std::move(text));
            return true;
        });
        return properties;
    }
    static void write(Writer& w, const Type& properties) {
        w.out.beginObject();
        for (const auto& [key, value] : properties) {
            w.out.key(key);
            w.out.string(value);
        }
        w.out.endObject();
    }
};

const Field<NodeModel> kNodeFields[] = {
    field<&NodeModel::name, Str, Use::Required>("name"),
    // A node's id is its name unless it gives one (names need not be unique, ids must).
    field<&NodeModel::id, Str, Use::Optional, &NodeModel::name>("id"),
    field<&NodeModel::parent, RefCodec<Ref::Node>>("parent"),
    field<&NodeModel::object, RefCodec<Ref::Object>>("object"),
    field<&NodeModel::material, RefCodec<Ref::Material>>("material"),
    {"layer", false,
     [](Reader& r, const Item& item, NodeModel& n) {
         n.layer = std::string(item.string());
         if (n.layer != "0" && !r.layerNames.count(n.layer)) item.fail("no layer " + inQuotes(n.layer));
         if (n.layer == "0") n.layer.clear();
     },
     [](const NodeModel& n) { return n.layer.empty(); }, [](Writer& w, const NodeModel& n) { w.out.string(n.layer); }},
    field<&NodeModel::keys, KeyList>("keys"),
    {"transform", false,
     [](Reader& r, const Item& item, NodeModel& n) {
         if (!n.keys.empty()) item.fail("a node has either a transform or animation keys, not both");
         n.transform = MatrixCodec::read(r, item);
     },
     [](const NodeModel& n) { return !n.keys.empty() || isExactly(n.transform, Matrix3()); },
     [](Writer& w, const NodeModel& n) { MatrixCodec::write(w, n.transform); }},
    field<&NodeModel::objectOffset, MatrixCodec>("objectOffset"),
    field<&NodeModel::hidden, Bool>("hidden"),
    field<&NodeModel::frozen, Bool>("frozen"),
    field<&NodeModel::groupHead, Bool>("groupHead"),
    field<&NodeModel::groupMember, Bool>("groupMember"),
    field<&NodeModel::visibility, Float>("visibility"),
    field<&NodeModel::inheritVisibility, Bool>("inheritVisibility"),
    field<&NodeModel::controller, ClassIdCodec>("controller"),
    field<&NodeModel::userProperties, UserProperties>("userProperties"),
    field<&NodeModel::appData, AppDataList>("appData"),
};

// ---- The scene ----

const Field<SceneModel> kSceneFields[] = {
    {"format", false,
     [](Reader&, const Item& item, SceneModel&) {
         if (item.string() != kFormatName) item.fail(std::string("expected \"") + kFormatName + "\", got " + inQuotes(item.string()));
     },
     nullptr, [](Writer& w, const SceneModel&) { w.out.string(kFormatName); }},
    {"version", false,
     [](Reader&, const Item& item, SceneModel&) {
         const int v = item.intValue(1);
         if (v > kFormatVersion)
             item.fail("version " + std::to_string(v) + " is newer than this program reads (" + std::to_string(kFormatVersion) + ")");
     },
     nullptr, [](Writer& w, const SceneModel&) { w.out.integer(kFormatVersion); }},
    field<&SceneModel::ticksPerFrame, Int<1, TIME_TICKSPERSEC>>("ticksPerFrame"),
    field<&SceneModel::animationRange, RangeCodec>("animationRange"),
    field<&SceneModel::ambient, Point3Codec>("ambient"),
    field<&SceneModel::renderSize, IntPair<1, 65535, kWidthHeight>>("renderSize"),
    field<&SceneModel::time, Int<>>("time"),
    field<&SceneModel::layers, LayerList, Use::Always>("layers"),
    field<&SceneModel::maps, KindedList<MapModel, kMapKinds, kMapNoun>, Use::Always>("maps"),
    field<&SceneModel::materials, KindedList<MaterialModel, kMaterialKinds, kMaterialNoun>, Use::Always>("materials"),
    field<&SceneModel::objects, KindedList<ObjectModel, kObjectKinds, kObjectNoun>, Use::Always>("objects"),
    field<&SceneModel::nodes, List<NodeModel>, Use::Always>("nodes"),
    field<&SceneModel::selection, RefList<Ref::Node, false>, Use::Always>("selection"),
};

template <> Fields<AppData> fieldsOf() { return kAppDataFields; }
template <> Fields<Placement> fieldsOf() { return kPlacementFields; }
template <> Fields<ParamModel> fieldsOf() { return kParamFields; }
template <> Fields<ParamBlockModel> fieldsOf() { return kBlockFields; }
template <> Fields<LayerModel> fieldsOf() { return kLayerFields; }
template <> Fields<MapModel> fieldsOf() { return kMapFields; }
template <> Fields<BitmapMapModel> fieldsOf() { return kBitmapFields; }
template <> Fields<CubeMapModel> fieldsOf() { return kCubeFields; }
template <> Fields<OtherMapModel> fieldsOf() { return kOtherMapFields; }
template <> Fields<MaterialModel> fieldsOf() { return kMaterialFields; }
template <> Fields<StandardMaterialModel> fieldsOf() { return kStandardFields; }
template <> Fields<MultiSlot> fieldsOf() { return kMultiSlotFields; }
template <> Fields<MultiMaterialModel> fieldsOf() { return kMultiFields; }
template <> Fields<OtherMaterialModel> fieldsOf() { return kOtherMaterialFields; }
template <> Fields<Mesh> fieldsOf() { return kMeshFields; }
template <> Fields<Channel> fieldsOf() { return kChannelFields; }
template <> Fields<NormalsModel> fieldsOf() { return kNormalFields; }
template <> Fields<ObjectModel> fieldsOf() { return kObjectFields; }
template <> Fields<MeshObjectModel> fieldsOf() { return kMeshObjectFields; }
template <> Fields<PolyObjectModel> fieldsOf() { return kPolyFields; }
template <> Fields<GenericObjectModel> fieldsOf() { return kGenericFields; }
template <> Fields<LightModel> fieldsOf() {
    static const std::vector<Field<LightModel>> fields = lightFields(std::make_index_sequence<kLightSwitchCount>());
    return fields;
}
template <> Fields<Attenuation> fieldsOf() { return kAttenuationFields; }
template <> Fields<CameraModel> fieldsOf() { return kCameraFields; }
template <> Fields<BoneModel> fieldsOf() { return kBoneFields; }
template <> Fields<SkinModel> fieldsOf() { return kSkinFields; }
template <> Fields<PlainModifierModel> fieldsOf() { return kPlainModifierFields; }
template <> Fields<ModifierModel> fieldsOf() { return kModifierFields; }
template <> Fields<StackModel> fieldsOf() { return kStackFields; }
template <> Fields<KeyModel> fieldsOf() { return kKeyFields; }
template <> Fields<NodeModel> fieldsOf() { return kNodeFields; }
template <> Fields<SceneModel> fieldsOf() { return kSceneFields; }

// Gathers the ids of every table before any entry is read, so that entries may refer to entries
// further down, in one walk over the text. A node's id is its name unless it gives one. A list
// given twice counts as the last one, as it is read: the ids of an earlier one are forgotten.
void collectIds(Reader& reader, const Item& root) {
    static constexpr std::string_view kLists[] = {"nodes", "objects", "materials", "maps"};  // by Ref
    forEachKey(root, [&](std::string_view key, const Item& list) {
        const size_t table = static_cast<size_t>(std::find(std::begin(kLists), std::end(kLists), key) - std::begin(kLists));
        if (table == std::size(kLists)) return true;
        const char* what = kRefNames[table];
        auto& ids = reader.ids[table];
        ids.clear();
        list.forEach([&](const Item& entry) {
            std::string id;
            const char* idKey = nullptr;  // the last "id", else the last node "name"
            std::optional<SceneDocumentError> notText;  // that value's problem (an earlier one counts for nothing)
            forEachKey(entry, [&](std::string_view field, const Item& value) {
                const bool byName = field == "name" && table == static_cast<size_t>(Ref::Node);
                if (field == "id" || (byName && !(idKey && idKey[0] == 'i'))) {
                    idKey = byName ? "name" : "id";
                    notText.reset();
                    try {
                        id = std::string(value.string());
                    } catch (const SceneDocumentError& error) {
                        notText = error;
                    }
                }
                return true;
            });
            if (notText) throw *notText;
            if (!idKey) entry.fail(table == static_cast<size_t>(Ref::Node) ? "missing field \"name\"" : "missing field \"id\"");
            const Path idPath = childPath(entry, idKey);
            const Item idItem(entry.value(), &idPath);
            if (id.empty()) idItem.fail(std::string("the id of a ") + what + " must not be empty");
            if (auto [it, added] = ids.emplace(id, static_cast<int>(ids.size())); !added)
                idItem.fail(std::string("duplicate ") + what + " " + inQuotes(id) + " (also " + std::string(key) + "[" +
                            std::to_string(it->second) + "])");
        });
        return true;
    });
}

// A reference that makes entries contain one another: from entry `from` to entry `target`, at
// <table>[from].<field>[sub]<tail>.
struct Edge {
    int from;
    int target;
    const char* field;
    int sub;
    const char* tail;
};

// Containment must not loop: a node inside itself, a map or material among its own sub-entries,
// an object built on itself. One depth-first search for every table; the message names the loop.
template <class Entry>
void rejectCycles(const char* table, const std::vector<Entry>& entries, const std::vector<Edge>& edgeList) {
    std::vector<std::vector<const Edge*>> edges(entries.size());
    for (const Edge& edge : edgeList)
        if (edge.target >= 0) edges[edge.from].push_back(&edge);
    enum State : uint8_t { Unvisited, Active, Done };
    std::vector<State> state(entries.size(), Unvisited);
    for (size_t start = 0; start < entries.size(); ++start) {
        if (state[start] != Unvisited) continue;
        std::vector<std::pair<int, size_t>> stack{{static_cast<int>(start), 0}};  // (entry, next edge)
        state[start] = Active;
        while (!stack.empty()) {
            auto& [entry, next] = stack.back();
            if (next == edges[entry].size()) {
                state[entry] = Done;
                stack.pop_back();
                continue;
            }
            const Edge& edge = *edges[entry][next++];
            if (state[edge.target] == Active) {
                std::string loop;
                bool inLoop = false;
                for (const auto& frame : stack) {
                    inLoop = inLoop || frame.first == edge.target;
                    if (inLoop) loop += inQuotes(entries[frame.first].id) + " -> ";
                }
                std::string path = std::string(table) + "[" + std::to_string(edge.from) + "]." + edge.field;
                if (edge.sub >= 0) path += "[" + std::to_string(edge.sub) + "]";
                throw SceneDocumentError(path + edge.tail + ": cycle " + loop + inQuotes(entries[edge.target].id));
            }
            if (state[edge.target] == Unvisited) {
                state[edge.target] = Active;
                stack.emplace_back(edge.target, 0);
            }
        }
    }
}

void rejectCycles(const SceneModel& m) {
    std::vector<Edge> edges;
    for (size_t i = 0; i < m.nodes.size(); ++i) edges.push_back({int(i), m.nodes[i].parent, "parent", -1, ""});
    rejectCycles("nodes", m.nodes, edges);
    edges.clear();
    for (size_t i = 0; i < m.maps.size(); ++i)
        if (auto* other = std::get_if<OtherMapModel>(&m.maps[i].kind))
            for (size_t k = 0; k < other->subMaps.size(); ++k) edges.push_back({int(i), other->subMaps[k], "subMaps", int(k), ""});
    rejectCycles("maps", m.maps, edges);
    edges.clear();
    for (size_t i = 0; i < m.materials.size(); ++i) {
        if (auto* multi = std::get_if<MultiMaterialModel>(&m.materials[i].kind))
            for (size_t k = 0; k < multi->slots.size(); ++k)
                edges.push_back({int(i), multi->slots[k].material, "subMaterials", int(k), ".material"});
        if (auto* other = std::get_if<OtherMaterialModel>(&m.materials[i].kind))
            for (size_t k = 0; k < other->subMaterials.size(); ++k)
                edges.push_back({int(i), other->subMaterials[k], "subMaterials", int(k), ""});
    }
    rejectCycles("materials", m.materials, edges);
    edges.clear();
    for (size_t i = 0; i < m.objects.size(); ++i) {
        if (auto* stack = std::get_if<StackModel>(&m.objects[i].kind)) edges.push_back({int(i), stack->base, "base", -1, ""});
        if (auto* generic = std::get_if<GenericObjectModel>(&m.objects[i].kind))
            edges.push_back({int(i), generic->source, "source", -1, ""});
    }
    rejectCycles("objects", m.objects, edges);
}

// The column, in characters, of the character that ends at byte `end` of its line (past the end of
// the text: the column after its last character).
size_t columnBefore(std::string_view text, size_t end) {
    const size_t newline = end == 0 ? std::string_view::npos : text.rfind('\n', end - 1);
    size_t column = 0;
    for (size_t i = newline == std::string_view::npos ? 0 : newline + 1; i < end && i < text.size(); ++i)
        column += (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;  // not a UTF-8 continuation byte
    return column + (end > text.size() ? end - text.size() : 0);  // the end of the text: one past it
}

// The problem of text that is not JSON, with its line and column: nlohmann's parser runs over it
// without building anything (its messages start with "[json.exception.parse_error.101] ").
// Text that it accepts but the fast parser refused (nesting too deep) keeps the fast parser's
// message; with no such error, text that is JSON returns. Only documents that failed come here.
// nlohmann's parser ends the text at a zero byte: one that the text reaches is refused as such.
void rejectText(std::string_view text, simdjson::error_code error) {
    struct LocatingSax : nlohmann::json_sax<nlohmann::json> {
        std::string message;
        size_t position = 0;  // bytes read up to and with the one refused
        bool null() override { return true; }
        bool boolean(bool) override { return true; }
        bool number_integer(number_integer_t) override { return true; }
        bool number_unsigned(number_unsigned_t) override { return true; }
        bool number_float(number_float_t, const string_t&) override { return true; }
        bool string(string_t&) override { return true; }
        bool binary(binary_t&) override { return true; }
        bool start_object(std::size_t) override { return true; }
        bool key(string_t&) override { return true; }
        bool end_object() override { return true; }
        bool start_array(std::size_t) override { return true; }
        bool end_array() override { return true; }
        bool parse_error(std::size_t at, const std::string&, const nlohmann::detail::exception& e) override {
            // A number beyond a double (out_of_range.406) is valid JSON, which the reading reports.
            if (e.id == 406) return false;
            position = at;
            message = e.what();
            if (const size_t tag = message.find("] "); message[0] == '[' && tag != std::string::npos) message.erase(0, tag + 2);
            return false;
        }
    } sax;
    const size_t zero = text.find('\0');
    if (!nlohmann::json::sax_parse(text.begin(), text.end(), &sax) && !sax.message.empty() && sax.position <= zero) {
        // The parser counts columns in bytes; editors count characters.
        constexpr std::string_view kColumn = ", column ";
        if (const size_t at = sax.message.find(kColumn); at != std::string::npos) {
            const size_t digits = at + kColumn.size();
            const size_t end = sax.message.find_first_not_of("0123456789", digits);
            sax.message.replace(digits, end - digits, std::to_string(columnBefore(text, sax.position)));
        }
        throw SceneDocumentError("invalid JSON: " + sax.message);
    }
    if (zero != std::string_view::npos) {
        const auto line = std::count(text.begin(), text.begin() + zero, '\n') + 1;
        throw SceneDocumentError("invalid JSON: parse error at line " + std::to_string(line) + ", column " +
                                 std::to_string(columnBefore(text, zero + 1)) +
                                 ": a zero byte (binary data, or a damaged file)");
    }
    if (error != simdjson::SUCCESS) throw SceneDocumentError(std::string("invalid JSON: ") + simdjson::error_message(error));
}

}  // namespace

SceneModel readScene(std::string_view text, bool padded) {
    // A byte order mark, which editors on Windows put before UTF-8 text, is not part of the JSON.
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    // UTF-16 text: a byte order mark, or JSON's first character (ASCII) beside a zero byte.
    const auto ascii = [](char c) { return c > 0 && c < 0x7F; };
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF") ||
        (text.size() >= 2 && ((ascii(text[0]) && text[1] == 0) || (text[0] == 0 && ascii(text[1])))))
        throw SceneDocumentError("invalid JSON: the text is UTF-16; scene documents are UTF-8: save it as UTF-8");
    simdjson::padded_string copy;
    if (!padded) {
        copy = simdjson::padded_string(text);
        text = copy;
    }
    simdjson::ondemand::parser parser;
    SceneModel model;
    try {
        simdjson::ondemand::document document;
        simdjson::ondemand::json_type type{};
        if (const auto error = parser.iterate(text.data(), text.size(), text.size() + simdjson::SIMDJSON_PADDING).get(document))
            invalidJson(error);
        if (const auto error = document.type().get(type)) invalidJson(error);
        simdjson::ondemand::value root;
        if (type != simdjson::ondemand::json_type::object)
            throw SceneDocumentError("document: expected an object, got " + describe(type));
        if (const auto error = document.get_value().get(root)) invalidJson(error);
        const Item rootItem(root, nullptr);
        Reader reader;
        collectIds(reader, rootItem);
        readObject(reader, rootItem, model);
        // The fast parser does not check what it skips: text with skipped values is checked whole.
        if (reader.skippedValues) rejectText(text, simdjson::SUCCESS);
        // Nothing may follow the document.
        const char* rest = nullptr;
        if (!document.current_location().get(rest)) invalidJson(simdjson::TRAILING_CONTENT);
    } catch (const InvalidJson& invalid) {
        rejectText(text, invalid.error);
    } catch (const SceneDocumentError&) {
        // A problem found before the end of the text: text further on that is not JSON comes first.
        rejectText(text, simdjson::SUCCESS);
        throw;
    }
    rejectCycles(model);
    return model;
}

void writeScene(const SceneModel& model, const std::function<void(const char*, size_t)>& sink) {
    JsonWriter out(sink);
    Writer writer{out, model};
    out.beginObject();
    writeFields(writer, model);
    out.endObject();
    out.finish();
}

}  // namespace headless::document
