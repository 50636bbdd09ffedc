#pragma once
// Helpers of the zeq tests: a small scene that passes every check, byte builders for vertex and
// index data, a scratch folder, and a runner for the built zeq binary.
#include "format/records.h"
#include "format/scene_file.h"

#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace zeq::test {

inline ByteBuffer floatBytes(std::initializer_list<float> values) {
    ByteBuffer bytes;
    for (float value : values) bytes.appendBytes(&value, 4, false);  // little-endian host
    return bytes;
}

// Half-precision bit pattern of a float that half precision holds exactly (test values only).
inline uint16_t halfBits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    const uint32_t sign = (bits >> 16) & 0x8000;
    const int exponent = static_cast<int>((bits >> 23) & 0xFF) - 127 + 15;
    const uint32_t mantissa = (bits >> 13) & 0x3FF;
    if ((bits & 0x7FFFFFFF) == 0) return static_cast<uint16_t>(sign);
    if (exponent <= 0 || exponent >= 31) throw std::invalid_argument("value outside the test range of halfBits");
    return static_cast<uint16_t>(sign | (static_cast<uint32_t>(exponent) << 10) | mantissa);
}

// 16-bit floats stored big-endian, as minor version 6 files hold them.
inline ByteBuffer halfBytes(std::initializer_list<float> values) {
    ByteBuffer bytes;
    for (float value : values) {
        const uint16_t half = halfBits(value);
        bytes.appendByte(static_cast<uint8_t>(half >> 8));
        bytes.appendByte(static_cast<uint8_t>(half & 0xFF));
    }
    return bytes;
}

inline ByteBuffer indexBytes(std::initializer_list<uint16_t> indices) {
    ByteBuffer bytes;
    for (uint16_t index : indices) {
        bytes.appendByte(static_cast<uint8_t>(index & 0xFF));
        bytes.appendByte(static_cast<uint8_t>(index >> 8));
    }
    return bytes;
}

inline Zeq2Transform moveTo(float x, float y, float z) {
    Zeq2Transform t;
    t.matrix = {1, 0, 0, x, 0, 1, 0, y, 0, 0, 1, z};
    return t;
}

// A quad mesh, a skinned quad on a second buffer pair with two joints, materials with a map,
// images and a cube map, lights, a sprite, a track, a clip, a layer and a LOD group; every
// reference resolves and every size matches.
inline SceneFile validScene() {
    using A = Zeq2VertexAttributes;
    SceneFile file;
    Zeq2& root = file.root;

    Zeq2VertexBuffer quad;
    quad.id = 1;
    quad.attributes = {A::POSITION, A::NORMAL, A::TEXCOORDS};
    quad.vertexCount = 4;
    quad.byteBuffer = floatBytes({0, 0, 0, 0, 0, 1, 0, 0,  //
                                  1, 0, 0, 0, 0, 1, 1, 0,  //
                                  1, 1, 0, 0, 0, 1, 1, 1,  //
                                  0, 1, 0, 0, 0, 1, 0, 1});
    Zeq2VertexBuffer skinned;
    skinned.id = 2;
    skinned.attributes = {A::POSITION, A::JOINTS};
    skinned.vertexCount = 3;
    skinned.byteBuffer = floatBytes({0, 0, 0, 0, 1, 0, 0,    //
                                     1, 0, 0, 3, 1, 0, 0,    //
                                     0, 1, 0, 0, 0.5f, 3, 0.5f});
    root.vertexBuffers = TArray<Zeq2VertexBuffer>{quad, skinned};
    root.indexBuffers = TArray<Zeq2IndexBuffer>{Zeq2IndexBuffer{indexBytes({0, 1, 2, 0, 2, 3}), 7, 6},
                                                Zeq2IndexBuffer{indexBytes({0, 1, 2}), 8, 3}};
    root.boxes = TArray<Zeq2Box>{Zeq2Box{{0, 0, 0, 1, 1, 0}, 3}};

    Zeq2Object group;
    group.id = 100;
    group.name = "Group";
    group.visible = true;
    root.objects = TArray<Zeq2Object>{group};

    Zeq2Mesh mesh;
    mesh.boundBoxId = 3;
    mesh.id = 101;
    mesh.parentId = 100;
    mesh.name = "Quad";
    mesh.indexBufferId = 7;
    mesh.vertexBufferIds = {1};
    mesh.surfaces = {Zeq2Surface{0, 20, 1}, Zeq2Surface{3, std::nullopt, 1}};
    mesh.transform = moveTo(1, 2, 3);
    mesh.visible = true;
    root.meshes = TArray<Zeq2Mesh>{mesh};

    Zeq2Joint hip;
    hip.id = 102;
    hip.name = "Hip";
    hip.visible = true;
    Zeq2Joint knee;
    knee.id = 103;
    knee.parentId = 102;
    knee.name = "Knee";
    knee.transform = moveTo(0, -1, 0);
    root.joints = TArray<Zeq2Joint>{hip, knee};

    Zeq2Skin skin;
    skin.id = 104;
    skin.parentId = 100;
    skin.indexBufferId = 8;
    skin.vertexBufferIds = {2};
    skin.surfaces = {Zeq2Surface{0, 21, 1}};
    skin.jointIds = {102, 103};
    skin.surfaceJointCounts = {2};
    skin.jointBindTransforms = {Zeq2JointBindTransform{moveTo(0, 0, 0), 102},
                                Zeq2JointBindTransform{moveTo(0, 1, 0), 103}};
    skin.visible = true;
    root.skins = TArray<Zeq2Skin>{skin};

    Zeq2Material textured;
    textured.id = 20;
    textured.diffuseMapId = 30;
    textured.reflectionCubeMapId = 50;
    Zeq2Material plain;
    plain.id = 21;
    root.materials = TArray<Zeq2Material>{textured, plain};
    root.maps = TArray<Zeq2Map>{Zeq2Map{1, 30, 40}};
    root.images = TArray<Zeq2Image>{Zeq2Image{40, "bricks.png"}, Zeq2Image{41, "sky.dds"}};
    Zeq2CubeMap cube;
    cube.id = 50;
    cube.imageId6 = 41;
    root.cubeMaps = TArray<Zeq2CubeMap>{cube};

    Zeq2AmbientLight ambient;
    ambient.id = 105;
    ambient.color = 0x202020;
    ambient.intensity = 1;
    ambient.visible = true;
    root.ambientLights = TArray<Zeq2AmbientLight>{ambient};
    Zeq2SpotLight spot;
    spot.id = 106;
    spot.color = 0xFFEEDD;
    spot.intensity = 2;
    spot.transform = moveTo(0, 10, 0);
    spot.visible = true;
    root.spotLights = TArray<Zeq2SpotLight>{spot};
    Zeq2Sprite sprite;
    sprite.id = 107;
    sprite.materialId = 21;
    sprite.width = 2;
    sprite.height = 1;
    sprite.visible = true;
    root.sprites = TArray<Zeq2Sprite>{sprite};

    Zeq2Track track;
    track.id = 60;
    track.objectName = "Quad";
    for (int i = 0; i < 3; ++i) {
        track.keyframes.add(Zeq2Keyframe{static_cast<float>(i) * 0.5f, moveTo(static_cast<float>(i), 0, 0)});
    }
    root.tracks = TArray<Zeq2Track>{track};
    Zeq2AnimationClip clip;
    clip.id = 61;
    clip.tracks = {60};
    clip.objectIds = TArray<int64_t>{101};
    root.animationClips = TArray<Zeq2AnimationClip>{clip};

    file.extra1.layers = TArray<Zeq2Layer>{Zeq2Layer{0, std::string("0"), TArray<int64_t>{100, 101, 104}}};
    Zeq2LOD lod;
    lod.id = 108;
    lod.name = "Tree@LOD";
    lod.distances = {10, 50};
    lod.objectIds = {100, 101};
    lod.visible = true;
    file.extra2.lods = TArray<Zeq2LOD>{lod};
    return file;
}

