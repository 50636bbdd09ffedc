#pragma once
// `zeq info`: a short summary of a scene file.
#include "format/scene_file.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace zeq::inspect {

struct SceneSummary {
    uint16_t majorVersion = 0;
    uint16_t minorVersion = 0;
    int64_t packetBytes = 0;    // header and stored (compressed) body
    int64_t inflatedBytes = 0;  // the body after inflation
    // Records per type name, nested ones included (surfaces, keyframes, bind transforms), in the
    // order of the registry's type list; only types that occur. Transforms and matrices are parts
    // of other records and not counted.
    std::vector<std::pair<std::string, int64_t>> recordCounts;
    int64_t vertices = 0;       // vertexCount summed over the vertex buffers
    int64_t vertexBuffers = 0;
    int64_t triangles = 0;      // indexCount / 3 summed over the index buffers
    int64_t indexBuffers = 0;
};

SceneSummary summarizeScene(const SceneFile& file, const PacketInfo& packet);

// The summary as a few aligned lines, headed by the file name.
void printSummary(std::ostream& out, const std::string& fileName, const SceneSummary& summary);

// The same facts as one JSON object: {"file", "majorVersion", "minorVersion", "vertexData",
// "packetBytes", "inflatedBytes", "vertices", "vertexBuffers", "triangles", "indexBuffers",
// "records": {type name: count, ...}}.
nlohmann::ordered_json summaryToJson(const std::string& fileName, const SceneSummary& summary);

}  // namespace zeq::inspect
