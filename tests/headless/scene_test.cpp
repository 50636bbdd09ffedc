// The headless scene: node tree and transforms, user properties, selection, ownership, conversions,
// modifier stacks and skins, parameter blocks, materials and maps.
#include "headless/host.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <numbers>

namespace {

using namespace headless;

constexpr float kPi = std::numbers::pi_v<float>;

Mesh Triangle() {
    Mesh mesh;
    mesh.setNumVerts(3);
    mesh.verts = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh.setNumFaces(1);
    mesh.faces[0].setVerts(0, 1, 2);
    return mesh;
}

// A host of its own for each test, installed while it runs.
class HostTest : public ::testing::Test {
protected:
    Host host;
    Scene& scene = host.scene();
};
using SceneNodes = HostTest;
using SceneOwnership = HostTest;
using SceneObjects = HostTest;
using SceneParamBlocks = HostTest;
using SceneMaterials = HostTest;

TEST(HeadlessHost, InstallsItselfAndRestoresThePreviousHost) {
    EXPECT_EQ(GetCOREInterface(), nullptr);
    EXPECT_THROW(CreateNewTriObject(), std::logic_error);
    {
        Host outer;
        EXPECT_EQ(GetCOREInterface(), &outer);
        {
            Host inner;
            EXPECT_EQ(GetCOREInterface(), &inner);
            TriObject* tri = CreateNewTriObject();
            EXPECT_TRUE(inner.scene().owns(tri));
        }
        EXPECT_EQ(GetCOREInterface(), &outer);
        EXPECT_EQ(GetTicksPerFrame(), 160);
        outer.SetTicksPerFrame(0);  // refused
        outer.SetTicksPerFrame(200);
        EXPECT_EQ(GetFrameRate(), 24);
    }
    EXPECT_EQ(GetCOREInterface(), nullptr);
}

TEST_F(SceneNodes, WorldIsLocalTimesParentWorld) {
    Node* parent = scene.createNode("Parent");
    Node* child = scene.createNode("Child", parent);
    parent->setLocalTM(RotateZMatrix(kPi / 2) * TransMatrix({10, 0, 0}));
    child->setLocalTM(TransMatrix({1, 0, 0}));
    // The child's offset (1, 0, 0) is turned by the parent to (0, 1, 0), then moved.
    EXPECT_TRUE(child->GetNodeTM(0).GetTrans().Equals({10, 1, 0}, 1e-5f));
    EXPECT_TRUE((child->GetNodeTM(0) * Inverse(parent->GetNodeTM(0))).Equals(child->GetLocalTM(0), 1e-5f));
    EXPECT_EQ(child->GetParentNode(), parent);
    EXPECT_EQ(parent->GetParentNode(), scene.root());
    EXPECT_TRUE(scene.root()->IsRootNode());
    EXPECT_EQ(host.GetINodeByName("Child"), child);
    EXPECT_EQ(host.GetINodeByName("Nobody"), nullptr);

    // Setting the world matrix stores the matching local one.
    Matrix3 world = TransMatrix({3, 3, 3});
    child->SetNodeTM(0, world);
    EXPECT_TRUE(child->GetNodeTM(0).Equals(world, 1e-5f));
}

// Worlds are kept between calls: each change of a node's transform or parent, or of an ancestor's,
// must reach what its descendants report, at every time.
TEST_F(SceneNodes, WorldFollowsEveryChangeAboveIt) {
    Node* top = scene.createNode("Top");
    Node* middle = scene.createNode("Middle", top);
    Node* leaf = scene.createNode("Leaf", middle);
    Node* other = scene.createNode("Other");
    top->setLocalTM(RotateZMatrix(0.5f) * TransMatrix({1, 2, 3}));
    middle->setLocalTM(ScaleMatrix({2, 2, 2}) * TransMatrix({0, 1, 0}));
    leaf->setLocalTM(TransMatrix({1, 0, 0}));
    other->setLocalTM(TransMatrix({0, 0, 5}));
    // The world worked out afresh: local transforms multiplied up the chain.
    auto fresh = [](Node* node, TimeValue t) {
        Matrix3 world = node->GetLocalTM(t);
        for (INode* p = node->GetParentNode(); p && !p->IsRootNode(); p = p->GetParentNode())
            world = world * p->GetLocalTM(t);
        return world;
    };
    const std::function<void()> changes[] = {
        [&] { top->setLocalTM(TransMatrix({4, 0, 0})); },
        [&] { middle->SetNodeTM(0, RotateXMatrix(1.0f)); },
        [&] { top->addKey(100, TransMatrix({0, 0, 9})); },
        [&] { other->AttachChild(middle, false); },
        [&] { other->AttachChild(middle, true); },
        [&] { middle->Detach(0, false); },
        [&] { leaf->addKey(50, TransMatrix({3, 0, 0})); },
    };
    for (const auto& change : changes) {
        leaf->GetNodeTM(100);  // known before the change
        change();
        for (TimeValue t : {100, 50, 0})
            EXPECT_TRUE(leaf->GetNodeTM(t).Equals(fresh(leaf, t), 1e-5f)) << "at " << t;
    }
}

TEST_F(SceneNodes, AttachChildKeepsWorldTransformAtEveryKey) {
    Node* a = scene.createNode("A");
    Node* b = scene.createNode("B");
    Node* c = scene.createNode("C");
    a->addKey(0, TransMatrix({0, 0, 0}));
    a->addKey(100, TransMatrix({0, 10, 0}));
    b->setLocalTM(ScaleMatrix({2, 2, 2}) * TransMatrix({5, 0, 0}));
    c->addKey(0, TransMatrix({1, 0, 0}));
    c->addKey(100, TransMatrix({2, 0, 0}));
    Matrix3 before0 = c->GetNodeTM(0), before100 = c->GetNodeTM(100);

    a->AttachChild(c, true);
    EXPECT_TRUE(c->GetNodeTM(0).Equals(before0, 1e-5f));
    EXPECT_TRUE(c->GetNodeTM(100).Equals(before100, 1e-5f));
    b->AttachChild(c, true);
    EXPECT_TRUE(c->GetNodeTM(100).Equals(before100, 1e-5f));
    EXPECT_EQ(a->NumberOfChildren(), 0);
    ASSERT_EQ(b->NumberOfChildren(), 1);

    // Without keepPos the local transform stays and the node moves with its new parent.
    Node* d = scene.createNode("D");
    d->setLocalTM(TransMatrix({1, 1, 1}));
    b->AttachChild(d, false);
    EXPECT_TRUE(d->GetNodeTM(0).GetTrans().Equals({7, 2, 2}, 1e-5f));

    // A node cannot become a child of its own descendant, and the root cannot be attached.
    c->AttachChild(b, true);
    EXPECT_EQ(b->GetParentNode(), scene.root());
    a->AttachChild(scene.root(), true);
    EXPECT_EQ(a->NumberOfChildren(), 0);
    // Children stay in host order: attach order.
    EXPECT_EQ(b->GetChildNode(0), c);
    EXPECT_EQ(b->GetChildNode(1), d);
    EXPECT_EQ(b->GetChildNode(2), nullptr);
    // Taking a child from the middle keeps the others in order.
    Node* e = scene.createNode("E", b);
    a->AttachChild(d, false);
    ASSERT_EQ(b->NumberOfChildren(), 2);
    EXPECT_EQ(b->GetChildNode(0), c);
    EXPECT_EQ(b->GetChildNode(1), e);
    EXPECT_EQ(a->GetChildNode(0), d);
}

// At the scene root a node's world is its local matrix, bit for bit: a negative zero (which Zeq
// files keep) must not become 0 through a product with the root's identity.
TEST_F(SceneNodes, MatricesAtTheRootKeepEveryBit) {
    Matrix3 m = ScaleMatrix({0.1f, 0.1f, 0.2f});
    m.SetRow(3, Point3(-0.0f, 1.0f, -0.0f));
    m.m[0][2] = -0.0f;
    auto sameBits = [](const Matrix3& a, const Matrix3& b) { return std::memcmp(a.m, b.m, sizeof a.m) == 0; };
    Node* n = scene.createNode("N");
    n->SetNodeTM(0, m);
    EXPECT_TRUE(sameBits(n->GetNodeTM(0), m));
    scene.root()->AttachChild(n, true);
    EXPECT_TRUE(sameBits(n->GetLocalTM(0), m));
}

TEST_F(SceneNodes, ObjectTransformAppliesThePivotOffsetFirst) {
    Node* node = scene.createNode("Pivoted");
    node->setLocalTM(RotateZMatrix(kPi / 2) * TransMatrix({0, 0, 5}));
    node->setObjectOffset(TransMatrix({2, 0, 0}));
    EXPECT_TRUE(node->GetObjectTM(0).GetTrans().Equals({0, 2, 5}, 1e-5f));
    EXPECT_FALSE(node->GetObjectTM(0).Equals(node->GetNodeTM(0), 1e-6f));
    EXPECT_TRUE(node->GetObjTMAfterWSM(0).Equals(node->GetObjectTM(0), 0.0f));
}

TEST_F(SceneNodes, UserPropertiesParseNumbersStrictly) {
    Node* node = scene.createNode("Level");
    node->SetUserPropFloat("LODDistance", 12.5f);
    float distance = 0.0f;
    ASSERT_TRUE(node->GetUserPropFloat("LODDistance", distance));
    EXPECT_EQ(distance, 12.5f);
    node->SetUserPropFloat("Tiny", 1.0e-7f);
    ASSERT_TRUE(node->GetUserPropFloat("Tiny", distance));
    EXPECT_EQ(distance, 1.0e-7f);  // the stored text reads back as the same float

    node->SetUserPropInt("ProtocolID", -5);
    std::string text;
    ASSERT_TRUE(node->GetUserPropString("ProtocolID", text));
    EXPECT_EQ(text, "-5");
    node->SetUserPropString("Name", "tree 2");
    EXPECT_FALSE(node->GetUserPropFloat("Name", distance));
    EXPECT_FALSE(node->GetUserPropFloat("Missing", distance));
    int number = 0;
    EXPECT_FALSE(node->GetUserPropInt("LODDistance", number));  // "12.5" is no integer
    EXPECT_EQ(distance, 1.0e-7f);                                // failed reads leave the value

    std::string buffer;
    node->GetUserPropBuffer(buffer);
    Node* other = scene.createNode("Copy");
    other->SetUserPropBuffer(buffer + "no equals sign\r\n = orphan value\r\n");
    ASSERT_EQ(other->userProperties().size(), node->userProperties().size());
    ASSERT_TRUE(other->GetUserPropFloat("LODDistance", distance));
    EXPECT_EQ(distance, 12.5f);
}

TEST_F(SceneNodes, SelectionKeepsOrderAndLayersDefault) {
    Node* a = scene.createNode("A");
    Node* b = scene.createNode("B");
    host.SelectNode(b);
    host.SelectNode(a, false);
    host.SelectNode(b, false);  // already selected: no duplicate
    ASSERT_EQ(host.GetSelNodeCount(), 2);
    EXPECT_EQ(host.GetSelNode(0), b);
    EXPECT_EQ(host.GetSelNode(1), a);
    EXPECT_TRUE(a->Selected());
    host.SelectNode(scene.root(), false);  // the root cannot be selected
    EXPECT_EQ(host.GetSelNodeCount(), 2);
    host.ClearNodeSelection();
    EXPECT_FALSE(a->Selected());

    EXPECT_STREQ(a->GetLayer()->GetName(), "0");
    Layer* props = scene.newLayer("Props");
    a->SetLayer(props);
    EXPECT_EQ(a->GetReference(NODE_LAYER_REF), props);
    EXPECT_EQ(scene.findLayer("Props"), props);
    // Layers are found by their name of now: the first of that name, renamed or not.
    Layer* later = scene.newLayer("Props");
    props->SetName("Walls");
    EXPECT_EQ(scene.findLayer("Props"), later);
    EXPECT_EQ(scene.findLayer("Walls"), props);
    later->SetName("Walls");
    EXPECT_EQ(scene.findLayer("Walls"), props);
    EXPECT_EQ(scene.findLayer("Props"), nullptr);
}

TEST_F(SceneOwnership, DeletingAnItemClearsReferencesToIt) {
    Node* a = scene.createNode("A");
    Node* b = scene.createNode("B");
    TriMeshObject* shared = scene.newTriObject(Triangle());
    a->SetObjectRef(shared);
    b->SetObjectRef(shared);  // two nodes instance one object
    StandardMaterial* mat = scene.newStdMat("M");
    BitmapTexture* tex = scene.newBitmapTex("wood.png");
    mat->SetSubTexmap(ID_DI, tex);
    a->SetMtl(mat);

    tex->DeleteThis();
    EXPECT_EQ(mat->GetSubTexmap(ID_DI), nullptr);
    shared->DeleteThis();
    EXPECT_EQ(a->GetObjectRef(), nullptr);
    EXPECT_EQ(b->GetObjectRef(), nullptr);

    // A deleted node leaves the tree; its children move to the root where they were in the world.
    Node* group = scene.createNode("Group");
    group->setLocalTM(TransMatrix({0, 0, 100}));
    group->AttachChild(a);
    Node* child = scene.createNode("Child", a);
    child->setLocalTM(TransMatrix({1, 0, 0}));
    a->setLocalTM(TransMatrix({5, 0, 0}));
    host.SelectNode(a);
    a->DeleteThis();
    EXPECT_EQ(child->GetParentNode(), scene.root());
    EXPECT_TRUE(child->GetNodeTM(0).GetTrans().Equals({6, 0, 100}, 1e-5f));
    // A node detached at a time keeps its place in the world at that time.
    group->addKey(0, Matrix3());
    group->addKey(4800, TransMatrix({100, 0, 0}));
    Node* rider = scene.createNode("Rider", group);
    rider->Detach(4800);
    EXPECT_TRUE(rider->GetNodeTM(0).GetTrans().Equals({100, 0, 0}, 1e-5f));
    // User properties are found by their trimmed keys, as they are kept.
    rider->SetUserPropString(" pad ", "x");
    EXPECT_TRUE(rider->UserPropExists("pad"));
    EXPECT_TRUE(rider->UserPropExists(" pad"));
    EXPECT_EQ(host.GetSelNodeCount(), 0);
    EXPECT_EQ(scene.findNode("A"), nullptr);
}

TEST_F(SceneObjects, ConversionsFollowWhatEachClassCanBecome) {
    TriMeshObject* tri = scene.newTriObject(Triangle());
    EXPECT_EQ(tri->ConvertToType(0, TRIOBJ_CLASS_ID), tri);
    Object* poly = tri->ConvertToType(0, POLYOBJ_CLASS_ID);
    ASSERT_NE(poly, nullptr);
    EXPECT_EQ(poly->ClassID(), POLYOBJ_CLASS_ID);
    Object* back = poly->ConvertToType(0, TRIOBJ_CLASS_ID);
    ASSERT_NE(back, nullptr);
    EXPECT_NE(back, tri);
    EXPECT_EQ(static_cast<TriObject*>(back)->mesh.getNumFaces(), 1);
    back->DeleteThis();  // conversion results may be freed by the caller
    EXPECT_FALSE(scene.owns(back));

    GenericObject* box = scene.newObject(GEOMOBJECT_CLASS_ID, BOX_OBJECT_CLASS_ID, "Box");
    EXPECT_FALSE(box->CanConvertToType(TRIOBJ_CLASS_ID));
    EXPECT_EQ(box->ConvertToType(0, TRIOBJ_CLASS_ID), nullptr);
    box->setMesh(Triangle(), MeshConversion::PolygonOnly);
    EXPECT_FALSE(box->CanConvertToType(TRIOBJ_CLASS_ID));
    EXPECT_TRUE(box->CanConvertToType(POLYOBJ_CLASS_ID));
    box->setMesh(Triangle(), MeshConversion::Triangle);
    EXPECT_TRUE(box->CanConvertToType(TRIOBJ_CLASS_ID));

    // An object that stands for another one answers the source interface.
    GenericObject* proxy = scene.newObject(GEOMOBJECT_CLASS_ID, Class_ID(0x1234, 0x5678), "Proxy");
    EXPECT_EQ(proxy->GetInterface(OBJECT_SOURCE_INTERFACE_ID), nullptr);
    proxy->setSourceObject(box);
    auto* source = static_cast<IObjectSource*>(proxy->GetInterface(OBJECT_SOURCE_INTERFACE_ID));
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->GetSourceObject(0), box);
}

