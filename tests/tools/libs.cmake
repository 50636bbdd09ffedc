# The zeq tests unit-test the inspection helpers of tools/zeq (compiled here from the same sources
# the binary uses) and run the built binary itself, so building them builds zeq first.
file(GLOB zeq_inspect_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tools/zeq/inspect_*.cpp)
if(NOT TARGET zeq_inspect_for_tests)
  add_library(zeq_inspect_for_tests STATIC ${zeq_inspect_sources})
  target_include_directories(zeq_inspect_for_tests PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(zeq_inspect_for_tests PUBLIC zeq_format CLI11::CLI11 nlohmann_json::nlohmann_json)
  if(TARGET zeq)
    add_dependencies(zeq_inspect_for_tests zeq)
  endif()
endif()
set(ZEQ_TEST_LIBS zeq_inspect_for_tests zeq_format ZLIB::ZLIB)
