#pragma once
// Materials and texture maps of the headless scene.
#include "headless/param_block.h"
#include "headless/scene.h"

#include <optional>
#include <string>
#include <vector>

namespace headless {

// Name and flags, shared by every material and map.
class MaterialBase {
public:
    const char* name() const { return name_.c_str(); }
    void setName(const char* name) { name_ = name ? name : ""; }
    void setFlag(int mask, bool value) {
        if (value) flags_ |= mask;
        else flags_ &= ~mask;
    }
    bool testFlag(int mask) const { return (flags_ & mask) != 0; }

private:
    std::string name_;
    int flags_ = 0;
};

#define ZEQ_HEADLESS_MTLBASE_MEMBERS                                                  \
    const char* GetName() override { return base_.name(); }                           \
    void SetName(const char* name) override { base_.setName(name); }                  \
    void SetMtlFlag(int mask, bool value = true) override { base_.setFlag(mask, value); } \
    void ClearMtlFlag(int mask) override { base_.setFlag(mask, false); }              \
    bool TestMtlFlag(int mask) override { return base_.testFlag(mask); }

class StandardMaterial : public StdMat, public Referrer {
public:
    StandardMaterial(Scene& scene, const std::string& name);
    ZEQ_HEADLESS_MTLBASE_MEMBERS

    int NumSubTexmaps() override { return STD_NUM_TEXMAPS; }
    Texmap* GetSubTexmap(int i) override;
    // Putting a map into a slot enables the slot; an empty slot is disabled.
    void SetSubTexmap(int i, Texmap* map) override;
    void SetActiveTexmap(MtlBase* map) override;
    MtlBase* GetActiveTexmap() override { return active_; }
    Color GetDiffuse(TimeValue = 0) override { return diffuse_; }

    void SetAmbient(const Color& c, TimeValue) override { ambient_ = c; }
    void SetDiffuse(const Color& c, TimeValue) override { diffuse_ = c; }
    void SetSpecular(const Color& c, TimeValue) override { specular_ = c; }
    Color GetAmbient(TimeValue) override { return ambient_; }
    Color GetSpecular(TimeValue) override { return specular_; }
    void SetShininess(float v, TimeValue) override { shininess_ = v; }
    float GetShininess(TimeValue) override { return shininess_; }
    void SetShinStr(float v, TimeValue) override { shinStr_ = v; }
    float GetShinStr(TimeValue) override { return shinStr_; }
    void SetOpacity(float v, TimeValue) override { opacity_ = v; }
    float GetOpacity(TimeValue) override { return opacity_; }
    void SetSelfIllum(float v, TimeValue) override { selfIllum_ = v; }
    float GetSelfIllum(TimeValue) override { return selfIllum_; }
    void SetTwoSided(bool on) override { twoSided_ = on; }
    bool GetTwoSided() override { return twoSided_; }
    void EnableMap(int id, bool on) override;
    bool MapEnabled(int id) override;
    void SetTexmapAmt(int id, float amount, TimeValue) override;
    float GetTexmapAmt(int id, TimeValue) override;

    void ForgetTarget(Animatable* target) override;

private:
    Scene& scene_;
    MaterialBase base_;
    Texmap* maps_[STD_NUM_TEXMAPS] = {};
    bool enabled_[STD_NUM_TEXMAPS] = {};
    float amounts_[STD_NUM_TEXMAPS];
    MtlBase* active_ = nullptr;
    Color ambient_{0.588f, 0.588f, 0.588f};
    Color diffuse_{0.588f, 0.588f, 0.588f};
    Color specular_{0.9f, 0.9f, 0.9f};
    float shininess_ = 0.1f;
    float shinStr_ = 0.0f;
    float opacity_ = 1.0f;
    float selfIllum_ = 0.0f;
    bool twoSided_ = false;
};

class MultiMaterial : public MultiMtl, public Referrer {
public:
    MultiMaterial(Scene& scene, const std::string& name, int numSubs);
    ZEQ_HEADLESS_MTLBASE_MEMBERS

    int NumSubMtls() override { return static_cast<int>(subs_.size()); }
    Mtl* GetSubMtl(int i) override;
    void SetSubMtl(int i, Mtl* mtl) override;
    void SetActiveTexmap(MtlBase* map) override { active_ = map; }
    MtlBase* GetActiveTexmap() override { return active_; }
    Color GetDiffuse(TimeValue t = 0) override;
    void SetNumSubMtls(int n) override;
    void SetSubMtlAndName(int slot, Mtl* mtl, const std::string& name) override;
    std::string GetSubMtlSlotName(int slot) override;

    void ForgetTarget(Animatable* target) override;

private:
    Scene& scene_;
    MaterialBase base_;
    std::vector<Mtl*> subs_;
    std::vector<std::string> slotNames_;
    MtlBase* active_ = nullptr;
};

// A material of any other class, with sub-materials and sub-maps.
class GenericMaterial : public Mtl, public Referrer {
public:
    GenericMaterial(Scene& scene, Class_ID classID, const std::string& name);
    ZEQ_HEADLESS_MTLBASE_MEMBERS

