#pragma once
// Transform records shared by every node record: the 3 x 4 matrix and the Zeq2 transform that
// wraps it.
#include "format/field_table.h"

namespace zeq {

// Rows (a b c d), (e f g h), (i j k l) of a 3 x 4 matrix; the fourth column is the translation,
// and a point (x, y, z) maps to (a x + b y + c z + d, e x + f y + g z + h, i x + j y + k z + l).
struct ZeqMatrix {
    float a = 0, b = 0, c = 0, d = 0;
    float e = 0, f = 0, g = 0, h = 0;
    float i = 0, j = 0, k = 0, l = 0;
    bool operator==(const ZeqMatrix&) const = default;
};

// A node's transform relative to its parent; always 48 bytes on the wire.
struct Zeq2Transform {
    ZeqMatrix matrix;
    bool operator==(const Zeq2Transform&) const = default;
};

template <>
struct RecordTraits<ZeqMatrix> {
    using R = ZeqMatrix;
    static constexpr std::string_view typeName = "ZeqMatrix";
    static constexpr auto fields = std::make_tuple(
        field("a", "Float", &R::a), field("b", "Float", &R::b), field("c", "Float", &R::c),
        field("d", "Float", &R::d), field("e", "Float", &R::e), field("f", "Float", &R::f),
        field("g", "Float", &R::g), field("h", "Float", &R::h), field("i", "Float", &R::i),
        field("j", "Float", &R::j), field("k", "Float", &R::k), field("l", "Float", &R::l));
};

template <>
struct RecordTraits<Zeq2Transform> {
    using R = Zeq2Transform;
    static constexpr std::string_view typeName = "Zeq2Transform";
    static constexpr auto fields = std::make_tuple(field("matrix", "ZeqMatrix", &R::matrix));
};

static_assert(fieldTableMatchesTypes<ZeqMatrix>());
static_assert(fieldTableMatchesTypes<Zeq2Transform>());

}  // namespace zeq
