#pragma once
// A viewport as objects see it while they display, hit-test, measure or create themselves: its
// graphics window, whether it is a perspective view, its field of view, the camera node it looks
// through (if any), and snapping of screen points into the construction plane.
#include "host/graphics_window.h"
#include "host/matrix3.h"
#include "host/point3.h"

#include <cstdint>

class INode;

class ViewExp {
public:
    virtual ~ViewExp() = default;

    // The viewport's drawing surface; null when the view has none.
    virtual GraphicsWindow* getGW() = 0;
    // Nonzero for a perspective view.
    virtual int IsPerspView() = 0;
    // Horizontal field of view of the view, radians.
    virtual float GetFOV() = 0;
    // The camera node the view looks through; null for a view of its own.
    virtual INode* GetViewCamera() = 0;
    // The point of the construction plane under the screen point in (pixels), in world space; out
    // receives the screen point after snapping. plane2d, when given, receives the construction
    // plane's matrix. flags: SNAP_IN_3D, SNAP_IN_PLANE.
    virtual Point3 SnapPoint(const IPoint2& in, IPoint2& out, Matrix3* plane2d = nullptr, uint32_t flags = 0) = 0;
};
