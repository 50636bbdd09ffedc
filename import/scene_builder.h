#pragma once
// Scene reconstruction: the decoded Zeq2 root becomes host nodes. Objects get empty triangle
// objects, meshes their triangle objects and materials, lights host lights; ambient lights are
// summed into the scene's ambient colour; then children are linked to their parents and the views
// redrawn.
//
// Everything is checked before the first host object is made (meshes' buffers, the hierarchy); what
// cannot be built is skipped and noted in the report, never read outside its arrays.
#include "format/records_roots.h"
#include "host/import_export.h"
#include "host/matrix3.h"
#include "import/import_report.h"

#include <cstdint>

namespace zeq {

// The host matrix of a Zeq2Transform: the rows (a b c d), (e f g h), (i j k l) of the record become
// the host's columns 0, 1 and 2, so the host's X axis row is (a, e, i) and the translation (d, h, l).
Matrix3 toMatrix3(const Zeq2Transform& transform);

// A 0xRRGGBB colour as host components (each byte ÷ 255).
Point3 colorFromRGB(uint32_t rgb);

// Lights face down their negative Z axis in the host and along another axis in the engine: the
// importer turns each light's transform by −π about its own X axis.
inline constexpr float kLightRotationX = -3.1415927410125732f;  // −π in single precision
// Radians to degrees for spot cone angles (the single-precision value of 180 / π).
inline constexpr float kRadiansToDegrees = 57.2957763671875f;

// Builds the scene of one import through the import interface.
class SceneBuilder {
public:
    SceneBuilder(ImpInterface* ii, uint16_t minorVersion);

    void run(const Zeq2& root);

    // What was skipped.
    const ImportReport& report() const { return report_; }

private:
    ImpInterface* ii_;
    uint16_t minorVersion_;
    ImportReport report_;
};

}  // namespace zeq
