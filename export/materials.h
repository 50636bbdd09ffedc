#pragma once
// Materials, texture maps, cube maps and images: one record per host object (or file name) and
// export, each list with its own ids starting at 0.
#include "format/records.h"

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>

class Mtl;
class Texmap;
class BitmapTex;

namespace zeq {

// Shared base of the four factories: the id counter, the key -> id map and the records in
// creation order.
template <class Record, class Key>
class Factory {
public:
    virtual ~Factory() = default;

    // The key's id; a new key is created first. -1 (nothing remembered) when create gives no
    // record.
    int32_t getID(const Key& key) {
        if (auto found = ids_.find(key); found != ids_.end()) return found->second;
        std::optional<Record> record = create(key);
        if (!record) return -1;
        if (!hasId(*record)) throw std::runtime_error("The export made a material, map or image record without an id");
        const int32_t id = record->id;
        ids_.emplace(key, id);
        records_.add(std::move(*record));
        return id;
    }

    const TArray<Record>& records() const { return records_; }
    // Hands the records over (creation order) and forgets them.
    TArray<Record> takeRecords() {
        TArray<Record> out = std::move(records_);
        records_ = {};
        ids_.clear();
        counter_ = 0;
        return out;
    }

protected:
    // The record for a new key, or none. Implementations take nextId() first, so a create that
    // gives no record still uses up a counter value.
    virtual std::optional<Record> create(const Key& key) = 0;
    int32_t nextId() { return counter_++; }
    // The record types here always carry a plain int32_t id; an id below 0 cannot come from the
    // counter and stands for "no id".
    static bool hasId(const Record& record) { return record.id >= 0; }

private:
    int32_t counter_ = 0;
    std::map<Key, int32_t> ids_;
    TArray<Record> records_;
};

// Image url (imageUrl of the file name) -> Zeq2Image.
class ImageFactory : public Factory<Zeq2Image, std::string> {
protected:
    std::optional<Zeq2Image> create(const std::string& url) override;
};

// The url of an image file: with `atf`, the extension (text after the last ".") becomes ".atf";
// then everything up to the last backslash is dropped.
std::string imageUrl(const std::string& fileName, bool atf);

// Bitmap texture -> Zeq2Map.
class MapFactory : public Factory<Zeq2Map, BitmapTex*> {
public:
    explicit MapFactory(ImageFactory& images) : images_(images) {}

protected:
    std::optional<Zeq2Map> create(BitmapTex* const& texture) override;

private:
    ImageFactory& images_;
};

// Texture (bitmap or StdCubic cube map) -> Zeq2CubeMap; none for a texture that has no picture
// for face 0 (imageId6): a cube map without a usable parameter block or face-0 file, or any
// other kind of texture.
class CubeMapFactory : public Factory<Zeq2CubeMap, Texmap*> {
public:
    explicit CubeMapFactory(ImageFactory& images) : images_(images) {}

protected:
    std::optional<Zeq2CubeMap> create(Texmap* const& texture) override;

private:
    ImageFactory& images_;
};

// Standard material -> Zeq2Material with its map slots filled.
class MaterialFactory : public Factory<Zeq2Material, Mtl*> {
public:
    MaterialFactory(MapFactory& maps, CubeMapFactory& cubeMaps) : maps_(maps), cubeMaps_(cubeMaps) {}
    using Factory::getID;

protected:
    std::optional<Zeq2Material> create(Mtl* const& material) override;

private:
    MapFactory& maps_;
    CubeMapFactory& cubeMaps_;
};

}  // namespace zeq
