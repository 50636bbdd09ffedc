#pragma once
// Scene-graph records: the node records of a Zeq2 scene, linked by parentId. Every node record
// carries the node fields boundBoxId, id, name, parentId, transform and visible, interleaved
// with its own fields in a fixed order.
#include "format/records_animation.h"
#include "format/records_geometry.h"

#include <optional>
#include <string_view>

namespace zeq {

struct Zeq2Object {
    std::optional<int32_t> boundBoxId;
    int64_t id = 0;
    std::optional<std::string> name;
    std::optional<int64_t> parentId;  // absent: a scene root
    std::optional<Zeq2Transform> transform;  // absent: identity
    bool visible = false;
    bool operator==(const Zeq2Object&) const = default;
};

// Same layout as Zeq2Object, kept in the root's joints list.
struct Zeq2Joint {
    std::optional<int32_t> boundBoxId;
    int64_t id = 0;
    std::optional<std::string> name;
    std::optional<int64_t> parentId;
    std::optional<Zeq2Transform> transform;
    bool visible = false;
    bool operator==(const Zeq2Joint&) const = default;
};

// A mesh deformed by joints. The joints of surface s are the surfaceJointCounts[s] entries of
// jointIds that follow those of the surfaces before it.
struct Zeq2Skin {
    std::optional<int32_t> boundBoxId;
    int64_t id = 0;
    int32_t indexBufferId = 0;
    TArray<Zeq2JointBindTransform> jointBindTransforms;
    TArray<int64_t> jointIds;
    std::optional<std::string> name;
    TArray<uint16_t> surfaceJointCounts;
    std::optional<int64_t> parentId;
    TArray<Zeq2Surface> surfaces;
    std::optional<Zeq2Transform> transform;
    TArray<int32_t> vertexBufferIds;
    bool visible = false;
    bool operator==(const Zeq2Skin&) const = default;
};

// A camera-facing quad.
struct Zeq2Sprite {
    bool spriteFlag = false;
    std::optional<int32_t> boundBoxId;
    float height = 0;
    int64_t id = 0;
    std::optional<int32_t> materialId;
    std::optional<std::string> name;
    float originX = 0;
    float originY = 0;
    std::optional<int64_t> parentId;
    bool perspectiveScale = false;
    float rotation = 0;  // radians, in the view plane
    std::optional<Zeq2Transform> transform;
    bool visible = false;
    float width = 0;
    bool operator==(const Zeq2Sprite&) const = default;
};

struct Zeq2Decal {
    std::optional<int32_t> boundBoxId;
    int64_t id = 0;
    int32_t indexBufferId = 0;
    std::optional<std::string> name;
    float decalValue = 0;
    std::optional<int64_t> parentId;
    TArray<Zeq2Surface> surfaces;
    std::optional<Zeq2Transform> transform;
    TArray<int32_t> vertexBufferIds;
    bool visible = false;
    bool operator==(const Zeq2Decal&) const = default;
};

// The decimal integer at the start of text as atoi reads it: optional leading white space and
// sign, then digits up to the first non-digit; 0 without digits. Saturates at the int range.
int parseLeadingInt(std::string_view text);

// The switching distance encoded in a LOD level's name "name@DIST_rest", by which the exporter
// writes a group named "...@LOD" as a LOD and the importer knows such a group again: the integer
// at the start of the text between the first "@" and the next "_" after it (or the end). Without
// "@" the whole name is parsed; hasAt tells the caller to warn.
float lodDistanceFromName(std::string_view name, bool& hasAt);

// A level-of-detail group: objectIds[i] is shown up to distances[i].
struct Zeq2LOD {
    std::optional<int32_t> boundBoxId;
    TArray<float> distances;
    int64_t id = 0;
    std::optional<std::string> name;
    TArray<int64_t> objectIds;
    std::optional<int64_t> parentId;
    std::optional<Zeq2Transform> transform;
    bool visible = false;
    bool operator==(const Zeq2LOD&) const = default;
};

// A layer of Zeq2Extra1. Absent objectIds and an empty list are stored differently.
struct Zeq2Layer {
    int32_t id = 0;
    std::optional<std::string> name;
    std::optional<TArray<int64_t>> objectIds;
    bool operator==(const Zeq2Layer&) const = default;
};

struct Zeq2AmbientLight {
    std::optional<int32_t> boundBoxId;
    uint32_t color = 0;  // 0xRRGGBB
    int64_t id = 0;
    float intensity = 0;
    std::optional<std::string> name;
    std::optional<int64_t> parentId;
    std::optional<Zeq2Transform> transform;
    bool visible = false;
    bool operator==(const Zeq2AmbientLight&) const = default;
};

// Same layout as Zeq2AmbientLight.
struct Zeq2DirectionalLight {
    std::optional<int32_t> boundBoxId;
    uint32_t color = 0;  // 0xRRGGBB
    int64_t id = 0;
    float intensity = 0;
    std::optional<std::string> name;
    std::optional<int64_t> parentId;
    std::optional<Zeq2Transform> transform;
    bool visible = false;
    bool operator==(const Zeq2DirectionalLight&) const = default;
};

struct Zeq2OmniLight {
    float attenuationBegin = 0;
    float attenuationEnd = 0;
    std::optional<int32_t> boundBoxId;
    uint32_t color = 0;  // 0xRRGGBB
    int64_t id = 0;
    float intensity = 0;
    std::optional<std::string> name;
    std::optional<int64_t> parentId;
    std::optional<Zeq2Transform> transform;
    bool visible = false;
    bool operator==(const Zeq2OmniLight&) const = default;
};

struct Zeq2SpotLight {
    float attenuationBegin = 0;
    float attenuationEnd = 0;
    std::optional<int32_t> boundBoxId;
    uint32_t color = 0;  // 0xRRGGBB
    float falloff = 0;   // outer cone angle, radians
    float hotspot = 0;   // inner cone angle, radians
    int64_t id = 0;
    float intensity = 0;
    std::optional<std::string> name;
    std::optional<int64_t> parentId;
    std::optional<Zeq2Transform> transform;
    bool visible = false;
    bool operator==(const Zeq2SpotLight&) const = default;
};

// A camera of Zeq2Extra2; carried through unchanged, never filled by this system.
struct Zeq2Camera {
    std::optional<int32_t> boundBoxId;
    float cameraValue1 = 0;
    float cameraValue2 = 0;
    int64_t id = 0;
    std::optional<std::string> name;
    float cameraValue3 = 0;
    bool cameraFlag = false;
    std::optional<int64_t> parentId;
    std::optional<Zeq2Transform> transform;
    bool visible = false;
    bool operator==(const Zeq2Camera&) const = default;
};

template <>
struct RecordTraits<Zeq2Object> {
    using R = Zeq2Object;
    static constexpr std::string_view typeName = "Zeq2Object";
    static constexpr auto fields = std::make_tuple(
        optionalField("boundBoxId", "Int", &R::boundBoxId), field("id", "Long", &R::id),
        optionalField("name", "String", &R::name), optionalField("parentId", "Long", &R::parentId),
        optionalField("transform", "Zeq2Transform", &R::transform), field("visible", "Bool", &R::visible));
};

template <>
struct RecordTraits<Zeq2Joint> {
    using R = Zeq2Joint;
    static constexpr std::string_view typeName = "Zeq2Joint";
    static constexpr auto fields = std::make_tuple(
        optionalField("boundBoxId", "Int", &R::boundBoxId), field("id", "Long", &R::id),
        optionalField("name", "String", &R::name), optionalField("parentId", "Long", &R::parentId),
        optionalField("transform", "Zeq2Transform", &R::transform), field("visible", "Bool", &R::visible));
};

template <>
struct RecordTraits<Zeq2Skin> {
    using R = Zeq2Skin;
    static constexpr std::string_view typeName = "Zeq2Skin";
    static constexpr auto fields = std::make_tuple(
        optionalField("boundBoxId", "Int", &R::boundBoxId), field("id", "Long", &R::id),
        field("indexBufferId", "Int", &R::indexBufferId),
        arrayField("jointBindTransforms", "Zeq2JointBindTransform", &R::jointBindTransforms),
        arrayField("jointIds", "Long", &R::jointIds), optionalField("name", "String", &R::name),
        arrayField("surfaceJointCounts", "UShort", &R::surfaceJointCounts),
        optionalField("parentId", "Long", &R::parentId), arrayField("surfaces", "Zeq2Surface", &R::surfaces),
        optionalField("transform", "Zeq2Transform", &R::transform),
        arrayField("vertexBufferIds", "Int", &R::vertexBufferIds), field("visible", "Bool", &R::visible));
};

template <>
struct RecordTraits<Zeq2Sprite> {
    using R = Zeq2Sprite;
    static constexpr std::string_view typeName = "Zeq2Sprite";
    static constexpr auto fields = std::make_tuple(
        field("spriteFlag", "Bool", &R::spriteFlag), optionalField("boundBoxId", "Int", &R::boundBoxId),
        field("height", "Float", &R::height), field("id", "Long", &R::id),
        optionalField("materialId", "Int", &R::materialId), optionalField("name", "String", &R::name),
        field("originX", "Float", &R::originX), field("originY", "Float", &R::originY),
        optionalField("parentId", "Long", &R::parentId), field("perspectiveScale", "Bool", &R::perspectiveScale),
        field("rotation", "Float", &R::rotation), optionalField("transform", "Zeq2Transform", &R::transform),
        field("visible", "Bool", &R::visible), field("width", "Float", &R::width));
};

template <>
struct RecordTraits<Zeq2Decal> {
    using R = Zeq2Decal;
    static constexpr std::string_view typeName = "Zeq2Decal";
    static constexpr auto fields = std::make_tuple(
        optionalField("boundBoxId", "Int", &R::boundBoxId), field("id", "Long", &R::id),
        field("indexBufferId", "Int", &R::indexBufferId), optionalField("name", "String", &R::name),
        field("decalValue", "Float", &R::decalValue), optionalField("parentId", "Long", &R::parentId),
        arrayField("surfaces", "Zeq2Surface", &R::surfaces),
        optionalField("transform", "Zeq2Transform", &R::transform),
        arrayField("vertexBufferIds", "Int", &R::vertexBufferIds), field("visible", "Bool", &R::visible));
};

template <>
struct RecordTraits<Zeq2LOD> {
    using R = Zeq2LOD;
    static constexpr std::string_view typeName = "Zeq2LOD";
    static constexpr auto fields = std::make_tuple(
        optionalField("boundBoxId", "Int", &R::boundBoxId), arrayField("distances", "Float", &R::distances),
        field("id", "Long", &R::id), optionalField("name", "String", &R::name),
        arrayField("objectIds", "Long", &R::objectIds), optionalField("parentId", "Long", &R::parentId),
        optionalField("transform", "Zeq2Transform", &R::transform), field("visible", "Bool", &R::visible));
};

template <>
struct RecordTraits<Zeq2Layer> {
    using R = Zeq2Layer;
    static constexpr std::string_view typeName = "Zeq2Layer";
    static constexpr auto fields = std::make_tuple(field("id", "Int", &R::id), optionalField("name", "String", &R::name),
                                                   optionalArrayField("objectIds", "Long", &R::objectIds));
};

template <>
struct RecordTraits<Zeq2AmbientLight> {
    using R = Zeq2AmbientLight;
    static constexpr std::string_view typeName = "Zeq2AmbientLight";
    static constexpr auto fields = std::make_tuple(
        optionalField("boundBoxId", "Int", &R::boundBoxId), field("color", "ULong", &R::color),
        field("id", "Long", &R::id), field("intensity", "Float", &R::intensity),
        optionalField("name", "String", &R::name), optionalField("parentId", "Long", &R::parentId),
        optionalField("transform", "Zeq2Transform", &R::transform), field("visible", "Bool", &R::visible));
};

template <>
struct RecordTraits<Zeq2DirectionalLight> {
    using R = Zeq2DirectionalLight;
    static constexpr std::string_view typeName = "Zeq2DirectionalLight";
    static constexpr auto fields = std::make_tuple(
        optionalField("boundBoxId", "Int", &R::boundBoxId), field("color", "ULong", &R::color),
        field("id", "Long", &R::id), field("intensity", "Float", &R::intensity),
        optionalField("name", "String", &R::name), optionalField("parentId", "Long", &R::parentId),
        optionalField("transform", "Zeq2Transform", &R::transform), field("visible", "Bool", &R::visible));
};

template <>
struct RecordTraits<Zeq2OmniLight> {
    using R = Zeq2OmniLight;
    static constexpr std::string_view typeName = "Zeq2OmniLight";
    static constexpr auto fields = std::make_tuple(
        field("attenuationBegin", "Float", &R::attenuationBegin), field("attenuationEnd", "Float", &R::attenuationEnd),
        optionalField("boundBoxId", "Int", &R::boundBoxId), field("color", "ULong", &R::color),
        field("id", "Long", &R::id), field("intensity", "Float", &R::intensity),
        optionalField("name", "String", &R::name), optionalField("parentId", "Long", &R::parentId),
        optionalField("transform", "Zeq2Transform", &R::transform), field("visible", "Bool", &R::visible));
};

template <>
struct RecordTraits<Zeq2SpotLight> {
    using R = Zeq2SpotLight;
    static constexpr std::string_view typeName = "Zeq2SpotLight";
    static constexpr auto fields = std::make_tuple(
        field("attenuationBegin", "Float", &R::attenuationBegin), field("attenuationEnd", "Float", &R::attenuationEnd),
        optionalField("boundBoxId", "Int", &R::boundBoxId), field("color", "ULong", &R::color),
        field("falloff", "Float", &R::falloff), field("hotspot", "Float", &R::hotspot), field("id", "Long", &R::id),
        field("intensity", "Float", &R::intensity), optionalField("name", "String", &R::name),
        optionalField("parentId", "Long", &R::parentId), optionalField("transform", "Zeq2Transform", &R::transform),
        field("visible", "Bool", &R::visible));
};

template <>
struct RecordTraits<Zeq2Camera> {
    using R = Zeq2Camera;
    static constexpr std::string_view typeName = "Zeq2Camera";
    static constexpr auto fields = std::make_tuple(
        optionalField("boundBoxId", "Int", &R::boundBoxId), field("cameraValue1", "Float", &R::cameraValue1),
        field("cameraValue2", "Float", &R::cameraValue2), field("id", "Long", &R::id),
        optionalField("name", "String", &R::name), field("cameraValue3", "Float", &R::cameraValue3),
        field("cameraFlag", "Bool", &R::cameraFlag), optionalField("parentId", "Long", &R::parentId),
        optionalField("transform", "Zeq2Transform", &R::transform), field("visible", "Bool", &R::visible));
};

static_assert(fieldTableMatchesTypes<Zeq2Object>());
static_assert(fieldTableMatchesTypes<Zeq2Joint>());
static_assert(fieldTableMatchesTypes<Zeq2Skin>());
static_assert(fieldTableMatchesTypes<Zeq2Sprite>());
static_assert(fieldTableMatchesTypes<Zeq2Decal>());
static_assert(fieldTableMatchesTypes<Zeq2LOD>());
static_assert(fieldTableMatchesTypes<Zeq2Layer>());
static_assert(fieldTableMatchesTypes<Zeq2AmbientLight>());
static_assert(fieldTableMatchesTypes<Zeq2DirectionalLight>());
static_assert(fieldTableMatchesTypes<Zeq2OmniLight>());
static_assert(fieldTableMatchesTypes<Zeq2SpotLight>());
static_assert(fieldTableMatchesTypes<Zeq2Camera>());

}  // namespace zeq
