# The zeq tests unit-test the inspection helpers and run the built binary itself, so building
# them builds zeq (and with it the plug-ins) first.
set(ZEQ_TEST_LIBS zeq_inspect zeq_format ZLIB::ZLIB)
set(ZEQ_TEST_DEPENDS zeq)

# The installed tree, moved to another place, runs export and import and holds no build path. A
# sanitizer build keeps the source paths of its checks inside the binaries (they are not remapped),
# and is never installed, so there only the run is checked.
if(ZEQ_SANITIZE)
  set(zeq_check_paths OFF)
else()
  set(zeq_check_paths ON)
endif()
add_test(NAME zeq_install_relocated
         COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${PROJECT_BINARY_DIR} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
                 -DVERSION=${PROJECT_VERSION} -DCHECK_PATHS=${zeq_check_paths}
                 -P ${CMAKE_CURRENT_LIST_DIR}/install_test.cmake)
set_tests_properties(zeq_install_relocated PROPERTIES LABELS tools TIMEOUT 300)
