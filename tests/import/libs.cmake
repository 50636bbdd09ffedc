# The importer tests link the importer's logic and the headless host. The library, round-trip and
# command tests run the built files from the runtime folder (SceneLoader.so, Export.so, the LOD and
# sprite plug-ins and the zeq binary), so building the tests builds those first.
set(ZEQ_TEST_LIBS zeq_import_logic zeq_headless zeq_format)
set(ZEQ_TEST_DEPENDS zeq_import_plugin zeq_export_plugin zeq_lod_plugin zeq_sprite_plugin zeq)
