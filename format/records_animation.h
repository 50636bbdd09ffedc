#pragma once
// Animation records: tracks of sampled transforms, clips that group tracks, and the bind
// transforms of skinned meshes (the rest-pose counterpart of joint animation).
#include "format/records_transform.h"

#include <optional>

namespace zeq {

// One sample of a node's transform.
struct Zeq2Keyframe {
    float time = 0;  // seconds
    Zeq2Transform transform;
    bool operator==(const Zeq2Keyframe&) const = default;
};

// The samples of one node, which the track names rather than referring to by id.
struct Zeq2Track {
    int32_t id = 0;
    TArray<Zeq2Keyframe> keyframes;  // in time order
    std::string objectName;
    bool operator==(const Zeq2Track&) const = default;
};

struct Zeq2AnimationClip {
    int32_t id = 0;
    bool clipFlag = false;
    std::optional<std::string> name;
    std::optional<TArray<int64_t>> objectIds;  // scene-node ids
    TArray<int32_t> tracks;                    // Zeq2Track ids
    bool operator==(const Zeq2AnimationClip&) const = default;
};

// The inverse of a joint's world matrix in the bind pose.
struct Zeq2JointBindTransform {
    Zeq2Transform bindPoseTransform;
    int64_t jointId = 0;
    bool operator==(const Zeq2JointBindTransform&) const = default;
};

template <>
struct RecordTraits<Zeq2Keyframe> {
    using R = Zeq2Keyframe;
    static constexpr std::string_view typeName = "Zeq2Keyframe";
    static constexpr auto fields =
        std::make_tuple(field("time", "Float", &R::time), field("transform", "Zeq2Transform", &R::transform));
};

template <>
struct RecordTraits<Zeq2Track> {
    using R = Zeq2Track;
    static constexpr std::string_view typeName = "Zeq2Track";
    static constexpr auto fields = std::make_tuple(field("id", "Int", &R::id),
                                                   arrayField("keyframes", "Zeq2Keyframe", &R::keyframes),
                                                   field("objectName", "String", &R::objectName));
};

template <>
struct RecordTraits<Zeq2AnimationClip> {
    using R = Zeq2AnimationClip;
    static constexpr std::string_view typeName = "Zeq2AnimationClip";
    static constexpr auto fields = std::make_tuple(
        field("id", "Int", &R::id), field("clipFlag", "Bool", &R::clipFlag),
        optionalField("name", "String", &R::name), optionalArrayField("objectIds", "Long", &R::objectIds),
        arrayField("tracks", "Int", &R::tracks));
};

template <>
struct RecordTraits<Zeq2JointBindTransform> {
    using R = Zeq2JointBindTransform;
    static constexpr std::string_view typeName = "Zeq2JointBindTransform";
    static constexpr auto fields = std::make_tuple(field("bindPoseTransform", "Zeq2Transform", &R::bindPoseTransform),
                                                   field("jointId", "Long", &R::jointId));
};

static_assert(fieldTableMatchesTypes<Zeq2Keyframe>());
static_assert(fieldTableMatchesTypes<Zeq2Track>());
static_assert(fieldTableMatchesTypes<Zeq2AnimationClip>());
static_assert(fieldTableMatchesTypes<Zeq2JointBindTransform>());

}  // namespace zeq
