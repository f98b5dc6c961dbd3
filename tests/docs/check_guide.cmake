# The worked example of docs/library-guide.md is examples/worked_example.cpp:
# the guide's copy of the source must be the file, byte for byte, and the
# output the guide shows must be what the program prints.
# Usage: cmake -DGUIDE=<docs/library-guide.md> -DSOURCE=<examples/worked_example.cpp>
#              -DPROGRAM=<worked_example executable> -DWORK_DIR=<scratch directory>
#              -P check_guide.cmake

# The text of the fenced block that follows `marker` in the guide.
function(fenced_block_after marker out)
  file(READ "${GUIDE}" guide)
  string(FIND "${guide}" "<!-- ${marker} -->\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${GUIDE}: marker <!-- ${marker} --> missing")
  endif()
  string(SUBSTRING "${guide}" ${at} -1 rest)
  string(FIND "${rest}" "\n" line_end)
  math(EXPR after_marker "${line_end} + 1")
  string(SUBSTRING "${rest}" ${after_marker} -1 rest)
  if(NOT rest MATCHES "^```[a-z]*\n")
    message(FATAL_ERROR "${GUIDE}: no fenced block after <!-- ${marker} -->")
  endif()
  string(FIND "${rest}" "\n" fence_end)
  math(EXPR body_start "${fence_end} + 1")
  string(SUBSTRING "${rest}" ${body_start} -1 rest)
  string(FIND "${rest}" "```\n" body_end)
  string(SUBSTRING "${rest}" 0 ${body_end} body)
  set(${out} "${body}" PARENT_SCOPE)
endfunction()

fenced_block_after(worked-example-source shown_source)
file(READ "${SOURCE}" source)
if(NOT shown_source STREQUAL source)
  message(FATAL_ERROR "${GUIDE}: the worked example differs from ${SOURCE}")
endif()

fenced_block_after(worked-example-output shown_output)
file(MAKE_DIRECTORY "${WORK_DIR}")
execute_process(COMMAND "${PROGRAM}" WORKING_DIRECTORY "${WORK_DIR}"
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT status EQUAL 0 OR NOT errors STREQUAL "")
  message(FATAL_ERROR "${PROGRAM} failed (${status}): ${errors}")
endif()
if(NOT output STREQUAL shown_output)
  message(FATAL_ERROR "${GUIDE}: the worked example prints\n${output}\nnot\n${shown_output}")
endif()
message(STATUS "the guide's worked example is current")
