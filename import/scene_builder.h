#pragma once
// Scene reconstruction: the decoded roots become host nodes, one per node record (a node whose
// object sits away from its pivot, written as a plain object and its content record, becomes one
// node with that object offset again). Objects become
// dummy helpers, joints bones, meshes triangle objects with their materials, skins triangle objects
// under a skin modifier, lights host lights, sprites and LOD groups the objects of their plug-ins
// (a "@LOD" name group a dummy named so); ambient lights are summed into the scene's ambient
// colour. Then children are linked to their parents, hidden records hidden, layers filled, tracks
// keyed, and the views redrawn.
//
// Nodes are added to the scene, and children to their parents, in the order the exporter gave out
// their ids, so that exporting the imported scene again visits the nodes in the same order.
//
// Everything is checked before the first host object is made (meshes' buffers, the hierarchy); what
// cannot be built is skipped and noted in the report, never read outside its arrays.
#include "format/records_roots.h"
#include "host/import_export.h"
#include "host/matrix3.h"
#include "import/import_report.h"

#include <cstdint>
#include <string>

namespace zeq {

// The host matrix of a Zeq2Transform: the rows (a b c d), (e f g h), (i j k l) of the record become
// the host's columns 0, 1 and 2, so the host's X axis row is (a, e, i) and the translation (d, h, l).
Matrix3 toMatrix3(const Zeq2Transform& transform);

// A 0xRRGGBB colour as host components (each byte ÷ 255).
Point3 colorFromRGB(uint32_t rgb);

// Radians to degrees for spot cone angles (the single-precision value of 180 / π).
inline constexpr float kRadiansToDegrees = 57.2957763671875f;
// Degrees to radians as the exporter converts them (the float 0x3C8EFA35).
inline constexpr float kDegreesToRadians = 0.017453292f;

// The angle in degrees for an angle the file holds in radians: of the floats next to radians × 180 / π,
// the one the exporter turns back into exactly these radians, so that angles survive any number of
// round trips.
float degreesFromRadians(float radians);

// Builds the scene of one import through the import interface.
class SceneBuilder {
public:
    SceneBuilder(ImpInterface* ii, uint16_t minorVersion);

    void run(const Zeq2& root, const Zeq2Extra1& extra1 = {}, const Zeq2Extra2& extra2 = {});

    // Notes something skipped before the build (it is listed with what the build skips).
    void note(const std::string& line) { report_.skip(line); }
    // What was skipped.
    const ImportReport& report() const { return report_; }
    // Where the last run stopped when it threw: the record whose node was being made
    // ("mesh \"Box\" (id 3)") or the step under way ("the layers"); empty when it did not throw.
    const std::string& failedAt() const { return failedAt_; }

private:
    ImpInterface* ii_;
    uint16_t minorVersion_;
    ImportReport report_;
    std::string failedAt_;
};

}  // namespace zeq
