# Installs the build into a scratch prefix, moves the prefix, and runs the moved zeq: it must find
# its plug-ins relative to itself, export and import, and no installed file may name the build or
# source folder.
#   cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DVERSION=... -P install_test.cmake
string(RANDOM LENGTH 8 tag)
set(scratch ${BUILD_DIR}/install-test-${tag})
file(REMOVE_RECURSE ${scratch})

function(fail message)
  file(REMOVE_RECURSE ${scratch})
  message(FATAL_ERROR "${message}")
endfunction()

# Runs the moved zeq with `arguments`; its output lands in `out`.
function(run_zeq out)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=ZEQ_PLUGIN_PATH ${moved}/bin/zeq ${ARGN}
                  OUTPUT_VARIABLE stdout ERROR_VARIABLE stderr RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    fail("zeq ${ARGN} failed (${status}): ${stderr}")
  endif()
  set(${out} "${stdout}" PARENT_SCOPE)
endfunction()

execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${scratch}/first
                OUTPUT_QUIET ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  fail("cmake --install failed: ${errors}")
endif()
set(moved ${scratch}/moved/elsewhere)
file(MAKE_DIRECTORY ${scratch}/moved)
file(RENAME ${scratch}/first ${moved})

run_zeq(version --version)
string(STRIP "${version}" version)
if(NOT version STREQUAL "zeq ${VERSION}")
  fail("zeq --version printed \"${version}\", not \"zeq ${VERSION}\"")
endif()
run_zeq(plugins plugins)
string(FIND "${plugins}" "plug-in folder: ${moved}/lib" inside)
string(FIND "${plugins}" "5 libraries loaded, 0 failed" loaded)
if(inside LESS 0 OR loaded LESS 0)
  fail("the moved zeq did not load its five plug-ins from beside itself:\n${plugins}")
endif()
run_zeq(ignored export -o ${scratch}/demo.zeq --normals --animation)
run_zeq(ignored import ${scratch}/demo.zeq -o ${scratch}/demo.json)
if(NOT EXISTS ${scratch}/demo.json)
  fail("zeq import wrote no scene document")
endif()

if(NOT EXISTS ${moved}/share/man/man1/zeq.1)
  fail("no man page installed")
endif()
file(STRINGS ${moved}/share/man/man1/zeq.1 verbs REGEX "^\\.SS zeq ")
list(LENGTH verbs count)
if(count LESS 8)
  fail("the man page describes ${count} verbs")
endif()

file(GLOB_RECURSE installed ${moved}/*)
foreach(path IN LISTS installed)
  foreach(folder IN ITEMS ${BUILD_DIR} ${SOURCE_DIR})
    file(STRINGS ${path} hits LIMIT_COUNT 1 REGEX "${folder}")
    if(hits)
      fail("${path} names ${folder}: ${hits}")
    endif()
  endforeach()
endforeach()
file(REMOVE_RECURSE ${scratch})
