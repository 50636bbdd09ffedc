// Animation keys: (tick, local matrix) pairs interpolated between keys.
#include "headless/transform_track.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

namespace {

using headless::AffineParts;
using headless::TransformTrack;

constexpr float kPi = std::numbers::pi_v<float>;

TEST(TransformTrack, InterpolatesTranslationRotationAndScaleBetweenKeys) {
    TransformTrack track;
    track.SetKey(0, Matrix3());
    Matrix3 end = ScaleMatrix({3, 3, 3}) * RotateZMatrix(kPi / 2);
    end.SetTrans({10, -20, 4});
    track.SetKey(4800, end);

    Matrix3 half = track.At(2400);
    EXPECT_TRUE(half.GetTrans().Equals({5, -10, 2}, 1e-4f));
    // Halfway: a scale of 2 and an eighth of a turn about Z.
    Matrix3 expected = ScaleMatrix({2, 2, 2}) * RotateZMatrix(kPi / 4);
    expected.SetTrans({5, -10, 2});
    EXPECT_TRUE(half.Equals(expected, 1e-4f));
    // A quarter of the way is not the entry-wise blend (which would shrink the rotated axes).
    Point3 xAxis = track.At(1200).GetRow(0);
    EXPECT_NEAR(xAxis.Length(), 1.5f, 1e-4f);
}

TEST(TransformTrack, KeysAreExactAndHeldOutsideTheirRange) {
    TransformTrack track;
    Matrix3 a = TransMatrix({1, 2, 3});
    Matrix3 b = RotateXMatrix(1.0f) * TransMatrix({4, 5, 6});
    Matrix3 c = ScaleMatrix({1, -1, 1});  // mirrored
    track.SetKey(480, b);
    track.SetKey(-160, a);
    track.SetKey(960, c);
    EXPECT_EQ(track.At(-160), a);
    EXPECT_EQ(track.At(480), b);
    EXPECT_EQ(track.At(960), c);
    EXPECT_EQ(track.At(-100000), a);
    EXPECT_EQ(track.At(100000), c);
    ASSERT_EQ(track.Keys().size(), 3u);
    EXPECT_EQ(track.Keys().front().time, -160);

    track.SetKey(480, a);  // replaces the key at that time
    EXPECT_EQ(track.Keys().size(), 3u);
    EXPECT_EQ(track.At(480), a);

    track.SetStatic(b);
    EXPECT_FALSE(track.IsAnimated());
    EXPECT_EQ(track.At(12345), b);
}

TEST(TransformTrack, RotationTakesTheShorterArc) {
    TransformTrack track;
    track.SetKey(0, RotateZMatrix(kPi * 0.9f));
    track.SetKey(100, RotateZMatrix(-kPi * 0.9f));
    // From 162° to -162° the short way passes 180°, not 0°.
    Point3 x = track.At(50).GetRow(0);
    EXPECT_NEAR(x.x, -1.0f, 1e-4f);
    EXPECT_NEAR(x.y, 0.0f, 1e-4f);
}

TEST(TransformTrack, DecomposeComposeRoundTrip) {
    std::mt19937 rng(2024);
    std::uniform_real_distribution<float> angle(-kPi, kPi), offset(-100.0f, 100.0f), scale(0.1f, 5.0f);
    for (int i = 0; i < 200; ++i) {
        Matrix3 m = ScaleMatrix({scale(rng), scale(rng), (i % 2 ? -1.0f : 1.0f) * scale(rng)}) *
                    RotateXMatrix(angle(rng)) * RotateYMatrix(angle(rng)) * RotateZMatrix(angle(rng));
        m.SetTrans({offset(rng), offset(rng), offset(rng)});
        AffineParts parts;
        ASSERT_TRUE(headless::DecomposeAffine(m, parts));
        EXPECT_TRUE(headless::ComposeAffine(parts).Equals(m, 1e-3f)) << "case " << i;
        // Interpolating a matrix with itself gives it back at any fraction.
        EXPECT_TRUE(headless::InterpolateTransforms(m, m, 0.37f).Equals(m, 1e-6f));
    }
    AffineParts parts;
    EXPECT_FALSE(headless::DecomposeAffine(ScaleMatrix({1, 0, 1}), parts));
    // A collapsed axis falls back to blending the entries.
    Matrix3 mid = headless::InterpolateTransforms(ScaleMatrix({1, 0, 1}), ScaleMatrix({1, 2, 1}), 0.5f);
    EXPECT_TRUE(mid.Equals(ScaleMatrix({1, 1, 1}), 1e-6f));
}

}  // namespace
