#pragma once
// Light records: the scene's one ambient light and the directional, omni and spot lights of light
// nodes, with colours packed as 0xRRGGBB and cone angles in radians.
#include "format/records.h"
#include "host/point3.h"

class INode;
class Interface;

namespace zeq {

// Degrees to radians with the exporter's fixed factor.
inline constexpr float kRadiansPerDegree = 0.017453292f;

// Each component × 255, truncated toward zero and clamped to 0..255, packed as 0xRRGGBB (top byte 0).
uint32_t packColor(const Point3& rgb);

// The ambient light from the host's ambient colour at time 0, with a fresh id, named "ambient".
Zeq2AmbientLight makeAmbientLight(Interface* ip);

// Light records of light nodes. The node fields follow the node-record rules (a light with a pivot
// offset gets a fresh id under the node's own Zeq2Object, like every other content record); the
// light values are read from the node's object evaluated at the export time. Throws
// std::runtime_error when that object is not a light of the expected class.
Zeq2DirectionalLight makeDirectionalLight(INode* node, bool pivotOffset);
Zeq2OmniLight makeOmniLight(INode* node, bool pivotOffset);
Zeq2SpotLight makeSpotLight(INode* node, bool pivotOffset);

}  // namespace zeq
