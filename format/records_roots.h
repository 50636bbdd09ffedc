#pragma once
// The three root records of a Zeq2 file. Zeq2 holds the scene content, Zeq2Extra1 the layers,
// Zeq2Extra2 the cameras and level-of-detail groups. Every list is an optional array: an absent
// list and an empty one are stored differently and both survive a round trip.
#include "format/records_materials.h"
#include "format/records_scene_graph.h"

#include <optional>

namespace zeq {

struct Zeq2 {
    std::optional<TArray<Zeq2AmbientLight>> ambientLights;
    std::optional<TArray<Zeq2AnimationClip>> animationClips;
    std::optional<TArray<Zeq2Track>> tracks;
    std::optional<TArray<Zeq2Box>> boxes;
    std::optional<TArray<Zeq2CubeMap>> cubeMaps;
    std::optional<TArray<Zeq2Decal>> decals;
    std::optional<TArray<Zeq2DirectionalLight>> directionalLights;
    std::optional<TArray<Zeq2Image>> images;
    std::optional<TArray<Zeq2IndexBuffer>> indexBuffers;
    std::optional<TArray<Zeq2Joint>> joints;
    std::optional<TArray<Zeq2Map>> maps;
    std::optional<TArray<Zeq2Material>> materials;
    std::optional<TArray<Zeq2Mesh>> meshes;
    std::optional<TArray<Zeq2Object>> objects;
    std::optional<TArray<Zeq2OmniLight>> omniLights;
    std::optional<TArray<Zeq2Skin>> skins;
    std::optional<TArray<Zeq2SpotLight>> spotLights;
    std::optional<TArray<Zeq2Sprite>> sprites;
    std::optional<TArray<Zeq2VertexBuffer>> vertexBuffers;
    bool operator==(const Zeq2&) const = default;
};

struct Zeq2Extra1 {
    std::optional<TArray<Zeq2Layer>> layers;
    bool operator==(const Zeq2Extra1&) const = default;
};

struct Zeq2Extra2 {
    std::optional<TArray<Zeq2Camera>> cameras;
    std::optional<TArray<Zeq2LOD>> lods;
    bool operator==(const Zeq2Extra2&) const = default;
};

template <>
struct RecordTraits<Zeq2> {
    using R = Zeq2;
    static constexpr std::string_view typeName = "Zeq2";
    static constexpr auto fields = std::make_tuple(
        optionalArrayField("ambientLights", "Zeq2AmbientLight", &R::ambientLights),
        optionalArrayField("animationClips", "Zeq2AnimationClip", &R::animationClips),
        optionalArrayField("tracks", "Zeq2Track", &R::tracks), optionalArrayField("boxes", "Zeq2Box", &R::boxes),
        optionalArrayField("cubeMaps", "Zeq2CubeMap", &R::cubeMaps),
        optionalArrayField("decals", "Zeq2Decal", &R::decals),
        optionalArrayField("directionalLights", "Zeq2DirectionalLight", &R::directionalLights),
        optionalArrayField("images", "Zeq2Image", &R::images),
        optionalArrayField("indexBuffers", "Zeq2IndexBuffer", &R::indexBuffers),
        optionalArrayField("joints", "Zeq2Joint", &R::joints), optionalArrayField("maps", "Zeq2Map", &R::maps),
        optionalArrayField("materials", "Zeq2Material", &R::materials),
        optionalArrayField("meshes", "Zeq2Mesh", &R::meshes), optionalArrayField("objects", "Zeq2Object", &R::objects),
        optionalArrayField("omniLights", "Zeq2OmniLight", &R::omniLights),
        optionalArrayField("skins", "Zeq2Skin", &R::skins),
        optionalArrayField("spotLights", "Zeq2SpotLight", &R::spotLights),
        optionalArrayField("sprites", "Zeq2Sprite", &R::sprites),
        optionalArrayField("vertexBuffers", "Zeq2VertexBuffer", &R::vertexBuffers));
};

template <>
struct RecordTraits<Zeq2Extra1> {
    using R = Zeq2Extra1;
    static constexpr std::string_view typeName = "Zeq2Extra1";
    static constexpr auto fields = std::make_tuple(optionalArrayField("layers", "Zeq2Layer", &R::layers));
};

template <>
struct RecordTraits<Zeq2Extra2> {
    using R = Zeq2Extra2;
    static constexpr std::string_view typeName = "Zeq2Extra2";
    static constexpr auto fields = std::make_tuple(optionalArrayField("cameras", "Zeq2Camera", &R::cameras),
                                                   optionalArrayField("lods", "Zeq2LOD", &R::lods));
};

static_assert(fieldTableMatchesTypes<Zeq2>());
static_assert(fieldTableMatchesTypes<Zeq2Extra1>());
static_assert(fieldTableMatchesTypes<Zeq2Extra2>());

}  // namespace zeq