// A scratch folder, removed with everything in it when the test ends.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zeq-tools-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create a scratch folder");
        path_ = pattern;
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline void writeBytes(const std::string& path, const uint8_t* data, std::size_t n) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(n));
    if (!out) throw std::runtime_error("cannot write " + path);
}
inline void writeBytes(const std::string& path, const ByteBuffer& bytes) {
    writeBytes(path, bytes.data(), static_cast<std::size_t>(bytes.length()));
}
inline void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    writeBytes(path, bytes.data(), bytes.size());
}

inline void writeText(const std::string& path, const std::string& text) {
    writeBytes(path, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

inline std::vector<uint8_t> bytesOf(const ByteBuffer& buffer) {
    return std::vector<uint8_t>(buffer.data(), buffer.data() + buffer.length());
}

inline std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Single-quotes an argument for the shell.
inline std::string quoted(const std::string& argument) {
    std::string result = "'";
    for (char c : argument) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

struct RunResult {
    int status = -1;  // exit status; 124 when the time limit stopped it, -1 when it died by a signal
    std::string out;
    std::string err;
};

// Runs the built zeq binary with `arguments` (already quoted), under a time limit so that a hang
// fails the test instead of stalling the suite. Standard output goes to `stdoutPath` when given;
// `launcher` (a command and its arguments, quoted) runs zeq, as `env NAME=value` does.
inline RunResult runZeq(const std::string& arguments, const ScratchDir& scratch, const std::string& stdoutPath = {},
                        const std::string& launcher = {}) {
    const std::string out = stdoutPath.empty() ? scratch.file("stdout.txt") : stdoutPath;
    const std::string err = scratch.file("stderr.txt");
    const std::string command = "timeout 120 " + launcher + " " + quoted(std::string(ZEQ_RUNTIME_DIR) + "/zeq") + " " + arguments +
                                " >" + quoted(out) + " 2>" + quoted(err) + " </dev/null";
    const int raw = std::system(command.c_str());
    RunResult result;
    if (raw != -1 && WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
    if (stdoutPath.empty()) result.out = readText(out);
    result.err = readText(err);
    return result;
}

}  // namespace zeq::test
