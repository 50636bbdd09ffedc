#pragma once
// The export options: one process-wide record shared by every stage of the exporter. It is zero
// at load, reset by each options dialog, and kept as the last dialog left it when the host
// suppresses prompts.
#include <cstdint>

namespace zeq {

struct ExportOptions {
    bool normals = false;             // write per-vertex normals
    bool selectedOnly = false;        // convert the selected nodes instead of the whole scene
    bool tangents = false;            // write tangent frames (forces normals)
    bool atfExtensions = false;       // image names get the extension ".atf"
    bool animation = false;           // collect transform tracks
    bool vertexBuffers16Bit = false;  // 16-bit float vertex data, minor version 6
    bool animationOnly = false;       // write tracks only
    int32_t exportTime = 0;           // host ticks at which static transforms are sampled
};

// The process-wide options.
ExportOptions& exportOptions();

}  // namespace zeq
