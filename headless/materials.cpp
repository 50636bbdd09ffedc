#include "headless/materials.h"

namespace headless {

namespace {

template <typename T>
T* slotAt(const std::vector<T*>& slots, int i) {
    return i >= 0 && i < static_cast<int>(slots.size()) ? slots[i] : nullptr;
}

template <typename T>
void forgetIn(std::vector<T*>& slots, Animatable* target) {
    for (auto& slot : slots)
        if (static_cast<Animatable*>(slot) == target) slot = nullptr;
}

}  // namespace

// ---- StandardMaterial ----

StandardMaterial::StandardMaterial(Scene& scene, const std::string& name) : scene_(scene) {
    base_.setName(name.c_str());
    for (float& amount : amounts_) amount = 1.0f;
    // The bump slot starts at the host's usual 30 %.
    amounts_[ID_BU] = 0.3f;
}

Texmap* StandardMaterial::GetSubTexmap(int i) { return i >= 0 && i < STD_NUM_TEXMAPS ? maps_[i] : nullptr; }

void StandardMaterial::SetSubTexmap(int i, Texmap* map) {
    if (i < 0 || i >= STD_NUM_TEXMAPS) return;
    maps_[i] = map;
    enabled_[i] = map != nullptr;
    scene_.adopt(map);
    scene_.noteReference(map);
}

void StandardMaterial::SetActiveTexmap(MtlBase* map) {
    active_ = map;
    scene_.noteReference(map);
}

void StandardMaterial::EnableMap(int id, bool on) {
    if (id >= 0 && id < STD_NUM_TEXMAPS) enabled_[id] = on;
}

bool StandardMaterial::MapEnabled(int id) { return id >= 0 && id < STD_NUM_TEXMAPS && enabled_[id]; }

void StandardMaterial::SetTexmapAmt(int id, float amount, TimeValue) {
    if (id >= 0 && id < STD_NUM_TEXMAPS) amounts_[id] = amount;
}

float StandardMaterial::GetTexmapAmt(int id, TimeValue) {
    return id >= 0 && id < STD_NUM_TEXMAPS ? amounts_[id] : 0.0f;
}

void StandardMaterial::ForgetTarget(Animatable* target) {
    for (int i = 0; i < STD_NUM_TEXMAPS; ++i)
        if (static_cast<Animatable*>(maps_[i]) == target) maps_[i] = nullptr;
    if (static_cast<Animatable*>(active_) == target) active_ = nullptr;
}

// ---- MultiMaterial ----

MultiMaterial::MultiMaterial(Scene& scene, const std::string& name, int numSubs) : scene_(scene) {
    base_.setName(name.c_str());
    SetNumSubMtls(numSubs);
}

Mtl* MultiMaterial::GetSubMtl(int i) { return slotAt(subs_, i); }

void MultiMaterial::SetSubMtl(int i, Mtl* mtl) {
    if (i < 0) return;
    if (i >= NumSubMtls()) SetNumSubMtls(i + 1);
    subs_[i] = mtl;
    scene_.adopt(mtl);
    scene_.noteReference(mtl);
}

Color MultiMaterial::GetDiffuse(TimeValue t) {
    Mtl* first = slotAt(subs_, 0);
    return first ? first->GetDiffuse(t) : Color(0.5f, 0.5f, 0.5f);
}

void MultiMaterial::SetNumSubMtls(int n) {
    size_t count = n > 0 ? static_cast<size_t>(n) : 0;
    subs_.resize(count, nullptr);
    slotNames_.resize(count);
}

void MultiMaterial::SetSubMtlAndName(int slot, Mtl* mtl, const std::string& name) {
    if (slot < 0) return;
    SetSubMtl(slot, mtl);
    slotNames_[slot] = name;
}

std::string MultiMaterial::GetSubMtlSlotName(int slot) {
    return slot >= 0 && slot < static_cast<int>(slotNames_.size()) ? slotNames_[slot] : std::string();
}

void MultiMaterial::ForgetTarget(Animatable* target) {
    forgetIn(subs_, target);
    if (static_cast<Animatable*>(active_) == target) active_ = nullptr;
}

// ---- GenericMaterial ----

GenericMaterial::GenericMaterial(Scene& scene, Class_ID classID, const std::string& name)
    : scene_(scene), classID_(classID) {
    base_.setName(name.c_str());
}

Mtl* GenericMaterial::GetSubMtl(int i) { return slotAt(subs_, i); }

void GenericMaterial::SetSubMtl(int i, Mtl* mtl) {
    if (i < 0) return;
    if (i >= NumSubMtls()) setNumSubMtls(i + 1);
    subs_[i] = mtl;
    scene_.adopt(mtl);
    scene_.noteReference(mtl);
}

Texmap* GenericMaterial::GetSubTexmap(int i) { return slotAt(maps_, i); }

void GenericMaterial::SetSubTexmap(int i, Texmap* map) {
    if (i < 0) return;
    if (i >= NumSubTexmaps()) setNumSubTexmaps(i + 1);
    maps_[i] = map;
    scene_.adopt(map);
    scene_.noteReference(map);
}

void GenericMaterial::ForgetTarget(Animatable* target) {
    forgetIn(subs_, target);
    forgetIn(maps_, target);
    if (static_cast<Animatable*>(active_) == target) active_ = nullptr;
}

// ---- BitmapTexture ----

BitmapTexture::BitmapTexture(const std::string& fileName, int mapChannel) : fileName_(fileName) {
    uvGen_.SetMapChannel(mapChannel);
}

void BitmapTexture::setBitmapSize(uint16_t width, uint16_t height) { size_ = std::make_pair(width, height); }

Bitmap* BitmapTexture::GetBitmap(TimeValue) {
    if (fileName_.empty()) return nullptr;
    if (size_) image_.set(size_->first, size_->second, true);
    else image_.set(0, 0, false);
    return &image_;
}

// ---- CubeMap ----

CubeMap::CubeMap(Scene& scene) {
    block_ = new ParamBlock(&scene, 0, "params");
    // The cube map's parameters: its generation settings, then the six face images.
    block_->addParam(0, "size", TYPE_INT);
    block_->addParam(1, "blur", TYPE_FLOAT);
    block_->addParam(2, "blurOffset", TYPE_FLOAT);
    block_->addParam(3, "nearRange", TYPE_FLOAT);
    block_->addParam(4, "farRange", TYPE_FLOAT);
    block_->addParam(5, "useAtmospheric", TYPE_BOOL);
    block_->addParam(6, "applyBlur", TYPE_BOOL);
    block_->addParam(7, "frameSource", TYPE_INT);
    block_->addParam(8, "everyNFrames", TYPE_INT);
    block_->addParam(9, "source", TYPE_INT);
    block_->addParam(ACUBIC_BITMAP_NAMES_PARAM, "bitmapName", TYPE_STRING_TAB, 6);
    block_->SetValue(0, 0, 100);
    block_->SetValue(1, 0, 1.0f);
}

CubeMap::~CubeMap() {
    if (block_) block_->DeleteThis();
}

void CubeMap::setFaceFile(int face, const std::string& fileName) {
    if (!block_ || face < 0) return;
    block_->SetValue(ACUBIC_BITMAP_NAMES_PARAM, 0, fileName.empty() ? nullptr : fileName.c_str(), face);
}

void CubeMap::setParamBlock(ParamBlock* block) {
    if (block == block_) return;
    if (block_) block_->DeleteThis();
    block_ = block;
}

// ---- GenericTexmap ----

GenericTexmap::GenericTexmap(Scene& scene, Class_ID classID, const std::string& name)
    : scene_(scene), classID_(classID) {
    base_.setName(name.c_str());
}

GenericTexmap::~GenericTexmap() {
    for (ParamBlock* block : blocks_) block->DeleteThis();
}

Texmap* GenericTexmap::GetSubTexmap(int i) { return slotAt(maps_, i); }

void GenericTexmap::SetSubTexmap(int i, Texmap* map) {
    if (i < 0) return;
    if (i >= NumSubTexmaps()) setNumSubTexmaps(i + 1);
    maps_[i] = map;
    scene_.adopt(map);
    scene_.noteReference(map);
}

ParamBlock* GenericTexmap::addParamBlock(BlockID id, const std::string& name) {
    auto* block = new ParamBlock(&scene_, id, name);
    blocks_.push_back(block);
    return block;
}

IParamBlock2* GenericTexmap::GetParamBlock(int index) { return slotAt(blocks_, index); }

void GenericTexmap::ForgetTarget(Animatable* target) { forgetIn(maps_, target); }

}  // namespace headless
