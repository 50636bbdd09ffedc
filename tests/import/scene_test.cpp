// Scene reconstruction: hierarchy and transforms, lights and the ambient colour, materials and
// textures, user properties, and records the builder skips.
#include "host/plugin_classes.h"
#include "host/skin.h"
#include "support.h"

#include <cmath>
#include <map>
#include <set>
#include <tuple>

namespace zeq::test {
namespace {

class SceneImport : public ImportTest {
protected:
    // Imports the root through the importer and expects success.
    void import(const Zeq2& root) { ASSERT_EQ(importRoot(root), IMPEXP_SUCCESS); }
    INode* parentOf(const std::string& name) { return node(name)->GetParentNode(); }

    // Imports `root` with a mesh "M" on the triangle geometry, made of `surfaces`; returns the
    // mesh's material if it is a standard one.
    StdMat* importMesh(Zeq2 root, std::initializer_list<Zeq2Surface> surfaces) {
        Zeq2Mesh mesh = meshRecord(1, "M", 1, {1});
        for (const Zeq2Surface& surface : surfaces) mesh.surfaces.add(surface);
        root.meshes->add(mesh);
        import(root);
        headless::Node* imported = node("M");
        return imported ? dynamic_cast<StdMat*>(imported->GetMtl()) : nullptr;
    }
};

TEST(MatrixConversion, RecordRowsBecomeHostColumns) {
    const Matrix3 tm = toMatrix3(transformOf({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(tm.GetRow(0), Point3(1.0f, 5.0f, 9.0f));
    EXPECT_EQ(tm.GetRow(2), Point3(3.0f, 7.0f, 11.0f));
    EXPECT_EQ(tm.GetTrans(), Point3(4.0f, 8.0f, 12.0f));
}

TEST_F(SceneImport, MissingParentLeavesTheNodeAtTheRootWithItsOwnTransform) {
    Zeq2 root = emptyRoot();
    root.objects->add(objectRecord(1, "Orphan", 7, moveTo(1, 2, 3)));
    import(root);
    EXPECT_TRUE(parentOf("Orphan")->IsRootNode());
    EXPECT_TRUE(matricesNear(node("Orphan")->GetNodeTM(0), TransMatrix({1.0f, 2.0f, 3.0f})));
    EXPECT_TRUE(warnings().empty()) << warnings();  // a parent outside the file is not an error
}

// Decals and cameras, which the exporter does not write, come back as dummies, so that the nodes
// below them keep their places (and are no object's content, which the exporter never makes them);
// each is named in the warning, as are animation clips.
TEST_F(SceneImport, DecalsAndCamerasBecomeDummiesThatHoldTheirChildren) {
    SceneFile file;
    file.root = emptyRoot();
    Zeq2Decal decal;
    decal.id = 20;
    decal.name = "Decal01";
    decal.transform = moveTo(5, 0, 0);
    file.root.decals = TArray<Zeq2Decal>{decal};
    Zeq2Camera camera;
    camera.id = 30;
    camera.name = "Camera01";
    camera.transform = moveTo(0, 0, 7);
    Zeq2Camera held = camera;
    held.id = 41;
    held.name = "Rig";
    held.parentId = 40;
    held.transform = moveTo(2, 0, 0);
    file.extra2.cameras = TArray<Zeq2Camera>{camera, held};
    file.root.objects->add(objectRecord(40, "Rig", std::nullopt, moveTo(3, 0, 0)));
    file.root.animationClips = TArray<Zeq2AnimationClip>{Zeq2AnimationClip{}};
    file.root.objects->add(objectRecord(22, "UnderDecal", 20, moveTo(0, 1, 0)));
    file.root.objects->add(objectRecord(21, "UnderCamera", 30, moveTo(1, 0, 0)));
    ASSERT_EQ(importFile(writeScene(file)), IMPEXP_SUCCESS);
    EXPECT_EQ(parentOf("UnderDecal"), node("Decal01"));
    EXPECT_TRUE(matricesNear(node("UnderDecal")->GetNodeTM(0), TransMatrix({5.0f, 1.0f, 0.0f})));
    EXPECT_EQ(parentOf("UnderCamera"), node("Camera01"));
    EXPECT_TRUE(matricesNear(node("UnderCamera")->GetNodeTM(0), TransMatrix({1.0f, 0.0f, 7.0f})));
    EXPECT_EQ(node("Camera01")->GetObjectRef()->ClassID(), DUMMY_CLASS_ID);
    ASSERT_EQ(node("Rig")->NumberOfChildren(), 1);
    EXPECT_TRUE(matricesNear(node("Rig")->GetChildNode(0)->GetNodeTM(0), TransMatrix({5.0f, 0.0f, 0.0f})));
    for (const char* line : {"decal \"Decal01\" (id 20): imported as a dummy",
                             "camera \"Camera01\" (id 30): imported as a dummy", "1 animation clip left out"})
        EXPECT_NE(warnings().find(line), std::string::npos) << line << "\n" << warnings();
}

TEST_F(SceneImport, TheLaterOfTwoRecordsWithOneIdReceivesTheChildren) {
    Zeq2 root = emptyRoot();
    root.objects->add(objectRecord(1, "First", std::nullopt, moveTo(5, 0, 0)));
    root.objects->add(objectRecord(1, "Second", std::nullopt, moveTo(0, 5, 0)));
    root.objects->add(objectRecord(2, "Child", 1, moveTo(1, 0, 0)));
    import(root);
    ASSERT_NE(node("First"), nullptr);
    EXPECT_TRUE(parentOf("First")->IsRootNode());
    EXPECT_EQ(parentOf("Child"), node("Second"));
    EXPECT_TRUE(matricesNear(node("Child")->GetNodeTM(0), TransMatrix({1.0f, 5.0f, 0.0f})));
}

TEST_F(SceneImport, ChildBeforeParentStillLinks) {
    Zeq2 root = emptyRoot();
    addTriangleGeometry(root);
    Zeq2Mesh child = meshRecord(5, "Child", 1, {1});
    child.parentId = 6;
    root.meshes->add(child);
    root.meshes->add(meshRecord(6, "Parent", 1, {1}));
    import(root);
    EXPECT_EQ(parentOf("Child"), node("Parent"));
}

TEST_F(SceneImport, WorldTransformIsTheRecordTimesTheParentsWorld) {
    Zeq2 root = emptyRoot();
    // Grandparent moved and turned a quarter about Z, parent moved, child moved and scaled.
    root.objects->add(objectRecord(1, "Grand", std::nullopt, transformOf({0, -1, 0, 10, 1, 0, 0, 0, 0, 0, 1, 0})));
    root.objects->add(objectRecord(2, "Parent", 1, moveTo(0, 2, 0)));
    root.objects->add(objectRecord(3, "Child", 2, transformOf({2, 0, 0, 1, 0, 2, 0, 0, 0, 0, 2, 0})));
    root.objects->add(objectRecord(4, "Plain", 2));  // no transform: identity relative to the parent
    import(root);

    const Matrix3 grand = toMatrix3(transformOf({0, -1, 0, 10, 1, 0, 0, 0, 0, 0, 1, 0}));
    const Matrix3 parent = TransMatrix({0.0f, 2.0f, 0.0f}) * grand;
    const Matrix3 child = toMatrix3(transformOf({2, 0, 0, 1, 0, 2, 0, 0, 0, 0, 2, 0})) * parent;
    EXPECT_TRUE(matricesNear(node("Parent")->GetNodeTM(0), parent));
    EXPECT_TRUE(matricesNear(node("Child")->GetNodeTM(0), child));
    EXPECT_TRUE(matricesNear(node("Plain")->GetNodeTM(0), parent));
    // Relative to its parent the child holds exactly its record's transform again.
    EXPECT_TRUE(
        matricesNear(node("Child")->GetLocalTM(0), toMatrix3(transformOf({2, 0, 0, 1, 0, 2, 0, 0, 0, 0, 2, 0}))));
    EXPECT_EQ(node("Child")->GetNodeTM(0).GetTrans().x, child.GetTrans().x);
}

TEST_F(SceneImport, LinksThatWouldMakeACycleAreSkipped) {
    Zeq2 root = emptyRoot();
    root.objects->add(objectRecord(1, "A", 2, moveTo(1, 0, 0)));
    root.objects->add(objectRecord(2, "B", 1, moveTo(0, 1, 0)));
    root.objects->add(objectRecord(3, "Self", 3));
    import(root);
    // Ascending child id: 1 joins 2; then 2 under 1 would close the loop.
    EXPECT_EQ(parentOf("A"), node("B"));
    EXPECT_TRUE(parentOf("B")->IsRootNode());
    EXPECT_TRUE(parentOf("Self")->IsRootNode());
    EXPECT_TRUE(matricesNear(node("A")->GetNodeTM(0), TransMatrix({1.0f, 1.0f, 0.0f})));
    EXPECT_NE(warnings().find("node id 2: parent 1 would make it its own ancestor"), std::string::npos) << warnings();
    EXPECT_NE(warnings().find("node id 3"), std::string::npos);
}

TEST_F(SceneImport, ChildrenAreAttachedInAscendingId) {
    Zeq2 root = emptyRoot();
    root.objects->add(objectRecord(1, "Parent"));
    root.objects->add(objectRecord(9, "Nine", 1));
    root.objects->add(objectRecord(4, "Four", 1));
    import(root);
    ASSERT_EQ(node("Parent")->NumberOfChildren(), 2);
    EXPECT_EQ(node("Parent")->GetChildNode(0), node("Four"));
}

TEST_F(SceneImport, ObjectsStayPlainObjectsWithProtocolIds) {
    Zeq2 root = emptyRoot();
    addTriangleGeometry(root);
    root.objects->add(objectRecord(-5, "Negative"));
    root.meshes->add(meshRecord(1234567890123, "Mesh", 1, {1}));
    import(root);
    std::string value;
    ASSERT_TRUE(node("Negative")->GetUserPropString(PROTOCOL_ID_PROPERTY, value));
    EXPECT_EQ(value, "-5");
    ASSERT_TRUE(node("Mesh")->GetUserPropString(PROTOCOL_ID_PROPERTY, value));
    EXPECT_EQ(value, "1234567890123");
    // A dummy helper, not an empty mesh.
    EXPECT_EQ(triOf("Negative"), nullptr);
    ASSERT_NE(node("Negative")->GetObjectRef(), nullptr);
    EXPECT_EQ(node("Negative")->GetObjectRef()->ClassID(), DUMMY_CLASS_ID);
}

TEST_F(SceneImport, TwoAmbientLightsAreSummedAndNoneGivesBlack) {
    Zeq2 root = emptyRoot();
    Zeq2AmbientLight grey;
    grey.color = 0x808080;
    grey.intensity = 7;  // ignored
    root.ambientLights->add(grey);
    root.ambientLights->add(grey);
    import(root);
    const Point3 sum = host_.GetAmbient(0);
    EXPECT_NEAR(sum.x, 1.004f, 1e-3f);
    EXPECT_NEAR(sum.z, 1.004f, 1e-3f);
    EXPECT_EQ(sceneNodeCount(), 0u);  // ambient lights make no nodes

    ASSERT_EQ(importRoot(emptyRoot()), IMPEXP_SUCCESS);
    EXPECT_EQ(host_.GetAmbient(0), Point3());
}

TEST_F(SceneImport, LightsKeepTheirValuesAndDirection) {
    Zeq2 root = emptyRoot();
    Zeq2SpotLight spot;
    spot.id = 10;
    spot.name = "Spot";
    spot.color = 0xFF8000;
    spot.intensity = 2.5f;
    spot.hotspot = 0.5f;
    spot.falloff = 1.0f;
    spot.attenuationBegin = 3;
    spot.attenuationEnd = 30;
    spot.transform = moveTo(1, 2, 3);
    root.spotLights->add(spot);
    Zeq2OmniLight omni;
    omni.id = 11;
    omni.name = "Omni";
    omni.attenuationBegin = 5;
    omni.attenuationEnd = 50;
    omni.parentId = 10;
    omni.transform = moveTo(0, 0, 4);
    root.omniLights->add(omni);
    Zeq2DirectionalLight sun;
    sun.id = 12;
    sun.name = "Sun";
    sun.color = 0x0000FF;
    root.directionalLights->add(sun);
    import(root);

    auto* spotLight = dynamic_cast<GenLight*>(node("Spot")->GetObjectRef());
    ASSERT_NE(spotLight, nullptr);
    EXPECT_EQ(spotLight->Type(), FSPOT_LIGHT);
    EXPECT_NEAR(spotLight->GetHotspot(0), 28.65f, 0.01f);
    EXPECT_NEAR(spotLight->GetFallsize(0), 57.30f, 0.01f);
    EXPECT_FLOAT_EQ(spotLight->GetAtten(0, ATTEN_START), 3.0f);
    EXPECT_FLOAT_EQ(spotLight->GetAtten(0, ATTEN_END), 30.0f);
    EXPECT_FLOAT_EQ(spotLight->GetIntensity(0), 2.5f);
    EXPECT_NEAR(spotLight->GetRGBColor(0).y, 128.0f / 255.0f, 1e-6f);
    EXPECT_EQ(spotLight->GetUseLight(), 1);
    EXPECT_EQ(spotLight->GetUseAtten(), 1);

    // The exporter writes light transforms unturned, so they are taken as they are.
    EXPECT_TRUE(matricesNear(node("Spot")->GetNodeTM(0), TransMatrix({1.0f, 2.0f, 3.0f})));
    EXPECT_EQ(parentOf("Omni"), node("Spot"));
    EXPECT_TRUE(matricesNear(node("Omni")->GetNodeTM(0), TransMatrix({1.0f, 2.0f, 7.0f})));

    auto* omniLight = dynamic_cast<GenLight*>(node("Omni")->GetObjectRef());
    EXPECT_EQ(omniLight->Type(), OMNI_LIGHT);
    EXPECT_FLOAT_EQ(omniLight->GetAtten(0, ATTEN_END), 50.0f);

    auto* sunLight = dynamic_cast<GenLight*>(node("Sun")->GetObjectRef());
    EXPECT_EQ(sunLight->Type(), DIR_LIGHT);
    EXPECT_EQ(sunLight->GetOvershoot(), 1);
    EXPECT_EQ(sunLight->GetRGBColor(0), Point3(0.0f, 0.0f, 255 * 0.003921569f));
    EXPECT_TRUE(node("Sun")->GetNodeTM(0).IsIdentity());
    EXPECT_FALSE(node("Sun")->UserPropExists(PROTOCOL_ID_PROPERTY));
}

// Materials: record 1 has only a diffuse map, record 2 every map; maps and images as named.
Zeq2 materialScene() {
    Zeq2 root = emptyRoot();
    addTriangleGeometry(root);
    root.images->add({1, "textures/wood.png"});
    root.images->add({2, "C:\\maps\\bump.tga"});
    root.maps->add({2, 10, 1});
    root.maps->add({1, 11, 2});
    Zeq2Material diffuseOnly;
    diffuseOnly.id = 1;
    diffuseOnly.diffuseMapId = 10;
    root.materials->add(diffuseOnly);
    Zeq2Material all;
    all.id = 2;
    all.diffuseMapId = all.normalMapId = all.glossinessMapId = all.specularMapId = all.opacityMapId =
        all.lightMapId = 11;
    all.reflectionCubeMapId = 99;  // names no cube map
    root.materials->add(all);
    return root;
}

TEST_F(SceneImport, MaterialWithOnlyADiffuseMap) {
    StdMat* mtl = importMesh(materialScene(), {{0, 1, 1}});
    ASSERT_NE(mtl, nullptr);
    EXPECT_STREQ(mtl->GetName(), "Material");
    auto* diffuse = dynamic_cast<BitmapTex*>(mtl->GetSubTexmap(ID_DI));
    ASSERT_NE(diffuse, nullptr);
    EXPECT_STREQ(diffuse->GetMapName(), "textures/wood.png");
    EXPECT_EQ(diffuse->GetTheUVGen()->GetMapChannel(), 2);
    EXPECT_EQ(mtl->GetActiveTexmap(), diffuse);
    EXPECT_TRUE(mtl->TestMtlFlag(MTL_TEX_DISPLAY_ENABLED));
    for (int slot = 0; slot < mtl->NumSubTexmaps(); ++slot) {
        if (slot == ID_DI) continue;
        EXPECT_EQ(mtl->GetSubTexmap(slot), nullptr) << slot;
    }
    bool notified = false;
    for (const auto& n : host_.notifications()) notified |= n.target == mtl && n.message == REFMSG_CHANGE;
    EXPECT_TRUE(notified);
    EXPECT_TRUE(warnings().empty()) << warnings();
}

// Two meshes on one geometry share its host object, whose faces hold one set of material ids: where
// their surfaces split it differently, the later's split wins, and the import says so.
TEST_F(SceneImport, SharedGeometrySplitTwoWaysIsReported) {
    Zeq2 root = materialScene();
    root.vertexBuffers->add(vertexBuffer(2, {A::POSITION}, 4, floatBytes({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0})));
    root.indexBuffers->add(indexBuffer(2, {0, 1, 2, 0, 2, 3, 1, 2, 3}));
    const std::vector<std::vector<Zeq2Surface>> splits = {
        {{0, 1, 1}, {3, 2, 2}}, {{0, 1, 1}, {3, 2, 2}}, {{0, 1, 2}, {6, 2, 1}}};
    for (int i = 0; i < 3; ++i) {
        Zeq2Mesh mesh = meshRecord(i + 1, "M" + std::to_string(i), 2, {2});
        for (const Zeq2Surface& surface : splits[i]) mesh.surfaces.add(surface);
        root.meshes->add(mesh);
    }
    import(root);
    EXPECT_EQ(node("M0")->GetObjectRef(), node("M2")->GetObjectRef());
    EXPECT_EQ(warnings().find("mesh \"M1\""), std::string::npos) << warnings();  // the same split
    EXPECT_NE(warnings().find("mesh \"M2\" (id 3): shares its geometry with mesh \"M0\" (id 1), which splits it into "
                              "other surfaces; both take this one's"),
              std::string::npos)
        << warnings();
}

TEST_F(SceneImport, OneMapInEverySlotIsOneSharedTexture) {
    StdMat* mtl = importMesh(materialScene(), {{0, 2, 1}});
    ASSERT_NE(mtl, nullptr);
    std::set<Texmap*> textures;
    for (int slot : {ID_DI, ID_BU, ID_SH, ID_SP, ID_OP, ID_SI}) {
        auto* texture = dynamic_cast<BitmapTex*>(mtl->GetSubTexmap(slot));
        ASSERT_NE(texture, nullptr) << slot;
        EXPECT_STREQ(texture->GetMapName(), "C:\\maps\\bump.tga");
        textures.insert(texture);
    }
    EXPECT_EQ(textures.size(), 1u);
    EXPECT_EQ(mtl->GetSubTexmap(ID_RL), nullptr);
    EXPECT_NE(warnings().find("cube map 99 does not exist"), std::string::npos) << warnings();
}

TEST_F(SceneImport, SeveralSurfacesMakeAMultiMaterialAndFaceIds) {
    Zeq2 root = materialScene();
    root.vertexBuffers->add(vertexBuffer(2, {A::POSITION}, 4, floatBytes({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0})));
    root.indexBuffers->add(indexBuffer(2, {0, 1, 2, 0, 2, 3, 1, 2, 3}));
    Zeq2Mesh mesh = meshRecord(1, "Quad", 2, {2});
    mesh.surfaces.add({0, 1, 1});              // triangle 0: material 1
    mesh.surfaces.add({3, 9, 1});              // triangle 1: no such material
    mesh.surfaces.add({6, std::nullopt, 1});   // triangle 2: no material at all
    root.meshes->add(mesh);
    root.vertexBuffers->add(vertexBuffer(3, {A::POSITION}, 4, floatBytes({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0})));
    root.indexBuffers->add(indexBuffer(3, {0, 1, 2, 0, 2, 3, 1, 2, 3}));
    Zeq2Mesh gap = meshRecord(3, "Gap", 3, {3});  // triangle 1 belongs to no surface
    gap.surfaces.add({0, 1, 1});
    gap.surfaces.add({6, 1, 1});
    root.meshes->add(gap);
    Zeq2Mesh one = meshRecord(4, "One", 3, {3});  // one surface, starting before the triangles
    one.surfaces.add({-3, 1, 3});
    root.meshes->add(one);
    import(root);
    EXPECT_NE(warnings().find("mesh \"Gap\" (id 3): 1 of 3 triangles belong to no surface"), std::string::npos) << warnings();
    EXPECT_NE(warnings().find("mesh \"One\" (id 4): surface 0 covers triangles outside the mesh's 3\n"), std::string::npos)
        << warnings();
    EXPECT_EQ(warnings().find("mesh \"Quad\" (id 1): 0"), std::string::npos) << warnings();

    auto* multi = dynamic_cast<MultiMtl*>(node("Quad")->GetMtl());
    ASSERT_NE(multi, nullptr);
    ASSERT_EQ(multi->NumSubMtls(), 3);
    ASSERT_NE(multi->GetSubMtl(0), nullptr);
    EXPECT_STREQ(multi->GetSubMtl(0)->GetName(), "Material");
    EXPECT_EQ(multi->GetSubMtlSlotName(0), "Quad_surface0");
    EXPECT_EQ(multi->GetSubMtl(1), nullptr);
    EXPECT_EQ(multi->GetSubMtl(2), nullptr);
    const Mesh& faces = triOf("Quad")->GetMesh();
    EXPECT_EQ(faces.faces[0].getMatID(), 0);
    EXPECT_EQ(faces.faces[1].getMatID(), 1);
    EXPECT_EQ(faces.faces[2].getMatID(), 2);
    EXPECT_NE(warnings().find("mesh \"Quad\" (id 1): material 9 does not exist"), std::string::npos) << warnings();
}

TEST_F(SceneImport, SurfacesOutsideTheTrianglesAreClipped) {
    importMesh(materialScene(), {{0, 1, 1}, {-300, 1, 2000000000}});
    EXPECT_EQ(triOf("M")->GetMesh().faces[0].getMatID(), 1);
    EXPECT_NE(warnings().find("surface 1 covers triangles outside"), std::string::npos) << warnings();
    EXPECT_NE(warnings().find("1 of 1 triangles belong to two surfaces or more; they take the last one's material"),
              std::string::npos) << warnings();
}

TEST_F(SceneImport, OneMaterialIdOnTwoMeshesGivesOneSharedMaterial) {
    Zeq2 root = materialScene();
    for (int64_t id : {1, 2}) {
        Zeq2Mesh mesh = meshRecord(id, "M" + std::to_string(id), 1, {1});
        mesh.surfaces.add({0, 1, 1});
        root.meshes->add(mesh);
    }
    import(root);
    ASSERT_NE(node("M1")->GetMtl(), nullptr);
    EXPECT_EQ(node("M1")->GetMtl(), node("M2")->GetMtl());
    EXPECT_EQ(triOf("M1"), triOf("M2"));
}

TEST_F(SceneImport, MissingMapsAndImagesAreSkippedAndReported) {
    Zeq2 root = materialScene();
    root.maps->add({1, 12, 77});   // image 77 does not exist
    root.maps->add({100, 13, 1});  // beyond the host's texture channels
    Zeq2Material broken;
    broken.id = 3;
    broken.diffuseMapId = 55;  // no such map
    broken.normalMapId = 12;
    broken.specularMapId = 13;
    broken.opacityMapId = 10;
    root.materials->add(broken);
    StdMat* mtl = importMesh(root, {{0, 3, 1}});
    ASSERT_NE(mtl, nullptr);
    EXPECT_EQ(mtl->GetSubTexmap(ID_DI), nullptr);
    EXPECT_EQ(mtl->GetSubTexmap(ID_BU), nullptr);
    EXPECT_EQ(mtl->GetSubTexmap(ID_SP), nullptr);
    EXPECT_NE(mtl->GetSubTexmap(ID_OP), nullptr);
    EXPECT_FALSE(mtl->TestMtlFlag(MTL_TEX_DISPLAY_ENABLED));
    const std::string text = warnings();
    EXPECT_NE(text.find("material 3: map 55 does not exist"), std::string::npos) << text;
    EXPECT_NE(text.find("map 12 names image 77, which does not exist"), std::string::npos) << text;
    EXPECT_NE(text.find("map 13 uses texture channel 100, beyond the host's 99"), std::string::npos) << text;
    EXPECT_EQ(boxes().size(), 1u);
}

TEST_F(SceneImport, RecordsWithoutANameAreImportedUnnamed) {
    Zeq2 root = emptyRoot();
    Zeq2Object object = objectRecord(3, "");
    object.name.reset();
    root.objects->add(object);
    import(root);
    ASSERT_EQ(sceneNodeCount(), 1u);
    EXPECT_STREQ(host_.scene().nodes().front()->GetName(), "");
    EXPECT_NE(warnings().find("object (id 3): no name"), std::string::npos) << warnings();
}

TEST_F(SceneImport, EmptyListsCreateNothingButSetTheAmbientAndRedraw) {
    host_.SetAmbient(0, Point3(0.5f, 0.5f, 0.5f));
    import(emptyRoot());
    EXPECT_EQ(sceneNodeCount(), 0u);
    EXPECT_EQ(host_.GetAmbient(0), Point3());
    EXPECT_EQ(host_.redrawCount(), 1);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(SceneImport, AFileOfTracksAloneLacksNothing) {
    Zeq2 root;  // an animation-only export: no list but the tracks
    root.tracks.emplace();
    import(root);
    EXPECT_EQ(sceneNodeCount(), 0u);
    EXPECT_EQ(host_.redrawCount(), 1);
    EXPECT_TRUE(warnings().empty()) << warnings();

    // Tracks of one name key the scene's node of that name, then one new dummy each.
    host_.scene().createNode("Dup");
    for (const float x : {1.0f, 2.0f, 3.0f}) {
        Zeq2Track track;
        track.objectName = "Dup";
        track.keyframes.add({0, moveTo(0, 0, 0)});
        track.keyframes.add({1, moveTo(x, 0, 0)});
        root.tracks->add(track);
    }
    import(root);
    std::vector<float> ends;
    for (INode* n : host_.scene().nodes()) ends.push_back(n->GetNodeTM(4800).GetTrans().x);
    EXPECT_EQ(ends, (std::vector<float>{1, 2, 3}));
}

// A group and its child of one name each take their own track (one track for two such records
// would be a node split by its pivot offset); a track whose first key is late holds the node's
// record transform before it. The file lists nothing else, which is no loss.
TEST_F(SceneImport, TracksFindTheirNodesAndHoldTheRecordBeforeTheirFirstKey) {
    Zeq2 root;
    root.objects.emplace().add(objectRecord(1, "Wheel", std::nullopt, moveTo(1, 0, 0)));
    root.objects->add(objectRecord(3, "Box", std::nullopt, moveTo(3, 0, 0)));
    Zeq2Joint hub;
    hub.id = 2;
    hub.name = "Wheel";
    hub.parentId = 1;
    hub.visible = true;
    root.joints.emplace().add(hub);
    root.tracks.emplace();
    auto track = [&](const char* name, float from, Zeq2Transform a, float to, Zeq2Transform b) {
        Zeq2Track t;
        t.objectName = name;
        t.keyframes.add({from, a});
        t.keyframes.add({to, b});
        root.tracks->add(t);
    };
    track("Wheel", 0, moveTo(1, 0, 0), 1, moveTo(1, 0, 2));
    track("Wheel", 0, moveTo(0, 5, 0), 1, moveTo(0, 6, 0));
    track("Box", 1, moveTo(3, 0, 0), 2, moveTo(3, 0, 6));
    import(root);
    EXPECT_TRUE(warnings().empty()) << warnings();
    std::vector<INode*> wheels;
    for (INode* n : host_.scene().nodes())
        if (std::string(n->GetName()) == "Wheel") wheels.push_back(n);
    ASSERT_EQ(wheels.size(), 2u);
    if (wheels[0]->GetParentNode() != wheels[1]) std::swap(wheels[0], wheels[1]);
    EXPECT_EQ(wheels[1]->GetNodeTM(4800).GetTrans(), Point3(1, 0, 2));
    EXPECT_EQ(wheels[0]->GetNodeTM(4800).GetTrans(), Point3(1, 6, 2));
    EXPECT_EQ(node("Box")->GetNodeTM(0).GetTrans(), Point3(3, 0, 0));
    EXPECT_EQ(node("Box")->GetNodeTM(9600).GetTrans(), Point3(3, 0, 6));
}

// Among records of one name, a track keys the one whose transform it holds at the range's start:
// its first key there, or the identity when its keys begin later. "Door" 1 stands still, so the
// one track goes to "Door" 2. "X" 4, a joint below the plain object "X" 3, looks like pivot
// content (two tracks, three records) but has its own track; "X" 5 stands still.
TEST_F(SceneImport, TracksOfARepeatedNameKeyTheRecordsTheyAgreeWith) {
    Zeq2 root;
    root.objects.emplace().add(objectRecord(1, "Door", std::nullopt, moveTo(5, 0, 0)));
    root.objects->add(objectRecord(2, "Door", std::nullopt, moveTo(-5, 0, 0)));
    root.objects->add(objectRecord(3, "X"));
    root.objects->add(objectRecord(5, "X", std::nullopt, moveTo(5, 5, 5)));
    Zeq2Joint child;
    child.id = 4;
    child.name = "X";
    child.parentId = 3;
    child.transform = moveTo(0, 1, 0);
    child.visible = true;
    root.joints.emplace().add(child);
    // Two still "Gate" records agree alike with the track of that name; the one whose child has no
    // track stands still, as the exporter keys every node below a moving one.
    root.objects->add(objectRecord(10, "Gate"));
    root.objects->add(objectRecord(11, "Latch", 10, moveTo(0, 1, 0)));
    root.objects->add(objectRecord(12, "Gate"));
    root.objects->add(objectRecord(13, "Hinge", 12, moveTo(0, 1, 0)));
    // A track whose keys begin later keys a "Y" at the identity in the world, not the child of a
    // moved parent (which the exporter would have keyed from the start).
    root.objects->add(objectRecord(20, "B", std::nullopt, moveTo(0, 0, 1)));
    root.objects->add(objectRecord(21, "Y", 20));
    root.objects->add(objectRecord(22, "Y"));
    root.tracks.emplace();
    auto track = [&](const char* name, std::initializer_list<Zeq2Keyframe> keys) {
        Zeq2Track t;
        t.objectName = name;
        for (const Zeq2Keyframe& key : keys) t.keyframes.add(key);
        root.tracks->add(t);
    };
    track("Door", {{0, moveTo(-5, 0, 0)}, {1, moveTo(-5, 0, 3)}});
    track("X", {{0.5f, moveTo(5, 0, 0)}, {1, moveTo(10, 0, 0)}});
    track("X", {{0, moveTo(0, 1, 0)}, {0.5f, moveTo(0, 1, 0)}, {1, moveTo(0, 1, 0)}});
    track("Gate", {{0.5f, moveTo(0, 0, 0)}, {1, moveTo(0, 0, 4)}});
    track("Hinge", {{0, moveTo(0, 1, 0)}, {0.5f, moveTo(0, 1, 0)}, {1, moveTo(0, 1, 0)}});
    track("Y", {{0.5f, moveTo(3, 0, 0)}, {1, moveTo(6, 0, 0)}});
    import(root);
    EXPECT_TRUE(warnings().empty()) << warnings();
    std::map<std::string, Point3> at4800;  // ProtocolID -> place at 1 s
    for (INode* n : host_.scene().nodes()) {
        std::string id;
        ASSERT_TRUE(n->GetUserPropString(PROTOCOL_ID_PROPERTY, id));
        at4800[id] = n->GetNodeTM(4800).GetTrans();
    }
    const std::map<std::string, Point3> expected{{"1", Point3(5, 0, 0)},  {"2", Point3(-5, 0, 3)},
                                                 {"3", Point3(10, 0, 0)}, {"4", Point3(10, 1, 0)},
                                                 {"5", Point3(5, 5, 5)},  {"10", Point3(0, 0, 0)},
                                                 {"11", Point3(0, 1, 0)}, {"12", Point3(0, 0, 4)},
                                                 {"13", Point3(0, 1, 4)}, {"20", Point3(0, 0, 1)},
                                                 {"21", Point3(0, 0, 1)}, {"22", Point3(6, 0, 0)}};
    EXPECT_EQ(at4800, expected);
}

// A node with a pivot offset comes as a plain object with a content record of its name below it,
// listed right after it in its layer, and no track of its own. A child of the same name that its
// own track keys, or that the layer does not list so (a lower id does not make it the content, and
// a sibling listed between the two is no LOD level), stays a child: here "Box" folds with light 7,
// not with light 2, and "Wheel" and "Gear" fold with nothing.
TEST_F(SceneImport, PivotOffsetsFoldOnlyTheRecordsTheExporterPairs) {
    SceneFile file;
    file.minorVersion = kMinorVersionFloat32;
    Zeq2& root = file.root;
    root.objects.emplace().add(objectRecord(1, "Box", std::nullopt, moveTo(5, 0, 0)));
    root.objects->add(objectRecord(3, "Wheel", std::nullopt, moveTo(0, 5, 0)));
    root.objects->add(objectRecord(5, "Gear", std::nullopt, moveTo(0, 0, 5)));
    root.objects->add(objectRecord(6, "Pin", 5));
    root.omniLights.emplace();
    for (auto [id, name, parent, offset] : {std::tuple{2, "Box", 1, moveTo(0, 1, 0)}, {7, "Box", 1, moveTo(0, 0, 2)},
                                            {4, "Wheel", 3, moveTo(0, 1, 0)}, {8, "Gear", 5, moveTo(1, 0, 0)}}) {
        Zeq2OmniLight omni;
        omni.id = id;
        omni.name = name;
        omni.parentId = parent;
        omni.transform = offset;
        omni.visible = true;
        root.omniLights->add(omni);
    }
    Zeq2Track spin;
    spin.objectName = "Wheel";
    spin.keyframes.add({0, moveTo(0, 1, 0)});
    spin.keyframes.add({1, moveTo(0, 1, 3)});
    root.tracks.emplace().add(spin);
    Zeq2Layer layer;
    layer.id = 1;
    layer.name = "0";
    layer.objectIds = TArray<int64_t>{1, 7, 2, 3, 4, 5, 6, 8};
    file.extra1.layers.emplace().add(layer);
    ASSERT_EQ(importFile(writeScene(file)), IMPEXP_SUCCESS);

    std::map<std::string, std::pair<Point3, Point3>> placed;  // node -> pivot and object at 1 s
    for (INode* n : host_.scene().nodes()) {
        const bool child = !n->GetParentNode()->IsRootNode();
        placed[std::string(n->GetName()) + (child ? " child" : "")] = {n->GetNodeTM(4800).GetTrans(),
                                                                        n->GetObjectTM(4800).GetTrans()};
    }
    const std::map<std::string, std::pair<Point3, Point3>> expected{
        {"Box", {Point3(5, 0, 0), Point3(5, 0, 2)}},
        {"Box child", {Point3(5, 1, 0), Point3(5, 1, 0)}},
        {"Wheel", {Point3(0, 5, 0), Point3(0, 5, 0)}},
        {"Wheel child", {Point3(0, 6, 3), Point3(0, 6, 3)}},
        {"Gear", {Point3(0, 0, 5), Point3(0, 0, 5)}},
        {"Gear child", {Point3(1, 0, 5), Point3(1, 0, 5)}},
        {"Pin child", {Point3(0, 0, 5), Point3(0, 0, 5)}}};
    EXPECT_EQ(placed, expected);
}

// A node holds each key until a frame of the file before the next, the frame being the step of
// the key times (or the host's frame where that is shorter). Where the host's frames would miss
// keys of the file (the step is no multiple of them), the scene takes the file's frame: the step
// where it is the host's frame at 10 a second or more (685 ticks at 7 a second too, for want of a
// usual rate); else a run of held frames of a usual rate, or of another. A frame shorter than one
// at 240 a second leaves the scene's.
TEST_F(SceneImport, KeysHoldByTheFilesFrameWhichTheSceneTakesWhereItsOwnMissesKeys) {
    struct Case {
        int hostFrame;
        int keys[3];
        int frame;  // the scene's afterwards
        int hold;   // before the last key
    };
    const Case cases[] = {
        {160, {0, 2480, 2560}, 80, 80},      {160, {0, 2400, 2600}, 200, 200}, {160, {0, 2560, 3200}, 160, 160},
        {80, {0, 2560, 3200}, 80, 80},       {160, {0, 6000, 12000}, 200, 200}, {160, {100, 2500, 2900}, 400, 400},
        {160, {0, 2410, 2420}, 160, 10},     {160, {0, 700, 1400}, 100, 100},   {160, {0, 1200, 2400}, 200, 200},
        {160, {0, 685, 1370}, 685, 685},
    };
    for (const Case& c : cases) {
        host_.SetTicksPerFrame(c.hostFrame);
        host_.SetAnimRange(Interval(0, 0));
        const std::string name = "N" + std::to_string(c.keys[1]) + "_" + std::to_string(c.hostFrame);
        Zeq2 root;
        root.objects.emplace().add(objectRecord(1, name, std::nullopt, moveTo(0, 1, 0)));
        Zeq2Track track;
        track.objectName = name;
        for (int k = 0; k < 3; ++k) track.keyframes.add({c.keys[k] / 4800.0f, moveTo(float(k), 1, 0)});
        root.tracks.emplace().add(track);
        const std::size_t earlier = warnings().size();
        import(root);
        EXPECT_EQ(host_.GetTicksPerFrame(), c.frame) << name;
        // Keys closer than the scene's frames are named: an export samples the frames alone.
        EXPECT_EQ(warnings().find("fall between the scene's frames", earlier) != std::string::npos, c.hold < c.frame)
            << name;
        EXPECT_EQ(node(name)->GetNodeTM(c.keys[2] - c.hold).GetTrans(), Point3(1, 1, 0)) << name;
        EXPECT_NE(node(name)->GetNodeTM(c.keys[2] - c.hold / 2).GetTrans(), Point3(1, 1, 0)) << name;
        node(name)->DeleteThis();  // the next case's scene has no animation
    }
}

// The export samples the scene's frames from its range's start. A scene without animation of its
// own (static nodes only) takes the file's frame and starts on its keys: on the first, or a frame
// earlier where a node's record held another transform until then. An animated scene keeps every
// frame and its start, taking a frame that divides its own where the file's keys lie on it, and
// grows by whole frames. A single key time shows no frames. A scene without nodes takes the
// file's range: it starts on the first key.
TEST_F(SceneImport, TheScenesFramesMeetTheKeysOfTheFile) {
    enum class Record { AtFirstKey, HeldBefore, None };
    auto importTrack = [&](const std::string& name, std::vector<int> ticks, Record record = Record::AtFirstKey) {
        Zeq2 root;
        const float rest = ticks.empty() || record == Record::HeldBefore ? 0.0f : float(ticks[0]);
        if (record != Record::None) root.objects.emplace().add(objectRecord(1, name, std::nullopt, moveTo(rest, 1, 0)));
        Zeq2Track track;
        track.objectName = name;
        for (int tick : ticks) track.keyframes.add({tick / 4800.0f, moveTo(float(tick), 1, 0)});
        root.tracks.emplace().add(track);
        import(root);
        return std::pair(host_.GetAnimRange().Start(), host_.GetTicksPerFrame());
    };
    host_.SetAnimRange(Interval(0, 4800));
    EXPECT_EQ(importTrack("Single", {50}), std::pair(0, 160));
    node("Single")->DeleteThis();
    EXPECT_EQ(importTrack("Static", {}), std::pair(0, 160));
    EXPECT_EQ(importTrack("Late", {50, 210, 530}), std::pair(50, 160));
    EXPECT_EQ(importTrack("Slower", {100, 300, 4900}), std::pair(50, 160));
    EXPECT_EQ(host_.GetAnimRange().End(), 5010);  // the frame after the last key
    EXPECT_EQ(importTrack("Faster", {130, 210}), std::pair(50, 80));
    EXPECT_EQ(importTrack("Earlier", {-1000, -800}), std::pair(-1070, 80));
    for (const char* animated : {"Late", "Slower", "Faster", "Earlier"}) node(animated)->DeleteThis();
    host_.SetAnimRange(Interval(100, 4800));
    EXPECT_EQ(importTrack("Held", {200, 400}, Record::HeldBefore), std::pair(0, 200));
    node("Held")->DeleteThis();
    host_.SetAnimRange(Interval(100, 4800));
    EXPECT_EQ(importTrack("Loose", {200, 400}, Record::None), std::pair(200, 200));
    for (const char* name : {"Static", "Loose"}) node(name)->DeleteThis();
    EXPECT_EQ(importTrack("Empty", {1000, 1200}), std::pair(1000, 200));
}

// Key times reach both ends of the host's 32-bit ticks, a float step past them included; only what
// lies beyond is skipped.
TEST_F(SceneImport, KeysReachTheEndsOfTheTicks) {
    Zeq2 root;
    root.tracks.emplace();
    Zeq2Track far;
    far.objectName = "Far";
    for (double tick : {-2147483648.0, 2147483647.0, 1e10}) far.keyframes.add({float(tick / 4800), moveTo(1, 0, 0)});
    root.tracks->add(far);
    import(root);
    const Interval range = host_.GetAnimRange();
    EXPECT_EQ(range.Start(), TIME_NegInfinity);
    EXPECT_EQ(range.End(), TIME_PosInfinity);
    EXPECT_NE(warnings().find("a key at 2083333.375000 s is out of range; skipped"), std::string::npos)
        << warnings();
}

// A visible skin "Skin" (id 20) on index buffer 1 and vertex buffer 1.
Zeq2Skin skinOnBuffers() {
    Zeq2Skin skin;
    skin.id = 20;
    skin.name = "Skin";
    skin.indexBufferId = 1;
    skin.vertexBufferIds.add(1);
    skin.visible = true;
    return skin;
}

// Each surface of a skin has its own run of joints, and a vertex's JOINTS data name places in the
// run of a surface that uses it; bind transforms go with their joints whatever their order. Here
// surface 0 (triangle 0) lists A and B, surface 1 (triangles 1 and 2) C and D, and vertex 2, in
// both surfaces, names place 1: B for the first surface, D for the second, which is reported.
TEST_F(SceneImport, SkinVerticesNameTheJointsOfTheirSurface) {
    Zeq2 root = emptyRoot();
    // Position, then one influence (place × 3, weight 1) and an empty slot.
    root.vertexBuffers->add(vertexBuffer(1, {A::POSITION, A::JOINTS}, 7,
                                         floatBytes({0, 0, 0, 0, 1, 0, 0, 1, 1, 0, 3, 1, 0, 0,  //
                                                     2, 0, 0, 3, 1, 0, 0, 3, 1, 0, 3, 1, 0, 0,  //
                                                     4, 0, 0, 3, 1, 0, 0, 5, 1, 0, 3, 1, 0, 0,  //
                                                     6, 0, 0, 3, 1, 0, 0})));
    root.indexBuffers->add(indexBuffer(1, {0, 1, 2, 3, 4, 5, 2, 5, 6}));
    Zeq2Skin skin = skinOnBuffers();
    skin.surfaces.add({0, std::nullopt, 1});
    skin.surfaces.add({3, std::nullopt, 2});
    skin.jointIds = TArray<int64_t>({10, 11, 12, 13});
    skin.surfaceJointCounts = TArray<uint16_t>({2, 2});
    for (int j = 3; j >= 0; --j) skin.jointBindTransforms.add({moveTo(-float(j), 0, 0), 10 + j});
    root.skins.emplace().add(skin);
    root.joints.emplace();
    for (int j = 0; j < 4; ++j) {
        Zeq2Joint joint;
        joint.id = 10 + j;
        joint.name = std::string("J") + char('A' + j);
        joint.visible = true;
        root.joints->add(joint);
    }
    import(root);
    EXPECT_NE(warnings().find("vertex 2 is used by surfaces 0 and 1"), std::string::npos) << warnings();
    auto* stack = dynamic_cast<IDerivedObject*>(node("Skin")->GetObjectRef());
    ASSERT_NE(stack, nullptr);
    auto* skinned = static_cast<ISkin*>(stack->GetModifier(0)->GetInterface(I_SKIN));
    ASSERT_EQ(skinned->GetNumBones(), 4);
    for (int b = 0; b < 4; ++b) {
        EXPECT_EQ(std::string(skinned->GetBone(b)->GetName()), std::string("J") + char('A' + b));
        Matrix3 tm;
        skinned->GetBoneInitTM(skinned->GetBone(b), tm);
        EXPECT_EQ(tm.GetTrans(), Point3(float(b), 0.0f, 0.0f)) << b;
    }
    ISkinContextData* weights = skinned->GetContextInterface(node("Skin"));
    const int boneOfVertex[] = {0, 1, 1, 3, 3, 3, 3};
    for (int v = 0; v < 7; ++v) {
        ASSERT_EQ(weights->GetNumAssignedBones(v), 1) << v;
        EXPECT_EQ(weights->GetAssignedBone(v, 0), boneOfVertex[v]) << v;
    }
}

// A run that lists a joint twice (as the exporter writes a skin listing a bone twice): a vertex
// naming both places gets one influence of their summed weight, as the engine adds them.
TEST_F(SceneImport, AJointListedTwiceInARunTakesBothWeights) {
    Zeq2 root = emptyRoot();
    root.vertexBuffers->add(vertexBuffer(1, {A::POSITION, A::JOINTS}, 3,
                                         floatBytes({0, 0, 0, 0, 0.25f, 3, 0.75f,  //
                                                     1, 0, 0, 0, 1, 0, 0,          //
                                                     0, 1, 0, 3, 1, 0, 0})));
    root.indexBuffers->add(indexBuffer(1, {0, 1, 2}));
    Zeq2Skin skin = skinOnBuffers();
    skin.surfaces.add({0, std::nullopt, 1});
    skin.jointIds = TArray<int64_t>({10, 10});
    skin.surfaceJointCounts = TArray<uint16_t>({2});
    skin.jointBindTransforms.add({moveTo(0, 0, 0), 10});
    root.skins.emplace().add(skin);
    Zeq2Joint joint;
    joint.id = 10;
    joint.name = "JA";
    joint.visible = true;
    root.joints.emplace().add(joint);
    import(root);
    auto* stack = dynamic_cast<IDerivedObject*>(node("Skin")->GetObjectRef());
    ASSERT_NE(stack, nullptr) << warnings();
    auto* skinned = static_cast<ISkin*>(stack->GetModifier(0)->GetInterface(I_SKIN));
    ASSERT_EQ(skinned->GetNumBones(), 1) << warnings();
    ISkinContextData* weights = skinned->GetContextInterface(node("Skin"));
    for (int v = 0; v < 3; ++v) {
        ASSERT_EQ(weights->GetNumAssignedBones(v), 1) << v;
        EXPECT_EQ(weights->GetBoneWeight(v, 0), 1.0f) << v;
    }
}

TEST(ImportReportText, ListsAtMostTwentyLinesAndCountsTheRest) {
    ImportReport report;
    for (int i = 0; i < 25; ++i) report.skip("line " + std::to_string(i));
    report.skip("line 3");  // the same problem twice is one line
    EXPECT_EQ(report.lines().size(), 25u);
    const std::string text = report.message();
    EXPECT_NE(text.find("- line 19"), std::string::npos);
    EXPECT_EQ(text.find("- line 20"), std::string::npos);
    EXPECT_NE(text.find("... and 5 more"), std::string::npos);
}

}  // namespace
}  // namespace zeq::test
