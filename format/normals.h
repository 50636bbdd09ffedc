#pragma once
// Normals as the exporter writes them into vertex buffers, and as the importer expects to find them.
#include <tuple>

namespace zeq {

// The normal normalised until normalising it again leaves it as it is. A normalised float vector
// is not always its own normalisation (normalising it again moves it by a float step); one that
// is comes back from a Zeq file as it is, and is written again unchanged. Nearly all settle after
// one or two normalisations. A few swap between two vectors, of which the first by x, then y, then
// z is taken; and a very few drift on, for which the first normalisation is kept.
// Vector: any type with x, y, z, ==, and Normalize() returning the unit vector.
template <class Vector>
Vector settledNormal(const Vector& normal) {
    const Vector first = normal.Normalize();
    Vector unit = first;
    for (int i = 0; i < 8; ++i) {
        const Vector again = unit.Normalize();
        if (again == unit) return unit;
        if (again.Normalize() == unit)
            return std::tie(unit.x, unit.y, unit.z) < std::tie(again.x, again.y, again.z) ? unit : again;
        unit = again;
    }
    return first;
}

}  // namespace zeq
