// Vertex layouts and half-precision decoding for the inspection verbs.
#include "tools/zeq/inspect_vertices.h"

#include <cmath>
#include <limits>

namespace zeq::inspect {

int32_t attributeComponents(Zeq2VertexAttributes kind) {
    // The 32-bit sizes are four bytes per number.
    return vertexAttributeSize(kind, kMinorVersionFloat32) / 4;
}

VertexLayout vertexLayout(const TArray<Zeq2VertexAttributes>& attributes, uint16_t minorVersion) {
    VertexLayout layout;
    layout.valueBytes = minorVersion == kMinorVersionHalf ? 2 : 4;
    for (Zeq2VertexAttributes kind : attributes) {
        const int32_t components = attributeComponents(kind);
        if (components == 0) {
            layout.known = false;
            continue;
        }
        layout.slots.push_back({kind, layout.attributeBytes, components});
        layout.attributeBytes += components * layout.valueBytes;
    }
    return layout;
}

bool viewVertexBuffer(const Zeq2VertexBuffer& buffer, uint16_t minorVersion, VertexView& view, std::string& why) {
    view = VertexView{};
    view.layout = vertexLayout(buffer.attributes, minorVersion);
    if (!view.layout.known) {
        why = "an attribute kind is unknown";
        return false;
    }
    const int64_t length = buffer.byteBuffer.length();
    const int64_t count = buffer.vertexCount;
    if (count == 0) {
        if (length != 0) {
            why = "data present for 0 vertices";
            return false;
        }
    } else if (length % count != 0 || length / count < view.layout.attributeBytes) {
        why = "data length is not a whole number of vertices";
        return false;
    }
    view.data = buffer.byteBuffer.data();
    view.vertexCount = static_cast<int32_t>(count);
    view.stride = count == 0 ? view.layout.attributeBytes : static_cast<int32_t>(length / count);
    return true;
}

}  // namespace zeq::inspect
