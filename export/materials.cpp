// The material, map, cube-map and image factories.
#include "export/materials.h"

#include "export/options.h"
#include "host/material.h"
#include "host/texmap.h"

namespace zeq {

namespace {

// Standard-material slots and the record field each bitmap texture fills.
constexpr int kSlotDiffuse = 1;
constexpr int kSlotSpecular = 2;
constexpr int kSlotGlossiness = 3;
constexpr int kSlotSelfIllumination = 5;
constexpr int kSlotOpacity = 6;
constexpr int kSlotBump = 8;
constexpr int kSlotReflection = 9;

// Cube-map face images 0..5 go to these image fields.
constexpr std::optional<int32_t> Zeq2CubeMap::*kFaceFields[6] = {
    nullptr, &Zeq2CubeMap::imageId2, &Zeq2CubeMap::imageId4,
    &Zeq2CubeMap::imageId5, &Zeq2CubeMap::imageId3, &Zeq2CubeMap::imageId1};  // face 0: imageId6

// Cube-map parameter blocks must have at least this many parameters to hold the face names.
constexpr int kMinCubeMapParams = 10;

BitmapTex* asBitmap(Texmap* texture) {
    if (texture == nullptr || texture->ClassID() != BMTEX_CLASS_ID) return nullptr;
    return dynamic_cast<BitmapTex*>(texture);
}

std::string mapName(BitmapTex* texture) {
    const char* name = texture->GetMapName();
    return name != nullptr ? name : "";
}

// Whether a name names a picture: a file name, not nothing or a folder alone ("C:\maps\"), which
// would give an image without a name (or named ".atf").
bool namesFile(const std::string& name) {
    const std::size_t folder = name.find_last_of("\\/");
    return name.size() > (folder == std::string::npos ? 0 : folder + 1);
}

bool namesPicture(BitmapTex* texture) { return namesFile(mapName(texture)); }

// The image of a file is keyed by its url: two files that give one url ("C:\a\wood.png" and
// "D:\b\wood.png") are one image to the engine, and would be one after an import.
std::string urlOf(const std::string& fileName) { return imageUrl(fileName, exportOptions().atfExtensions); }

}  // namespace

// ---- ImageFactory ----

std::string imageUrl(const std::string& fileName, bool atf) {
    std::string url = fileName;
    if (atf) {
        // The extension is the file name's: a dot in a folder name ("maps.old\wood") is none.
        const std::size_t dot = url.rfind('.');
        const std::size_t folder = url.find_last_of("\\/");
        if (dot != std::string::npos && (folder == std::string::npos || dot > folder)) url.resize(dot);
        url += ".atf";
    }
    const std::size_t slash = url.rfind('\\');
    if (slash != std::string::npos) url.erase(0, slash + 1);
    return url;
}

std::optional<Zeq2Image> ImageFactory::create(const std::string& url) {
    Zeq2Image image;
    image.id = nextId();
    image.url = url;
    return image;
}

// ---- MapFactory ----

std::optional<Zeq2Map> MapFactory::create(BitmapTex* const& texture) {
    if (texture == nullptr) throw std::invalid_argument("The material has a map slot without a bitmap texture");
    Zeq2Map map;
    map.id = nextId();
    map.imageId = images_.getID(urlOf(mapName(texture)));
    map.channel = static_cast<uint16_t>(texture->GetMapChannel());
    return map;
}

// ---- CubeMapFactory ----

std::optional<Zeq2CubeMap> CubeMapFactory::create(Texmap* const& texture) {
    // imageId6 is the one image field a cube map must carry: a texture without a picture for it
    // (no texture, a cube map without a face-0 file, any other kind of texture) gives no cube map,
    // rather than one that names image 0, whichever picture that is.
    Zeq2CubeMap cube;
    cube.id = nextId();
    if (texture == nullptr) return std::nullopt;
    if (BitmapTex* bitmap = asBitmap(texture)) {
        cube.imageId6 = images_.getID(urlOf(mapName(bitmap)));
        return cube;
    }
    if (texture->ClassID() != ACUBIC_CLASS_ID) return std::nullopt;
    IParamBlock2* block = texture->GetParamBlock(0);
    if (block == nullptr || block->NumParams() < kMinCubeMapParams) return std::nullopt;
    std::string faces[6];  // empty: the face has no picture
    for (int face = 0; face < 6; ++face) {
        const char* name = nullptr;
        Interval valid = FOREVER;
        if (block->GetValue(ACUBIC_BITMAP_NAMES_PARAM, 0, name, valid, face) && name != nullptr && namesFile(name))
            faces[face] = name;
    }
    if (faces[0].empty()) return std::nullopt;
    cube.imageId6 = images_.getID(urlOf(faces[0]));
    for (int face = 1; face < 6; ++face)
        if (!faces[face].empty()) cube.*kFaceFields[face] = images_.getID(urlOf(faces[face]));
    return cube;
}

// ---- MaterialFactory ----

std::optional<Zeq2Material> MaterialFactory::create(Mtl* const& material) {
    Zeq2Material record;
    record.id = nextId();
    if (material == nullptr) return record;

    auto* standard = dynamic_cast<StdMat*>(material);
    const int slots = material->NumSubTexmaps();
    for (int slot = 0; slot < slots; ++slot) {
        Texmap* texture = material->GetSubTexmap(slot);
        // A slot switched off is not drawn in the host, so neither is it in the engine.
        if (texture == nullptr || (standard != nullptr && !standard->MapEnabled(slot))) continue;
        if (BitmapTex* bitmap = asBitmap(texture); bitmap != nullptr && !namesPicture(bitmap)) continue;
        if (BitmapTex* bitmap = asBitmap(texture)) {
            switch (slot) {
            case kSlotDiffuse: record.diffuseMapId = maps_.getID(bitmap); break;
            case kSlotSpecular: record.specularMapId = maps_.getID(bitmap); break;
            case kSlotGlossiness: record.glossinessMapId = maps_.getID(bitmap); break;
            case kSlotSelfIllumination: record.lightMapId = maps_.getID(bitmap); break;
            case kSlotOpacity: record.opacityMapId = maps_.getID(bitmap); break;
            case kSlotBump: record.normalMapId = maps_.getID(bitmap); break;
            case kSlotReflection: record.reflectionCubeMapId = cubeMaps_.getID(texture); break;
            default: break;
            }
        } else if (slot == kSlotBump) {
            // A bump texture wrapping bitmaps (a normal-map texture, for example): the last bitmap
            // among its own slots is the normal map, and the only one written.
            BitmapTex* last = nullptr;
            for (int i = 0; i < texture->NumSubTexmaps(); ++i)
                if (BitmapTex* inner = asBitmap(texture->GetSubTexmap(i)); inner && namesPicture(inner)) last = inner;
            if (last) record.normalMapId = maps_.getID(last);
        } else if (slot == kSlotReflection) {
            const int32_t cubeId = cubeMaps_.getID(texture);
            if (cubeId >= 0) record.reflectionCubeMapId = cubeId;
        }
    }
    return record;
}

}  // namespace zeq
