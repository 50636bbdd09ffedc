// `zeq info`: record counts, sizes and geometry totals of a scene file.
#include "tools/zeq/inspect_info.h"

#include "format/records.h"
#include "format/register.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <type_traits>

namespace zeq::inspect {
namespace {

// Counts every record reachable from a root by type name, walking the field tables.
class RecordCounter {
public:
    std::map<std::string_view, int64_t> counts;

    template <class T>
    void visit(const T& value) {
        if constexpr (Record<T>) {
            if constexpr (!std::is_same_v<T, Zeq2Transform> && !std::is_same_v<T, ZeqMatrix> &&
                          !std::is_same_v<T, ZeqTransformation>) {
                ++counts[RecordTraits<T>::typeName];
                // Records without nested records or arrays end here; a million keyframes would
                // otherwise each walk their transform.
                if constexpr (std::is_same_v<T, Zeq2Keyframe>) return;
            }
            forEachField<T>([&](const auto& f) { visit(value.*(f.member)); });
        } else if constexpr (IsOptional<T>::value) {
            if (value) visit(*value);
        } else if constexpr (IsArray<T>::value) {
            if constexpr (Record<typename IsArray<T>::Element>) {
                for (const auto& item : value) visit(item);
            }
        }
    }
};

// What the minor version says about the vertex data.
const char* vertexDataName(uint16_t minorVersion) {
    return minorVersion == kMinorVersionHalf      ? "16-bit float vertex data"
           : minorVersion == kMinorVersionFloat32 ? "32-bit float vertex data"
                                                  : "unknown minor version";
}

std::string plural(int64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

SceneSummary summarizeScene(const SceneFile& file, const PacketInfo& packet) {
    SceneSummary summary;
    summary.majorVersion = file.majorVersion;
    summary.minorVersion = file.minorVersion;
    summary.packetBytes = packet.packetBytes;
    summary.inflatedBytes = packet.inflatedBytes;

    RecordCounter counter;
    counter.visit(file.root);
    counter.visit(file.extra1);
    counter.visit(file.extra2);
    for (const std::string_view name : kFormatTypeNames) {
        if (name == "Zeq2" || name == "Zeq2Extra1" || name == "Zeq2Extra2") continue;
        const auto it = counter.counts.find(name);
        if (it != counter.counts.end() && it->second > 0) summary.recordCounts.emplace_back(std::string(name), it->second);
    }

    if (file.root.vertexBuffers) {
        for (const Zeq2VertexBuffer& buffer : *file.root.vertexBuffers) {
            summary.vertices += buffer.vertexCount;
            ++summary.vertexBuffers;
        }
    }
    if (file.root.indexBuffers) {
        for (const Zeq2IndexBuffer& buffer : *file.root.indexBuffers) {
            if (buffer.indexCount > 0) summary.triangles += buffer.indexCount / 3;
            ++summary.indexBuffers;
        }
    }
    return summary;
}

void printSummary(std::ostream& out, const std::string& fileName, const SceneSummary& summary) {
    const char* vertexData = vertexDataName(summary.minorVersion);
    out << fileName << "\n";
    out << "  version    " << summary.majorVersion << "." << summary.minorVersion << " (" << vertexData << ")\n";
    out << "  packet     " << plural(summary.packetBytes, "byte", "bytes") << ", inflated "
        << plural(summary.inflatedBytes, "byte", "bytes") << "\n";
    out << "  vertices   " << summary.vertices << " in " << plural(summary.vertexBuffers, "vertex buffer", "vertex buffers")
        << "\n";
    out << "  triangles  " << summary.triangles << " in " << plural(summary.indexBuffers, "index buffer", "index buffers")
        << "\n";
    if (summary.recordCounts.empty()) {
        out << "  records    none\n";
        return;
    }
    out << "  records\n";
    std::size_t width = 0;
    for (const auto& [name, count] : summary.recordCounts) width = std::max(width, name.size());
    for (const auto& [name, count] : summary.recordCounts) {
        out << "    " << name << std::string(width - name.size() + 2, ' ') << count << "\n";
    }
}

nlohmann::ordered_json summaryToJson(const std::string& fileName, const SceneSummary& summary) {
    nlohmann::ordered_json records = nlohmann::ordered_json::object();
    for (const auto& [name, count] : summary.recordCounts) records[name] = count;
    return {{"file", fileName},
            {"majorVersion", summary.majorVersion},
            {"minorVersion", summary.minorVersion},
            {"vertexData", vertexDataName(summary.minorVersion)},
            {"packetBytes", summary.packetBytes},
            {"inflatedBytes", summary.inflatedBytes},
            {"vertices", summary.vertices},
            {"vertexBuffers", summary.vertexBuffers},
            {"triangles", summary.triangles},
            {"indexBuffers", summary.indexBuffers},
            {"records", std::move(records)}};
}

}  // namespace zeq::inspect
