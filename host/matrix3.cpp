#include "host/matrix3.h"

#include <cmath>

Matrix3::Matrix3(const Point3& xAxis, const Point3& yAxis, const Point3& zAxis, const Point3& translation) {
    SetRow(0, xAxis);
    SetRow(1, yAxis);
    SetRow(2, zAxis);
    SetRow(3, translation);
}

void Matrix3::IdentityMatrix() {
    Zero();
    m[0][0] = m[1][1] = m[2][2] = 1.0f;
}

void Matrix3::Zero() {
    for (auto& row : m) row[0] = row[1] = row[2] = 0.0f;
}

float Matrix3::Determinant() const {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

Matrix3& Matrix3::Invert() {
    // Work in double: the adjugate of a float matrix with large or tiny scales loses precision fast.
    double a[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) a[r][c] = m[r][c];
    double det = a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
                 a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
                 a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    if (det == 0.0 || !std::isfinite(det)) {
        Zero();
        return *this;
    }
    double inv[3][3];
    inv[0][0] = (a[1][1] * a[2][2] - a[1][2] * a[2][1]) / det;
    inv[0][1] = (a[0][2] * a[2][1] - a[0][1] * a[2][2]) / det;
    inv[0][2] = (a[0][1] * a[1][2] - a[0][2] * a[1][1]) / det;
    inv[1][0] = (a[1][2] * a[2][0] - a[1][0] * a[2][2]) / det;
    inv[1][1] = (a[0][0] * a[2][2] - a[0][2] * a[2][0]) / det;
    inv[1][2] = (a[0][2] * a[1][0] - a[0][0] * a[1][2]) / det;
    inv[2][0] = (a[1][0] * a[2][1] - a[1][1] * a[2][0]) / det;
    inv[2][1] = (a[0][1] * a[2][0] - a[0][0] * a[2][1]) / det;
    inv[2][2] = (a[0][0] * a[1][1] - a[0][1] * a[1][0]) / det;
    // Translation of the inverse: -t × inv.
    double t[3] = {m[3][0], m[3][1], m[3][2]};
    for (int c = 0; c < 3; ++c) {
        m[3][c] = static_cast<float>(-(t[0] * inv[0][c] + t[1] * inv[1][c] + t[2] * inv[2][c]));
    }
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) m[r][c] = static_cast<float>(inv[r][c]);
    return *this;
}

void Matrix3::PreRotateX(float angle) { *this = RotateXMatrix(angle) * *this; }
void Matrix3::PreRotateY(float angle) { *this = RotateYMatrix(angle) * *this; }
void Matrix3::PreRotateZ(float angle) { *this = RotateZMatrix(angle) * *this; }
void Matrix3::RotateX(float angle) { *this = *this * RotateXMatrix(angle); }
void Matrix3::RotateY(float angle) { *this = *this * RotateYMatrix(angle); }
void Matrix3::RotateZ(float angle) { *this = *this * RotateZMatrix(angle); }
void Matrix3::PreTranslate(const Point3& p) { *this = TransMatrix(p) * *this; }
void Matrix3::Translate(const Point3& p) { SetTrans(GetTrans() + p); }
void Matrix3::PreScale(const Point3& s) { *this = ScaleMatrix(s) * *this; }
void Matrix3::Scale(const Point3& s) { *this = *this * ScaleMatrix(s); }

Point3 Matrix3::PointTransform(const Point3& p) const {
    return {p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0] + m[3][0],
            p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1] + m[3][1],
            p.x * m[0][2] + p.y * m[1][2] + p.z * m[2][2] + m[3][2]};
}

Point3 Matrix3::VectorTransform(const Point3& v) const {
    return {v.x * m[0][0] + v.y * m[1][0] + v.z * m[2][0],
            v.x * m[0][1] + v.y * m[1][1] + v.z * m[2][1],
            v.x * m[0][2] + v.y * m[1][2] + v.z * m[2][2]};
}

bool Matrix3::Equals(const Matrix3& other, float epsilon) const {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            if (!(std::fabs(m[r][c] - other.m[r][c]) <= epsilon)) return false;
    return true;
}

Matrix3 Matrix3::operator*(const Matrix3& b) const {
    Matrix3 out;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) {
            float v = m[r][0] * b.m[0][c] + m[r][1] * b.m[1][c] + m[r][2] * b.m[2][c];
            if (r == 3) v += b.m[3][c];
            out.m[r][c] = v;
        }
    }
    return out;
}

bool Matrix3::operator==(const Matrix3& b) const {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            if (m[r][c] != b.m[r][c]) return false;
    return true;
}

Matrix3 Inverse(const Matrix3& m) {
    Matrix3 out = m;
    out.Invert();
    return out;
}

// Rotations follow the right-hand rule for row vectors: RotateZMatrix(π/2) turns the X axis into Y.
Matrix3 RotateXMatrix(float angle) {
    float c = std::cos(angle), s = std::sin(angle);
    return Matrix3({1, 0, 0}, {0.0f, c, s}, {0.0f, -s, c}, {0, 0, 0});
}

Matrix3 RotateYMatrix(float angle) {
    float c = std::cos(angle), s = std::sin(angle);
    return Matrix3({c, 0.0f, -s}, {0, 1, 0}, {s, 0.0f, c}, {0, 0, 0});
}

Matrix3 RotateZMatrix(float angle) {
    float c = std::cos(angle), s = std::sin(angle);
    return Matrix3({c, s, 0.0f}, {-s, c, 0.0f}, {0, 0, 1}, {0, 0, 0});
}

Matrix3 TransMatrix(const Point3& p) {
    Matrix3 out;
    out.SetTrans(p);
    return out;
}

Matrix3 ScaleMatrix(const Point3& s) {
    return Matrix3({s.x, 0.0f, 0.0f}, {0.0f, s.y, 0.0f}, {0.0f, 0.0f, s.z}, {0, 0, 0});
}
