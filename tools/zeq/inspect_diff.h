#pragma once
// `zeq diff`: what differs between two scene files, record by record and field by field.
//
// Records of each list are paired before they are compared: first records with the same id and
// the same content, then records with the same content whatever their ids (a file whose ids were
// renumbered), then records with the same id, unless most pairs of that list were renumbered,
// then records with the same name, and last the remaining records in order. What stays unpaired
// (the surplus of the longer list) is only in one file. Content here means
// every field but the record's own id and the fields that refer to other records; references are
// compared through the pairing, so a reference to the renumbered twin of a record is no
// difference. Numbers stored as floats are equal within the tolerance; vertex data are compared
// as the numbers they hold (so 16-bit and 32-bit vertex data compare within a tolerance too).
#include "format/scene_file.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace zeq::inspect {

struct DiffOptions {
    double tolerance = 0;  // largest absolute difference of two floats that still counts as equal
};

struct Difference {
    std::string recordA;  // "meshes[0] (id 101)"; empty when the record is only in B
    std::string recordB;  // empty when the record is only in A
    std::string field;    // "transform.matrix.d"; empty when the record is only in one file
    nlohmann::ordered_json a;  // the values; null for a missing record
    nlohmann::ordered_json b;
    // For a reference: the name of the record it names in each file, when that record has one
    // (through renumbering, equal ids may name different records).
    std::string targetA, targetB;
};

struct DiffReport {
    std::vector<Difference> differences;
    int64_t matched = 0;     // records paired across the files
    int64_t renumbered = 0;  // paired records whose ids differ
    bool equal() const { return differences.empty(); }
};

DiffReport diffScenes(const SceneFile& a, const SceneFile& b, const DiffOptions& options);

// One difference as a line: "meshes[0] (id 101): transform.matrix.d: 1 -> 1.5", with the record
// of B after a slash when it is named differently, or "meshes[2] (id 9): only in A.zeq". A
// reference shows the name of the record it names: "parentId: 4 \"Arm\" -> 4 \"Leg\"".
std::string formatDifference(const Difference& difference, const std::string& nameA, const std::string& nameB);
// "A.zeq and B.zeq: equal (12 records matched, 3 renumbered)" or "...: 2 differences (...)".
std::string formatDiffSummary(const DiffReport& report, const std::string& nameA, const std::string& nameB);
// {"a", "b", "equal", "matched", "renumbered", "differences": [{"recordA", "recordB", "field", "a",
// "b"}, ...]}; a missing record or field is null.
nlohmann::ordered_json diffToJson(const DiffReport& report, const std::string& nameA, const std::string& nameB);

}  // namespace zeq::inspect
