// `zeq dump`: streams a decoded scene file as indented JSON, driven by the field tables.
#include "tools/zeq/inspect_dump.h"

#include "format/json.h"
#include "format/records.h"
#include "tools/zeq/inspect_json.h"
#include "tools/zeq/inspect_vertices.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace zeq::inspect {
namespace {

// Collects output in a block and hands it to the stream in large pieces: a dump of a big file is
// millions of tiny writes.
class Writer {
public:
    explicit Writer(std::ostream& out) : out_(out) { buffer_.reserve(kChunk + 4096); }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;
    ~Writer() { flush(); }

    void put(char c) {
        buffer_.push_back(c);
        if (buffer_.size() >= kChunk) flush();
    }
    void put(std::string_view text) {
        buffer_.append(text);
        if (buffer_.size() >= kChunk) flush();
    }
    void newline(int indent) {
        buffer_.push_back('\n');
        buffer_.append(static_cast<std::size_t>(indent) * 2, ' ');
        if (buffer_.size() >= kChunk) flush();
    }

    template <class I>
    void integer(I value) {
        char text[24];
        const auto end = std::to_chars(text, text + sizeof text, value).ptr;
        put(std::string_view(text, static_cast<std::size_t>(end - text)));
    }

    // The shortest text that reads back as the same value; JSON has no non-finite numbers, so
    // those become the strings the JSON form of records uses.
    template <class F>
    void number(F value) {
        if (std::isnan(value)) return put('"' + nanText(value) + '"');
        if (std::isinf(value)) return put(value > 0 ? "\"Infinity\"" : "\"-Infinity\"");
        // "-0" would read back as the integer 0; the fraction keeps the sign.
        if (value == 0 && std::signbit(value)) return put("-0.0");
        char text[40];
        // The shortest text of the largest float, 3.4028235e+38, lies above it and is out of range
        // for readers that check the range before rounding; its exact value is written instead.
        const bool largest = std::is_same_v<F, float> && std::fabs(value) == std::numeric_limits<float>::max();
        const auto end = largest ? std::to_chars(text, text + sizeof text, static_cast<double>(value)).ptr
                                 : std::to_chars(text, text + sizeof text, value).ptr;
        put(std::string_view(text, static_cast<std::size_t>(end - text)));
    }

    void string(std::string_view text) {
        // Decoded strings are valid UTF-8; replacing anything else keeps the output valid JSON.
        put(jsonString(text));
    }

    void hex(const uint8_t* bytes, int32_t n) {
        static constexpr char kDigits[] = "0123456789abcdef";
        put('"');
        for (int32_t i = 0; i < n; ++i) {
            buffer_.push_back(kDigits[bytes[i] >> 4]);
            buffer_.push_back(kDigits[bytes[i] & 0x0F]);
            if (buffer_.size() >= kChunk) flush();
        }
        put('"');
    }

    void flush() {
        if (buffer_.empty()) return;
        out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
        buffer_.clear();
    }

private:
    static constexpr std::size_t kChunk = 1 << 16;
    std::ostream& out_;
    std::string buffer_;
};

// Small records that read best on one line.
template <class R>
constexpr bool kOneLineRecord =
    std::is_same_v<R, Zeq2Transform> || std::is_same_v<R, ZeqMatrix> || std::is_same_v<R, ZeqTransformation> ||
    std::is_same_v<R, Zeq2Surface> || std::is_same_v<R, Zeq2Keyframe> || std::is_same_v<R, Zeq2JointBindTransform> ||
    std::is_same_v<R, Zeq2Box> || std::is_same_v<R, Zeq2Map> || std::is_same_v<R, Zeq2Image> ||
    std::is_same_v<R, ZeqSurface> || std::is_same_v<R, ZeqBox> || std::is_same_v<R, ZeqImage>;

// One key of a decoded vertex buffer and the attribute entries it shows.
struct VertexGroup {
    std::string key;
    Zeq2VertexAttributes kind;
    std::vector<AttributeSlot> slots;
};

// POSITION, NORMAL and TANGENT4 entries each get a key ("normals", then "normals2" for a second
// one); all JOINTS entries share "joints" (together they are a vertex's influences) and all
// TEXCOORDS entries share "texcoords" (one list per channel). Keys follow the first occurrence of
// their kind.
std::vector<VertexGroup> vertexGroups(const VertexLayout& layout) {
    std::vector<VertexGroup> groups;
    int occurrences[5] = {0, 0, 0, 0, 0};
    for (const AttributeSlot& slot : layout.slots) {
        const auto index = static_cast<std::size_t>(slot.kind);
        const int seen = ++occurrences[index];
        if (slot.kind == Zeq2VertexAttributes::JOINTS || slot.kind == Zeq2VertexAttributes::TEXCOORDS) {
            if (seen > 1) {
                for (VertexGroup& group : groups) {
                    if (group.kind == slot.kind) group.slots.push_back(slot);
                }
                continue;
            }
        }
        static constexpr const char* kKeys[] = {"positions", "normals", "tangents", "joints", "texcoords"};
        std::string key = kKeys[index];
        if (seen > 1) key += std::to_string(seen);
        groups.push_back({std::move(key), slot.kind, {slot}});
    }
    return groups;
}

class Dumper {
public:
    Dumper(Writer& writer, bool raw, uint16_t minorVersion) : w_(writer), raw_(raw), minor_(minorVersion) {}

