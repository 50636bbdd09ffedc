#pragma once
// Axis-aligned bounding box. A new box is empty (min above max) until a point is added.
#include "host/matrix3.h"

#include <limits>

class Box3 {
public:
    Point3 pmin{std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                std::numeric_limits<float>::max()};
    Point3 pmax{-std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
                -std::numeric_limits<float>::max()};

    Box3() = default;
    Box3(const Point3& min, const Point3& max) : pmin(min), pmax(max) {}

    void Init() { *this = Box3(); }
    bool IsEmpty() const { return pmin.x > pmax.x || pmin.y > pmax.y || pmin.z > pmax.z; }
    Point3 Min() const { return pmin; }
    Point3 Max() const { return pmax; }
    Point3 Center() const { return (pmin + pmax) * 0.5f; }
    Point3 Width() const { return IsEmpty() ? Point3() : pmax - pmin; }
    bool Contains(const Point3& p) const {
        return p.x >= pmin.x && p.x <= pmax.x && p.y >= pmin.y && p.y <= pmax.y && p.z >= pmin.z && p.z <= pmax.z;
    }

    // Grows the box to hold p.
    Box3& operator+=(const Point3& p);
    // Grows the box to hold another box (an empty one adds nothing).
    Box3& operator+=(const Box3& b);
    // The box around the eight transformed corners (an empty box stays empty).
    Box3 operator*(const Matrix3& tm) const;
};
