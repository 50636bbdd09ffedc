# The headless tests link the headless host; the plug-in fixtures are libraries the tests load at
# run time (never linked), built into their own folder so that no plug-in folder picks them up.
set(ZEQ_TEST_LIBS zeq_headless)

set(zeq_fixture_dir ${CMAKE_BINARY_DIR}/plugin_fixtures)
set(zeq_fixture_source ${CMAKE_CURRENT_LIST_DIR}/../plugin_fixture/fixture_plugin.cc)
set(zeq_fixture_targets "")
foreach(variant good=0 manual=1 no_class_desc=2 old_version=3)
  string(REPLACE "=" ";" parts ${variant})
  list(GET parts 0 name)
  list(GET parts 1 number)
  set(target zeq_fixture_${name})
  if(NOT TARGET ${target})
    add_library(${target} SHARED ${zeq_fixture_source})
    target_link_libraries(${target} PRIVATE zeq_host)
    target_compile_definitions(${target} PRIVATE ZEQ_FIXTURE_VARIANT=${number})
    set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME fixture_${name}
                          LIBRARY_OUTPUT_DIRECTORY ${zeq_fixture_dir})
  endif()
  list(APPEND zeq_fixture_targets ${target})
endforeach()

# The test executable is made after this file is read, so its extra settings wait until the end of
# the folder's configuration.
# EVAL expands the variables now, while they hold this file's values.
cmake_language(EVAL CODE "
  cmake_language(DEFER CALL add_dependencies zeq_headless_tests ${zeq_fixture_targets})
  cmake_language(DEFER CALL target_compile_definitions zeq_headless_tests PRIVATE
                 ZEQ_FIXTURE_DIR=\"${zeq_fixture_dir}\")")
