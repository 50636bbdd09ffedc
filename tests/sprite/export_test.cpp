// A real sprite, created through the host from the loaded Sprite.so, is exported by the loaded
// Export.so as a sprite record carrying its parameters.
#include "support.h"

#include "format/file_io.h"
#include "format/scene_file.h"

#include <filesystem>
#include <unistd.h>

namespace zeq::spritetest {
namespace {

TEST_F(SpriteTest, ExporterReadsARealSpritesParameterBlock) {
    headless::PluginRegistry plugins;
    for (const char* file : {"/Sprite.so", "/Export.so"})
        ASSERT_TRUE(plugins.loadLibrary(std::string(ZEQ_RUNTIME_DIR) + file)) << plugins.failures().front().reason;
    host.setPlugins(&plugins);

    auto* sprite = static_cast<Object*>(host.CreateInstance(GEOMOBJECT_CLASS_ID, SPRITE_CLASS_ID));
    ASSERT_NE(sprite, nullptr);
    IParamBlock2* block = sprite->GetParamBlockByID(SPRITE_PARAM_BLOCK_ID);
    block->SetValue(SPRITE_PARAM_ORIGIN_X, 0, 0.25f);
    block->SetValue(SPRITE_PARAM_WIDTH, 0, 64.0f);
    block->SetValue(SPRITE_PARAM_HEIGHT, 0, 16.0f);
    block->SetValue(SPRITE_PARAM_ROTATION, 0, 90);
    block->SetValue(SPRITE_PARAM_PERSPECTIVE_SCALE, 0, 0);
    INode* flare = host.CreateObjectNode(sprite);
    flare->SetName("Flare");
    // Displaying it first, as the host would, leaves the parameters the exporter reads intact.
    EXPECT_EQ(sprite->Display(0, flare, &view, 0), 0);

    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("zeq_sprite_export_" + std::to_string(::getpid()) + ".zeq");
    ASSERT_EQ(host.exportFile(file.string(), true), IMPEXP_SUCCESS);
    const SceneFile scene = decodeSceneFile(readFileBytes(file.string()));
    std::filesystem::remove(file);

    ASSERT_TRUE(scene.root.sprites);
    ASSERT_EQ(scene.root.sprites->size(), 1u);
    const Zeq2Sprite& record = scene.root.sprites->get(0);
    EXPECT_EQ(record.name, "Flare");
    EXPECT_EQ(record.width, 64.0f);
    EXPECT_EQ(record.height, 16.0f);
    EXPECT_EQ(record.originX, 0.25f);
    EXPECT_EQ(record.originY, 0.5f);
    EXPECT_NEAR(record.rotation, 1.5707963f, 1e-6f);
    EXPECT_FALSE(record.perspectiveScale);
}

}  // namespace
}  // namespace zeq::spritetest
