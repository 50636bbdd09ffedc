# Writes the zeq man page (roff) from the built command's --help texts: the top level, then every
# verb and nested verb in the order --help lists them.
#   cmake -DZEQ=path/to/zeq -DOUTPUT=zeq.1 -DVERSION=1.0.0 -P man_page.cmake

# The help text of `zeq <words> --help`.
function(zeq_help words out)
  execute_process(COMMAND ${ZEQ} ${words} --help OUTPUT_VARIABLE text RESULT_VARIABLE status
                  ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "zeq ${words} --help failed (${status}): ${errors}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The verbs a help text lists under SUBCOMMANDS.
function(zeq_verbs text out)
  set(verbs "")
  set(inside OFF)
  string(REPLACE ";" "\\;" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  foreach(line IN LISTS lines)
    if(line MATCHES "^(SUBCOMMANDS|Subcommands):")
      set(inside ON)
    elseif(inside AND line MATCHES "^  ([a-z][a-z0-9-]*)( |$)")
      list(APPEND verbs ${CMAKE_MATCH_1})
    elseif(inside AND NOT line MATCHES "^ ")
      set(inside OFF)
    endif()
  endforeach()
  set(${out} "${verbs}" PARENT_SCOPE)
endfunction()

# Help text as roff: verbatim lines, with backslashes and leading dots and quotes escaped.
function(zeq_roff text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} ".nf\n${text}.fi\n" PARENT_SCOPE)
endfunction()

function(zeq_section words depth)
  zeq_help("${words}" text)
  zeq_roff("${text}" roff)
  string(REPLACE ";" " " title "${words}")
  string(STRIP "${title}" title)
  if(depth EQUAL 0)
    string(APPEND page ".SH DESCRIPTION\n${roff}")
  else()
    string(APPEND page ".SS zeq ${title}\n${roff}")
  endif()
  zeq_verbs("${text}" verbs)
  foreach(verb IN LISTS verbs)
    math(EXPR next "${depth} + 1")
    zeq_section("${words};${verb}" ${next})
  endforeach()
  set(page "${page}" PARENT_SCOPE)
endfunction()

set(page ".TH ZEQ 1 \"\" \"zeq ${VERSION}\" \"User Commands\"\n")
string(APPEND page ".SH NAME\nzeq \\- export, import and inspect Zeq scene files\n")
string(APPEND page ".SH SYNOPSIS\n.B zeq\n[\\fB\\-\\-plugins\\fR \\fIDIR\\fR] \\fIVERB\\fR [\\fIOPTIONS\\fR] [\\fIFILE\\fR...]\n")
zeq_section("" 0)
string(APPEND page ".SH SEE ALSO\nThe documentation installed with zeq: zeq.md, format.md, scene-format.md, plugins.md.\n")
file(WRITE ${OUTPUT}.tmp "${page}")
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
