#pragma once
// The sprite's host mesh: two triangles over the four corners, one texture channel with the whole
// image on the rectangle (u to the right, v up), normals towards the viewer.
#include "host/mesh.h"
#include "sprite/quad.h"

namespace zeq {

void BuildQuadMesh(const SpriteCorners& corners, Mesh& mesh);

}  // namespace zeq
