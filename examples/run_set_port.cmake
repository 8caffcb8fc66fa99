# Runs a set_port example on a copy of the shipped settings (with a few lines the
# writer's layout would not keep): it prints the new port, and the saved file
# differs from the copy in exactly the port's line. On a malformed file it says
# FILE:LINE: text, fails and leaves the file as it was.
function(lines_of path out)
  file(READ ${path} text)
  string(REPLACE ";" "<semicolon>" text "${text}")  # a list item must not split at ';'
  string(REPLACE "\n" ";" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

file(READ ${INPUT} settings)
file(WRITE ${COPY} "${settings}\n[legacy]\n    timeout = 30\nports=80, 443   # both\n")
lines_of(${COPY} before)
execute_process(COMMAND ${EMULATOR} ${EXAMPLE} ${COPY} 9000
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "server.port=9000\n" OR NOT err STREQUAL "")
  message(FATAL_ERROR "on ${COPY} (${rc}):\n${out}\n${err}")
endif()
lines_of(${COPY} after)
list(LENGTH before count)
list(LENGTH after countAfter)
if(NOT count EQUAL countAfter)
  message(FATAL_ERROR "${count} lines became ${countAfter}")
endif()
set(changed "")
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
  list(GET before ${i} old)
  list(GET after ${i} new)
  if(NOT old STREQUAL new)
    list(APPEND changed "${old} -> ${new}")
  endif()
endforeach()
if(NOT changed STREQUAL "port=8443 -> port=9000")
  message(FATAL_ERROR "changed lines: ${changed}")
endif()

set(text "[server]\nport=80\nthis line has no equals sign\n")
file(WRITE ${MALFORMED} "${text}")
execute_process(COMMAND ${EMULATOR} ${EXAMPLE} ${MALFORMED} 9000
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(READ ${MALFORMED} kept)
if(NOT rc EQUAL 1 OR NOT out STREQUAL "" OR NOT err STREQUAL "${MALFORMED}:3: this line has no equals sign\n"
   OR NOT kept STREQUAL "${text}")
  message(FATAL_ERROR "on ${MALFORMED} (${rc}):\n${out}\n${err}")
endif()
