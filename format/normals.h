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

// A skin's vertices are written moved by the skin's matrix `move` (row vectors: p × move), and its
// normals and tangents with them: a normal as n × (move⁻¹)ᵀ, which keeps it at right angles to the
// moved surface, a tangent as t × move; both settled as above. Matrix: GetRow(i) and a free
// Inverse(); Vector as above, constructible from x, y, z.
template <class Matrix>
bool movesDirections(const Matrix& move) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (move.GetRow(i)[j] != (i == j ? 1.0f : 0.0f)) return true;
    return false;
}

template <class Matrix, class Vector>
Vector movedNormal(const Matrix& move, const Vector& normal) {
    const Matrix inverse = Inverse(move);
    auto dot = [&](const Vector& row) { return normal.x * row.x + normal.y * row.y + normal.z * row.z; };
    return settledNormal(Vector(dot(inverse.GetRow(0)), dot(inverse.GetRow(1)), dot(inverse.GetRow(2))));
}

template <class Matrix, class Vector>
Vector movedTangent(const Matrix& move, const Vector& tangent) {
    Vector moved(0, 0, 0);
    for (int i = 0; i < 3; ++i) {
        const Vector row = move.GetRow(i);
        moved = Vector(moved.x + tangent[i] * row.x, moved.y + tangent[i] * row.y, moved.z + tangent[i] * row.z);
    }
    return settledNormal(moved);
}

// The normal before the move: n' × moveᵀ, which movedNormal turns back into n' (up to rounding).
template <class Matrix, class Vector>
Vector unmovedNormal(const Matrix& move, const Vector& normal) {
    auto dot = [&](const Vector& row) { return normal.x * row.x + normal.y * row.y + normal.z * row.z; };
    return settledNormal(Vector(dot(move.GetRow(0)), dot(move.GetRow(1)), dot(move.GetRow(2))));
}

}  // namespace zeq
