#include "export/transformation.h"

#include "host/matrix3.h"

namespace zeq {

// Copying twelve floats cannot fail, so the documented error text is never thrown here.
Zeq2Transform TransformationFactory::createTransformation(const Matrix3& matrix) {
    // Record row r is host column r: the r-th component of the X, Y and Z axis rows, then the r-th
    // component of the translation row.
    Zeq2Transform transform;
    ZeqMatrix& out = transform.matrix;
    out.a = matrix.m[0][0];
    out.b = matrix.m[1][0];
    out.c = matrix.m[2][0];
    out.d = matrix.m[3][0];
    out.e = matrix.m[0][1];
    out.f = matrix.m[1][1];
    out.g = matrix.m[2][1];
    out.h = matrix.m[3][1];
    out.i = matrix.m[0][2];
    out.j = matrix.m[1][2];
    out.k = matrix.m[2][2];
    out.l = matrix.m[3][2];
    return transform;
}

}  // namespace zeq
