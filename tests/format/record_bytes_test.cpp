// Byte-exact encodings of records: what each record puts into the value stream and the null map.
#include "support.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace zeq::test {
namespace {

std::vector<uint8_t> concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

const std::vector<uint8_t> kIdentityBytes =
    hexBytes("3F800000 00000000 00000000 00000000"
             "00000000 3F800000 00000000 00000000"
             "00000000 00000000 3F800000 00000000");

Zeq2Transform identity() { return translation(0, 0, 0); }

// Node records --------------------------------------------------------------------------------

TEST(NodeRecordBytes, ObjectWithOnlyRequiredFields) {
    Zeq2Object object;
    object.id = 5;
    object.visible = true;
    const Encoded e = encodeAlone(object);
    EXPECT_EQ(e.data, hexBytes("00 00 00 00 00 00 00 05 01"));
    EXPECT_EQ(e.bits, "1111");  // boundBoxId, name, parentId, transform
}

TEST(NodeRecordBytes, TransformIs48BytesPlusOnePresenceBit) {
    Zeq2Joint joint;
    joint.id = 1;
    joint.transform = identity();
    const Encoded e = encodeAlone(joint);
    EXPECT_EQ(e.data, concat({hexBytes("00 00 00 00 00 00 00 01"), kIdentityBytes, {0x00}}));
    EXPECT_EQ(e.bits, "1110");

    const Encoded keyframe = encodeAlone(Zeq2Keyframe{0, identity()});
    EXPECT_EQ(keyframe.data.size(), 4u + 48u);
    EXPECT_EQ(keyframe.bits, "");  // a required transform has no presence bit
}

TEST(NodeRecordBytes, FieldsInterleaveInTableOrder) {
    Zeq2Sprite sprite;
    sprite.spriteFlag = false;
    sprite.height = 1;
    sprite.id = 2;
    sprite.materialId = 3;
    sprite.name = "S";
    sprite.originX = 0.5f;
    sprite.originY = -2;
    sprite.parentId = 9;
    sprite.perspectiveScale = true;
    sprite.rotation = 0;
    sprite.visible = true;
    sprite.width = 2;
    const Encoded e = encodeAlone(sprite);
    EXPECT_EQ(e.data, hexBytes("00"                        // spriteFlag
                               "3F800000"                  // height
                               "00000000 00000002"         // id
                               "00000003"                  // materialId
                               "01 53"                     // name "S"
                               "3F000000 C0000000"         // originX, originY
                               "00000000 00000009"         // parentId
                               "01 00000000 01 40000000"));  // perspectiveScale, rotation, visible, width
    EXPECT_EQ(e.bits, "10001");  // boundBoxId absent; materialId, name, parentId present; transform absent
}

TEST(NodeRecordBytes, LightColourIsFourBytes) {
    Zeq2DirectionalLight light;
    light.color = 0xFFEEDD;
    light.id = 1;
    light.intensity = 1;
    const Encoded e = encodeAlone(light);
    EXPECT_EQ(e.data, hexBytes("00FFEEDD 00000000 00000001 3F800000 00"));
}

TEST(NodeRecordBytes, LayerWithoutObjectIdsDiffersFromEmptyList) {
    const Encoded absent = encodeAlone(Zeq2Layer{3, std::nullopt, std::nullopt});
    EXPECT_EQ(absent.data, hexBytes("00000003"));
    EXPECT_EQ(absent.bits, "11");
    const Encoded empty = encodeAlone(Zeq2Layer{3, std::nullopt, TArray<int64_t>{}});
    EXPECT_EQ(empty.data, hexBytes("00000003 00"));
    EXPECT_EQ(empty.bits, "10");
}

TEST(NodeRecordBytes, SkinListsAreCountPrefixed) {
    Zeq2Skin skin;
    skin.id = 1;
    skin.indexBufferId = 2;
    skin.jointBindTransforms = {Zeq2JointBindTransform{identity(), 7}};
    skin.jointIds = {7};
    skin.surfaceJointCounts = {1};
    skin.surfaces = {Zeq2Surface{0, std::nullopt, 1}};
    skin.vertexBufferIds = {3};
    const Encoded e = encodeAlone(skin);
    EXPECT_EQ(e.data, concat({hexBytes("00000000 00000001 00000002 01"), kIdentityBytes,
                              hexBytes("00000000 00000007"             // jointId
                                       "01 00000000 00000007"          // jointIds
                                       "01 0001"                       // surfaceJointCounts
                                       "01 00000000 00000001"          // surface without material
                                       "01 00000003 00")}));           // vertexBufferIds, visible
    EXPECT_EQ(e.bits, "11" "1" "1" "1");  // boundBoxId, name, parentId, materialId, transform
}

// Geometry ------------------------------------------------------------------------------------

TEST(GeometryRecordBytes, SurfaceWithoutMaterialHasOnlyItsBit) {
    const Encoded e = encodeAlone(Zeq2Surface{30, std::nullopt, 5});
    EXPECT_EQ(e.data, hexBytes("0000001E 00000005"));
    EXPECT_EQ(e.bits, "1");
    const Encoded with = encodeAlone(Zeq2Surface{30, 2, 5});
    EXPECT_EQ(with.data, hexBytes("0000001E 00000002 00000005"));
    EXPECT_EQ(with.bits, "0");
}

TEST(GeometryRecordBytes, VertexBufferStoresAttributesAsInts) {
    Zeq2VertexBuffer buffer;
    buffer.attributes = {Zeq2VertexAttributes::POSITION, Zeq2VertexAttributes::TEXCOORDS};
    buffer.byteBuffer.appendByte(0xAB);
    buffer.id = 9;
    buffer.vertexCount = 0x1234;
    const Encoded e = encodeAlone(buffer);
    EXPECT_EQ(e.data, hexBytes("02 00000000 00000004  01 AB  00000009  1234"));
    EXPECT_EQ(e.bits, "");
}

TEST(GeometryRecordBytes, MeshAndBox) {
    Zeq2Mesh mesh;
    mesh.boundBoxId = 1;
    mesh.id = -1;
    mesh.indexBufferId = 2;
    mesh.surfaces = {};
    mesh.vertexBufferIds = {3, 4};
    mesh.visible = true;
    const Encoded e = encodeAlone(mesh);
    EXPECT_EQ(e.data, hexBytes("00000001 FFFFFFFF FFFFFFFF 00000002 00 02 00000003 00000004 01"));
    EXPECT_EQ(e.bits, "0111");

    const Encoded box = encodeAlone(Zeq2Box{{0, 0, 0, 1, 1, 1}, 6});
    EXPECT_EQ(box.data, hexBytes("06 00000000 00000000 00000000 3F800000 3F800000 3F800000 00000006"));
}

TEST(GeometryRecordBytes, OversizedByteArrayIsRefused) {
    Zeq2VertexBuffer buffer;
    buffer.byteBuffer.reserve(4194304);
    std::vector<uint8_t> block(4194304, 0);
    buffer.byteBuffer.appendBytes(block.data(), static_cast<int32_t>(block.size()), false);
    Protocol protocol;
    registerFormatTypes(protocol);
    ProtocolBuffer pb;
    try {
        encodeRecord(protocol, pb, buffer);
        FAIL() << "a byte array of 4194304 bytes was encoded";
    } catch (const std::length_error& e) {
        EXPECT_STREQ(e.what(), "encodeLength::Length is incorrect\n");
    }
}

TEST(VertexLayout, StridesForBothMinorVersions) {
    using A = Zeq2VertexAttributes;
    const TArray<A> plain{A::POSITION, A::NORMAL, A::TEXCOORDS};
    const TArray<A> twoChannels{A::POSITION, A::NORMAL, A::TEXCOORDS, A::TEXCOORDS};
    EXPECT_EQ(vertexStride(plain, 5), 32);
    EXPECT_EQ(vertexStride(twoChannels, 5), 40);
    EXPECT_EQ(vertexStride(plain, 6), 16);
    EXPECT_EQ(vertexStride(twoChannels, 6), 20);
    EXPECT_EQ(vertexStride({A::TANGENT4, A::JOINTS, A::JOINTS}, 5), 48);
    EXPECT_EQ(vertexStride({}, 5), 0);
    // An attribute outside the enumeration makes the layout unknown rather than silently shorter.
    EXPECT_EQ(vertexStride({A::POSITION, static_cast<A>(9)}, 5), 0);
}

TEST(VertexLayout, AttributeNames) {
    EXPECT_STREQ(vertexAttributeName(Zeq2VertexAttributes::TANGENT4), "TANGENT4");
    EXPECT_EQ(vertexAttributeName(static_cast<Zeq2VertexAttributes>(5)), nullptr);
    EXPECT_EQ(vertexAttributeName(static_cast<Zeq2VertexAttributes>(-1)), nullptr);
    EXPECT_EQ(vertexAttributeFromName("TEXCOORDS"), Zeq2VertexAttributes::TEXCOORDS);
    EXPECT_EQ(vertexAttributeFromName("texcoords"), std::nullopt);
}

// Materials -----------------------------------------------------------------------------------

TEST(MaterialRecordBytes, MaterialWithOnlyAnId) {
    Zeq2Material material;
    material.id = 0x01020304;
    const Encoded e = encodeAlone(material);
    EXPECT_EQ(e.data, hexBytes("01020304"));
    EXPECT_EQ(e.bits, "1111111");
}

TEST(MaterialRecordBytes, PresenceBitsFollowFieldOrder) {
    Zeq2Material material;
    material.id = 1;
    material.glossinessMapId = 2;
    material.specularMapId = 3;
    const Encoded e = encodeAlone(material);
    EXPECT_EQ(e.data, hexBytes("00000002 00000001 00000003"));
    EXPECT_EQ(e.bits, "1011110");
}

TEST(MaterialRecordBytes, MapChannelIsTwoBytes) {
    const Encoded e = encodeAlone(Zeq2Map{1, 2, 3});
    EXPECT_EQ(e.data, hexBytes("0001 00000002 00000003"));
}

TEST(MaterialRecordBytes, ImageNameIsStoredAsUtf8) {
    const Encoded e = encodeAlone(Zeq2Image{1, "\xC3\xA9t\xC3\xA9.png"});  // "été.png"
    EXPECT_EQ(e.data, hexBytes("00000001 09 C3A9 74 C3A9 2E706E67"));
}

TEST(MaterialRecordBytes, CubeMapFromOnePicture) {
    Zeq2CubeMap cube;
    cube.id = 4;
    cube.imageId6 = 9;
    const Encoded single = encodeAlone(cube);
    EXPECT_EQ(single.data, hexBytes("00000004 00000009"));
    EXPECT_EQ(single.bits, "11111");

    cube.imageId1 = 1;
    cube.imageId4 = 4;
    const Encoded some = encodeAlone(cube);
    EXPECT_EQ(some.data, hexBytes("00000001 00000004 00000004 00000009"));
    EXPECT_EQ(some.bits, "01101");
}

// Animation -----------------------------------------------------------------------------------

TEST(AnimationRecordBytes, TrackWithTwoKeyframes) {
    Zeq2Track track;
    track.id = 3;
    track.keyframes = {Zeq2Keyframe{0.5f, identity()}, Zeq2Keyframe{1, identity()}};
    track.objectName = "Box01";
    const Encoded e = encodeAlone(track);
    EXPECT_EQ(e.data, concat({hexBytes("00000003 02 3F000000"), kIdentityBytes, hexBytes("3F800000"), kIdentityBytes,
                              hexBytes("05 426F783031")}));
    EXPECT_EQ(e.data.size(), 4u + 1u + 2u * (4u + 48u) + 6u);
    EXPECT_EQ(e.bits, "");
}

TEST(AnimationRecordBytes, ClipAndBindTransform) {
    Zeq2AnimationClip clip;
    clip.id = 1;
    clip.clipFlag = true;
    clip.tracks = {5};
    const Encoded e = encodeAlone(clip);
    EXPECT_EQ(e.data, hexBytes("00000001 01 01 00000005"));
    EXPECT_EQ(e.bits, "11");

    const Encoded bind = encodeAlone(Zeq2JointBindTransform{identity(), 258});
    EXPECT_EQ(bind.data, concat({kIdentityBytes, hexBytes("00000000 00000102")}));
}

// Roots ---------------------------------------------------------------------------------------

TEST(RootRecordBytes, PresentEmptyListCostsBitZeroAndOneByte) {
    Zeq2 root;
    root.objects = TArray<Zeq2Object>{};
    const Encoded e = encodeAlone(root);
    EXPECT_EQ(e.data, hexBytes("00"));
    EXPECT_EQ(e.bits, std::string(13, '1') + "0" + std::string(5, '1'));
}

TEST(RootRecordBytes, ExtrasListTheirArraysInOrder) {
    Zeq2Extra2 extra;
    extra.lods = TArray<Zeq2LOD>{};
    const Encoded e = encodeAlone(extra);
    EXPECT_EQ(e.data, hexBytes("00"));
    EXPECT_EQ(e.bits, "10");
}

// Version 1 -----------------------------------------------------------------------------------

TEST(Version1RecordBytes, ObjectWithEveryFieldAbsent) {
    const Encoded e = encodeAlone(ZeqObject{});
    EXPECT_TRUE(e.data.empty());
    EXPECT_EQ(e.bits, "11111111");
}

TEST(Version1RecordBytes, IdInsideBox) {
    ZeqBox box;
    box.id = ZeqId{7};
    const Encoded e = encodeAlone(box);
    EXPECT_EQ(e.data, hexBytes("00 00 00 07"));
    EXPECT_EQ(e.bits, "10");
}

TEST(Version1RecordBytes, ParentIdAndNestedOptionals) {
    ZeqObject object;
    object.parentId = ZeqId{0x01020304};
    object.transformation = ZeqTransformation{};  // present, its matrix absent
    object.flag = false;
    const Encoded e = encodeAlone(object);
    EXPECT_EQ(e.data, hexBytes("01020304 00"));
    EXPECT_EQ(e.bits, "1111" "0" "1" "0" "1" "0");
}

TEST(Version1RecordBytes, VertexBufferWithByteValues) {
    ZeqVertexBuffer buffer;
    buffer.byteValues = TArray<int8_t>{-1, 2};
    buffer.vertexCount = 2;
    const Encoded e = encodeAlone(buffer);
    EXPECT_EQ(e.data, hexBytes("02 FF 02 0002"));
    EXPECT_EQ(e.bits, "01");
}

}  // namespace
}  // namespace zeq::test
