# The LOD tests link the LOD object's logic and the headless host. The library and export tests
# load the built ZeqLOD.so and Export.so from the runtime folder, so building the tests builds those
# first; the export test reads the written file back with the format library.
set(ZEQ_TEST_LIBS zeq_lod_logic zeq_headless zeq_format)
set(ZEQ_TEST_DEPENDS zeq_lod_plugin zeq_export_plugin)
