# Runs a get_port example: on the shipped settings it prints the port; on a
# malformed port it prints nothing, says why on stderr and fails.
execute_process(COMMAND ${EMULATOR} ${EXAMPLE} ${INPUT}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "8443\n" OR NOT err STREQUAL "")
  message(FATAL_ERROR "on ${INPUT} (${rc}):\n${out}\n${err}")
endif()
file(WRITE ${MALFORMED} "[server]\nport=84x3\n")
execute_process(COMMAND ${EMULATOR} ${EXAMPLE} ${MALFORMED}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(rc EQUAL 0 OR NOT out STREQUAL "" OR NOT err MATCHES "port: the value is not of that type")
  message(FATAL_ERROR "on ${MALFORMED} (${rc}):\n${out}\n${err}")
endif()
