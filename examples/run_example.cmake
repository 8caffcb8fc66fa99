# Runs the example on the shipped settings and checks what it lists and saves.
execute_process(COMMAND ${EMULATOR} ${EXAMPLE} ${INPUT} ${OUTPUT} server port 9000
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "example failed (${rc}):\n${out}\n${err}")
endif()
if(NOT out STREQUAL "[server]\n[database]\n[logging]\n[features]\nset server.port; saved ${OUTPUT}\n")
  message(FATAL_ERROR "unexpected output:\n${out}")
endif()
file(READ ${OUTPUT} saved)
if(NOT saved MATCHES "\\[server\\]\n\nhost=0\\.0\\.0\\.0\nport=9000\n")
  message(FATAL_ERROR "port not changed in:\n${saved}")
endif()
