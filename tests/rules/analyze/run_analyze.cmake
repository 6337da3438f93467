# Runs qira-analyze on INPUT and compares its output with EXPECTED.
execute_process(COMMAND ${ANALYZE} INPUT_FILE ${INPUT} OUTPUT_VARIABLE actual
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "qira-analyze exited with ${result}")
endif()
file(READ ${EXPECTED} expected)
if(NOT actual STREQUAL expected)
  message(FATAL_ERROR "qira-analyze output differs.\nExpected:\n${expected}\nActual:\n${actual}")
endif()
