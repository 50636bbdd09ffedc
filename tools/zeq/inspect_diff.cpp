// `zeq diff`: pairs the records of two scene files and compares the pairs field by field, on the
// JSON form of the records (the same form `zeq dump --raw` prints).
#include "tools/zeq/inspect_diff.h"

#include "format/json.h"
#include "tools/zeq/inspect_validate.h"
#include "tools/zeq/inspect_vertices.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace zeq::inspect {
namespace {

using J = nlohmann::ordered_json;

const J kAbsent;  // stands for a field one side does not have

// Scene nodes share one id space across their lists; every other list has its own.
constexpr std::string_view kNodeSpace = "scene nodes";
const std::set<std::string_view> kNodeLists = {"ambientLights", "decals",    "directionalLights", "joints",
                                               "meshes",        "objects",   "omniLights",        "skins",
                                               "spotLights",    "sprites",   "cameras",           "lods"};

// The id space a field of a record in `list` refers into, or empty when the field is no reference.
std::string_view referenceTarget(std::string_view list, std::string_view field) {
    if (field == "parentId" || field == "jointId" || field == "jointIds" || field == "objectIds") return kNodeSpace;
    if (field == "boundBoxId") return "boxes";
    if (field == "indexBufferId") return "indexBuffers";
    if (field == "vertexBufferIds") return "vertexBuffers";
    if (field == "materialId") return "materials";
    if (field == "reflectionCubeMapId") return "cubeMaps";
    if (field.size() > 5 && field.ends_with("MapId")) return "maps";
    if (field.starts_with("imageId")) return "images";
    if (field == "tracks" && list == "animationClips") return "tracks";
    return {};
}

std::string_view spaceOf(std::string_view list) { return kNodeLists.count(list) ? kNodeSpace : list; }

bool isIdValue(const J& value) {
    if (value.is_number_integer()) return true;
    if (!value.is_array()) return false;
    for (const J& item : value)
        if (!item.is_number_integer()) return false;
    return true;
}

// JSON text has no form for NaN and the infinities: in values reported they become the texts a dump
// writes for them.
void nonFiniteAsText(J& value) {
    if (value.is_number_float()) {
        const double number = value.get<double>();
        if (std::isnan(number)) value = nanText(static_cast<float>(number));
        else if (std::isinf(number)) value = number > 0 ? "Infinity" : "-Infinity";
    } else if (value.is_structured()) {
        for (J& item : value) nonFiniteAsText(item);
    }
}

// The signatures of the resources of one file (images, maps, materials, boxes, buffers) by list:
// in list order, and by id.
struct ListSignatures {
    std::vector<uint64_t> inOrder;
    std::unordered_map<int64_t, uint64_t> byId;
};
using Signatures = std::map<std::string, ListSignatures, std::less<>>;

// The record's content without its own id and with its references blanked: a reference to a
// resource signed already stands for that resource's signature, any other for whether it is set
// (and a list of them for how many), so that records told apart only by what they name pair with
// their twins whatever the ids. Floats are numbers here, NaNs and infinities too; JSON text has no
// form for those, so they become texts (every NaN one text: as numbers, NaNs equal each other).
void blankReferences(J& value, std::string_view list, const Signatures& signed_) {
    auto blank = [&](const J& id, std::string_view target) -> J {
        const auto space = signed_.find(target);
        if (space == signed_.end()) return "#";
        const auto found = space->second.byId.find(id.get<int64_t>());
        return found == space->second.byId.end() ? J("#") : J("#" + std::to_string(found->second));
    };
    if (value.is_number_float() && !std::isfinite(value.get<double>())) {
        const double number = value.get<double>();
        value = std::isnan(number) ? "NaN" : number > 0 ? "Infinity" : "-Infinity";
    } else if (value.is_object()) {
        for (auto& [key, item] : value.items()) {
            const std::string_view target = referenceTarget(list, key);
            if (!target.empty() && isIdValue(item)) {
                if (item.is_array()) {
                    for (J& id : item) id = blank(id, target);
                } else {
                    item = blank(item, target);
                }
            } else {
                blankReferences(item, list, signed_);
            }
        }
    } else if (value.is_array()) {
        for (J& item : value) blankReferences(item, list, signed_);
    }
}

// The signature as a hash of that content: records of equal content have equal signatures, and the
// pairing keeps 8 bytes a record rather than the content's text (vertex data as hex digits).
uint64_t signatureOf(const J& record, std::string_view list, const Signatures& signed_) {
    J copy = record;
    if (copy.is_object()) copy.erase("id");
    blankReferences(copy, list, signed_);
    return std::hash<std::string>()(copy.dump(-1, ' ', false, J::error_handler_t::replace));
}

// Signs the resources of a file, each before the records that name it.
Signatures signResources(const J& file) {
    Signatures signed_;
    for (const char* list : {"images", "maps", "cubeMaps", "materials", "boxes", "indexBuffers", "vertexBuffers"})
        for (const char* root : {"Zeq2", "Zeq2Extra1", "Zeq2Extra2"}) {
            const auto lists = file.find(root);
            if (lists == file.end() || !lists->contains(list) || !lists->at(list).is_array()) continue;
            ListSignatures signatures;
            for (const J& record : lists->at(list)) {
                signatures.inOrder.push_back(signatureOf(record, list, signed_));
                if (const auto id = record.find("id"); id != record.end() && id->is_number_integer())
                    signatures.byId[id->get<int64_t>()] = signatures.inOrder.back();
            }
            signed_[list] = std::move(signatures);
        }
    return signed_;
}

std::optional<int64_t> idOf(const J& record) {
    const auto it = record.find("id");
    if (it == record.end() || !it->is_number_integer()) return std::nullopt;
    return it->get<int64_t>();
}

std::optional<std::string> nameOf(const J& record) {
    for (const char* key : {"name", "objectName"}) {
        const auto it = record.find(key);
        if (it != record.end() && it->is_string()) return it->get<std::string>();
    }
    return std::nullopt;
}

// One list of records in both files and the pairing of its records.
struct ListPair {
    std::string root;  // "Zeq2"
    std::string name;  // "meshes"
    const J* a = nullptr;
    const J* b = nullptr;
    std::vector<std::ptrdiff_t> partnerOfA;  // index into b, or -1
    std::vector<std::ptrdiff_t> partnerOfB;
    int64_t renumbered = 0;
    int64_t matched = 0;

