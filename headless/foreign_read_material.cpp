// Materials of foreign scene files: standard materials with their colours, values and bitmap maps,
// multi-materials for nodes whose meshes use several, and the names of embedded textures.
#include "headless/foreign_read.h"

#include "headless/materials.h"

#include <assimp/GltfMaterial.h>
#include <assimp/material.h>
#include <assimp/texture.h>

#include <algorithm>
#include <cctype>

namespace headless::foreign {

namespace {

// A file extension from a texture's format hint: letters and digits only, lower case.
std::string extensionFromHint(const char* hint) {
    std::string out;
    for (const char* c = hint; *c && out.size() < 8; ++c)
        if (std::isalnum(static_cast<unsigned char>(*c))) out += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    return out.empty() ? "bin" : out;
}

bool readColor(const aiMaterial& material, const char* key, unsigned type, unsigned index, Color& out) {
    aiColor4D c;
    if (material.Get(key, type, index, c) != AI_SUCCESS) return false;
    out = Color(c.r, c.g, c.b);
    return true;
}

bool readFloat(const aiMaterial& material, const char* key, unsigned type, unsigned index, float& out) {
    ai_real value = 0;
    if (material.Get(key, type, index, value) != AI_SUCCESS) return false;
    out = static_cast<float>(value);
    return true;
}

// The coordinate sets the meshes of a material have, at most.
unsigned uvSetsOf(ReadState& state, unsigned material) {
    if (state.uvSetsOfMaterial.empty()) {
        state.uvSetsOfMaterial.assign(state.ai.mNumMaterials, 0);
        for (unsigned m = 0; m < state.ai.mNumMeshes; ++m) {
            const aiMesh& mesh = *state.ai.mMeshes[m];
            if (mesh.mMaterialIndex < state.ai.mNumMaterials)
                state.uvSetsOfMaterial[mesh.mMaterialIndex] =
                    std::max(state.uvSetsOfMaterial[mesh.mMaterialIndex], mesh.GetNumUVChannels());
        }
    }
    return material < state.uvSetsOfMaterial.size() ? state.uvSetsOfMaterial[material] : 0;
}

// The bitmap of the first texture of `type` of material `materialIndex`, or null when it has none.
BitmapTexture* bitmapFor(ReadState& state, const aiMaterial& material, unsigned materialIndex, aiTextureType type) {
    if (material.GetTextureCount(type) == 0) return nullptr;
    aiString path;
    unsigned uvIndex = 0;
    if (material.GetTexture(type, 0, &path, nullptr, &uvIndex) != AI_SUCCESS) return nullptr;
    std::string name = path.C_Str();
    if (name.empty()) return nullptr;
    const auto [embedded, index] = state.ai.GetEmbeddedTextureAndIndex(path.C_Str());
    if (embedded && index >= 0 && static_cast<std::size_t>(index) < state.textureNames.size())
        name = state.textureNames[static_cast<std::size_t>(index)];
    // "./*N" is how a file named "*N" is written where "*N" would name an embedded texture (the
    // foreign writer does so for Collada): the same file, under the name it had.
    else if (name.starts_with("./*"))
        name.erase(0, 2);
    // glTF names image files by URI: "my%20tex.png" is the file "my tex.png".
    else if (state.gltf && !name.starts_with("data:"))
        name = percentDecoded(name);
    if (!embedded && !name.starts_with("data:")) state.report.textureFiles.push_back(name);
    // A texture that names a coordinate set beyond those of its meshes reads their last one: Collada
    // numbers the sets from 1 where Assimp packs them from 0. Meshes with no set cannot place it:
    // it is kept with the material, which may go on other meshes, and counted in a warning.
    // The bitmap takes a coordinate set alone: an offset, scale or turn of the coordinates is lost.
    aiUVTransform transform;
    if (material.Get(AI_MATKEY_UVTRANSFORM(type, 0), transform) == AI_SUCCESS &&
        (transform.mTranslation != aiVector2D(0, 0) || transform.mScaling != aiVector2D(1, 1) || transform.mRotation != 0))
        ++state.texturesTransformed;
    if (const unsigned sets = uvSetsOf(state, materialIndex); sets > 0) uvIndex = std::min(uvIndex, sets - 1);
    else ++state.texturesWithoutCoordinates;
    const int channel = static_cast<int>(std::min(uvIndex, kMaxUvSets - 1)) + 1;
    BitmapTexture* bitmap = state.scene.newBitmapTex(name, channel);
    bitmap->SetName(name.c_str());
    return bitmap;
}

Mtl* makeStandard(ReadState& state, const aiMaterial& source, unsigned index) {
    aiString name;
    std::string text = source.Get(AI_MATKEY_NAME, name) == AI_SUCCESS ? name.C_Str() : "";
    if (text.empty()) text = "Material" + std::to_string(index + 1);
    StandardMaterial* material = state.scene.newStdMat(text);

    Color color;
    if (readColor(source, AI_MATKEY_COLOR_AMBIENT, color)) material->SetAmbient(color, 0);
    if (readColor(source, AI_MATKEY_COLOR_DIFFUSE, color) || readColor(source, AI_MATKEY_BASE_COLOR, color))
        material->SetDiffuse(color, 0);
    if (readColor(source, AI_MATKEY_COLOR_SPECULAR, color)) material->SetSpecular(color, 0);
    // An emissive colour is the diffuse colour lit by itself: its share of the diffuse is the
    // self-illumination (the writers write it so).
    // (Assimp's FBX writer writes it as the older "Emissive", which its reader keeps only raw.)
    const auto glows = [&] { return std::max({color.r, color.g, color.b}) > 0.0f; };
    if ((readColor(source, AI_MATKEY_COLOR_EMISSIVE, color) && glows()) ||
        (readColor(source, "$raw.Emissive", 0, 0, color) && glows())) {
        const Color diffuse = material->GetDiffuse(0);
        const float base = std::max({diffuse.r, diffuse.g, diffuse.b});
        const float glow = std::max({color.r, color.g, color.b});
        material->SetSelfIllum(std::clamp(base > 0.0f ? glow / base : 1.0f, 0.0f, 1.0f), 0);
    }
    float value = 0.0f;
    // Shininess is a specular exponent (0 to about 100 in most files; Assimp gives glTF's
    // glossiness, or its smoothness squared, as 0 to 1000); the host's glossiness runs from 0 to 1.
    if (readFloat(source, AI_MATKEY_SHININESS, value))
        material->SetShininess(std::clamp(value / (state.gltf ? 1000.0f : 100.0f), 0.0f, 1.0f), 0);
    if (readFloat(source, AI_MATKEY_SHININESS_STRENGTH, value)) material->SetShinStr(std::max(value, 0.0f), 0);
    // FBX names the specular level "SpecularFactor"; some writers, Assimp's among them, write it as
    // "ShininessFactor", which the reader keeps only as a raw property: taken when the file gives
    // no "SpecularFactor", so that such files (and the suite's own FBX files) keep their level.
    if (!readFloat(source, "$raw.SpecularFactor", 0, 0, value) && readFloat(source, "$raw.ShininessFactor", 0, 0, value))
        material->SetShinStr(std::max(value, 0.0f), 0);
    // A glTF material is opaque unless its alpha mode says otherwise: the base colour's alpha then
    // means nothing.
    aiString alphaMode;
    const bool opaque = state.gltf && (source.Get(AI_MATKEY_GLTF_ALPHAMODE, alphaMode) != AI_SUCCESS ||
                                       std::string_view(alphaMode.C_Str()) == "OPAQUE");
    if (!opaque && readFloat(source, AI_MATKEY_OPACITY, value)) {
        // A masked material shows where its alpha reaches the cutoff, wholly, and nothing elsewhere.
        float cutoff = 0.5f;
        if (std::string_view(alphaMode.C_Str()) == "MASK") {
            readFloat(source, AI_MATKEY_GLTF_ALPHACUTOFF, cutoff);
            value = value >= cutoff ? 1.0f : 0.0f;
        }
        material->SetOpacity(std::clamp(value, 0.0f, 1.0f), 0);
    }
    int twoSided = 0;
    if (source.Get(AI_MATKEY_TWOSIDED, twoSided) == AI_SUCCESS) material->SetTwoSided(twoSided != 0);

    struct SlotSource {
        int slot;
        aiTextureType types[2];
    };
    // Per host slot, the texture kinds that fill it, the first found winning.
    static constexpr SlotSource kSlots[] = {
        {ID_DI, {aiTextureType_DIFFUSE, aiTextureType_BASE_COLOR}},
        {ID_SP, {aiTextureType_SPECULAR, aiTextureType_SPECULAR}},
        {ID_SH, {aiTextureType_SHININESS, aiTextureType_SHININESS}},
        {ID_OP, {aiTextureType_OPACITY, aiTextureType_OPACITY}},
        {ID_SI, {aiTextureType_EMISSIVE, aiTextureType_EMISSION_COLOR}},
        {ID_BU, {aiTextureType_NORMALS, aiTextureType_HEIGHT}},
        {ID_RL, {aiTextureType_REFLECTION, aiTextureType_REFLECTION}},
    };
    for (const SlotSource& slot : kSlots) {
        for (aiTextureType type : slot.types) {
            if (BitmapTexture* bitmap = bitmapFor(state, source, index, type)) {
                material->SetSubTexmap(slot.slot, bitmap);
                break;
            }
        }
    }
    if (Texmap* diffuse = material->GetSubTexmap(ID_DI)) material->SetActiveTexmap(diffuse);
    ++state.report.materials;
    return material;
}

}  // namespace

void nameEmbeddedTextures(ReadState& state) {
    const std::string& stem = state.options.embeddedTextureStem;
    std::size_t raw = 0;
    for (unsigned i = 0; i < state.ai.mNumTextures; ++i) {
        const aiTexture& texture = *state.ai.mTextures[i];
        std::string name = "*" + std::to_string(i);
        // Only compressed textures (an image file held whole) can be written out as they are.
        const bool compressed = texture.mHeight == 0 && texture.pcData != nullptr && texture.mWidth > 0;
        if (!stem.empty() && compressed) {
            name = stem + "_" + std::to_string(i) + "." + extensionFromHint(texture.achFormatHint);
            const auto* bytes = reinterpret_cast<const uint8_t*>(texture.pcData);
            state.report.embeddedTextures.push_back({name, std::vector<uint8_t>(bytes, bytes + texture.mWidth)});
        } else if (!compressed) {
            ++raw;
        } else {
            ++state.report.unnamedEmbeddedTextures;
        }
        state.textureNames.push_back(std::move(name));
    }
    if (!stem.empty() && raw > 0)
        state.report.warnings.push_back(countOf(raw, "embedded texture is", "embedded textures are") +
                                        " raw pixels, not image files: named \"*N\"");
}

Mtl* materialFor(ReadState& state, unsigned index) {
    if (index >= state.ai.mNumMaterials) return nullptr;
    if (state.materials.empty()) state.materials.resize(state.ai.mNumMaterials, nullptr);
    Mtl*& material = state.materials[index];
    if (!material) material = makeStandard(state, *state.ai.mMaterials[index], index);
    return material;
}

Mtl* nodeMaterialFor(ReadState& state, const std::vector<unsigned>& materials) {
    if (materials.empty()) return nullptr;
    if (materials.size() == 1) return materialFor(state, materials.front());
    Mtl*& multi = state.multiMaterials[materials];
    if (!multi) {
        std::string name;
        for (unsigned index : materials) {
            Mtl* sub = materialFor(state, index);
            if (!name.empty()) name += " + ";
            name += sub ? sub->GetName() : "";
        }
        MultiMaterial* made = state.scene.newMultiMtl(name, static_cast<int>(materials.size()));
        for (std::size_t slot = 0; slot < materials.size(); ++slot) {
            Mtl* sub = materialFor(state, materials[slot]);
            made->SetSubMtlAndName(static_cast<int>(slot), sub, sub ? sub->GetName() : "");
        }
        multi = made;
    }
    return multi;
}

}  // namespace headless::foreign
