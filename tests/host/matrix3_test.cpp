// Matrix conventions of the host boundary: rows are the X, Y, Z axes and the translation, points are
// row vectors, and a local matrix is world × parentWorld⁻¹.
#include "host/matrix3.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

void ExpectPointNear(const Point3& actual, const Point3& expected, float tolerance = 1e-5f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

Matrix3 RandomTransform(std::mt19937& rng) {
    std::uniform_real_distribution<float> angle(-kPi, kPi), offset(-50.0f, 50.0f), scale(0.2f, 3.0f);
    Matrix3 m = ScaleMatrix({scale(rng), scale(rng), scale(rng)});
    m = m * RotateXMatrix(angle(rng)) * RotateYMatrix(angle(rng)) * RotateZMatrix(angle(rng));
    m.SetTrans({offset(rng), offset(rng), offset(rng)});
    return m;
}

TEST(Matrix3, RowVectorConventionAppliesLeftFactorFirst) {
    // Scale by 2, then move by (1, 0, 0): the point (1, 1, 1) lands on (3, 2, 2).
    Matrix3 m = ScaleMatrix({2, 2, 2}) * TransMatrix({1, 0, 0});
    ExpectPointNear(Point3(1, 1, 1) * m, {3, 2, 2});
    ExpectPointNear(m.VectorTransform({1, 1, 1}), {2, 2, 2});
    // A quarter turn about Z takes the X axis to Y.
    ExpectPointNear(Point3(1, 0, 0) * RotateZMatrix(kPi / 2), {0, 1, 0});
}

TEST(Matrix3, LocalIsWorldTimesInverseParentWorld) {
    std::mt19937 rng(12345);
    for (int i = 0; i < 50; ++i) {
        Matrix3 parentWorld = RandomTransform(rng);
        Matrix3 local = RandomTransform(rng);
        Matrix3 world = local * parentWorld;
        EXPECT_TRUE((world * Inverse(parentWorld)).Equals(local, 1e-3f)) << "case " << i;
        Point3 p(1.5f, -2.0f, 0.25f);
        ExpectPointNear(p * world, (p * local) * parentWorld, 1e-3f);
    }
}

TEST(Matrix3, InvertGivesIdentityProductAndZeroForSingular) {
    std::mt19937 rng(99);
    for (int i = 0; i < 50; ++i) {
        Matrix3 m = RandomTransform(rng);
        EXPECT_TRUE((m * Inverse(m)).IsIdentity(1e-4f)) << "case " << i;
        EXPECT_TRUE((Inverse(m) * m).IsIdentity(1e-4f)) << "case " << i;
    }
    Matrix3 flat = ScaleMatrix({1, 1, 0});
    flat.SetTrans({4, 5, 6});
    flat.Invert();
    Matrix3 zero;
    zero.Zero();
    EXPECT_EQ(flat, zero);
}

TEST(Matrix3, SetColumnPutsFourthEntryInTranslationRow) {
    Matrix3 m;
    m.SetColumn(0, {1, 2, 3, 4});
    m.SetColumn(1, {5, 6, 7, 8});
    m.SetColumn(2, {9, 10, 11, 12});
    ExpectPointNear(m.GetRow(0), {1, 5, 9});
    ExpectPointNear(m.GetRow(1), {2, 6, 10});
    ExpectPointNear(m.GetRow(2), {3, 7, 11});
    ExpectPointNear(m.GetTrans(), {4, 8, 12});
    EXPECT_EQ(m.GetColumn(1), Point4(5, 6, 7, 8));
}

TEST(Matrix3, PreRotateXRotatesBeforeTheExistingTransform) {
    Matrix3 m = ScaleMatrix({1, 2, 3});
    m.SetTrans({10, 20, 30});
    Matrix3 rotated = m;
    rotated.PreRotateX(kPi / 2);
    // p × rotated == (p × Rx) × m, and the translation row is untouched.
    Point3 p(0, 1, 0);
    ExpectPointNear(p * rotated, (p * RotateXMatrix(kPi / 2)) * m);
    ExpectPointNear(rotated.GetTrans(), {10, 20, 30});
    // A half turn (as applied to imported lights) flips the Y and Z axis rows.
    Matrix3 light;
    light.PreRotateX(-kPi);
    ExpectPointNear(light.GetRow(0), {1, 0, 0});
    ExpectPointNear(light.GetRow(1), {0, -1, 0});
    ExpectPointNear(light.GetRow(2), {0, 0, -1});
}

TEST(Matrix3, EqualsUsesAbsoluteToleranceOnEveryEntry) {
    Matrix3 a;
    Matrix3 b;
    b.m[3][2] = 1e-6f * 0.5f;
    EXPECT_TRUE(a.Equals(b, 1e-6f));
    b.m[3][2] = 2e-6f;
    EXPECT_FALSE(a.Equals(b, 1e-6f));
    EXPECT_TRUE(a.Equals(b, 1e-5f));
    Matrix3 nan;
    nan.m[1][1] = std::nanf("");
    EXPECT_FALSE(a.Equals(nan, 1.0f));
}

}  // namespace
