# Runs a get_port example: on the shipped settings it prints their port, on a
# file without one the default; on a port that is not a number it prints
# nothing, says why on stderr and fails.
function(expect file code output error)
  execute_process(COMMAND ${EMULATOR} ${EXAMPLE} ${file}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL code OR NOT out STREQUAL "${output}" OR NOT err MATCHES "${error}")
    message(FATAL_ERROR "on ${file} (${rc}):\n${out}\n${err}")
  endif()
endfunction()

expect(${INPUT} 0 "8443\n" "^$")
file(WRITE ${COPY} "[server]\nhost=h\n")
expect(${COPY} 0 "8080\n" "^$")
file(WRITE ${MALFORMED} "[server]\nport=84x3\n")
expect(${MALFORMED} 1 "" "^server.port: the value is not of that type")