TEST_F(SceneObjects, ModifierStackWithSkin) {
    Node* bone0 = scene.createNode("Bone0");
    Node* bone1 = scene.createNode("Bone1", bone0);
    TriMeshObject* base = scene.newTriObject(Triangle());
    DerivedObject* stack = scene.newDerivedObject(base);
    GenericModifier* bend = scene.newModifier(Class_ID(0x999, 0), "Bend");
    SkinModifier* skin = scene.newSkin();
    stack->AddModifier(bend);
    stack->AddModifier(skin);  // inserted on top
    Node* body = scene.createNode("Body");
    body->SetObjectRef(stack);
    Node* other = scene.createNode("Other");
    other->SetObjectRef(base);

    EXPECT_EQ(stack->SuperClassID(), GEN_DERIVOB_CLASS_ID);
    ASSERT_EQ(stack->NumModifiers(), 2);
    EXPECT_EQ(stack->GetModifier(0), skin);
    EXPECT_EQ(stack->GetObjRef(), base);
    EXPECT_EQ(stack->Eval(0).obj, base);
    EXPECT_EQ(stack->FindBaseObject(), base);
    Object* converted = stack->ConvertToType(0, TRIOBJ_CLASS_ID);
    EXPECT_NE(converted, base);  // never the scene's own object
    EXPECT_EQ(converted->ClassID(), TRIOBJ_CLASS_ID);

    skin->addBone(bone0, TransMatrix({0, 0, 1}));
    skin->addBone(bone1, TransMatrix({0, 0, 2}));
    skin->setSkinInitTM(TransMatrix({0, 5, 0}));
    skin->addWeight(0, 0, 1.0f);
    skin->addWeight(2, 1, 0.25f);
    skin->addWeight(2, 0, 0.75f);

    auto* iskin = static_cast<ISkin*>(stack->GetModifier(0)->GetInterface(I_SKIN));
    ASSERT_NE(iskin, nullptr);
    EXPECT_EQ(bend->GetInterface(I_SKIN), nullptr);
    EXPECT_EQ(iskin->GetNumBones(), 2);
    EXPECT_EQ(iskin->GetBone(1), bone1);
    EXPECT_EQ(iskin->GetBone(2), nullptr);
    Matrix3 tm;
    EXPECT_EQ(iskin->GetBoneInitTM(bone1, tm), SKIN_OK);
    EXPECT_TRUE(tm.GetTrans().Equals({0, 0, 2}));
    EXPECT_EQ(iskin->GetBoneInitTM(body, tm), SKIN_INVALID_NODE_PASSED);
    EXPECT_EQ(iskin->GetSkinInitTM(body, tm, true), SKIN_OK);
    EXPECT_TRUE(tm.GetTrans().Equals({0, 5, 0}));
    EXPECT_EQ(iskin->GetContextInterface(other), nullptr);
    ISkinContextData* data = iskin->GetContextInterface(body);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->GetNumPoints(), 3);
    EXPECT_EQ(data->GetNumAssignedBones(1), 0);
    ASSERT_EQ(data->GetNumAssignedBones(2), 2);
    EXPECT_EQ(data->GetAssignedBone(2, 1), 0);
    EXPECT_EQ(data->GetBoneWeight(2, 0), 0.25f);
    EXPECT_EQ(data->GetAssignedBone(2, 5), -1);
    EXPECT_EQ(data->GetNumAssignedBones(-1), 0);

    bone1->DeleteThis();
    EXPECT_EQ(iskin->GetBone(1), nullptr);
}