    Class_ID ClassID() override { return classID_; }
    int NumSubMtls() override { return static_cast<int>(subs_.size()); }
    Mtl* GetSubMtl(int i) override;
    void SetSubMtl(int i, Mtl* mtl) override;
    int NumSubTexmaps() override { return static_cast<int>(maps_.size()); }
    Texmap* GetSubTexmap(int i) override;
    void SetSubTexmap(int i, Texmap* map) override;
    bool IsMultiMtl() override { return reportsMulti_; }
    void setReportsMulti(bool multi) { reportsMulti_ = multi; }
    void SetActiveTexmap(MtlBase* map) override { active_ = map; }
    MtlBase* GetActiveTexmap() override { return active_; }
    Color GetDiffuse(TimeValue = 0) override { return diffuse_; }
    void setDiffuse(const Color& c) { diffuse_ = c; }
    // Slot counts; new slots are empty.
    void setNumSubMtls(int n) { subs_.resize(n > 0 ? n : 0, nullptr); }
    void setNumSubTexmaps(int n) { maps_.resize(n > 0 ? n : 0, nullptr); }

    void ForgetTarget(Animatable* target) override;

private:
    Scene& scene_;
    MaterialBase base_;
    Class_ID classID_;
    std::vector<Mtl*> subs_;
    std::vector<Texmap*> maps_;
    bool reportsMulti_ = false;
    MtlBase* active_ = nullptr;
    Color diffuse_{0.5f, 0.5f, 0.5f};
};

// The UV generator of a map: the map channel it reads. Owned by its map.
class UVGenerator : public UVGen {
public:
    int GetMapChannel() override { return channel_; }
    void SetMapChannel(int channel) override { channel_ = channel; }

private:
    int channel_ = 1;
};

// What the host knows about an image file: its pixel size, or no storage when it could not be read.
class BitmapImage : public Bitmap {
public:
    uint16_t Width() override { return width_; }
    uint16_t Height() override { return height_; }
    bool HasStorage() override { return storage_; }
    void set(uint16_t width, uint16_t height, bool storage) {
        width_ = width;
        height_ = height;
        storage_ = storage;
    }

private:
    uint16_t width_ = 0;
    uint16_t height_ = 0;
    bool storage_ = false;
};

class BitmapTexture : public BitmapTex {
public:
    BitmapTexture(const std::string& fileName, int mapChannel);
    ZEQ_HEADLESS_MTLBASE_MEMBERS

    // ---- Builder API ----
    // The image's pixel size, as if the host had read the file; without it the bitmap has no storage.
    void setBitmapSize(uint16_t width, uint16_t height);
    std::optional<std::pair<uint16_t, uint16_t>> bitmapSize() const { return size_; }

    UVGen* GetTheUVGen() override { return &uvGen_; }
    const char* GetMapName() override { return fileName_.c_str(); }
    void SetMapName(const char* name) override { fileName_ = name ? name : ""; }
    // Null when the map names no file; a bitmap without storage when its size is unknown.
    Bitmap* GetBitmap(TimeValue t) override;
    void SetFilterType(int filter) override { filter_ = filter; }
    int GetFilterType() override { return filter_; }
    void SetAlphaSource(int source) override { alphaSource_ = source; }
    int GetAlphaSource() override { return alphaSource_; }
    void SetAlphaAsMono(bool on) override { alphaAsMono_ = on; }
    bool GetAlphaAsMono() override { return alphaAsMono_; }

private:
    MaterialBase base_;
    std::string fileName_;
    UVGenerator uvGen_;
    BitmapImage image_;
    std::optional<std::pair<uint16_t, uint16_t>> size_;
    int filter_ = FILTER_PYR;
    int alphaSource_ = ALPHA_FILE;
    bool alphaAsMono_ = false;
};

// The cube-map texture. Its parameter block 0 ("params") has ACUBIC_NUM_PARAMS parameters with ids
// 0 to 10; parameter 10 ("bitmapName") is a string table of six entries (absent until set).
class CubeMap : public StdCubic {
public:
    explicit CubeMap(Scene& scene);
    ~CubeMap() override;
    ZEQ_HEADLESS_MTLBASE_MEMBERS

    // Sets face i (0..5) to a file name (empty: no file).
    void setFaceFile(int face, const std::string& fileName);
    // Replaces the parameter block (for scenes that carry a block of another shape); the map owns it.
    void setParamBlock(ParamBlock* block);

    int NumParamBlocks() override { return block_ ? 1 : 0; }
    IParamBlock2* GetParamBlock(int index) override { return index == 0 ? block_ : nullptr; }
    UVGen* GetTheUVGen() override { return &uvGen_; }
    int NumRefs() override { return 1; }
    ReferenceTarget* GetReference(int i) override { return i == 0 ? block_ : nullptr; }

private:
    MaterialBase base_;
    ParamBlock* block_ = nullptr;
    UVGenerator uvGen_;
};

// A map of any other class, with sub-maps and parameter blocks.
class GenericTexmap : public Texmap, public Referrer {
public:
    GenericTexmap(Scene& scene, Class_ID classID, const std::string& name);
    ~GenericTexmap() override;
    ZEQ_HEADLESS_MTLBASE_MEMBERS

    Class_ID ClassID() override { return classID_; }
    int NumSubTexmaps() override { return static_cast<int>(maps_.size()); }
    Texmap* GetSubTexmap(int i) override;
    void SetSubTexmap(int i, Texmap* map) override;
    void setNumSubTexmaps(int n) { maps_.resize(n > 0 ? n : 0, nullptr); }
    UVGen* GetTheUVGen() override { return &uvGen_; }
    ParamBlock* addParamBlock(BlockID id, const std::string& name = "");
    int NumParamBlocks() override { return static_cast<int>(blocks_.size()); }
    IParamBlock2* GetParamBlock(int index) override;

    void ForgetTarget(Animatable* target) override;

private:
    Scene& scene_;
    MaterialBase base_;
    Class_ID classID_;
    std::vector<Texmap*> maps_;
    std::vector<ParamBlock*> blocks_;
    UVGenerator uvGen_;
};

}  // namespace headless
