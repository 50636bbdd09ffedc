// Standard materials with bitmap textures from the material, map and image records.
#include "import/material_library.h"

#include "host/material.h"
#include "host/texmap.h"
#include "import/mesh_builder.h"

namespace zeq {
namespace {

template <class R>
void index(std::unordered_map<int32_t, const R*>& table, const std::optional<TArray<R>>& list) {
    if (!list) return;
    for (const R& record : *list) table[record.id] = &record;
}

template <class R>
const R* find(const std::unordered_map<int32_t, const R*>& table, int32_t id) {
    auto it = table.find(id);
    return it == table.end() ? nullptr : it->second;
}

}  // namespace

MaterialLibrary::MaterialLibrary(const Zeq2& root) {
    index(materials_, root.materials);
    index(maps_, root.maps);
    index(images_, root.images);
}

const Zeq2Material* MaterialLibrary::material(int32_t id) const { return find(materials_, id); }
const Zeq2Map* MaterialLibrary::map(int32_t id) const { return find(maps_, id); }
const Zeq2Image* MaterialLibrary::image(int32_t id) const { return find(images_, id); }

BitmapTex* MaterialLibrary::makeBitmapTexture(int32_t mapId, const std::string& owner, ImportReport& report) const {
    const Zeq2Map* record = map(mapId);
    if (!record) {
        report.skip(owner + ": map " + std::to_string(mapId) + " does not exist");
        return nullptr;
    }
    const Zeq2Image* picture = image(record->imageId);
    if (!picture) {
        report.skip(owner + ": map " + std::to_string(mapId) + " names image " + std::to_string(record->imageId) +
                    ", which does not exist");
        return nullptr;
    }
    // The host's map channels end at 99; a texture on a channel beyond would name coordinates no mesh
    // can hold, and the scene could not be saved.
    if (record->channel > kMaxTextureChannels) {
        report.skip(owner + ": map " + std::to_string(mapId) + " uses texture channel " +
                    std::to_string(record->channel) + ", beyond the host's " + std::to_string(kMaxTextureChannels));
        return nullptr;
    }
    BitmapTex* texture = NewDefaultBitmapTex();
    // The url exactly as stored: finding the file is the host's business.
    texture->SetMapName(picture->url.c_str());
    // Pyramidal filtering, the host's usual choice for textures a real-time engine mip-maps.
    texture->SetFilterType(FILTER_PYR);
    if (UVGen* uv = texture->GetTheUVGen()) uv->SetMapChannel(record->channel);
    return texture;
}

Mtl* MaterialLibrary::makeMaterial(const Zeq2Surface& surface, const std::string& owner, ImportReport& report) const {
    if (!surface.materialId) return nullptr;
    const Zeq2Material* record = material(*surface.materialId);
    if (!record) {
        report.skip(owner + ": material " + std::to_string(*surface.materialId) + " does not exist");
        return nullptr;
    }
    StdMat* mtl = NewDefaultStdMat();
    mtl->SetName(kImportedMaterialName);
    const std::string materialOwner = owner + ", material " + std::to_string(record->id);

    if (record->diffuseMapId) {
        if (BitmapTex* diffuse = makeBitmapTexture(*record->diffuseMapId, materialOwner, report)) {
            mtl->SetSubTexmap(ID_DI, diffuse);
            mtl->SetActiveTexmap(diffuse);
            mtl->SetMtlFlag(MTL_TEX_DISPLAY_ENABLED, true);
            mtl->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
        }
    }
    const std::pair<const std::optional<int32_t>*, int> slots[] = {
        {&record->normalMapId, ID_BU},   {&record->glossinessMapId, ID_SH}, {&record->specularMapId, ID_SP},
        {&record->opacityMapId, ID_OP},  {&record->lightMapId, ID_SI},
    };
    for (const auto& [mapId, slot] : slots) {
        if (!*mapId) continue;
        if (BitmapTex* texture = makeBitmapTexture(**mapId, materialOwner, report)) mtl->SetSubTexmap(slot, texture);
    }
    return mtl;
}

}  // namespace zeq
