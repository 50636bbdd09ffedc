// The validator: a sound scene passes clean, and each kind of damage a loader would trip over is
// reported once, naming the record and the problem.
#include "support.h"
#include "tools/zeq/inspect_validate.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zeq::inspect {
namespace {

using test::validScene;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::string> findings(const SceneFile& file) {
    std::vector<std::string> lines;
    for (const Finding& finding : validateScene(file).findings) lines.push_back(formatFinding(finding));
    return lines;
}

TEST(Validate, SoundSceneHasNoFindings) {
    const ValidationReport report = validateScene(validScene());
    EXPECT_THAT(report.findings, IsEmpty());
    EXPECT_EQ(formatCounts(report), "0 errors, 0 warnings");
}

TEST(Validate, EmptySceneHasNoFindings) { EXPECT_THAT(findings(SceneFile{}), IsEmpty()); }

TEST(Validate, CountLineUsesSingularAndPlural) {
    ValidationReport report;
    report.errors = 1;
    report.warnings = 2;
    EXPECT_EQ(formatCounts(report), "1 error, 2 warnings");
}

TEST(ValidateReferences, ResourceReferencesMustResolveInTheirOwnList) {
    SceneFile file = validScene();
    Zeq2Mesh& mesh = file.root.meshes->items[0];
    mesh.indexBufferId = 4;
    mesh.boundBoxId = 99;
    mesh.surfaces.items[0].materialId = 30;  // a map id, not a material id
    file.root.materials->items[0].diffuseMapId = 31;
    file.root.materials->items[0].reflectionCubeMapId = 40;  // an image id
    file.root.maps->items[0].imageId = 50;                   // a cube map id
    file.root.cubeMaps->items[0].imageId2 = 42;
    file.root.sprites->items[0].materialId = 1;
    file.root.animationClips->items[0].tracks = {60, 61};
    EXPECT_THAT(findings(file),
                ElementsAre("error: animationClips[0] (id 61): tracks[1] 61 names no track",
                            "error: cubeMaps[0] (id 50): imageId2 42 names no image",
                            "error: maps[0] (id 30): imageId 50 names no image",
                            "error: materials[0] (id 20): diffuseMapId 31 names no map",
                            "error: materials[0] (id 20): reflectionCubeMapId 40 names no cube map",
                            "error: meshes[0] (id 101): boundBoxId 99 names no box",
                            "error: meshes[0] (id 101): indexBufferId 4 names no index buffer",
                            "error: meshes[0] (id 101): surfaces[0].materialId 30 names no material",
                            "error: sprites[0] (id 107): materialId 1 names no material"));
}

TEST(ValidateReferences, AbsentListResolvesNothing) {
    SceneFile file = validScene();
    file.root.boxes.reset();
    EXPECT_THAT(findings(file), ElementsAre("error: meshes[0] (id 101): boundBoxId 3 names no box"));
}

TEST(ValidateReferences, SceneNodeListsMustResolve) {
    SceneFile file = validScene();
    file.extra2.lods->items[0].objectIds = {100, 555};
    file.extra1.layers->items[0].objectIds = TArray<int64_t>{7};
    file.root.animationClips->items[0].objectIds = TArray<int64_t>{60};  // a track id, not a node
    EXPECT_THAT(findings(file), ElementsAre("error: animationClips[0] (id 61): objectIds[0] 60 names no scene node",
                                            "error: layers[0] (id 0): objectIds[0] 7 names no scene node",
                                            "error: lods[0] (id 108): objectIds[1] 555 names no scene node"));
}

TEST(ValidateReferences, UnresolvedParentIsOnlyAWarning) {
    SceneFile file = validScene();
    file.root.meshes->items[0].parentId = 9000;
    const ValidationReport report = validateScene(file);
    EXPECT_EQ(report.errors, 0);
    EXPECT_THAT(findings(file),
                ElementsAre("warning: meshes[0] (id 101): parentId 9000 names no scene node in this file (it loads "
                            "as a root)"));
}

TEST(ValidateReferences, ParentLoopIsAnError) {
    SceneFile file = validScene();
    file.root.objects->items[0].parentId = 104;  // group -> skin -> group
    EXPECT_THAT(findings(file), ElementsAre("error: objects[0] (id 100): parent chain loops: 100 -> 104 -> 100"));

    file = validScene();
    file.root.joints->items[0].parentId = 102;  // its own parent
    EXPECT_THAT(findings(file), ElementsAre("error: joints[0] (id 102): parent chain loops: 102 -> 102"));
}

TEST(ValidateIds, ResourceIdsAreUniquePerList) {
    SceneFile file = validScene();
    file.root.images->items[1].id = 40;
    file.root.cubeMaps->items[0].imageId6 = 40;
    file.root.maps->items[0].id = 40;  // the same number in another list is fine
    file.root.materials->items[0].diffuseMapId = 40;
    file.root.indexBuffers->items[1].id = 7;
    file.root.skins->items[0].indexBufferId = 7;  // resolves to the first buffer with that id
    EXPECT_THAT(findings(file),
                ElementsAre("error: images[1] (id 40): id 40 is also used by images[0]",
                            "error: indexBuffers[1] (id 7): id 7 is also used by indexBuffers[0]",
                            "error: skins[0] (id 104): index buffer 7 holds index 3 at position 5, beyond the 3 "
                            "vertices of its vertex buffers"));
}

TEST(ValidateIds, SceneNodeIdsAreUniqueAcrossAllNodeLists) {
    SceneFile file = validScene();
    file.root.spotLights->items[0].id = 102;  // a joint's id
    file.extra2.lods->items[0].id = 100;      // the group's id
    EXPECT_THAT(findings(file), ElementsAre("error: spotLights[0] (id 102): scene-node id 102 is also used by joints[0]",
                                            "error: lods[0] (id 100): scene-node id 100 is also used by objects[0]"));
}

TEST(ValidateGeometry, VertexDataLengthFollowsTheMinorVersion) {
    SceneFile file = validScene();
    file.root.vertexBuffers->items[0].byteBuffer.truncate(4 * 32 - 1);
    EXPECT_THAT(findings(file), ElementsAre("error: vertexBuffers[0] (id 1): byteBuffer holds 127 bytes; 4 vertices "
                                            "of 32 bytes need 128"));

    // The same 32-bit data read as minor version 6 is twice too long for half-precision vertices.
    file = validScene();
    file.minorVersion = kMinorVersionHalf;
    EXPECT_THAT(findings(file),
                ElementsAre("error: vertexBuffers[0] (id 1): byteBuffer holds 128 bytes; 4 vertices of 16 bytes need 64",
                            "error: vertexBuffers[1] (id 2): byteBuffer holds 84 bytes; 3 vertices of 14 bytes need 42"));
}

TEST(ValidateGeometry, UnknownAttributeKind) {
    SceneFile file = validScene();
    file.root.vertexBuffers->items[0].attributes.items[1] = static_cast<Zeq2VertexAttributes>(9);
    EXPECT_THAT(findings(file),
                ElementsAre("error: vertexBuffers[0] (id 1): attributes[1] is 9, not a vertex attribute kind"));
}

TEST(ValidateGeometry, IndexCountMatchesTheIndexBytes) {
    SceneFile file = validScene();
    file.root.indexBuffers->items[1].indexCount = 4;
    EXPECT_THAT(findings(file),
                ElementsAre("error: indexBuffers[1] (id 8): indexCount 4 needs 8 bytes, but byteBuffer holds 6",
                            "warning: indexBuffers[1] (id 8): indexCount 4 is not a multiple of 3"));

    file = validScene();
    file.root.indexBuffers->items[1].indexCount = -3;
    EXPECT_THAT(findings(file), ElementsAre("error: indexBuffers[1] (id 8): indexCount -3 is negative",
                                            "error: skins[0] (id 104): surfaces[0] covers indices 0 to 2, beyond the "
                                            "0 indices of index buffer 8"));
}

TEST(ValidateGeometry, IndicesStayBelowTheVertexCount) {
    SceneFile file = validScene();
    file.root.indexBuffers->items[0].byteBuffer = test::indexBytes({0, 1, 2, 0, 2, 4});
    EXPECT_THAT(findings(file), ElementsAre("error: meshes[0] (id 101): index buffer 7 holds index 4 at position 5, "
                                            "beyond the 4 vertices of its vertex buffers"));
}

TEST(ValidateGeometry, BuffersOfOneMeshAgreeAndSupplyPositions) {
    using A = Zeq2VertexAttributes;
    SceneFile file = validScene();
    Zeq2VertexBuffer extra;
    extra.id = 9;
    extra.attributes = {A::TEXCOORDS};
    extra.vertexCount = 3;
    extra.byteBuffer = test::floatBytes({0, 0, 1, 0, 1, 1});
    file.root.vertexBuffers->add(extra);
    file.root.meshes->items[0].vertexBufferIds = {1, 9};
    EXPECT_THAT(findings(file),
                ElementsAre("error: meshes[0] (id 101): its vertex buffers disagree on vertexCount: vertex buffer 1 "
                            "has 4, vertex buffer 9 has 3",
                            "warning: meshes[0] (id 101): TEXCOORDS is supplied by vertex buffers 1 and 9",
                            "error: meshes[0] (id 101): index buffer 7 holds index 3 at position 5, beyond the 3 "
                            "vertices of its vertex buffers"));

    file = validScene();
    file.root.meshes->items[0].vertexBufferIds = {};
    EXPECT_THAT(findings(file), ElementsAre("error: meshes[0] (id 101): names no vertex buffers"));

    file = validScene();
    file.root.vertexBuffers->items[0].attributes = {A::NORMAL, A::NORMAL, A::TEXCOORDS};
    EXPECT_THAT(findings(file), ElementsAre("error: meshes[0] (id 101): none of its vertex buffers carries POSITION"));

    file = validScene();
    file.root.meshes->items[0].vertexBufferIds = {1, 5};
    EXPECT_THAT(findings(file), ElementsAre("error: meshes[0] (id 101): vertexBufferIds[1] 5 names no vertex buffer"));
}

TEST(ValidateGeometry, SurfacesLieInsideTheIndexBuffer) {
    SceneFile file = validScene();
    auto& surfaces = file.root.meshes->items[0].surfaces;
    surfaces.items[1] = Zeq2Surface{3, std::nullopt, 2};
    EXPECT_THAT(findings(file), ElementsAre("error: meshes[0] (id 101): surfaces[1] covers indices 3 to 8, beyond the "
                                            "6 indices of index buffer 7"));

    surfaces.items[1] = Zeq2Surface{4, std::nullopt, 0};
    EXPECT_THAT(findings(file),
                ElementsAre("error: meshes[0] (id 101): surfaces[1].indexBegin 4 is not a multiple of 3"));

    surfaces.items[1] = Zeq2Surface{-3, std::nullopt, 1};
    EXPECT_THAT(findings(file), ElementsAre("error: meshes[0] (id 101): surfaces[1] has indexBegin -3 and "
                                            "numTriangles 1; neither may be negative"));

    // Surfaces are measured against the indices actually stored when indexCount claims more.
    file = validScene();
    file.root.indexBuffers->items[0].indexCount = 9;
    file.root.meshes->items[0].surfaces.items[1] = Zeq2Surface{3, std::nullopt, 2};
    EXPECT_THAT(findings(file),
                ElementsAre("error: indexBuffers[0] (id 7): indexCount 9 needs 18 bytes, but byteBuffer holds 12",
                            "error: meshes[0] (id 101): surfaces[1] covers indices 3 to 8, beyond the 6 indices of "
                            "index buffer 7"));
}

TEST(ValidateGeometry, BoxHoldsSixValues) {
    SceneFile file = validScene();
    file.root.boxes->items[0].box = {0, 0, 0, 1, 1};
    EXPECT_THAT(findings(file), ElementsAre("error: boxes[0] (id 3): box holds 5 values, not 6"));
}

TEST(ValidateSkins, JointCountsMatchTheJointList) {
    SceneFile file = validScene();
    file.root.skins->items[0].surfaceJointCounts = {1, 1};
    EXPECT_THAT(findings(file), ElementsAre("error: skins[0] (id 104): surfaceJointCounts has 2 entries for 1 surfaces"));

    file = validScene();
    file.root.skins->items[0].surfaceJointCounts = {3};
    EXPECT_THAT(findings(file),
                ElementsAre("error: skins[0] (id 104): surfaceJointCounts add up to 3, but jointIds holds 2 ids"));
}

TEST(ValidateSkins, JointsResolveToJointRecordsWithBindTransforms) {
    SceneFile file = validScene();
    Zeq2Skin& skin = file.root.skins->items[0];
    skin.jointIds = {102, 101, 777};
    skin.surfaceJointCounts = {3};
    skin.jointBindTransforms.items[1].jointId = 103;
    EXPECT_THAT(findings(file),
                ElementsAre("error: skins[0] (id 104): jointIds[1] 101 names meshes[0], not a joint",
                            "error: skins[0] (id 104): jointIds[2] 777 names no joint",
                            "error: skins[0] (id 104): jointBindTransforms[1].jointId 103 is not among its jointIds",
                            "error: skins[0] (id 104): joint 101 of its jointIds has no jointBindTransform",
                            "error: skins[0] (id 104): joint 777 of its jointIds has no jointBindTransform"));
}

TEST(ValidateSkins, SkinWithoutSurfacesNeedsNoJoints) {
    SceneFile file = validScene();
    Zeq2Skin& skin = file.root.skins->items[0];
    skin.surfaces = {};
    skin.jointIds = {};
    skin.surfaceJointCounts = {};
    skin.jointBindTransforms = {};
    EXPECT_THAT(findings(file), IsEmpty());
}

TEST(ValidateLod, DistancesAndObjectIdsHaveOneEntryPerLevel) {
    SceneFile file = validScene();
    file.extra2.lods->items[0].distances = {10};
    EXPECT_THAT(findings(file), ElementsAre("error: lods[0] (id 108): distances has 1 entries, objectIds 2"));
}

TEST(ValidateWarnings, UnknownMinorVersionAndKeyframeOrder) {
    SceneFile file = validScene();
    file.minorVersion = 7;
    file.root.tracks->items[0].keyframes.items[2].time = 0.25f;
    const ValidationReport report = validateScene(file);
    EXPECT_EQ(report.errors, 0);
    EXPECT_EQ(report.warnings, 2);
    EXPECT_THAT(findings(file),
                ElementsAre("warning: file: minor version 7 is neither 5 nor 6; vertex data are read as 32-bit floats",
                            "warning: tracks[0] (id 60): keyframes[2] at 0.25 s is earlier than keyframes[1] at 0.5 s"));
}

}  // namespace
}  // namespace zeq::inspect
