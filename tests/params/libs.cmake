# The engine-parameter tests link the plug-in's logic and drive it inside the headless host. The
# library tests load the built EngineParams.so from the runtime folder, so building the tests builds
# it first.
set(ZEQ_TEST_LIBS zeq_params_logic zeq_headless)
set(ZEQ_TEST_DEPENDS zeq_params_plugin)
