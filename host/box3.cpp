#include "host/box3.h"

#include <algorithm>

Box3& Box3::operator+=(const Point3& p) {
    pmin = {std::min(pmin.x, p.x), std::min(pmin.y, p.y), std::min(pmin.z, p.z)};
    pmax = {std::max(pmax.x, p.x), std::max(pmax.y, p.y), std::max(pmax.z, p.z)};
    return *this;
}

Box3& Box3::operator+=(const Box3& b) {
    if (!b.IsEmpty()) {
        *this += b.pmin;
        *this += b.pmax;
    }
    return *this;
}

Box3 Box3::operator*(const Matrix3& tm) const {
    Box3 out;
    if (IsEmpty()) return out;
    for (int i = 0; i < 8; ++i) {
        Point3 corner{(i & 1) ? pmax.x : pmin.x, (i & 2) ? pmax.y : pmin.y, (i & 4) ? pmax.z : pmin.z};
        out += tm.PointTransform(corner);
    }
    return out;
}