TEST_F(SceneParamBlocks, TypedValuesTablesAndLookups) {
    GenericObject* lod = scene.newObject(HELPER_CLASS_ID, Class_ID(0xB08FE489, 0x88D0FBBE), "LOD");
    ParamBlock* block = lod->addParamBlock(0, "LODObjectParamBlock");
    ASSERT_TRUE(block->addParam(4, "Nodes list", TYPE_INODE_TAB));
    ASSERT_TRUE(block->addParam(2, "Icon size", TYPE_FLOAT));
    ASSERT_TRUE(block->addParam(1, "Center align child", TYPE_BOOL));
    ASSERT_TRUE(block->addParam(5, "Nodes view", TYPE_STRING_TAB, 2));
    EXPECT_FALSE(block->addParam(2, "again", TYPE_INT));

    Node* level0 = scene.createNode("L0");
    Node* level1 = scene.createNode("L1");
    INode* levels[] = {level0, level1};
    EXPECT_EQ(block->Append(4, 2, levels), 2);
    EXPECT_EQ(block->Count(4), 2);
    EXPECT_EQ(block->GetINode(4, 0, 1), level1);
    EXPECT_EQ(block->GetINode(4, 0, 2), nullptr);
    EXPECT_TRUE(block->SetValue(2, 0, 7.5f));
    EXPECT_EQ(block->GetFloat(2), 7.5f);
    EXPECT_FALSE(block->SetValue(2, 0, 3));  // an int into a float parameter is refused
    EXPECT_TRUE(block->SetValue(1, 0, 5));
    EXPECT_EQ(block->GetInt(1), 1);  // booleans are 0 or 1
    EXPECT_EQ(block->GetStr(5, 0, 0), nullptr);  // a table entry with no string
    EXPECT_TRUE(block->SetValue(5, 0, "L0 [0.00]", 1));
    EXPECT_STREQ(block->GetStr(5, 0, 1), "L0 [0.00]");
    EXPECT_EQ(block->Delete(5, 0, 10), 0);
    EXPECT_EQ(block->SetCount(2, 3), -1);  // not a table

    EXPECT_EQ(block->NumParams(), 4);
    EXPECT_EQ(block->IndextoID(0), 4);
    EXPECT_EQ(block->IDtoIndex(5), 3);
    EXPECT_EQ(block->IDtoIndex(9), -1);
    EXPECT_EQ(block->GetParameterType(4), TYPE_INODE_TAB);
    EXPECT_EQ(lod->GetParamBlock(0), block);
    EXPECT_EQ(lod->GetParamBlockByID(0), block);
    EXPECT_EQ(lod->GetParamBlockByID(3), nullptr);

    level0->DeleteThis();
    EXPECT_EQ(block->GetINode(4, 0, 0), nullptr);  // the table keeps its length
    EXPECT_EQ(block->Count(4), 2);
}

