// The material, map, cube-map and image factories: sharing, ids, slots, special cases and names.
#include "mesh_test_support.h"

#include <gmock/gmock.h>

namespace zeq::test {
namespace {

using ::testing::StrEq;
using ::testing::ThrowsMessage;

Zeq2CubeMap cubeMap(int32_t id, int32_t imageId6) {
    Zeq2CubeMap cube;
    cube.id = id;
    cube.imageId6 = imageId6;
    return cube;
}

Zeq2Material materialRecord(int32_t id) {
    Zeq2Material material;
    material.id = id;
    return material;
}

class MaterialFactoryTest : public ExportFixture {
protected:
    headless::StandardMaterial* material(const std::string& name) { return scene().newStdMat(name); }
    headless::BitmapTexture* bitmap(const std::string& file, int channel = 1) {
        return scene().newBitmapTex(file, channel);
    }
};

TEST_F(MaterialFactoryTest, SharesMapsAndImagesAndCountsFromZero) {
    headless::BitmapTexture* wood = bitmap("C:\\maps\\wood.png");
    headless::BitmapTexture* woodAgain = bitmap("C:\\maps\\wood.png", 2);
    headless::StandardMaterial* a = material("a");
    headless::StandardMaterial* b = material("b");
    headless::StandardMaterial* c = material("c");
    a->SetSubTexmap(ID_DI, wood);
    b->SetSubTexmap(ID_DI, wood);
    c->SetSubTexmap(ID_DI, woodAgain);

    EXPECT_EQ(materials.getID(a), 0);
    EXPECT_EQ(materials.getID(b), 1);
    EXPECT_EQ(materials.getID(c), 2);
    EXPECT_EQ(materials.getID(a), 0) << "a known key keeps its id";

    const TArray<Zeq2Material> created = materials.takeRecords();
    ASSERT_EQ(created.size(), 3u);
    EXPECT_EQ(created.get(0).diffuseMapId, 0);
    EXPECT_EQ(created.get(1).diffuseMapId, 0) << "same bitmap, one map";
    EXPECT_EQ(created.get(2).diffuseMapId, 1);
    EXPECT_EQ(maps.records(), (TArray<Zeq2Map>{{1, 0, 0}, {2, 1, 0}})) << "same file, one image";
    EXPECT_EQ(images.records(), (TArray<Zeq2Image>{{0, "wood.png"}}));
    EXPECT_TRUE(materials.records().empty());
}

TEST_F(MaterialFactoryTest, SlotTableFillsItsFields) {
    headless::StandardMaterial* m = material("slots");
    const char* files[12] = {"s0.png", "s1.png", "s2.png", "s3.png", "s4.png",  "s5.png",
                             "s6.png", "s7.png", "s8.png", "s9.png", "s10.png", "s11.png"};
    for (int slot = 0; slot < 12; ++slot) m->SetSubTexmap(slot, bitmap(files[slot]));
    ASSERT_EQ(materials.getID(m), 0);
    const Zeq2Material& record = materials.records().get(0);
    // Map ids follow slot order; slots 0, 4, 7, 10 and 11 are ignored.
    EXPECT_EQ(record.diffuseMapId, 0);
    EXPECT_EQ(record.specularMapId, 1);
    EXPECT_EQ(record.glossinessMapId, 2);
    EXPECT_EQ(record.lightMapId, 3);
    EXPECT_EQ(record.opacityMapId, 4);
    EXPECT_EQ(record.normalMapId, 5);
    EXPECT_EQ(record.reflectionCubeMapId, 0);
    EXPECT_EQ(maps.records().size(), 6u);
    EXPECT_EQ(cubeMaps.records(), (TArray<Zeq2CubeMap>{cubeMap(0, 6)}));
    EXPECT_EQ(images.records().size(), 7u);
}

// A slot switched off, and a bitmap that names no file (nothing, or a folder alone), give no map.
TEST_F(MaterialFactoryTest, SlotsSwitchedOffAndBitmapsWithoutAFileGiveNoMap) {
    headless::StandardMaterial* m = material("gaps");
    m->SetSubTexmap(ID_DI, bitmap("off.png"));
    m->EnableMap(ID_DI, false);
    m->SetSubTexmap(ID_SP, bitmap(""));
    m->SetSubTexmap(ID_OP, bitmap("C:\\maps\\"));
    m->SetSubTexmap(ID_SH, bitmap("maps/"));
    m->SetSubTexmap(ID_SI, bitmap("kept.png"));
    for (const bool atf : {false, true}) {
        exportOptions().atfExtensions = atf;
        Zeq2Material expected = materialRecord(materials.getID(m));
        expected.lightMapId = 0;
        EXPECT_EQ(materials.takeRecords().get(0), expected);
        EXPECT_EQ(maps.takeRecords().size(), 1u);
        EXPECT_EQ(images.takeRecords().size(), 1u);
    }
}

TEST_F(MaterialFactoryTest, BumpSlotTakesTheLastBitmapInsideAWrapper) {
    headless::GenericTexmap* normalMap = scene().newTexmap(Class_ID(0x4321, 0x1), "normal bump");
    normalMap->setNumSubTexmaps(3);
    normalMap->SetSubTexmap(0, bitmap("first.png"));
    normalMap->SetSubTexmap(2, bitmap("second.png"));
    headless::GenericTexmap* noBitmap = scene().newTexmap(Class_ID(0x999, 0), "noise");
    headless::StandardMaterial* m = material("bump");
    m->SetSubTexmap(ID_BU, normalMap);
    m->SetSubTexmap(ID_DI, noBitmap);  // other slots ignore non-bitmap textures
    headless::StandardMaterial* empty = material("empty bump");
    empty->SetSubTexmap(ID_BU, noBitmap);

    materials.getID(m);
    materials.getID(empty);
    Zeq2Material bumped = materialRecord(0);
    bumped.normalMapId = 0;
    EXPECT_EQ(materials.records().get(0), bumped);
    EXPECT_EQ(materials.records().get(1), materialRecord(1));
    // The bitmaps passed over get no map or image that nothing names.
    EXPECT_EQ(maps.records().size(), 1u);
    EXPECT_EQ(images.records(), (TArray<Zeq2Image>{{0, "second.png"}}));
}

TEST_F(MaterialFactoryTest, ReflectionCubeMapsFromStdCubic) {
    headless::CubeMap* cube = scene().newCubeMap({"f0.png", "f1.png", "f2.png", "f3.png", "f4.png", "f5.png"});
    headless::StandardMaterial* m = material("chrome");
    m->SetSubTexmap(ID_RL, cube);
    materials.getID(m);
    EXPECT_EQ(materials.records().get(0).reflectionCubeMapId, 0);
    // Face images 0..5 go to imageId6, 2, 4, 5, 3, 1.
    Zeq2CubeMap six = cubeMap(0, 0);
    six.imageId1 = 5;
    six.imageId2 = 1;
    six.imageId3 = 4;
    six.imageId4 = 2;
    six.imageId5 = 3;
    EXPECT_EQ(cubeMaps.records().get(0), six);
}

TEST_F(MaterialFactoryTest, ReflectionWithoutAFaceZeroPictureGivesNoCubeMapButUsesAnId) {
    headless::CubeMap* noBlock = scene().newCubeMap({"a.png"});
    noBlock->setParamBlock(nullptr);
    headless::CubeMap* smallBlock = scene().newCubeMap({"a.png"});
    auto* block = new headless::ParamBlock(&scene(), 0, "params");
    for (int id = 0; id < 9; ++id) block->addParam(id, std::string(1, char('a' + id)), TYPE_INT);
    smallBlock->setParamBlock(block);
    headless::CubeMap* noFaceZero = scene().newCubeMap({"", "g1.png", "g2.png"});
    headless::CubeMap* folderFaceZero = scene().newCubeMap({"C:\\sky\\", "g1.png", "g2.png"});
    headless::GenericTexmap* other = scene().newTexmap(Class_ID(0x999, 0), "other");

    Texmap* const textures[] = {noBlock, smallBlock, noFaceZero, folderFaceZero, other};
    for (std::size_t i = 0; i < std::size(textures); ++i) {
        headless::StandardMaterial* m = material("broken chrome");
        m->SetSubTexmap(ID_RL, textures[i]);
        materials.getID(m);
        EXPECT_FALSE(materials.records().get(i).reflectionCubeMapId.has_value()) << i;
        EXPECT_EQ(cubeMaps.getID(textures[i]), -1) << i << ": nothing is remembered";
    }
    EXPECT_TRUE(images.records().empty()) << "no picture of a cube map that was not made";
    headless::CubeMap* good = scene().newCubeMap({"b.png"});
    EXPECT_EQ(cubeMaps.getID(good), 10) << "each failed create used a counter value";
    EXPECT_EQ(cubeMaps.records(), (TArray<Zeq2CubeMap>{cubeMap(10, 0)}));
    // A face that names a folder alone has no picture.
    EXPECT_EQ(cubeMaps.getID(scene().newCubeMap({"f0.png", "C:\\sky\\"})), 11);
    EXPECT_FALSE(cubeMaps.records().get(1).imageId2.has_value());
}

TEST_F(MaterialFactoryTest, MapChannelAndMapFactoryNullCheck) {
    headless::StandardMaterial* m = material("channel");
    m->SetSubTexmap(ID_DI, bitmap("ao.png", 3));
    materials.getID(m);
    EXPECT_EQ(maps.records().get(0).channel, 3);
    EXPECT_THAT([&] { maps.getID(nullptr); },
                ThrowsMessage<std::invalid_argument>(StrEq("The material has a map slot without a bitmap texture")));
}

// A factory whose records come without an id.
class NoIdFactory : public Factory<Zeq2Image, int> {
protected:
    std::optional<Zeq2Image> create(const int&) override { return Zeq2Image{-1, "x"}; }
};

TEST(Factory, RecordWithoutIdIsAnError) {
    NoIdFactory factory;
    EXPECT_THAT([&] { factory.getID(1); },
                ThrowsMessage<std::exception>(StrEq("The export made a material, map or image record without an id")));
    EXPECT_TRUE(factory.records().empty());
}

TEST(ImageUrl, CutsAtLastBackslashAndReplacesTheFileNamesExtension) {
    EXPECT_EQ(imageUrl("C:\\maps\\wood.png", true), "wood.atf");
    EXPECT_EQ(imageUrl("C:\\maps.old\\wood", true), "wood.atf");
    EXPECT_EQ(imageUrl("textures/v1.2/stone", true), "textures/v1.2/stone.atf");
    EXPECT_EQ(imageUrl("C:\\maps\\wood.png", false), "wood.png");
    EXPECT_EQ(imageUrl("textures/stone/wall.tga", false), "textures/stone/wall.tga");
    EXPECT_EQ(imageUrl("textures/stone/wall.tga", true), "textures/stone/wall.atf");
    EXPECT_EQ(imageUrl("plain", true), "plain.atf");
    EXPECT_EQ(imageUrl("", false), "");
    EXPECT_EQ(imageUrl("dir\\", false), "");
}

// Files that give one url are one image: the engine knows the url alone.
TEST_F(MaterialFactoryTest, ImagesAreOnePerUrl) {
    for (const bool atf : {false, true}) {
        SCOPED_TRACE(atf);
        exportOptions().atfExtensions = atf;
        ImageFactory urls;
        MapFactory bitmaps(urls);
        for (const char* file : {"C:\\maps\\wood.png", "D:\\Maps\\wood.png", "wood.png", "textures/Wood.png"})
            bitmaps.getID(bitmap(file));
        bitmaps.getID(bitmap("C:\\maps\\wood.tga"));
        const std::string wood = atf ? "wood.atf" : "wood.png";
        TArray<Zeq2Image> expected{{0, wood}, {1, atf ? "textures/Wood.atf" : "textures/Wood.png"}};
        if (!atf) expected.add({2, "wood.tga"});
        EXPECT_EQ(urls.records(), expected);
    }
}

}  // namespace
}  // namespace zeq::test
