// `zeq diff`: equal files, files whose ids were renumbered (equal), and changed files (one line per
// difference, within the tolerance or not), with the exit status scripts rely on.
#include "support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <bit>
#include <cstring>
#include <limits>

namespace zeq::test {
namespace {

// validScene with other ids: the two vertex buffers swap ids and places, the mesh node and a
// material get new ids, and every reference follows.
SceneFile renumberedScene() {
    SceneFile file = validScene();
    Zeq2& root = file.root;
    std::swap(root.vertexBuffers->items[0], root.vertexBuffers->items[1]);
    root.vertexBuffers->items[0].id = 1;  // the skinned buffer, formerly 2
    root.vertexBuffers->items[1].id = 2;  // the quad, formerly 1
    root.meshes->items[0].vertexBufferIds = {2};
    root.skins->items[0].vertexBufferIds = {1};
    root.meshes->items[0].id = 901;
    root.animationClips->items[0].objectIds = TArray<int64_t>{901};
    file.extra1.layers->items[0].objectIds = TArray<int64_t>{100, 901, 104};
    file.extra2.lods->items[0].objectIds = {100, 901};
    root.materials->items[0].id = 25;
    root.meshes->items[0].surfaces.items[0].materialId = 25;
    return file;
}

// The file at minor version 6: the attribute numbers of its vertex data as 16-bit floats (those of
// validScene are exact in 16 bits), followed by the bytes after the attributes of each vertex
// unless `keepPadding` is false.
SceneFile atHalfPrecision(SceneFile file, bool keepPadding = true) {
    file.minorVersion = kMinorVersionHalf;
    for (Zeq2VertexBuffer& buffer : file.root.vertexBuffers->items) {
        int32_t numbers = 0;
        for (Zeq2VertexAttributes kind : buffer.attributes) numbers += vertexAttributeSize(kind, kMinorVersionFloat32) / 4;
        const int32_t stride = buffer.byteBuffer.length() / buffer.vertexCount;
        ByteBuffer half;
        for (int32_t v = 0; v < buffer.vertexCount; ++v) {
            const uint8_t* vertex = buffer.byteBuffer.data() + v * stride;
            for (int32_t n = 0; n < numbers; ++n) {
                float value;
                std::memcpy(&value, vertex + 4 * n, 4);
                const ByteBuffer bytes = halfBytes({value});
                half.appendBytes(bytes.data(), bytes.length(), false);
            }
            if (keepPadding) half.appendBytes(vertex + 4 * numbers, stride - 4 * numbers, false);
        }
        buffer.byteBuffer = half;
    }
    return file;
}

class Diff : public ::testing::Test {
protected:
    RunResult diff(const SceneFile& a, const SceneFile& b, const std::string& options = "") {
        writeBytes(scratch.file("a.zeq"), encodeSceneFile(a));
        writeBytes(scratch.file("b.zeq"), encodeSceneFile(b));
        return runZeq("diff " + options + " " + quoted(scratch.file("a.zeq")) + " " + quoted(scratch.file("b.zeq")),
                      scratch);
    }
    std::string summary(const std::string& what) {
        return scratch.file("a.zeq") + " and " + scratch.file("b.zeq") + ": " + what + "\n";
    }

