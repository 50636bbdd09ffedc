#pragma once
// Point hit test of a mesh against a graphics window: the mesh's faces are projected to window
// pixels through the window's current transform and the point hits when it lies inside a projected
// face or within radius pixels of one of its edges. Hidden faces and faces with a corner behind the
// camera are skipped.
#include "host/graphics_window.h"
#include "host/mesh.h"

bool MeshHitsPoint(const Mesh& mesh, GraphicsWindow& gw, const IPoint2& point, int radius);
