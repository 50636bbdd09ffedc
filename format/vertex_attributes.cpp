// Names and sizes of the vertex attribute kinds.
#include "format/records_geometry.h"

#include <array>

namespace zeq {

namespace {
constexpr std::array<const char*, 5> kAttributeNames = {"POSITION", "NORMAL", "TANGENT4", "JOINTS", "TEXCOORDS"};
}

const char* vertexAttributeName(Zeq2VertexAttributes kind) {
    const auto index = static_cast<int32_t>(kind);
    if (index < 0 || index >= static_cast<int32_t>(kAttributeNames.size())) return nullptr;
    return kAttributeNames[static_cast<std::size_t>(index)];
}

std::optional<Zeq2VertexAttributes> vertexAttributeFromName(std::string_view name) {
    for (std::size_t i = 0; i < kAttributeNames.size(); ++i) {
        if (name == kAttributeNames[i]) return static_cast<Zeq2VertexAttributes>(i);
    }
    return std::nullopt;
}

int32_t vertexStride(const TArray<Zeq2VertexAttributes>& attributes, uint16_t minorVersion) {
    int32_t stride = 0;
    for (Zeq2VertexAttributes kind : attributes) {
        const int32_t size = vertexAttributeSize(kind, minorVersion);
        if (size == 0) return 0;
        stride += size;
    }
    return stride;
}

}  // namespace zeq