    ScratchDir scratch;
};

TEST_F(Diff, EqualAndRenumberedFilesAreEqual) {
    const RunResult same = diff(validScene(), validScene());
    EXPECT_EQ(same.status, 0) << same.err;
    EXPECT_EQ(same.out, summary("equal (23 records matched, 0 renumbered)"));

    // Vertex data holding an infinity equal themselves within a tolerance too.
    SceneFile infinite = validScene();
    const float inf = -std::numeric_limits<float>::infinity();
    std::memcpy(infinite.root.vertexBuffers->items[0].byteBuffer.data() + 32, &inf, 4);
    EXPECT_EQ(diff(infinite, infinite, "--tolerance 0.01").status, 0);
    // An infinite tolerance, within which an infinity would equal anything, is refused.
    EXPECT_EQ(diff(infinite, infinite, "--tolerance inf").status, 2);

    // NaNs equal each other whatever their bits, outside vertex data too.
    SceneFile quiet = validScene();
    quiet.root.meshes->items[0].transform->matrix.a = std::numeric_limits<float>::quiet_NaN();
    SceneFile payload = validScene();
    payload.root.meshes->items[0].transform->matrix.a = std::bit_cast<float>(0xFFC00001u);
    EXPECT_EQ(diff(quiet, payload).out, summary("equal (23 records matched, 0 renumbered)"));
    // A text is never a NaN: names that read like one differ as any texts do.
    SceneFile named = validScene(), otherName = validScene();
    named.root.meshes->items[0].name = "NaN";
    otherName.root.meshes->items[0].name = "NaN:0x7fc00001";
    EXPECT_EQ(diff(named, otherName).status, 1);

    // The same vertices in 32-bit and in 16-bit floats: only the version differs.
    EXPECT_EQ(diff(validScene(), atHalfPrecision(validScene()), "--tolerance 0.01").out,
              "file: minorVersion: 5 -> 6\n" + summary("1 difference (23 records matched, 0 renumbered)"));

    const RunResult renumbered = diff(validScene(), renumberedScene());
    EXPECT_EQ(renumbered.status, 0) << renumbered.out;
    EXPECT_EQ(renumbered.out, summary("equal (23 records matched, 4 renumbered)"));

    // Two maps told apart only by their images swap ids (and the materials' references follow):
    // each pairs with its twin by what it names.
    SceneFile mapped = validScene();
    mapped.root.maps->add(Zeq2Map{1, 31, 41});
    mapped.root.materials->items[1].diffuseMapId = 31;
    SceneFile swapped = mapped;
    std::swap(swapped.root.maps->items[0].id, swapped.root.maps->items[1].id);
    swapped.root.materials->items[0].diffuseMapId = 31;
    swapped.root.materials->items[1].diffuseMapId = 30;
    EXPECT_EQ(diff(mapped, swapped).out, summary("equal (24 records matched, 2 renumbered)"));

    // Tracks numbered afresh in another order pair by the node they name, though both changed
    // (by id, each was compared with the other's track).
    SceneFile two = validScene();
    Zeq2Track lamp = two.root.tracks->items[0];
    lamp.id = 62;
    lamp.objectName = "Lamp";
    for (Zeq2Keyframe& key : lamp.keyframes.items) key.transform = moveTo(0, key.time, 0);
    two.root.tracks->items.push_back(lamp);
    SceneFile changed = two;
    std::swap(changed.root.tracks->items[0], changed.root.tracks->items[1]);
    changed.root.tracks->items[0].id = 60;
    changed.root.tracks->items[1].id = 62;
    changed.root.animationClips->items[0].tracks = {62};
    for (Zeq2Track& track : changed.root.tracks->items) track.keyframes.items[2].time = 1.25f;
    const RunResult tracks = diff(two, changed);
    EXPECT_EQ(tracks.out, "tracks[0] (id 60) / tracks[1] (id 62): keyframes[2].time: 1 -> 1.25\n"
                          "tracks[1] (id 62) / tracks[0] (id 60): keyframes[2].time: 1 -> 1.25\n" +
                              summary("2 differences (24 records matched, 2 renumbered)"));
}

TEST_F(Diff, ChangedFilesListEveryDifference) {
    SceneFile changed = validScene();
    changed.root.meshes->items[0].name = "Box";
    changed.root.spotLights->items[0].intensity = 2.5f;
    changed.root.meshes->items[0].transform->matrix.d = 1.004f;
    changed.root.meshes->items[0].transform->matrix.b = -0.0f;  // other bytes, though equal as numbers
    const float moved = 1.002f;  // vertex 1, position x
    std::memcpy(changed.root.vertexBuffers->items[0].byteBuffer.data() + 32, &moved, 4);
    changed.root.sprites->items.clear();

    const std::string a = scratch.file("a.zeq");
    const RunResult result = diff(validScene(), changed);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "meshes[0] (id 101): name: \"Quad\" -> \"Box\"\n"
                          "meshes[0] (id 101): transform.matrix.b: 0 -> -0\n"
                          "meshes[0] (id 101): transform.matrix.d: 1 -> 1.004\n"
                          "spotLights[0] (id 106): intensity: 2 -> 2.5\n"
                          "sprites[0] (id 107): only in " + a + "\n"
                          "vertexBuffers[0] (id 1): byteBuffer vertex 1 POSITION[0]: 1 -> 1.002\n" +
                              summary("6 differences (22 records matched, 0 renumbered)"));

    // Within the tolerance only the name, the intensity and the sprite remain; --json says the same.
    const RunResult tolerant = diff(validScene(), changed, "--tolerance 0.01 --json");
    EXPECT_EQ(tolerant.status, 1);
    const nlohmann::json report = nlohmann::json::parse(tolerant.out);
    EXPECT_EQ(report["equal"], false);
    ASSERT_EQ(report["differences"].size(), 3u);
    EXPECT_EQ(report["differences"][0]["field"], "name");
    EXPECT_EQ(report["differences"][1]["b"], 2.5);
    EXPECT_EQ(report["differences"][2]["recordA"], "sprites[0] (id 107)");
    EXPECT_TRUE(report["differences"][2]["recordB"].is_null());
    // Floats in --json read as the lines show them (1.004, not the float's exact 1.003999948501587).
    EXPECT_THAT(diff(validScene(), changed, "--json").out, ::testing::HasSubstr("\"b\": 1.004\n"));

