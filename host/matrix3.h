#pragma once
// The host's transform: four rows of three floats, the X, Y and Z axis rows and then the translation
// row. Points are row vectors: p' = p × M, so a child's local matrix is world × parentWorld⁻¹ and
// A × B applies A first, then B.
#include "host/point3.h"

class Matrix3 {
public:
    float m[4][3];

    // A new matrix is the identity.
    Matrix3() { IdentityMatrix(); }
    // The identity when identity is true, the zero matrix otherwise.
    explicit Matrix3(bool identity) {
        if (identity) IdentityMatrix();
        else Zero();
    }
    Matrix3(const Point3& xAxis, const Point3& yAxis, const Point3& zAxis, const Point3& translation);

    void IdentityMatrix();
    void Zero();
    bool IsIdentity(float epsilon = 1e-6f) const { return Equals(Matrix3(), epsilon); }

    // Rows 0..3 (X axis, Y axis, Z axis, translation).
    Point3 GetRow(int i) const { return {m[i][0], m[i][1], m[i][2]}; }
    void SetRow(int i, const Point3& p) { m[i][0] = p.x; m[i][1] = p.y; m[i][2] = p.z; }
    // Column i (0..2) as four values; the fourth is the entry in the translation row.
    Point4 GetColumn(int i) const { return {m[0][i], m[1][i], m[2][i], m[3][i]}; }
    void SetColumn(int i, const Point4& c) { m[0][i] = c.x; m[1][i] = c.y; m[2][i] = c.z; m[3][i] = c.w; }
    // Column i without its translation entry.
    Point3 GetColumn3(int i) const { return {m[0][i], m[1][i], m[2][i]}; }

    Point3 GetTrans() const { return GetRow(3); }
    void SetTrans(const Point3& p) { SetRow(3, p); }
    void NoTrans() { SetRow(3, Point3()); }

    // Inverts in place. A singular matrix (zero determinant of its 3×3 part) has no inverse and
    // becomes the zero matrix, which maps every point to the origin.
    Matrix3& Invert();
    // Determinant of the 3×3 part.
    float Determinant() const;

    // Pre-operations apply the new transform before the existing one (M = R × M); post-operations
    // after it (M = M × R). Angles in radians.
    void PreRotateX(float angle);
    void PreRotateY(float angle);
    void PreRotateZ(float angle);
    void RotateX(float angle);
    void RotateY(float angle);
    void RotateZ(float angle);
    void PreTranslate(const Point3& p);
    void Translate(const Point3& p);
    void PreScale(const Point3& s);
    void Scale(const Point3& s);

    // p × M (with translation) and v × M (without).
    Point3 PointTransform(const Point3& p) const;
    Point3 VectorTransform(const Point3& v) const;

    // True when every entry differs from the other matrix's by at most epsilon.
    bool Equals(const Matrix3& other, float epsilon = 1e-6f) const;

    Matrix3 operator*(const Matrix3& b) const;
    Matrix3& operator*=(const Matrix3& b) { *this = *this * b; return *this; }
    bool operator==(const Matrix3& b) const;
    bool operator!=(const Matrix3& b) const { return !(*this == b); }
};

Matrix3 Inverse(const Matrix3& m);
Matrix3 RotateXMatrix(float angle);
Matrix3 RotateYMatrix(float angle);
Matrix3 RotateZMatrix(float angle);
Matrix3 TransMatrix(const Point3& p);
Matrix3 ScaleMatrix(const Point3& s);
// The row-vector product p × M.
inline Point3 operator*(const Point3& p, const Matrix3& m) { return m.PointTransform(p); }
inline Point3 VectorTransform(const Matrix3& m, const Point3& v) { return m.VectorTransform(v); }
