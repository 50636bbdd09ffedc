# The engine-parameter tests link the parameter model and drive it inside the headless host.
set(ZEQ_TEST_LIBS zeq_params_logic zeq_headless)
