# Runs a list_settings example on a file whose [server] comes twice: one
# section, its members in file order, each with its line.
file(WRITE ${COPY} "# top\n[server]\nport=8443\n\n[db]\n  url=pg://x   ; main\n[server]\nport = 80\n")
execute_process(COMMAND ${EMULATOR} ${EXAMPLE} ${COPY}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT err STREQUAL ""
   OR NOT out STREQUAL "[server]\n3: port=8443\n8: port =\n[db]\n6: url=pg://x\n")
  message(FATAL_ERROR "on ${COPY} (${rc}):\n${out}\n${err}")
endif()
