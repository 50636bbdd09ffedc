#pragma once
// Host matrix (four rows of three, row vectors) -> Zeq2Transform: record row r is the host
// matrix's column r, i.e. the r-th component of the X, Y and Z axis rows followed by the r-th
// component of the translation. No axis swap, scale or handedness change.
#include "format/records.h"

class Matrix3;

namespace zeq {

struct TransformationFactory {
    // Throws the text "TransformationFactory::createTransformation error\n" when the matrix
    // cannot be converted.
    static Zeq2Transform createTransformation(const Matrix3& matrix);
};

}  // namespace zeq
