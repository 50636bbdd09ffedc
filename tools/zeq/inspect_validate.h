#pragma once
// `zeq validate`: the checks of what a loader relies on in a decoded scene file.
//
// Errors: references that name no record of the list they point into (boxes, buffers, materials,
// maps, images, cube maps, tracks, joints, scene nodes), resource ids used twice within one list,
// scene-node ids used twice across all node records, parent chains that loop, vertex data whose
// length is not vertexCount x stride, unknown attribute kinds, indexCount disagreeing with the
// index bytes, indices at or beyond the vertex count of a mesh's buffers, vertex buffers of one
// mesh disagreeing on vertexCount, surfaces outside their index buffer, skin joint lists that
// disagree with their counts or bind transforms, LOD groups whose distances and objectIds differ
// in length, boxes without six values.
// Warnings: parent ids that name no record (selected-only exports write them; the node loads as a
// root), an unknown minor version, an indexCount that is not a multiple of 3, keyframes out of
// time order, one attribute kind supplied by several vertex buffers of a mesh, light colours with
// bits above 0xRRGGBB, maps on channel 0, cube maps with some but not all six images (other than
// imageId6 alone), tracks whose objectName names no node of a file that has nodes, vertex buffers
// with more than 4 JOINTS entries.
#include "format/scene_file.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace zeq::inspect {

enum class Severity { Error, Warning };

struct Finding {
    Severity severity = Severity::Error;
    std::string subject;  // the record: "meshes[2] (id 7)"
    std::string field;    // the field within it: "indexBufferId", "surfaces[1].materialId"
    std::string problem;  // "indexBufferId 4 names no index buffer"
};

struct ValidationReport {
    std::vector<Finding> findings;  // in the order the checks ran: ids first, then list by list
    int64_t errors = 0;
    int64_t warnings = 0;
};

ValidationReport validateScene(const SceneFile& file);

// "error: meshes[2] (id 7): indexBufferId 4 names no index buffer"
std::string formatFinding(const Finding& finding);
// "2 errors, 1 warning"
std::string formatCounts(const ValidationReport& report);

// A count with its noun: "1 error", "3 warnings".
std::string counted(int64_t n, const char* one, const char* many);

// The report as one JSON object: {"file", "errors", "warnings", "findings": [{"severity": "error" or
// "warning", "record", "field", "message"}, ...]}; "field" is null for a finding about the whole
// record, "message" the same text as the line form.
nlohmann::ordered_json reportToJson(const std::string& fileName, const ValidationReport& report);

}  // namespace zeq::inspect