    template <Record R>
    void record(const R& record, int indent, bool oneLine) {
        const bool flat = oneLine || kOneLineRecord<R>;
        w_.put('{');
        bool first = true;
        forEachField<R>([&](const auto& f) {
            if (!first) w_.put(flat ? ", " : ",");
            if (!flat) w_.newline(indent + 1);
            first = false;
            w_.string(f.name);
            w_.put(": ");
            field(record, f, indent + 1, flat);
        });
        if (!flat) w_.newline(indent);
        w_.put('}');
    }

private:
    template <class R, class F>
    void field(const R& record, const F& f, int indent, bool flat) {
        const auto& member = record.*(f.member);
        using M = std::remove_cvref_t<decltype(member)>;
        if constexpr (std::is_same_v<R, Zeq2VertexBuffer> && std::is_same_v<M, ByteBuffer>) {
            if (!raw_) return vertexData(record, indent);
        } else if constexpr (std::is_same_v<R, Zeq2IndexBuffer> && std::is_same_v<M, ByteBuffer>) {
            if (!raw_) return indexData(record, indent);
        }
        value(member, indent, flat);
    }

    template <class T>
    void value(const T& v, int indent, bool flat) {
        if constexpr (Record<T>) {
            record(v, indent, flat);
        } else if constexpr (IsOptional<T>::value) {
            if (v) {
                value(*v, indent, flat);
            } else {
                w_.put("null");
            }
        } else if constexpr (IsArray<T>::value) {
            array(v, indent, flat);
        } else if constexpr (std::is_same_v<T, ByteBuffer>) {
            w_.hex(v.data(), v.length());
        } else if constexpr (std::is_same_v<T, Zeq2VertexAttributes>) {
            if (const char* name = vertexAttributeName(v)) {
                w_.string(name);
            } else {
                w_.integer(static_cast<int32_t>(v));
            }
        } else if constexpr (std::is_same_v<T, ZeqId>) {
            w_.integer(v.value);
        } else if constexpr (std::is_same_v<T, std::string>) {
            w_.string(v);
        } else if constexpr (std::is_same_v<T, bool>) {
            w_.put(v ? "true" : "false");
        } else if constexpr (std::is_floating_point_v<T>) {
            w_.number(v);
        } else {
            static_assert(std::is_integral_v<T>, "no JSON form for this value type");
            w_.integer(v);
        }
    }

    // Arrays of records that take several lines put one element per line; everything else stays
    // on the line of its field.
    template <class E>
    void array(const TArray<E>& items, int indent, bool flat) {
        if (items.empty()) return w_.put("[]");
        const bool lines = !flat && Record<E>;
        w_.put('[');
        bool first = true;
        for (const E& item : items) {
            if (!first) w_.put(lines ? "," : ", ");
            if (lines) w_.newline(indent + 1);
            first = false;
            value(item, indent + 1, flat);
        }
        if (lines) w_.newline(indent);
        w_.put(']');
    }

    void numbers(const VertexView& view, int32_t vertex, const AttributeSlot& slot, int32_t from, int32_t count) {
        w_.put('[');
        for (int32_t c = from; c < from + count; ++c) {
            if (c != from) w_.put(", ");
            w_.number(view.value(vertex, slot, c));
        }
        w_.put(']');
    }

