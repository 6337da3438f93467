# The brute-force reference of the win analysis, shared by the tests, the
# benchmarks and the fuzzer; never linked into the programs. It is always
# optimised and left out of the sanitizers: it is the yardstick, not the code
# under test, and its brute force would otherwise take minutes per test run.
if(NOT TARGET qira_rules_reference)
  add_library(qira_rules_reference STATIC ${CMAKE_CURRENT_LIST_DIR}/reference_analysis.cpp
                                          ${CMAKE_CURRENT_LIST_DIR}/position_generator.cpp)
  target_include_directories(qira_rules_reference PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  # Headers of the rules layer only, so that its sanitizer options do not reach here.
  target_include_directories(qira_rules_reference PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(qira_rules_reference PRIVATE -O2 -Wall -Wextra -Wpedantic)
  if(QIRA_WARNINGS_AS_ERRORS)
    target_compile_options(qira_rules_reference PRIVATE -Werror)
  endif()
endif()
