# The sprite tests link the sprite's logic and the headless host. The library and export tests load
# the built Sprite.so and Export.so from the runtime folder, so building the tests builds those first;
# the export test reads the written file back with the format library.
set(ZEQ_TEST_LIBS zeq_sprite_logic zeq_headless zeq_format)
set(ZEQ_TEST_DEPENDS zeq_sprite_plugin zeq_export_plugin)