    std::size_t sizeA() const { return a->is_array() ? a->size() : 0; }
    std::size_t sizeB() const { return b->is_array() ? b->size() : 0; }

    void pair(std::size_t i, std::size_t j) {
        partnerOfA[i] = static_cast<std::ptrdiff_t>(j);
        partnerOfB[j] = static_cast<std::ptrdiff_t>(i);
        ++matched;
        if (idOf((*a)[i]) != idOf((*b)[j])) ++renumbered;
    }

    const J& record(bool inA, std::size_t index) const { return (inA ? *a : *b)[index]; }

    // Pairs each unpaired record of A, in order, with the first unpaired record of B that has the
    // same key; keyOf(inA, index) gives a record's key, or nothing when it has none.
    template <class Key>
    void pairBy(Key&& keyOf) {
        using K = typename decltype(keyOf(true, std::size_t(0)))::value_type;
        std::map<K, std::vector<std::size_t>> waiting;  // unpaired records of B by key, last first
        for (std::size_t j = sizeB(); j-- > 0;) {
            if (partnerOfB[j] >= 0) continue;
            if (auto key = keyOf(false, j)) waiting[std::move(*key)].push_back(j);
        }
        for (std::size_t i = 0; i < sizeA(); ++i) {
            if (partnerOfA[i] >= 0) continue;
            const auto key = keyOf(true, i);
            if (!key) continue;
            const auto it = waiting.find(*key);
            if (it == waiting.end() || it->second.empty()) continue;
            pair(i, it->second.back());
            it->second.pop_back();
        }
    }

