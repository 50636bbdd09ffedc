set(ZEQ_TEST_LIBS zeq_headless)
# The plug-in object tests load the built ZeqLOD.so and Sprite.so from the runtime folder.
set(ZEQ_TEST_DEPENDS zeq_lod_plugin zeq_sprite_plugin)