    void vertexData(const Zeq2VertexBuffer& buffer, int indent) {
        VertexView view;
        std::string why;
        // Bytes beyond the attributes of each vertex (a larger stride) would not show among the
        // numbers, so such data stay hex as well.
        if (!viewVertexBuffer(buffer, minor_, view, why) || view.stride != view.layout.attributeBytes)
            return w_.hex(buffer.byteBuffer.data(), buffer.byteBuffer.length());
        const std::vector<VertexGroup> groups = vertexGroups(view.layout);
        if (groups.empty()) return w_.put("{}");
        w_.put('{');
        bool firstGroup = true;
        for (const VertexGroup& group : groups) {
            if (!firstGroup) w_.put(',');
            firstGroup = false;
            w_.newline(indent + 1);
            w_.string(group.key);
            w_.put(": ");
            if (group.kind == Zeq2VertexAttributes::TEXCOORDS) {
                // One list of [u, v] per channel.
                w_.put('[');
                for (std::size_t channel = 0; channel < group.slots.size(); ++channel) {
                    if (channel) w_.put(',');
                    w_.newline(indent + 2);
                    perVertex(view, indent + 2, [&](int32_t v) { numbers(view, v, group.slots[channel], 0, 2); });
                }
                w_.newline(indent + 1);
                w_.put(']');
            } else if (group.kind == Zeq2VertexAttributes::JOINTS) {
                // Every entry holds two influences: (joint value, weight) twice.
                perVertex(view, indent + 1, [&](int32_t v) {
                    w_.put('[');
                    for (std::size_t s = 0; s < group.slots.size(); ++s) {
                        if (s) w_.put(", ");
                        numbers(view, v, group.slots[s], 0, 2);
                        w_.put(", ");
                        numbers(view, v, group.slots[s], 2, 2);
                    }
                    w_.put(']');
                });
            } else {
                const AttributeSlot& slot = group.slots.front();
                perVertex(view, indent + 1, [&](int32_t v) { numbers(view, v, slot, 0, slot.components); });
            }
        }
        w_.newline(indent);
        w_.put('}');
    }

    // A JSON array with one line per vertex, each written by `each`.
    template <class Each>
    void perVertex(const VertexView& view, int indent, Each&& each) {
        if (view.vertexCount == 0) return w_.put("[]");
        w_.put('[');
        for (int32_t v = 0; v < view.vertexCount; ++v) {
            if (v) w_.put(',');
            w_.newline(indent + 1);
            each(v);
        }
        w_.newline(indent);
        w_.put(']');
    }

    // Indices as numbers, one triangle per line.
    void indexData(const Zeq2IndexBuffer& buffer, int indent) {
        const int32_t length = buffer.byteBuffer.length();
        if (length % 2 != 0) return w_.hex(buffer.byteBuffer.data(), length);
        const int64_t count = storedIndexCount(buffer);
        if (count == 0) return w_.put("[]");
        w_.put('[');
        for (int64_t i = 0; i < count; ++i) {
            if (i % 3 == 0) {
                if (i) w_.put(',');
                w_.newline(indent + 1);
            } else {
                w_.put(", ");
            }
            w_.integer(storedIndex(buffer, i));
        }
        w_.newline(indent);
        w_.put(']');
    }

    Writer& w_;
    bool raw_;
    uint16_t minor_;
};

}  // namespace

void dumpScene(std::ostream& out, const SceneFile& file, const DumpOptions& options) {
    Writer writer(out);
    Dumper dumper(writer, options.raw, file.minorVersion);
    writer.put("{");
    writer.newline(1);
    writer.put("\"majorVersion\": ");
    writer.integer(file.majorVersion);
    writer.put(",");
    writer.newline(1);
    writer.put("\"minorVersion\": ");
    writer.integer(file.minorVersion);
    writer.put(",");
    writer.newline(1);
    writer.put("\"Zeq2\": ");
    dumper.record(file.root, 1, false);
    writer.put(",");
    writer.newline(1);
    writer.put("\"Zeq2Extra1\": ");
    dumper.record(file.extra1, 1, false);
    writer.put(",");
    writer.newline(1);
    writer.put("\"Zeq2Extra2\": ");
    dumper.record(file.extra2, 1, false);
    writer.put("\n}\n");
}

}  // namespace zeq::inspect
