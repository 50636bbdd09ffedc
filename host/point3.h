#pragma once
// Small value types of the host's geometry library: 2-, 3- and 4-component points, colours and
// quaternions. Everything is inline; normalising a zero vector gives the zero vector (never NaN).
#include <cmath>

class Point2 {
public:
    float x = 0.0f, y = 0.0f;
    constexpr Point2() = default;
    constexpr Point2(float x_, float y_) : x(x_), y(y_) {}
    constexpr Point2 operator+(const Point2& p) const { return {x + p.x, y + p.y}; }
    constexpr Point2 operator-(const Point2& p) const { return {x - p.x, y - p.y}; }
    constexpr Point2 operator*(float f) const { return {x * f, y * f}; }
    constexpr bool operator==(const Point2& p) const { return x == p.x && y == p.y; }
};

// Integer screen points (pixels: x to the right, y down) and integer points with a depth.
class IPoint2 {
public:
    int x = 0, y = 0;
    constexpr IPoint2() = default;
    constexpr IPoint2(int x_, int y_) : x(x_), y(y_) {}
    constexpr IPoint2 operator-(const IPoint2& p) const { return {x - p.x, y - p.y}; }
    constexpr bool operator==(const IPoint2& p) const { return x == p.x && y == p.y; }
};

class IPoint3 {
public:
    int x = 0, y = 0, z = 0;
    constexpr IPoint3() = default;
    constexpr IPoint3(int x_, int y_, int z_) : x(x_), y(y_), z(z_) {}
};

class Point3 {
public:
    float x = 0.0f, y = 0.0f, z = 0.0f;

    constexpr Point3() = default;
    constexpr Point3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
    constexpr Point3(double x_, double y_, double z_)
        : x(static_cast<float>(x_)), y(static_cast<float>(y_)), z(static_cast<float>(z_)) {}
    constexpr Point3(int x_, int y_, int z_)
        : x(static_cast<float>(x_)), y(static_cast<float>(y_)), z(static_cast<float>(z_)) {}

    static constexpr Point3 Origin() { return {0.0f, 0.0f, 0.0f}; }
    static constexpr Point3 XAxis() { return {1.0f, 0.0f, 0.0f}; }
    static constexpr Point3 YAxis() { return {0.0f, 1.0f, 0.0f}; }
    static constexpr Point3 ZAxis() { return {0.0f, 0.0f, 1.0f}; }

    // Component by index 0..2 (x, y, z); any other index reads z.
    constexpr float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
    constexpr float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }

    constexpr Point3 operator-() const { return {-x, -y, -z}; }
    constexpr Point3 operator+(const Point3& p) const { return {x + p.x, y + p.y, z + p.z}; }
    constexpr Point3 operator-(const Point3& p) const { return {x - p.x, y - p.y, z - p.z}; }
    constexpr Point3 operator*(float f) const { return {x * f, y * f, z * f}; }
    constexpr Point3 operator/(float f) const { return {x / f, y / f, z / f}; }
    // Component-wise product.
    constexpr Point3 operator*(const Point3& p) const { return {x * p.x, y * p.y, z * p.z}; }
    constexpr Point3& operator+=(const Point3& p) { x += p.x; y += p.y; z += p.z; return *this; }
    constexpr Point3& operator-=(const Point3& p) { x -= p.x; y -= p.y; z -= p.z; return *this; }
    constexpr Point3& operator*=(float f) { x *= f; y *= f; z *= f; return *this; }
    constexpr Point3& operator/=(float f) { x /= f; y /= f; z /= f; return *this; }
    constexpr bool operator==(const Point3& p) const { return x == p.x && y == p.y && z == p.z; }
    constexpr bool operator!=(const Point3& p) const { return !(*this == p); }

    // Dot product (%) and cross product (^), as the host spells them.
    constexpr float operator%(const Point3& p) const { return x * p.x + y * p.y + z * p.z; }
    constexpr Point3 operator^(const Point3& p) const {
        return {y * p.z - z * p.y, z * p.x - x * p.z, x * p.y - y * p.x};
    }

    constexpr float LengthSquared() const { return x * x + y * y + z * z; }
    float Length() const { return std::sqrt(LengthSquared()); }
    // A unit-length copy; the zero vector stays zero.
    Point3 Normalize() const {
        float len = Length();
        return len > 0.0f ? Point3(x / len, y / len, z / len) : Point3();
    }
    // Normalises in place.
    Point3& Unify() { *this = Normalize(); return *this; }
    bool Equals(const Point3& p, float epsilon = 1e-6f) const {
        return std::fabs(x - p.x) <= epsilon && std::fabs(y - p.y) <= epsilon && std::fabs(z - p.z) <= epsilon;
    }
};

constexpr Point3 operator*(float f, const Point3& p) { return p * f; }
constexpr float DotProd(const Point3& a, const Point3& b) { return a % b; }
constexpr Point3 CrossProd(const Point3& a, const Point3& b) { return a ^ b; }
inline float Length(const Point3& p) { return p.Length(); }
inline Point3 Normalize(const Point3& p) { return p.Normalize(); }
inline Point3 FNormalize(const Point3& p) { return p.Normalize(); }

class Point4 {
public:
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 0.0f;
    constexpr Point4() = default;
    constexpr Point4(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
    constexpr Point4(const Point3& p, float w_) : x(p.x), y(p.y), z(p.z), w(w_) {}
    constexpr float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : (i == 2 ? z : w)); }
    constexpr bool operator==(const Point4& p) const { return x == p.x && y == p.y && z == p.z && w == p.w; }
};

// RGB colour, 1.0 = full intensity; components are not clamped.
class Color {
public:
    float r = 0.0f, g = 0.0f, b = 0.0f;
    constexpr Color() = default;
    constexpr Color(float r_, float g_, float b_) : r(r_), g(g_), b(b_) {}
    constexpr explicit Color(const Point3& p) : r(p.x), g(p.y), b(p.z) {}
    constexpr operator Point3() const { return {r, g, b}; }
    constexpr Color operator+(const Color& c) const { return {r + c.r, g + c.g, b + c.b}; }
    constexpr Color operator*(float f) const { return {r * f, g * f, b * f}; }
    constexpr bool operator==(const Color& c) const { return r == c.r && g == c.g && b == c.b; }
};

// RGB colour with alpha.
class AColor {
public:
    float r = 0.0f, g = 0.0f, b = 0.0f, a = 1.0f;
    constexpr AColor() = default;
    constexpr AColor(float r_, float g_, float b_, float a_ = 1.0f) : r(r_), g(g_), b(b_), a(a_) {}
    constexpr explicit AColor(const Color& c, float a_ = 1.0f) : r(c.r), g(c.g), b(c.b), a(a_) {}
    constexpr bool operator==(const AColor& c) const { return r == c.r && g == c.g && b == c.b && a == c.a; }
};

// Rotation quaternion (x, y, z, w), w the scalar part.
class Quat {
public:
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 1.0f;
    constexpr Quat() = default;
    constexpr Quat(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
    constexpr float Dot(const Quat& q) const { return x * q.x + y * q.y + z * q.z + w * q.w; }
    Quat Normalize() const {
        float len = std::sqrt(Dot(*this));
        return len > 0.0f ? Quat(x / len, y / len, z / len, w / len) : Quat();
    }
};
