#pragma once
// A node's local transform over time: one static matrix, or animation keys (tick, matrix) sorted by
// time. Between two keys the transform is interpolated: translation and scale linearly, rotation
// along the shortest arc (spherical interpolation); before the first key and after the last the
// nearest key holds. At a key's own time its matrix is returned exactly.
#include "host/matrix3.h"
#include "host/types.h"

#include <vector>

namespace headless {

struct TransformKey {
    TimeValue time = 0;
    Matrix3 tm;
};

// Translation, rotation and scale of an affine matrix (without shear): M = S × R × T.
struct AffineParts {
    Point3 translation;
    Quat rotation;
    Point3 scale{1.0f, 1.0f, 1.0f};
};

// Splits a matrix into its parts; false when an axis has zero length (no rotation can be taken).
bool DecomposeAffine(const Matrix3& m, AffineParts& parts);
Matrix3 ComposeAffine(const AffineParts& parts);
Quat QuatFromRotation(const Matrix3& rotation);
Matrix3 RotationFromQuat(const Quat& q);
Quat Slerp(const Quat& a, const Quat& b, float u);
// The transform a fraction u (0..1) of the way from a to b.
Matrix3 InterpolateTransforms(const Matrix3& a, const Matrix3& b, float u);

class TransformTrack {
public:
    bool IsAnimated() const { return !keys_.empty(); }
    const std::vector<TransformKey>& Keys() const { return keys_; }

    // The transform at t.
    Matrix3 At(TimeValue t) const;
    // The interval around t over which the transform does not change.
    Interval Validity(TimeValue t) const;

    // Drops the keys and holds one matrix for all time.
    void SetStatic(const Matrix3& tm);
    // Adds a key, replacing one at the same time.
    void SetKey(TimeValue t, const Matrix3& tm);
    void ClearKeys() { keys_.clear(); }
    // Replaces every key's matrix (or the static one, as at staticAt) by f(time, matrix); used when
    // a node changes parent and each key must keep its world transform.
    template <typename F>
    void Transform(TimeValue staticAt, F&& f) {
        if (keys_.empty()) value_ = f(staticAt, value_);
        for (auto& key : keys_) key.tm = f(key.time, key.tm);
    }

private:
    Matrix3 value_;
    std::vector<TransformKey> keys_;
};

}  // namespace headless
