#pragma once
// Helpers shared by the format tests: byte and bit views of encoded records, a field-table driven
// random record generator, and a small but complete sample scene.
#include "codec/protocol.h"
#include "format/record_codec.h"
#include "format/records.h"
#include "format/register.h"
#include "format/scene_file.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace zeq::test {

inline std::vector<uint8_t> bytesOf(const ByteBuffer& buffer) {
    return std::vector<uint8_t>(buffer.data(), buffer.data() + buffer.length());
}

// "00 02 0a" -> {0x00, 0x02, 0x0a}; spaces are ignored.
inline std::vector<uint8_t> hexBytes(std::string_view text) {
    std::vector<uint8_t> bytes;
    std::string digits;
    for (char c : text) {
        if (c != ' ') digits += c;
    }
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

inline ByteBuffer bufferOf(const std::vector<uint8_t>& bytes) {
    ByteBuffer buffer;
    if (!bytes.empty()) buffer.appendBytes(bytes.data(), static_cast<int32_t>(bytes.size()), false);
    return buffer;
}

// The written bits of a null map as a string of '0' and '1'.
inline std::string bitsOf(const NullMap& map) {
    std::string bits;
    for (int32_t i = 0; i < map.bitCount; ++i) {
        bits += ((map.bytes[static_cast<std::size_t>(i / 8)] >> (7 - i % 8)) & 1) ? '1' : '0';
    }
    return bits;
}

// One record encoded on its own: the value stream and the presence bits it produced.
struct Encoded {
    std::vector<uint8_t> data;
    std::string bits;
};

template <Record R>
Encoded encodeAlone(const R& record) {
    Protocol protocol;
    registerFormatTypes(protocol);
    ProtocolBuffer pb;
    encodeRecord(protocol, pb, record);
    return {bytesOf(pb.buffer), bitsOf(pb.nullMap)};
}

// The body of a scene file before compression: null map encoding, then the data stream.
inline std::vector<uint8_t> sceneBody(const SceneFile& file) {
    Protocol protocol;
    registerFormatTypes(protocol);
    ProtocolBuffer pb;
    const uint8_t version[4] = {static_cast<uint8_t>(file.majorVersion >> 8), static_cast<uint8_t>(file.majorVersion),
                                static_cast<uint8_t>(file.minorVersion >> 8), static_cast<uint8_t>(file.minorVersion)};
    pb.buffer.appendBytes(version, 4, false);
    encodeRecord(protocol, pb, file.root);
    encodeRecord(protocol, pb, file.extra1);
    encodeRecord(protocol, pb, file.extra2);
    ByteBuffer body;
    pb.nullMap.encode(body);
    body.appendFrom(pb.buffer, 0, pb.buffer.length());
    return bytesOf(body);
}

// Frames a body below 16384 bytes as a stored (uncompressed) packet: short header with bit 6 clear.
inline ByteBuffer storedPacket(const std::vector<uint8_t>& body) {
    std::vector<uint8_t> packet = {static_cast<uint8_t>(body.size() >> 8), static_cast<uint8_t>(body.size() & 0xFF)};
    packet.insert(packet.end(), body.begin(), body.end());
    return bufferOf(packet);
}

// Fills any record through its field table with seeded random values: optional fields absent
// about a third of the time, arrays of 0 to 3 elements (fewer deeper down), texts with non-ASCII
// characters, floats from random bit patterns (never NaN, which compares unequal to itself).
class RandomRecords {
public:
    explicit RandomRecords(uint64_t seed) : rng_(seed) {}

    template <class T>
    void fill(T& value, int depth = 0) {
        if constexpr (Record<T>) {
            forEachField<T>([&](const auto& f) { fill(value.*(f.member), depth + 1); });
        } else if constexpr (IsOptional<T>::value) {
            if (chance(3)) {
                value.reset();
            } else {
                value.emplace();
                fill(*value, depth);
            }
        } else if constexpr (IsArray<T>::value) {
            value.items.clear();
            const int most = depth > 3 ? 1 : 3;
            const int count = static_cast<int>(below(static_cast<uint64_t>(most) + 1));
            for (int i = 0; i < count; ++i) {
                value.items.emplace_back();
                fill(value.items.back(), depth + 1);
            }
        } else if constexpr (std::is_same_v<T, ByteBuffer>) {
            value = ByteBuffer();
            const auto n = below(9);
            for (uint64_t i = 0; i < n; ++i) value.appendByte(static_cast<uint8_t>(rng_()));
        } else if constexpr (std::is_same_v<T, std::string>) {
            static const char* const pieces[] = {"a", "Box", "_", "01", "\xC3\xA9", "\xE6\x97\xA5", " ", "@LOD"};
            value.clear();
            const auto n = below(5);
            for (uint64_t i = 0; i < n; ++i) value += pieces[below(std::size(pieces))];
        } else if constexpr (std::is_same_v<T, Zeq2VertexAttributes>) {
            // Mostly the five kinds; now and then a value outside the enumeration, which must survive.
            value = static_cast<Zeq2VertexAttributes>(chance(10) ? 9 : static_cast<int32_t>(below(5)));
        } else if constexpr (std::is_same_v<T, ZeqId>) {
            value.value = static_cast<uint32_t>(rng_());
        } else if constexpr (std::is_same_v<T, bool>) {
            value = chance(2);
        } else if constexpr (std::is_same_v<T, float>) {
            do {
                const auto bits = static_cast<uint32_t>(rng_());
                std::memcpy(&value, &bits, sizeof value);
            } while (std::isnan(value));
        } else {
            static_assert(std::is_integral_v<T>);
            value = static_cast<T>(rng_());
        }
    }

    bool chance(uint64_t oneIn) { return below(oneIn) == 0; }
    uint64_t below(uint64_t n) { return rng_() % n; }

private:
    std::mt19937_64 rng_;
};

inline Zeq2Transform translation(float x, float y, float z) {
    Zeq2Transform t;
    t.matrix = {1, 0, 0, x, 0, 1, 0, y, 0, 0, 1, z};
    return t;
}

// A scene with one of everything the exporter writes: a textured, skinned and a plain mesh with
// their buffers, materials, maps, images and a cube map, lights, a sprite, a track, a layer and a
// level-of-detail group.
inline SceneFile sampleScene() {
    SceneFile file;
    Zeq2& root = file.root;

    Zeq2VertexBuffer vertices;
    vertices.id = 1;
    vertices.attributes = {Zeq2VertexAttributes::POSITION, Zeq2VertexAttributes::NORMAL,
                           Zeq2VertexAttributes::TEXCOORDS};
    vertices.vertexCount = 3;
    for (int i = 0; i < 3 * 32; ++i) vertices.byteBuffer.appendByte(static_cast<uint8_t>(i * 7));
    Zeq2IndexBuffer indices;
    indices.id = 1;
    indices.indexCount = 3;
    const uint8_t triangle[6] = {0, 0, 1, 0, 2, 0};
    indices.byteBuffer.appendBytes(triangle, 6, false);
    root.vertexBuffers = TArray<Zeq2VertexBuffer>{vertices};
    root.indexBuffers = TArray<Zeq2IndexBuffer>{indices};
    root.boxes = TArray<Zeq2Box>{Zeq2Box{{-1, -1, -1, 1, 1, 1}, 4}};

    Zeq2Mesh mesh;
    mesh.boundBoxId = 4;
    mesh.id = 10;
    mesh.indexBufferId = 1;
    mesh.name = "Teapot";
    mesh.surfaces = {Zeq2Surface{0, 2, 1}, Zeq2Surface{3, std::nullopt, 0}};
    mesh.transform = translation(1, 2, 3);
    mesh.vertexBufferIds = {1};
    mesh.visible = true;
    root.meshes = TArray<Zeq2Mesh>{mesh};

    Zeq2Skin skin;
    skin.id = 11;
    skin.parentId = 12;
    skin.indexBufferId = 1;
    skin.jointBindTransforms = {Zeq2JointBindTransform{translation(0, -1, 0), 13}};
    skin.jointIds = {13};
    skin.surfaceJointCounts = {1};
    skin.surfaces = {Zeq2Surface{0, 2, 1}};
    skin.vertexBufferIds = {1};
    skin.visible = true;
    root.skins = TArray<Zeq2Skin>{skin};

    Zeq2Object group;
    group.id = 12;
    group.name = "Group";
    group.visible = true;
    root.objects = TArray<Zeq2Object>{group};
    Zeq2Joint joint;
    joint.id = 13;
    joint.parentId = 12;
    joint.name = "Bone01";
    joint.transform = translation(0, 1, 0);
    root.joints = TArray<Zeq2Joint>{joint};

    Zeq2Material material;
    material.id = 2;
    material.diffuseMapId = 5;
    material.reflectionCubeMapId = 8;
    Zeq2Material plain;
    plain.id = 3;
    root.materials = TArray<Zeq2Material>{material, plain};
    root.maps = TArray<Zeq2Map>{Zeq2Map{1, 5, 6}};
    root.images = TArray<Zeq2Image>{Zeq2Image{6, "maps/br\xC3\xBC" "cke.png"}, Zeq2Image{7, "sky.dds"}};
    Zeq2CubeMap cube;
    cube.id = 8;
    cube.imageId6 = 7;
    root.cubeMaps = TArray<Zeq2CubeMap>{cube};

    Zeq2AmbientLight ambient;
    ambient.id = 14;
    ambient.color = 0x202020;
    ambient.intensity = 1;
    ambient.visible = true;
    root.ambientLights = TArray<Zeq2AmbientLight>{ambient};
    Zeq2SpotLight spot;
    spot.id = 15;
    spot.color = 0xFFEEDD;
    spot.attenuationBegin = 10;
    spot.attenuationEnd = 80;
    spot.falloff = 0.8f;
    spot.hotspot = 0.5f;
    spot.intensity = 2;
    spot.transform = translation(0, 10, 0);
    spot.visible = true;
    root.spotLights = TArray<Zeq2SpotLight>{spot};

    Zeq2Sprite sprite;
    sprite.id = 16;
    sprite.materialId = 3;
    sprite.width = 2;
    sprite.height = 1;
    sprite.originX = 0.5f;
    sprite.originY = 0.5f;
    sprite.perspectiveScale = true;
    sprite.visible = true;
    root.sprites = TArray<Zeq2Sprite>{sprite};

    Zeq2Track track;
    track.id = 1;
    track.objectName = "Teapot";
    for (int i = 0; i < 3; ++i) {
        track.keyframes.add(Zeq2Keyframe{static_cast<float>(i) / 30.0f, translation(static_cast<float>(i), 0, 0)});
    }
    root.tracks = TArray<Zeq2Track>{track};
    root.omniLights = TArray<Zeq2OmniLight>{};  // present but empty

    file.extra1.layers = TArray<Zeq2Layer>{Zeq2Layer{1, std::string("0"), TArray<int64_t>{10, 12}},
                                           Zeq2Layer{2, std::string(""), std::nullopt}};
    Zeq2LOD lod;
    lod.id = 17;
    lod.name = "Tree@LOD";
    lod.distances = {10, 50};
    lod.objectIds = {10, 12};
    lod.visible = true;
    file.extra2.lods = TArray<Zeq2LOD>{lod};
    return file;
}

}  // namespace zeq::test
