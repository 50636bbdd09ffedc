#pragma once
// Material reconstruction: Zeq2Material, Zeq2Map, Zeq2CubeMap and Zeq2Image records become host
// standard materials named "Material" with bitmap textures in their slots and a cube map (or, for a
// single picture, a bitmap) for reflection. Each record becomes one host object, made when it is
// first needed and shared from then on: surfaces naming one material share one host material,
// materials naming one map share one texture, and meshes with the same surface materials share one
// multi-material.
#include "format/records_materials.h"
#include "format/records_roots.h"
#include "import/import_report.h"

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

class Mtl;
class MultiMtl;
class BitmapTex;
class Texmap;

namespace zeq {

// The name every imported material carries.
inline constexpr const char* kImportedMaterialName = "Material";

class MaterialLibrary {
public:
    // Tables of the root's materials, maps and images by id (absent lists give empty tables; a
    // later record with the same id replaces an earlier one). The records stay owned by the root.
    explicit MaterialLibrary(const Zeq2& root);

    const Zeq2Material* material(int32_t id) const;
    const Zeq2Map* map(int32_t id) const;
    const Zeq2Image* image(int32_t id) const;
    const Zeq2CubeMap* cubeMap(int32_t id) const;

    // The host material of a material id (made on first use), or null when the id is absent. A
    // material id, map id or image id that names no record is noted in the report (as part of
    // `owner`, for example `mesh "Box01" (id 5)`) and skipped.
    Mtl* makeMaterial(const std::optional<int32_t>& materialId, const std::string& owner, ImportReport& report);
    Mtl* makeMaterial(const Zeq2Surface& surface, const std::string& owner, ImportReport& report) {
        return makeMaterial(surface.materialId, owner, report);
    }
    // The multi-material whose sub-material i is the material of surface i (shared by every mesh
    // with the same list of surface materials).
    MultiMtl* makeMultiMaterial(const std::vector<std::optional<int32_t>>& materialIds, const std::string& label,
                                const std::string& owner, ImportReport& report);
    // The bitmap texture showing the map's image on the map's channel; null (and a report line)
    // when the map or its image does not exist.
    BitmapTex* makeBitmapTexture(int32_t mapId, const std::string& owner, ImportReport& report);
    // The reflection texture of a cube map: a cube-map texture with its six face images, or a bitmap
    // when the record holds one picture only. Null (and a report line) when it cannot be made.
    Texmap* makeReflection(int32_t cubeMapId, const std::string& owner, ImportReport& report);

private:
    std::unordered_map<int32_t, const Zeq2Material*> materials_;
    std::unordered_map<int32_t, const Zeq2Map*> maps_;
    std::unordered_map<int32_t, const Zeq2Image*> images_;
    std::unordered_map<int32_t, const Zeq2CubeMap*> cubeMaps_;
    // Host objects made so far, by record id (null: the record could not be made).
    std::unordered_map<int32_t, Mtl*> madeMaterials_;
    std::unordered_map<int32_t, BitmapTex*> madeTextures_;
    std::unordered_map<int32_t, Texmap*> madeReflections_;
    std::map<std::vector<std::optional<int32_t>>, MultiMtl*> madeMultis_;
};

}  // namespace zeq
