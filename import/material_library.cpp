// Standard materials with bitmap textures and reflection maps from the material, map, cube-map and
// image records; each record becomes one host object, shared by everything that names it.
#include "import/material_library.h"

#include "host/interface.h"
#include "host/material.h"
#include "host/paramblock.h"
#include "host/texmap.h"
#include "import/mesh_builder.h"

#include <array>

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
    index(cubeMaps_, root.cubeMaps);
}

const Zeq2Material* MaterialLibrary::material(int32_t id) const { return find(materials_, id); }
const Zeq2Map* MaterialLibrary::map(int32_t id) const { return find(maps_, id); }
const Zeq2Image* MaterialLibrary::image(int32_t id) const { return find(images_, id); }
const Zeq2CubeMap* MaterialLibrary::cubeMap(int32_t id) const { return find(cubeMaps_, id); }

BitmapTex* MaterialLibrary::makeBitmapTexture(int32_t mapId, const std::string& owner, ImportReport& report) {
    if (auto made = madeTextures_.find(mapId); made != madeTextures_.end()) return made->second;
    BitmapTex*& texture = madeTextures_[mapId];
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
    texture = NewDefaultBitmapTex();
    // The url exactly as stored: finding the file is the host's business.
    texture->SetMapName(picture->url.c_str());
    // Pyramidal filtering, the host's usual choice for textures a real-time engine mip-maps.
    texture->SetFilterType(FILTER_PYR);
    if (UVGen* uv = texture->GetTheUVGen()) uv->SetMapChannel(record->channel);
    return texture;
}

Texmap* MaterialLibrary::makeReflection(int32_t cubeMapId, const std::string& owner, ImportReport& report) {
    if (auto made = madeReflections_.find(cubeMapId); made != madeReflections_.end()) return made->second;
    Texmap*& texture = madeReflections_[cubeMapId];
    const Zeq2CubeMap* record = cubeMap(cubeMapId);
    if (!record) {
        report.skip(owner + ": cube map " + std::to_string(cubeMapId) + " does not exist");
        return nullptr;
    }
    // The six faces in the host's face order 0 to 5, as the file stores them.
    const std::array<std::optional<int32_t>, 6> faces = {record->imageId6, record->imageId2, record->imageId4,
                                                         record->imageId5, record->imageId3, record->imageId1};
    auto url = [&](const std::optional<int32_t>& imageId) -> const char* {
        if (!imageId) return nullptr;
        if (const Zeq2Image* picture = image(*imageId)) return picture->url.c_str();
        report.skip(owner + ": cube map " + std::to_string(cubeMapId) + " names image " + std::to_string(*imageId) +
                    ", which does not exist");
        return nullptr;
    };
    const bool singlePicture = !record->imageId1 && !record->imageId2 && !record->imageId3 && !record->imageId4 &&
                               !record->imageId5;
    if (singlePicture) {
        // One picture is a plain bitmap in the reflection slot.
        const char* name = url(record->imageId6);
        if (!name) return nullptr;
        BitmapTex* bitmap = NewDefaultBitmapTex();
        bitmap->SetMapName(name);
        texture = bitmap;
        return texture;
    }
    Interface* ip = GetCOREInterface();
    auto* cube = ip ? static_cast<Texmap*>(ip->CreateInstance(TEXMAP_CLASS_ID, ACUBIC_CLASS_ID)) : nullptr;
    IParamBlock2* block = cube ? cube->GetParamBlock(0) : nullptr;
    if (!block || block->Count(ACUBIC_BITMAP_NAMES_PARAM) < static_cast<int>(faces.size())) {
        report.skip(owner + ": cube map " + std::to_string(cubeMapId) + " skipped: the host made no cube-map texture");
        return nullptr;
    }
    for (std::size_t face = 0; face < faces.size(); ++face)
        if (const char* name = url(faces[face])) block->SetValue(ACUBIC_BITMAP_NAMES_PARAM, 0, name, static_cast<int>(face));
    texture = cube;
    return texture;
}

MultiMtl* MaterialLibrary::makeMultiMaterial(const std::vector<std::optional<int32_t>>& materialIds,
                                             const std::string& label, const std::string& owner,
                                             ImportReport& report) {
    if (auto made = madeMultis_.find(materialIds); made != madeMultis_.end()) return made->second;
    MultiMtl* multi = NewDefaultMultiMtl();
    multi->SetNumSubMtls(static_cast<int>(materialIds.size()));
    for (std::size_t i = 0; i < materialIds.size(); ++i) {
        if (Mtl* sub = makeMaterial(materialIds[i], owner, report))
            multi->SetSubMtlAndName(static_cast<int>(i), sub, label + std::to_string(i));
    }
    madeMultis_[materialIds] = multi;
    return multi;
}

Mtl* MaterialLibrary::makeMaterial(const std::optional<int32_t>& materialId, const std::string& owner,
                                   ImportReport& report) {
    if (!materialId) return nullptr;
    if (auto made = madeMaterials_.find(*materialId); made != madeMaterials_.end()) return made->second;
    Mtl*& result = madeMaterials_[*materialId];
    const Zeq2Material* record = material(*materialId);
    if (!record) {
        report.skip(owner + ": material " + std::to_string(*materialId) + " does not exist");
        return nullptr;
    }
    StdMat* mtl = NewDefaultStdMat();
    result = mtl;
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
    if (record->reflectionCubeMapId) {
        if (Texmap* reflection = makeReflection(*record->reflectionCubeMapId, materialOwner, report))
            mtl->SetSubTexmap(ID_RL, reflection);
    }
    return mtl;
}

}  // namespace zeq