TEST_F(SceneMaterials, StandardMultiAndCubeMaps) {
    StandardMaterial* wood = scene.newStdMat("Wood");
    BitmapTexture* diffuse = scene.newBitmapTex("C:\\maps\\wood.png", 2);
    diffuse->setBitmapSize(256, 128);
    wood->SetSubTexmap(ID_DI, diffuse);
    EXPECT_TRUE(wood->MapEnabled(ID_DI));
    EXPECT_EQ(wood->NumSubTexmaps(), STD_NUM_TEXMAPS);
    EXPECT_EQ(wood->GetSubTexmap(STD_NUM_TEXMAPS), nullptr);
    EXPECT_EQ(diffuse->GetMapChannel(), 2);
    Bitmap* image = diffuse->GetBitmap(0);
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(image->HasStorage());
    EXPECT_EQ(image->Width(), 256);
    BitmapTexture* unread = scene.newBitmapTex("missing.png");
    EXPECT_FALSE(unread->GetBitmap(0)->HasStorage());
    EXPECT_EQ(scene.newBitmapTex("")->GetBitmap(0), nullptr);

    MultiMaterial* multi = scene.newMultiMtl("Multi", 2);
    multi->SetSubMtl(1, wood);
    multi->SetSubMtlAndName(3, wood, "third");
    EXPECT_TRUE(multi->IsMultiMtl());
    EXPECT_EQ(multi->NumSubMtls(), 4);
    EXPECT_EQ(multi->GetSubMtl(0), nullptr);
    EXPECT_EQ(multi->GetSubMtl(3), wood);
    EXPECT_EQ(multi->GetSubMtl(4), nullptr);  // no wrap-around
    EXPECT_EQ(multi->GetSubMtlSlotName(3), "third");

    CubeMap* cube = scene.newCubeMap({"up.png", "", "front.png"});
    IParamBlock2* block = cube->GetParamBlock(0);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->NumParams(), ACUBIC_NUM_PARAMS);
    EXPECT_EQ(block->Count(ACUBIC_BITMAP_NAMES_PARAM), 6);
    EXPECT_STREQ(block->GetStr(ACUBIC_BITMAP_NAMES_PARAM, 0, 0), "up.png");
    EXPECT_EQ(block->GetStr(ACUBIC_BITMAP_NAMES_PARAM, 0, 1), nullptr);
    EXPECT_STREQ(block->GetStr(ACUBIC_BITMAP_NAMES_PARAM, 0, 2), "front.png");

    GenericTexmap* bump = scene.newTexmap(NORMAL_BUMP_CLASS_ID, "Normal Bump");
    bump->SetSubTexmap(0, scene.newBitmapTex("normal.png"));
    wood->SetSubTexmap(ID_BU, bump);
    EXPECT_EQ(wood->GetSubTexmap(ID_BU)->GetSubTexmap(0)->ClassID(), BMTEX_CLASS_ID);

    wood->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
    ASSERT_EQ(host.notifications().size(), 1u);
    EXPECT_EQ(host.notifications()[0].target, wood);
}

TEST_F(SceneMaterials, HostCreationFunctionsMakeSceneItems) {
    StdMat* mat = NewDefaultStdMat();
    MultiMtl* multi = NewDefaultMultiMtl();
    BitmapTex* tex = NewDefaultBitmapTex();
    EXPECT_EQ(mat->ClassID(), DMTL_CLASS_ID);
    EXPECT_EQ(multi->ClassID(), MULTI_CLASS_ID);
    EXPECT_EQ(tex->ClassID(), BMTEX_CLASS_ID);
    tex->GetTheUVGen()->SetMapChannel(3);
    EXPECT_EQ(tex->GetMapChannel(), 3);
    EXPECT_TRUE(scene.owns(mat) && scene.owns(multi) && scene.owns(tex));
    auto* light = static_cast<Object*>(host.CreateInstance(LIGHT_CLASS_ID, FSPOT_LIGHT_CLASS_ID));
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(static_cast<GenLight*>(light)->Type(), FSPOT_LIGHT);
    EXPECT_EQ(host.CreateInstance(GEOMOBJECT_CLASS_ID, Class_ID(0x42, 0x42)), nullptr);
}

}  // namespace
