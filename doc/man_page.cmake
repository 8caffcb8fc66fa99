# Makes vask-ini(1) from the tool's help with help2man (tool_page.pl), dated
# EPOCH; with SHIPPED, fails when the page made differs from it.
#   cmake -DPERL=perl -DHELP2MAN=help2man -DEPOCH=... -DTOOL=vask-ini -DSOURCE_DIR=doc
#     -DOUTPUT=vask-ini.1 [-DSHIPPED=doc/vask-ini.1] -P man_page.cmake
set(ENV{SOURCE_DATE_EPOCH} ${EPOCH})
set(ENV{LC_ALL} C)
execute_process(COMMAND ${PERL} ${SOURCE_DIR}/tool_page.pl generate ${TOOL} ${HELP2MAN}
    ${SOURCE_DIR}/vask-ini.h2m ${OUTPUT}
  RESULT_VARIABLE result)
file(REMOVE ${OUTPUT}.h2m)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "making ${OUTPUT} failed")
endif()
if(DEFINED SHIPPED)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${SHIPPED} ${OUTPUT} RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "${SHIPPED} is not what the tool's help gives (${OUTPUT}); "
      "regenerate it: cmake --build <build> --target vask_ini_man")
  endif()
endif()
