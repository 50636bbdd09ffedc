set(ZEQ_TEST_LIBS zeq_headless)
