set(ZEQ_TEST_LIBS zeq_format ZLIB::ZLIB)
