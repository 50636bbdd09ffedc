#pragma once
// Material and texture records: materials refer to maps and cube maps, maps and cube maps to
// images, images name their picture files. Every list has its own "Int" ids.
#include "format/field_table.h"

#include <optional>

namespace zeq {

struct Zeq2Material {
    std::optional<int32_t> diffuseMapId;
    std::optional<int32_t> glossinessMapId;
    int32_t id = 0;
    std::optional<int32_t> lightMapId;
    std::optional<int32_t> normalMapId;
    std::optional<int32_t> opacityMapId;
    std::optional<int32_t> reflectionCubeMapId;
    std::optional<int32_t> specularMapId;
    bool operator==(const Zeq2Material&) const = default;
};

struct Zeq2Map {
    uint16_t channel = 0;  // texture-coordinate channel, counted from 1
    int32_t id = 0;
    int32_t imageId = 0;
    bool operator==(const Zeq2Map&) const = default;
};

struct Zeq2Image {
    int32_t id = 0;
    std::string url;  // file name or path the engine loads
    bool operator==(const Zeq2Image&) const = default;
};

// Six image references; a cube map made from one picture carries only imageId6.
struct Zeq2CubeMap {
    std::optional<int32_t> imageId1;
    std::optional<int32_t> imageId2;
    std::optional<int32_t> imageId3;
    int32_t id = 0;
    std::optional<int32_t> imageId4;
    std::optional<int32_t> imageId5;
    int32_t imageId6 = 0;
    bool operator==(const Zeq2CubeMap&) const = default;
};

template <>
struct RecordTraits<Zeq2Material> {
    using R = Zeq2Material;
    static constexpr std::string_view typeName = "Zeq2Material";
    static constexpr auto fields = std::make_tuple(
        optionalField("diffuseMapId", "Int", &R::diffuseMapId),
        optionalField("glossinessMapId", "Int", &R::glossinessMapId), field("id", "Int", &R::id),
        optionalField("lightMapId", "Int", &R::lightMapId), optionalField("normalMapId", "Int", &R::normalMapId),
        optionalField("opacityMapId", "Int", &R::opacityMapId),
        optionalField("reflectionCubeMapId", "Int", &R::reflectionCubeMapId),
        optionalField("specularMapId", "Int", &R::specularMapId));
};

template <>
struct RecordTraits<Zeq2Map> {
    using R = Zeq2Map;
    static constexpr std::string_view typeName = "Zeq2Map";
    static constexpr auto fields = std::make_tuple(field("channel", "UShort", &R::channel), field("id", "Int", &R::id),
                                                   field("imageId", "Int", &R::imageId));
};

template <>
struct RecordTraits<Zeq2Image> {
    using R = Zeq2Image;
    static constexpr std::string_view typeName = "Zeq2Image";
    static constexpr auto fields = std::make_tuple(field("id", "Int", &R::id), field("url", "String", &R::url));
};

template <>
struct RecordTraits<Zeq2CubeMap> {
    using R = Zeq2CubeMap;
    static constexpr std::string_view typeName = "Zeq2CubeMap";
    static constexpr auto fields = std::make_tuple(
        optionalField("imageId1", "Int", &R::imageId1), optionalField("imageId2", "Int", &R::imageId2),
        optionalField("imageId3", "Int", &R::imageId3), field("id", "Int", &R::id),
        optionalField("imageId4", "Int", &R::imageId4), optionalField("imageId5", "Int", &R::imageId5),
        field("imageId6", "Int", &R::imageId6));
};

static_assert(fieldTableMatchesTypes<Zeq2Material>());
static_assert(fieldTableMatchesTypes<Zeq2Map>());
static_assert(fieldTableMatchesTypes<Zeq2Image>());
static_assert(fieldTableMatchesTypes<Zeq2CubeMap>());

}  // namespace zeq