    void match(const Signatures& signedA, const Signatures& signedB) {
        partnerOfA.assign(sizeA(), -1);
        partnerOfB.assign(sizeB(), -1);
        if (!sizeA() || !sizeB()) return;
        // Resources were signed already; the other records are signed here.
        auto signaturesOf = [&](const J& items, const Signatures& signed_) {
            const auto resource = signed_.find(name);
            if (resource != signed_.end()) return resource->second.inOrder;
            std::vector<uint64_t> signatures;
            for (const J& item : items) signatures.push_back(signatureOf(item, name, signed_));
            return signatures;
        };
        const std::vector<uint64_t> signatures[2] = {signaturesOf(*a, signedA), signaturesOf(*b, signedB)};
        const auto signature = [&](bool inA, std::size_t index) -> std::optional<uint64_t> {
            return signatures[inA ? 0 : 1][index];
        };
        const auto id = [&](bool inA, std::size_t index) { return idOf(record(inA, index)); };
        pairBy([&](bool inA, std::size_t index) -> std::optional<std::pair<int64_t, uint64_t>> {
            const auto own = id(inA, index);
            if (!own) return std::nullopt;
            return std::make_pair(*own, *signature(inA, index));
        });
        pairBy(signature);
        // A name that one record of each list carries names the same thing (a track's node), whatever
        // the ids: an export of a changed scene numbers its records afresh.
        std::map<std::string, int> nameCounts[2];
        for (int side = 0; side < 2; ++side)
            for (const J& item : side == 0 ? *a : *b)
                if (const auto own = nameOf(item)) ++nameCounts[side][*own];
        pairBy([&](bool inA, std::size_t index) -> std::optional<std::string> {
            auto own = nameOf(record(inA, index));
            if (!own || nameCounts[0][*own] != 1 || nameCounts[1][*own] != 1) return std::nullopt;
            return own;
        });
        // Same ids name the same records unless the list was renumbered.
        if (renumbered * 2 <= matched) pairBy(id);
        pairBy([&](bool inA, std::size_t index) { return nameOf(record(inA, index)); });
        // What is left is taken as changed records, in order; the surplus of one side is only there.
        std::size_t j = 0;
        for (std::size_t i = 0; i < sizeA(); ++i) {
            if (partnerOfA[i] >= 0) continue;
            while (j < sizeB() && partnerOfB[j] >= 0) ++j;
            if (j == sizeB()) break;
            pair(i, j);
        }
    }
};

std::string shortest(double value) {
    char text[40];
    const float single = static_cast<float>(value);
    const auto end = static_cast<double>(single) == value ? std::to_chars(text, text + sizeof text, single).ptr
                                                          : std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

// A value for a line of text: floats at their shortest, the rest as compact JSON.
std::string textOf(const J& value) {
    if (value.is_number_float()) return shortest(value.get<double>());
    if (value.is_array() && value.size() > 8) return std::to_string(value.size()) + " items";
    return value.dump(-1, ' ', false, J::error_handler_t::replace);
}

class Comparer {
public:
    Comparer(const SceneFile& fileA, const SceneFile& fileB, const DiffOptions& options, DiffReport& report)
        : fileA_(fileA), fileB_(fileB), options_(options), report_(report) {}

    void run() {
        const J a = sceneFileToJson(fileA_, true);
        const J b = sceneFileToJson(fileB_, true);
        recordA_ = recordB_ = "file";
        for (const char* key : {"majorVersion", "minorVersion"}) compare(a[key], b[key], key, "", key);

        std::vector<ListPair> lists;
        const Signatures signedA = signResources(a), signedB = signResources(b);
        for (const char* root : {"Zeq2", "Zeq2Extra1", "Zeq2Extra2"}) {
            for (const auto& [name, items] : a.at(root).items()) {
                ListPair list{root, name, &items, &b.at(root).at(name), {}, {}, 0, 0};
                list.match(signedA, signedB);
                lists.push_back(std::move(list));
            }
        }
        for (const ListPair& list : lists) {
            for (std::size_t i = 0; i < list.sizeA(); ++i) {
                const std::ptrdiff_t j = list.partnerOfA[i];
                if (j < 0) continue;
                const auto idA = idOf((*list.a)[i]);
                const auto idB = idOf((*list.b)[static_cast<std::size_t>(j)]);
                if (!idA || !idB) continue;
                ids_[std::string(spaceOf(list.name))].emplace(*idA, *idB);
                pairedB_[std::string(spaceOf(list.name))].insert(*idB);
            }
            for (int file = 0; file < 2; ++file) {
                for (const J& record : file == 0 ? *list.a : *list.b) {
                    const auto id = idOf(record);
                    const auto name = nameOf(record);
                    if (id && name) names_[file][std::string(spaceOf(list.name))].emplace(*id, *name);
                }
            }
            report_.matched += list.matched;
            report_.renumbered += list.renumbered;
        }
        for (const ListPair& list : lists) compareList(list);
    }

private:
    static std::string label(const ListPair& list, bool inA, std::size_t index) {
        const J& record = (inA ? *list.a : *list.b)[index];
        std::string text = list.name + "[" + std::to_string(index) + "]";
        if (const auto id = idOf(record)) text += " (id " + std::to_string(*id) + ")";
        return text;
    }

    void differ(const std::string& field, J a, J b) {
        nonFiniteAsText(a);
        nonFiniteAsText(b);
        report_.differences.push_back({recordA_, recordB_, field, std::move(a), std::move(b), {}, {}});
    }

    // A reference that names other records in the two files, with the names of those records.
    void differReference(const std::string& field, const J& a, const J& b, std::string_view space) {
        differ(field, a, b);
        const auto nameIn = [&](int file, const J& id) {
            const auto names = names_[file].find(std::string(space));
            if (names == names_[file].end() || !id.is_number_integer()) return std::string();
            const auto it = names->second.find(id.get<int64_t>());
            return it == names->second.end() ? std::string() : it->second;
        };
        report_.differences.back().targetA = nameIn(0, a);
        report_.differences.back().targetB = nameIn(1, b);
    }

    void compareList(const ListPair& list) {
        const J& a = *list.a;
        const J& b = *list.b;
        if (a.is_null() != b.is_null() && (a.empty() && b.empty())) {
            recordA_ = recordB_ = list.root;
            differ(list.name, a, b);
        }
        for (std::size_t i = 0; i < list.sizeA(); ++i) {
            recordA_ = label(list, true, i);
            const std::ptrdiff_t j = list.partnerOfA[i];
            if (j < 0) {
                recordB_.clear();
                differ("", a[i], nullptr);
                continue;
            }
            recordB_ = label(list, false, static_cast<std::size_t>(j));
            compareRecords(list, i, static_cast<std::size_t>(j));
        }
        recordA_.clear();
        for (std::size_t j = 0; j < list.sizeB(); ++j) {
            if (list.partnerOfB[j] >= 0) continue;
            recordB_ = label(list, false, j);
            differ("", nullptr, b[j]);
        }
    }

    void compareRecords(const ListPair& list, std::size_t i, std::size_t j) {
        const J& a = (*list.a)[i];
        const J& b = (*list.b)[j];
        const bool vertexData = list.name == "vertexBuffers" && list.root == "Zeq2";
        const bool indexData = list.name == "indexBuffers" && list.root == "Zeq2";
        for (const auto& [key, value] : a.items()) {
            if (key == "id") continue;  // the pairing decided; references are compared through it
            if ((vertexData || indexData) && key == "byteBuffer") continue;
            compare(value, b.contains(key) ? b[key] : kAbsent, key, list.name, key);
        }
        if (vertexData) compareVertexData(fileA_.root.vertexBuffers->items[i], fileB_.root.vertexBuffers->items[j]);
        if (indexData) compareIndexData(fileA_.root.indexBuffers->items[i], fileB_.root.indexBuffers->items[j]);
    }

    // Whether two references name the same record: a reference of A to a paired record must name
    // its partner in B; one that names no paired record must be the same number, naming no paired
    // record of B either. So it does not matter which file comes first.
    bool sameReference(const J& a, const J& b, std::string_view space) const {
        if (!a.is_number_integer() || !b.is_number_integer()) return a == b;
        const auto map = ids_.find(std::string(space));
        if (map != ids_.end()) {
            if (const auto it = map->second.find(a.get<int64_t>()); it != map->second.end()) return b == it->second;
        }
        const auto paired = pairedB_.find(std::string(space));
        return a == b && (paired == pairedB_.end() || !paired->second.count(b.get<int64_t>()));
    }

    bool sameNumber(const J& a, const J& b) const {
        if (!a.is_number_float() && !b.is_number_float()) return a == b;
        return sameFloat(a.get<double>(), b.get<double>());
    }

    // Within the tolerance; without one, exactly: -0 and 0 are different bytes in a file. An
    // infinity equals only itself (the tolerance is finite).
    bool sameFloat(double x, double y) const {
        if (std::isnan(x) || std::isnan(y)) return std::isnan(x) && std::isnan(y);
        if (options_.tolerance <= 0) return x == y && std::signbit(x) == std::signbit(y);
        return x == y || std::fabs(x - y) <= options_.tolerance;
    }

    void compare(const J& a, const J& b, const std::string& path, std::string_view list, std::string_view key) {
        const std::string_view target = referenceTarget(list, key);
        if (!target.empty() && isIdValue(a) && isIdValue(b)) {
            if (a.is_array() && b.is_array() && a.size() == b.size()) {
                for (std::size_t k = 0; k < a.size(); ++k) {
                    if (!sameReference(a[k], b[k], target)) differReference(path + "[" + std::to_string(k) + "]", a[k], b[k], target);
                }
            } else if (a.is_array() || b.is_array()) {
                differ(path, a, b);  // lists of different lengths
            } else if (!sameReference(a, b, target)) {
                differReference(path, a, b, target);
            }
            return;
        }
        if (a.is_object() && b.is_object()) {
            for (const auto& [k, value] : a.items()) compare(value, b.contains(k) ? b[k] : kAbsent, path + "." + k, list, k);
            for (const auto& [k, value] : b.items())
                if (!a.contains(k)) differ(path + "." + k, nullptr, value);
        } else if (a.is_array() && b.is_array()) {
            if (a.size() != b.size() && key == "keyframes" && timed(a) && timed(b)) {
                compareByTime(a, b, path, list, key);
            } else {
                const std::size_t n = std::min(a.size(), b.size());
                for (std::size_t k = 0; k < n; ++k) compare(a[k], b[k], path + "[" + std::to_string(k) + "]", list, key);
            }
            if (a.size() != b.size()) differ(path + ".length", a.size(), b.size());
        } else if (a.is_number() && b.is_number()) {
            if (!sameNumber(a, b)) differ(path, a, b);
        } else if (a != b) {
            differ(path, a, b);
        }
    }

    // Keyframes with a number for every time, in time order.
    static bool timed(const J& keyframes) {
        for (std::size_t k = 0; k < keyframes.size(); ++k) {
            const J& key = keyframes[k];
            if (!key.is_object() || !key.contains("time") || !key["time"].is_number()) return false;
            if (k > 0 && !(keyframes[k - 1]["time"].get<double>() < key["time"].get<double>())) return false;
        }
        return true;
    }

    // A track that gained or lost keyframes: they are paired by time, so that one key more or
    // less shows as that key (its time on one side, null on the other), not as every later key
    // compared with its neighbour. A keyframe is named by its place in A, one that only B has by
    // its place in B.
    void compareByTime(const J& a, const J& b, const std::string& path, std::string_view list, std::string_view key) {
        std::size_t i = 0, j = 0;
        while (i < a.size() || j < b.size()) {
            const double ta = i < a.size() ? a[i]["time"].get<double>() : INFINITY;
            const double tb = j < b.size() ? b[j]["time"].get<double>() : INFINITY;
            if (i < a.size() && j < b.size() && sameFloat(ta, tb)) {
                compare(a[i], b[j], path + "[" + std::to_string(i) + "]", list, key);
                ++i, ++j;
            } else if (j == b.size() || (i < a.size() && ta < tb)) {
                differ(path + "[" + std::to_string(i) + "].time", a[i]["time"], kAbsent);
                ++i;
            } else {
                differ(path + "[" + std::to_string(j) + "].time", kAbsent, b[j]["time"]);
                ++j;
            }
        }
    }

    static J number(float value) {
        if (std::isnan(value)) return nanText(value);
        if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
        return static_cast<double>(value);
    }

    // Vertex data with the same layout are compared as numbers; the first difference is reported
    // with the count of all differing numbers.
    void compareVertexData(const Zeq2VertexBuffer& a, const Zeq2VertexBuffer& b) {
        VertexView viewA, viewB;
        std::string why;
        if (a.attributes == b.attributes && a.vertexCount == b.vertexCount &&
            viewVertexBuffer(a, fileA_.minorVersion, viewA, why) && viewVertexBuffer(b, fileB_.minorVersion, viewB, why)) {
            int64_t differing = 0;
            std::string first;
            J firstA, firstB;
            for (int32_t v = 0; v < viewA.vertexCount; ++v) {
                for (std::size_t s = 0; s < viewA.layout.slots.size(); ++s) {
                    const AttributeSlot& slotA = viewA.layout.slots[s];
                    for (int32_t c = 0; c < slotA.components; ++c) {
                        const float x = viewA.value(v, slotA, c);
                        const float y = viewB.value(v, viewB.layout.slots[s], c);
                        if (sameFloat(x, y) || differing++) continue;
                        first = "byteBuffer vertex " + std::to_string(v) + " " + vertexAttributeName(slotA.kind) + "[" +
                                std::to_string(c) + "]";
                        firstA = number(x);
                        firstB = number(y);
                    }
                }
            }
            if (differing > 1) first += " (" + std::to_string(differing) + " numbers differ)";
            if (differing) differ(first, firstA, firstB);
            comparePadding(viewA, viewB);
            return;
        }
        compareBytes(a.byteBuffer, b.byteBuffer);
    }

    // A stride larger than the layout leaves bytes after the attributes of each vertex, which the
    // numbers do not show; they are file content all the same, so they are compared as bytes. Only
    // those bytes are compared: the attributes of a 16-bit file take half the bytes of a 32-bit
    // one, so the strides of equal vertices differ when their minor versions do. A byte is named by
    // its place in the vertex of A.
    void comparePadding(const VertexView& a, const VertexView& b) {
        const int32_t paddingA = a.stride - a.layout.attributeBytes;
        const int32_t paddingB = b.stride - b.layout.attributeBytes;
        if (paddingA != paddingB) return differ("byteBuffer bytes after the attributes of each vertex", paddingA, paddingB);
        int64_t differing = 0;
        std::string first;
        J firstA, firstB;
        for (int32_t v = 0; v < a.vertexCount; ++v) {
            const uint8_t* padA = a.data + static_cast<std::size_t>(v) * static_cast<std::size_t>(a.stride) + a.layout.attributeBytes;
            const uint8_t* padB = b.data + static_cast<std::size_t>(v) * static_cast<std::size_t>(b.stride) + b.layout.attributeBytes;
            for (int32_t k = 0; k < paddingA; ++k) {
                const uint8_t x = padA[k], y = padB[k];
                if (x == y || differing++) continue;
                first = "byteBuffer vertex " + std::to_string(v) + " byte " + std::to_string(a.layout.attributeBytes + k) +
                        " (after the attributes)";
                firstA = x;
                firstB = y;
            }
        }
        if (differing > 1) first += " (" + std::to_string(differing) + " bytes differ)";
        if (differing) differ(first, firstA, firstB);
    }

    void compareIndexData(const Zeq2IndexBuffer& a, const Zeq2IndexBuffer& b) {
        if (a.byteBuffer.length() % 2 || b.byteBuffer.length() % 2) return compareBytes(a.byteBuffer, b.byteBuffer);
        const int64_t countA = storedIndexCount(a);
        const int64_t countB = storedIndexCount(b);
        int64_t differing = 0;
        int64_t first = -1;
        for (int64_t k = 0; k < std::min(countA, countB); ++k) {
            if (storedIndex(a, k) == storedIndex(b, k)) continue;
            if (!differing++) first = k;
        }
        if (differing) {
            std::string field = "byteBuffer index " + std::to_string(first);
            if (differing > 1) field += " (" + std::to_string(differing) + " indices differ)";
            differ(field, storedIndex(a, first), storedIndex(b, first));
        }
        if (countA != countB) differ("byteBuffer indices", countA, countB);
    }

    void compareBytes(const ByteBuffer& a, const ByteBuffer& b) {
        if (a.length() != b.length()) return differ("byteBuffer bytes", a.length(), b.length());
        for (int32_t k = 0; k < a.length(); ++k) {
            if (a.data()[k] != b.data()[k]) return differ("byteBuffer byte " + std::to_string(k), a.data()[k], b.data()[k]);
        }
    }

    const SceneFile& fileA_;
    const SceneFile& fileB_;
    const DiffOptions& options_;
    DiffReport& report_;
    std::unordered_map<std::string, std::unordered_map<int64_t, int64_t>> ids_;  // per id space: A id -> B id
    std::unordered_map<std::string, std::unordered_set<int64_t>> pairedB_;     // per id space: B ids paired
    // Per file (A, B) and id space: the names of the records that have one, by id.
    std::unordered_map<std::string, std::unordered_map<int64_t, std::string>> names_[2];
    std::string recordA_, recordB_;
};

}  // namespace

DiffReport diffScenes(const SceneFile& a, const SceneFile& b, const DiffOptions& options) {
    DiffReport report;
    Comparer(a, b, options, report).run();
    return report;
}

std::string formatDifference(const Difference& d, const std::string& nameA, const std::string& nameB) {
    if (d.recordB.empty()) return d.recordA + ": only in " + nameA;
    if (d.recordA.empty()) return d.recordB + ": only in " + nameB;
    std::string line = d.recordA == d.recordB ? d.recordA : d.recordA + " / " + d.recordB;
    const auto named = [](const J& value, const std::string& target) {
        return target.empty() ? textOf(value) : textOf(value) + " " + textOf(J(target));
    };
    return line + ": " + d.field + ": " + named(d.a, d.targetA) + " -> " + named(d.b, d.targetB);
}

std::string formatDiffSummary(const DiffReport& report, const std::string& nameA, const std::string& nameB) {
    return nameA + " and " + nameB + ": " +
           (report.equal() ? std::string("equal") : counted(int64_t(report.differences.size()), "difference", "differences")) +
           " (" + counted(report.matched, "record", "records") + " matched, " + std::to_string(report.renumbered) +
           " renumbered)";
}

namespace {
// The value with every float at the double nearest its shortest text, which JSON writes as that
// text ("1.004", where the float's exact double writes as 1.003999948501587), as lines show them.
J atShortest(const J& value) {
    if (value.is_number_float()) {
        const std::string text = shortest(value.get<double>());
        return std::strtod(text.c_str(), nullptr);
    }
    if (!value.is_structured()) return value;
    J result = value;
    for (auto& item : result.items()) item.value() = atShortest(item.value());
    return result;
}
}  // namespace

nlohmann::ordered_json diffToJson(const DiffReport& report, const std::string& nameA, const std::string& nameB) {
    J differences = J::array();
    const auto textOrNull = [](const std::string& text) { return text.empty() ? J() : J(text); };
    for (const Difference& d : report.differences) {
        differences.push_back({{"recordA", textOrNull(d.recordA)},
                               {"recordB", textOrNull(d.recordB)},
                               {"field", textOrNull(d.field)},
                               {"a", atShortest(d.a)},
                               {"b", atShortest(d.b)}});
    }
    return {{"a", nameA},
            {"b", nameB},
            {"equal", report.equal()},
            {"matched", report.matched},
            {"renumbered", report.renumbered},
            {"differences", std::move(differences)}};
}

}  // namespace zeq::inspect