    // Bytes after the attributes of each vertex (a stride larger than the layout) are compared too.
    SceneFile padded = validScene();
    padded.root.vertexBuffers->items[0].attributes.items.pop_back();  // its texture coordinates become padding
    SceneFile repadded = padded;
    repadded.root.vertexBuffers->items[0].byteBuffer.data()[32 + 28] = 1;
    EXPECT_EQ(diff(padded, repadded).out,
              "vertexBuffers[0] (id 1): byteBuffer vertex 1 byte 28 (after the attributes): 0 -> 1\n" +
                  summary("1 difference (23 records matched, 0 renumbered)"));
    // ... whatever the stride of the attributes before them; bytes after the attributes of one side
    // only differ.
    const std::string halfVersion = "file: minorVersion: 5 -> 6\n";
    EXPECT_EQ(diff(padded, atHalfPrecision(padded)).out,
              halfVersion + summary("1 difference (23 records matched, 0 renumbered)"));
    EXPECT_EQ(diff(padded, atHalfPrecision(repadded)).out,
              halfVersion + "vertexBuffers[0] (id 1): byteBuffer vertex 1 byte 28 (after the attributes): 0 -> 1\n" +
                  summary("2 differences (23 records matched, 0 renumbered)"));
    EXPECT_EQ(diff(padded, atHalfPrecision(padded, false)).out,
              halfVersion + "vertexBuffers[0] (id 1): byteBuffer bytes after the attributes of each vertex: 8 -> 0\n" +
                  summary("2 differences (23 records matched, 0 renumbered)"));

    // A reference that names another record shows the names of the records it names.
    SceneFile relinked = validScene();
    relinked.extra1.layers->items[0].objectIds = TArray<int64_t>{101, 100, 104};
    EXPECT_THAT(diff(validScene(), relinked).out,
                ::testing::StartsWith("layers[0] (id 0): objectIds[0]: 100 \"Group\" -> 101 \"Quad\"\n"));
    // A reference left behind when its record was renumbered names nothing: a difference whichever
    // file comes first.
    SceneFile stale = renumberedScene();
    stale.extra1.layers->items[0].objectIds = TArray<int64_t>{100, 101, 104};
    EXPECT_THAT(diff(validScene(), stale).out,
                ::testing::StartsWith("layers[0] (id 0): objectIds[1]: 101 \"Quad\" -> 101\n"));
    EXPECT_THAT(diff(stale, validScene()).out,
                ::testing::StartsWith("layers[0] (id 0): objectIds[1]: 101 -> 101 \"Quad\"\n"));

    // A track that lost its first keyframe and gained one at its end shows those two keys alone.
    SceneFile rekeyed = validScene();
    TArray<Zeq2Keyframe>& keys = rekeyed.root.tracks->items[0].keyframes;
    keys.items.erase(keys.items.begin());
    keys.add(Zeq2Keyframe{1.5f, moveTo(3, 0, 0)});
    keys.add(Zeq2Keyframe{2.0f, moveTo(4, 0, 0)});
    EXPECT_EQ(diff(validScene(), rekeyed).out, "tracks[0] (id 60): keyframes[0].time: 0 -> null\n"
                                               "tracks[0] (id 60): keyframes[2].time: null -> 1.5\n"
                                               "tracks[0] (id 60): keyframes[3].time: null -> 2\n"
                                               "tracks[0] (id 60): keyframes.length: 3 -> 4\n" +
                                                   summary("4 differences (23 records matched, 0 renumbered)"));
}

TEST_F(Diff, AFileThatCannotBeReadIsNoDifference) {
    writeText(scratch.file("bad.zeq"), "not a scene");
    writeBytes(scratch.file("a.zeq"), encodeSceneFile(validScene()));
    const RunResult result = runZeq("diff " + quoted(scratch.file("a.zeq")) + " " + quoted(scratch.file("bad.zeq")), scratch);
    EXPECT_EQ(result.status, 2);
    EXPECT_THAT(result.err, ::testing::StartsWith("zeq: " + scratch.file("bad.zeq") + ": "));
    EXPECT_EQ(result.out, "");
}

}  // namespace
}  // namespace zeq::test
