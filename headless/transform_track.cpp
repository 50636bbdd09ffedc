#include "headless/transform_track.h"

#include <algorithm>
#include <cmath>

namespace headless {

bool DecomposeAffine(const Matrix3& m, AffineParts& parts) {
    parts.translation = m.GetTrans();
    Point3 rows[3] = {m.GetRow(0), m.GetRow(1), m.GetRow(2)};
    float scale[3];
    for (int i = 0; i < 3; ++i) {
        scale[i] = rows[i].Length();
        if (!(scale[i] > 1e-20f)) return false;
        rows[i] /= scale[i];
    }
    // A mirrored matrix keeps a proper rotation by carrying the mirror in the X scale.
    if (m.Determinant() < 0.0f) {
        scale[0] = -scale[0];
        rows[0] = -rows[0];
    }
    parts.scale = {scale[0], scale[1], scale[2]};
    parts.rotation = QuatFromRotation(Matrix3(rows[0], rows[1], rows[2], Point3()));
    return true;
}

Matrix3 ComposeAffine(const AffineParts& parts) {
    Matrix3 r = RotationFromQuat(parts.rotation);
    Matrix3 out(r.GetRow(0) * parts.scale.x, r.GetRow(1) * parts.scale.y, r.GetRow(2) * parts.scale.z,
                parts.translation);
    return out;
}

// Rotation matrices here are row-vector matrices whose rows are the rotated axes; the quaternion
// (x, y, z, w) is the standard one of that rotation.
Quat QuatFromRotation(const Matrix3& r) {
    // Column-vector form R' = transpose of the row-vector matrix.
    float m00 = r.m[0][0], m01 = r.m[1][0], m02 = r.m[2][0];
    float m10 = r.m[0][1], m11 = r.m[1][1], m12 = r.m[2][1];
    float m20 = r.m[0][2], m21 = r.m[1][2], m22 = r.m[2][2];
    float trace = m00 + m11 + m22;
    Quat q;
    if (trace > 0.0f) {
        float s = std::sqrt(trace + 1.0f) * 2.0f;
        q = Quat((m21 - m12) / s, (m02 - m20) / s, (m10 - m01) / s, 0.25f * s);
    } else if (m00 > m11 && m00 > m22) {
        float s = std::sqrt(1.0f + m00 - m11 - m22) * 2.0f;
        q = Quat(0.25f * s, (m01 + m10) / s, (m02 + m20) / s, (m21 - m12) / s);
    } else if (m11 > m22) {
        float s = std::sqrt(1.0f + m11 - m00 - m22) * 2.0f;
        q = Quat((m01 + m10) / s, 0.25f * s, (m12 + m21) / s, (m02 - m20) / s);
    } else {
        float s = std::sqrt(1.0f + m22 - m00 - m11) * 2.0f;
        q = Quat((m02 + m20) / s, (m12 + m21) / s, 0.25f * s, (m10 - m01) / s);
    }
    return q.Normalize();
}

Matrix3 RotationFromQuat(const Quat& qIn) {
    Quat q = qIn.Normalize();
    float x = q.x, y = q.y, z = q.z, w = q.w;
    // Column-vector rotation matrix, then stored transposed for row vectors.
    float c[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
                     {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
                     {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}};
    Matrix3 out;
    for (int r = 0; r < 3; ++r)
        for (int col = 0; col < 3; ++col) out.m[r][col] = c[col][r];
    return out;
}

Quat Slerp(const Quat& a, const Quat& bIn, float u) {
    Quat b = bIn;
    float cosine = a.Dot(b);
    // Take the shorter of the two arcs between the rotations.
    if (cosine < 0.0f) {
        b = Quat(-b.x, -b.y, -b.z, -b.w);
        cosine = -cosine;
    }
    float wa, wb;
    if (cosine > 0.9995f) {
        wa = 1.0f - u;
        wb = u;
    } else {
        float angle = std::acos(std::min(cosine, 1.0f));
        float sine = std::sin(angle);
        wa = std::sin((1.0f - u) * angle) / sine;
        wb = std::sin(u * angle) / sine;
    }
    return Quat(a.x * wa + b.x * wb, a.y * wa + b.y * wb, a.z * wa + b.z * wb, a.w * wa + b.w * wb).Normalize();
}

Matrix3 InterpolateTransforms(const Matrix3& a, const Matrix3& b, float u) {
    if (u <= 0.0f || a == b) return a;
    if (u >= 1.0f) return b;
    AffineParts pa, pb;
    if (!DecomposeAffine(a, pa) || !DecomposeAffine(b, pb)) {
        // A collapsed axis has no rotation to follow; blend the entries instead.
        Matrix3 out;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 3; ++c) out.m[r][c] = a.m[r][c] + (b.m[r][c] - a.m[r][c]) * u;
        return out;
    }
    AffineParts p;
    p.translation = pa.translation + (pb.translation - pa.translation) * u;
    p.scale = pa.scale + (pb.scale - pa.scale) * u;
    p.rotation = Slerp(pa.rotation, pb.rotation, u);
    return ComposeAffine(p);
}

Matrix3 TransformTrack::At(TimeValue t) const {
    if (keys_.empty()) return value_;
    if (t <= keys_.front().time) return keys_.front().tm;
    if (t >= keys_.back().time) return keys_.back().tm;
    auto next = std::upper_bound(keys_.begin(), keys_.end(), t,
                                 [](TimeValue time, const TransformKey& key) { return time < key.time; });
    auto prev = next - 1;
    if (prev->time == t) return prev->tm;
    float u = static_cast<float>(static_cast<double>(t - prev->time) / static_cast<double>(next->time - prev->time));
    return InterpolateTransforms(prev->tm, next->tm, u);
}

Interval TransformTrack::Validity(TimeValue t) const {
    if (keys_.size() < 2) return FOREVER;
    if (t <= keys_.front().time) return Interval(TIME_NegInfinity, keys_.front().time);
    if (t >= keys_.back().time) return Interval(keys_.back().time, TIME_PosInfinity);
    return Interval(t, t);
}

void TransformTrack::SetStatic(const Matrix3& tm) {
    keys_.clear();
    value_ = tm;
}

void TransformTrack::SetKey(TimeValue t, const Matrix3& tm) {
    auto it = std::lower_bound(keys_.begin(), keys_.end(), t,
                               [](const TransformKey& key, TimeValue time) { return key.time < time; });
    if (it != keys_.end() && it->time == t) it->tm = tm;
    else keys_.insert(it, TransformKey{t, tm});
}

}  // namespace headless
