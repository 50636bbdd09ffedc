// The validator: a sound scene passes clean, and each kind of damage a loader would trip over is
// reported once, naming the record and the problem.
#include "support.h"
#include "tools/zeq/inspect_validate.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace zeq::inspect {
namespace {

using test::validScene;

TEST(Validate, CountLineUsesSingularAndPlural) {
    EXPECT_EQ(formatCounts(validateScene(validScene())), "0 errors, 0 warnings");
    ValidationReport report;
    report.errors = 1;
    report.warnings = 2;
    EXPECT_EQ(formatCounts(report), "1 error, 2 warnings");
}

// Each row damages the sound scene in one way and lists every finding, in order; the report's
// error and warning counts must agree with the lines.
TEST(Validate, EachDamageIsReportedOnceNamingRecordAndProblem) {
    using A = Zeq2VertexAttributes;
    struct Row {
        const char* name;
        void (*damage)(SceneFile&);
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {"sound scene", [](SceneFile&) {}, {}},
        {"empty scene", [](SceneFile& f) { f = SceneFile{}; }, {}},
        {"resource references resolve in their own list",
         [](SceneFile& f) {
             Zeq2Mesh& mesh = f.root.meshes->items[0];
             mesh.indexBufferId = 4;
             mesh.boundBoxId = 99;
             mesh.surfaces.items[0].materialId = 30;  // a map id, not a material id
             f.root.materials->items[0].diffuseMapId = 31;
             f.root.materials->items[0].reflectionCubeMapId = 40;  // an image id
             f.root.maps->items[0].imageId = 50;                   // a cube map id
             f.root.cubeMaps->items[0].imageId6 = 42;
             f.root.sprites->items[0].materialId = 1;
             f.root.animationClips->items[0].tracks = {60, 61};
         },
         {"error: animationClips[0] (id 61): tracks[1] 61 names no track",
          "error: cubeMaps[0] (id 50): imageId6 42 names no image", "error: maps[0] (id 30): imageId 50 names no image",
          "error: materials[0] (id 20): diffuseMapId 31 names no map",
          "error: materials[0] (id 20): reflectionCubeMapId 40 names no cube map",
          "error: meshes[0] (id 101): boundBoxId 99 names no box",
          "error: meshes[0] (id 101): indexBufferId 4 names no index buffer",
          "error: meshes[0] (id 101): surfaces[0].materialId 30 names no material",
          "error: sprites[0] (id 107): materialId 1 names no material"}},
        {"absent list resolves nothing", [](SceneFile& f) { f.root.boxes.reset(); },
         {"error: meshes[0] (id 101): boundBoxId 3 names no box"}},
        {"scene-node lists resolve",
         [](SceneFile& f) {
             f.extra2.lods->items[0].objectIds = {100, 555};
             f.extra1.layers->items[0].objectIds = TArray<int64_t>{7};
             f.root.animationClips->items[0].objectIds = TArray<int64_t>{60};  // a track id, not a node
         },
         {"error: animationClips[0] (id 61): objectIds[0] 60 names no scene node",
          "error: layers[0] (id 0): objectIds[0] 7 names no scene node",
          "error: lods[0] (id 108): objectIds[1] 555 names no scene node"}},
        {"unresolved parent is only a warning", [](SceneFile& f) { f.root.meshes->items[0].parentId = 9000; },
         {"warning: meshes[0] (id 101): parentId 9000 names no scene node in this file (it loads as a root)"}},
        {"parent loop",
         [](SceneFile& f) { f.root.objects->items[0].parentId = 104; },  // group -> skin -> group
         {"error: objects[0] (id 100): parent chain loops: 100 -> 104 -> 100"}},
        {"own parent", [](SceneFile& f) { f.root.joints->items[0].parentId = 102; },
         {"error: joints[0] (id 102): parent chain loops: 102 -> 102"}},
        {"resource ids are unique per list",
         [](SceneFile& f) {
             f.root.images->items[1].id = 40;
             f.root.cubeMaps->items[0].imageId6 = 40;
             f.root.maps->items[0].id = 40;  // the same number in another list is fine
             f.root.materials->items[0].diffuseMapId = 40;
             f.root.indexBuffers->items[1].id = 7;
             f.root.skins->items[0].indexBufferId = 7;  // resolves to the first buffer with that id
             f.root.animationClips->add(f.root.animationClips->items[0]);
         },
         {"error: animationClips[1] (id 61): id 61 is also used by animationClips[0]",
          "error: images[1] (id 40): id 40 is also used by images[0]",
          "error: indexBuffers[1] (id 7): id 7 is also used by indexBuffers[0]",
          "error: skins[0] (id 104): index buffer 7 holds index 3 at position 5, beyond the 3 vertices of its vertex "
          "buffers"}},
        {"scene-node ids are unique across all node lists",
         [](SceneFile& f) {
             f.root.spotLights->items[0].id = 102;  // a joint's id
             f.extra2.lods->items[0].id = 100;      // the group's id
         },
         {"error: spotLights[0] (id 102): scene-node id 102 is also used by joints[0]",
          "error: lods[0] (id 100): scene-node id 100 is also used by objects[0]",
          "warning: lods[0] (id 100): objectIds[0] names the group itself"}},
        {"vertex data one byte short",
         [](SceneFile& f) { f.root.vertexBuffers->items[0].byteBuffer.truncate(4 * 32 - 1); },
         {"error: vertexBuffers[0] (id 1): byteBuffer holds 127 bytes; 4 vertices of 32 bytes need 128"}},
        // The same 32-bit data read as minor version 6 is twice too long for half-precision vertices.
        {"32-bit vertex data in a 16-bit file", [](SceneFile& f) { f.minorVersion = kMinorVersionHalf; },
         {"error: vertexBuffers[0] (id 1): byteBuffer holds 128 bytes; 4 vertices of 16 bytes need 64",
          "error: vertexBuffers[1] (id 2): byteBuffer holds 84 bytes; 3 vertices of 14 bytes need 42"}},
        {"unknown attribute kind",
         [](SceneFile& f) { f.root.vertexBuffers->items[0].attributes.items[1] = static_cast<A>(9); },
         {"error: vertexBuffers[0] (id 1): attributes[1] is 9, not a vertex attribute kind"}},
        {"index count beyond the index bytes", [](SceneFile& f) { f.root.indexBuffers->items[1].indexCount = 4; },
         {"error: indexBuffers[1] (id 8): indexCount 4 needs 8 bytes, but byteBuffer holds 6",
          "warning: indexBuffers[1] (id 8): indexCount 4 is not a multiple of 3"}},
        {"negative index count", [](SceneFile& f) { f.root.indexBuffers->items[1].indexCount = -3; },
         {"error: indexBuffers[1] (id 8): indexCount -3 is negative",
          "error: skins[0] (id 104): surfaces[0] covers indices 0 to 2, beyond the 0 indices of index buffer 8"}},
        {"index beyond the vertex count",
         [](SceneFile& f) { f.root.indexBuffers->items[0].byteBuffer = test::indexBytes({0, 1, 2, 0, 2, 4}); },
         {"error: meshes[0] (id 101): index buffer 7 holds index 4 at position 5, beyond the 4 vertices of its "
          "vertex buffers"}},
        {"buffers of one mesh disagree on their vertex count",
         [](SceneFile& f) {
             Zeq2VertexBuffer extra;
             extra.id = 9;
             extra.attributes = {A::TEXCOORDS};
             extra.vertexCount = 3;
             extra.byteBuffer = test::floatBytes({0, 0, 1, 0, 1, 1});
             f.root.vertexBuffers->add(extra);
             f.root.meshes->items[0].vertexBufferIds = {1, 9};
         },
         {"error: meshes[0] (id 101): its vertex buffers disagree on vertexCount: vertex buffer 1 has 4, vertex "
          "buffer 9 has 3",
          "warning: meshes[0] (id 101): TEXCOORDS is supplied by vertex buffers 1 and 9",
          "error: meshes[0] (id 101): index buffer 7 holds index 3 at position 5, beyond the 3 vertices of its "
          "vertex buffers"}},
        {"mesh without vertex buffers", [](SceneFile& f) { f.root.meshes->items[0].vertexBufferIds = {}; },
         {"error: meshes[0] (id 101): names no vertex buffers"}},
        {"mesh without positions",
         [](SceneFile& f) { f.root.vertexBuffers->items[0].attributes = {A::NORMAL, A::NORMAL, A::TEXCOORDS}; },
         {"error: meshes[0] (id 101): none of its vertex buffers carries POSITION"}},
        {"mesh naming a missing vertex buffer", [](SceneFile& f) { f.root.meshes->items[0].vertexBufferIds = {1, 5}; },
         {"error: meshes[0] (id 101): vertexBufferIds[1] 5 names no vertex buffer"}},
        {"surface past the index buffer",
         [](SceneFile& f) { f.root.meshes->items[0].surfaces.items[1] = Zeq2Surface{3, std::nullopt, 2}; },
         {"error: meshes[0] (id 101): surfaces[1] covers indices 3 to 8, beyond the 6 indices of index buffer 7"}},
        {"surface start off a triangle",
         [](SceneFile& f) { f.root.meshes->items[0].surfaces.items[1] = Zeq2Surface{4, std::nullopt, 0}; },
         {"error: meshes[0] (id 101): surfaces[1].indexBegin 4 is not a multiple of 3"}},
        {"negative surface start",
         [](SceneFile& f) { f.root.meshes->items[0].surfaces.items[1] = Zeq2Surface{-3, std::nullopt, 1}; },
         {"error: meshes[0] (id 101): surfaces[1] has indexBegin -3 and numTriangles 1; neither may be negative"}},
        // Surfaces are measured against the indices actually stored when indexCount claims more.
        {"surface against an overclaimed index count",
         [](SceneFile& f) {
             f.root.indexBuffers->items[0].indexCount = 9;
             f.root.meshes->items[0].surfaces.items[1] = Zeq2Surface{3, std::nullopt, 2};
         },
         {"error: indexBuffers[0] (id 7): indexCount 9 needs 18 bytes, but byteBuffer holds 12",
          "error: meshes[0] (id 101): surfaces[1] covers indices 3 to 8, beyond the 6 indices of index buffer 7"}},
        {"box of five values", [](SceneFile& f) { f.root.boxes->items[0].box = {0, 0, 0, 1, 1}; },
         {"error: boxes[0] (id 3): box holds 5 values, not 6"}},
        {"joint counts for more surfaces", [](SceneFile& f) { f.root.skins->items[0].surfaceJointCounts = {1, 1}; },
         {"error: skins[0] (id 104): surfaceJointCounts has 2 entries for 1 surfaces"}},
        {"joint counts past the joint list", [](SceneFile& f) { f.root.skins->items[0].surfaceJointCounts = {3}; },
         {"error: skins[0] (id 104): surfaceJointCounts add up to 3, but jointIds holds 2 ids"}},
        {"influence past the joints of a surface",
         [](SceneFile& f) {
             const float joint2 = 6;  // vertex 2's second influence, joint 1 (3) before
             std::memcpy(f.root.vertexBuffers->items[1].byteBuffer.data() + 76, &joint2, 4);
         },
         {"error: skins[0] (id 104): vertex 2 of vertex buffer 2 names joint 2 (its JOINTS value / 3), not one of "
          "the 2 joints of surfaces[0], which draws it"}},
        // A vertex is read against the run of each surface that draws it, not the longest run.
        {"influence past the shorter run of a second surface",
         [](SceneFile& f) {
             Zeq2Skin& skin = f.root.skins->items[0];
             skin.surfaces = {Zeq2Surface{0, 21, 1}, Zeq2Surface{0, 21, 1}};
             skin.jointIds = {102, 103, 102};
             skin.surfaceJointCounts = {2, 1};
         },
         {"error: skins[0] (id 104): vertex 1 of vertex buffer 2 names joint 1 (its JOINTS value / 3), not one of "
          "the 1 joints of surfaces[1], which draws it"}},
        // A joint listed twice in a run takes the weights of both places (the exporter writes a
        // skin that lists a bone twice so).
        {"joint listed twice in one surface's run",
         [](SceneFile& f) {
             f.root.skins->items[0].jointIds = {102, 103, 102};
             f.root.skins->items[0].surfaceJointCounts = {3};
         },
         {}},
        {"joints resolve to joint records with bind transforms",
         [](SceneFile& f) {
             Zeq2Skin& skin = f.root.skins->items[0];
             skin.jointIds = {102, 101, 777};
             skin.surfaceJointCounts = {3};
             skin.jointBindTransforms.items[1].jointId = 103;
         },
         {"error: skins[0] (id 104): jointIds[1] 101 names meshes[0], not a joint",
          "error: skins[0] (id 104): jointIds[2] 777 names no joint",
          "error: skins[0] (id 104): jointBindTransforms[1].jointId 103 is not among its jointIds",
          "error: skins[0] (id 104): joint 101 of its jointIds has no jointBindTransform",
          "error: skins[0] (id 104): joint 777 of its jointIds has no jointBindTransform"}},
        {"skin without surfaces needs no joints",
         [](SceneFile& f) {
             Zeq2Skin& skin = f.root.skins->items[0];
             skin.surfaces = {};
             skin.jointIds = {};
             skin.surfaceJointCounts = {};
             skin.jointBindTransforms = {};
         },
         {}},
        {"LOD distances and levels differ in number", [](SceneFile& f) { f.extra2.lods->items[0].distances = {10}; },
         {"error: lods[0] (id 108): distances has 1 entries, objectIds 2"}},
        {"LOD naming itself and a level twice",
         [](SceneFile& f) {
             Zeq2LOD& lod = f.extra2.lods->items[0];
             lod.objectIds = {108, lod.objectIds.items[0], lod.objectIds.items[0]};
             lod.distances = {1, 2, 3};
         },
         {"warning: lods[0] (id 108): objectIds[0] names the group itself",
          "warning: lods[0] (id 108): objectIds[2] names node 100, as objectIds[1] does"}},
        {"unknown minor version and keyframes out of order",
         [](SceneFile& f) {
             f.minorVersion = 7;
             f.root.tracks->items[0].keyframes.items[2].time = 0.25f;
         },
         {"warning: file: minor version 7 is neither 5 nor 6; vertex data are read as 32-bit floats",
          "warning: tracks[0] (id 60): keyframes[2] at 0.25 s is earlier than keyframes[1] at 0.5 s"}},
        {"key time that is no number, and keys out of order after it",
         [](SceneFile& f) {
             f.root.tracks->items[0].keyframes.items[1].time = NAN;
             f.root.tracks->items[0].keyframes.items[2].time = -1;
         },
         {"warning: tracks[0] (id 60): keyframes[1] has time NaN, no point in time",
          "warning: tracks[0] (id 60): keyframes[2] at -1 s is earlier than keyframes[0] at 0 s"}},
        {"map on a texture channel the vertices lack", [](SceneFile& f) { f.root.maps->items[0].channel = 2; },
         {"warning: meshes[0] (id 101): material 20 uses map 30 on texture channel 2, but its vertex buffers hold 1 "
          "TEXCOORDS entry"}},
        {"values outside the rules of their fields",
         [](SceneFile& f) {
             f.root.ambientLights->items[0].color = 0xFF202020;
             f.root.tracks->items[0].objectName = "Lamp\nerror: \"x\"";  // one finding, one line
             f.root.cubeMaps->items[0].imageId2 = 41;
             f.root.maps->items[0].channel = 0;
             Zeq2VertexBuffer joints;  // no vertices, so its data length is right
             joints.id = 9;
             joints.attributes = {A::POSITION, A::JOINTS, A::JOINTS, A::JOINTS, A::JOINTS, A::JOINTS};
             f.root.vertexBuffers->add(joints);
         },
         {"warning: ambientLights[0] (id 105): color 0xFF202020 has bits above 0xRRGGBB set",
          "warning: tracks[0] (id 60): objectName \"Lamp\\nerror: \\\"x\\\"\" names no scene node",
          "warning: cubeMaps[0] (id 50): holds 2 of its six images; a cube map holds imageId6 alone or all six",
          "warning: maps[0] (id 30): channel 0 names no texture channel (they count from 1)",
          "warning: vertexBuffers[2] (id 9): attributes hold 5 JOINTS entries; a vertex takes at most 4 "
          "(8 influences)"}},
        {"tracks of a file without nodes (an animation-only export)",
         [](SceneFile& f) {
             SceneFile tracksOnly;
             tracksOnly.root.tracks = f.root.tracks;
             f = tracksOnly;
         },
         {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SceneFile file = validScene();
        row.damage(file);
        const ValidationReport report = validateScene(file);
        std::vector<std::string> lines;
        for (const Finding& finding : report.findings) lines.push_back(formatFinding(finding));
        EXPECT_EQ(lines, row.expected);
        auto starting = [&](const char* severity) {
            return std::count_if(row.expected.begin(), row.expected.end(),
                                 [&](const std::string& line) { return line.rfind(severity, 0) == 0; });
        };
        EXPECT_EQ(report.errors, starting("error:"));
        EXPECT_EQ(report.warnings, starting("warning:"));
    }
}

}  // namespace
}  // namespace zeq::inspect
