# The zeq tests unit-test the inspection helpers and run the built binary itself, so building
# them builds zeq (and with it the plug-ins) first.
set(ZEQ_TEST_LIBS zeq_inspect zeq_format ZLIB::ZLIB)
set(ZEQ_TEST_DEPENDS zeq)
