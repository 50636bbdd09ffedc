#pragma once
// Material reconstruction: Zeq2Material, Zeq2Map and Zeq2Image records become host standard
// materials named "Material" with one new bitmap texture per used slot. Every call makes new host
// objects: two surfaces naming one material get two equal materials.
#include "format/records_materials.h"
#include "format/records_roots.h"
#include "import/import_report.h"

#include <string>
#include <unordered_map>

class Mtl;
class BitmapTex;

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

    // A new standard material for the surface's material, or null when the surface names none. A
    // material id, map id or image id that names no record is noted in the report (as part of
    // `owner`, for example `mesh "Box01" (id 5)`) and skipped.
    Mtl* makeMaterial(const Zeq2Surface& surface, const std::string& owner, ImportReport& report) const;
    // A new bitmap texture showing the map's image on the map's channel; null (and a report line)
    // when the map or its image does not exist.
    BitmapTex* makeBitmapTexture(int32_t mapId, const std::string& owner, ImportReport& report) const;

private:
    std::unordered_map<int32_t, const Zeq2Material*> materials_;
    std::unordered_map<int32_t, const Zeq2Map*> maps_;
    std::unordered_map<int32_t, const Zeq2Image*> images_;
};

}  // namespace zeq
