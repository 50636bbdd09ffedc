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
// moved surface, a tangent as t × move; both settled as above. A mirroring matrix also turns a
// tangent's handedness round. Built once per skin, as it inverts the matrix.
// Matrix: GetRow(i) and a free Inverse(); Vector as above, constructible from x, y, z.
template <class Matrix, class Vector>
class DirectionTurn {
public:
    explicit DirectionTurn(const Matrix& move) : move_(move), inverse_(Inverse(move)) {}

    const Matrix& move() const { return move_; }
    // Whether the matrix changes directions at all (one that only moves leaves them as they are).
    bool turns() const {
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                if (move_.GetRow(i)[j] != (i == j ? 1.0f : 0.0f)) return true;
        return false;
    }
    bool mirrors() const {
        const Vector a = move_.GetRow(0), b = move_.GetRow(1), c = move_.GetRow(2);
        return a.x * (b.y * c.z - b.z * c.y) + a.y * (b.z * c.x - b.x * c.z) + a.z * (b.x * c.y - b.y * c.x) < 0.0f;
    }
    Vector normal(const Vector& n) const {
        return settledNormal(Vector(dot(n, inverse_.GetRow(0)), dot(n, inverse_.GetRow(1)), dot(n, inverse_.GetRow(2))));
    }
    Vector tangent(const Vector& t) const {
        Vector moved(0, 0, 0);
        for (int i = 0; i < 3; ++i) {
            const Vector row = move_.GetRow(i);
            moved = Vector(moved.x + t[i] * row.x, moved.y + t[i] * row.y, moved.z + t[i] * row.z);
        }
        return settledNormal(moved);
    }
    // The normal before the move: n' × moveᵀ, which normal() turns back into n' (up to rounding).
    Vector unmovedNormal(const Vector& n) const { return settledNormal(unmovedDirection(n)); }
    // The same without normalising.
    Vector unmovedDirection(const Vector& d) const {
        return Vector(dot(d, move_.GetRow(0)), dot(d, move_.GetRow(1)), dot(d, move_.GetRow(2)));
    }

private:
    static float dot(const Vector& a, const Vector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
    Matrix move_, inverse_;
};

}  // namespace zeq
