# Compiler settings shared by every target of the project.
add_library(qira_options INTERFACE)
target_compile_options(qira_options INTERFACE -Wall -Wextra -Wpedantic)
if(QIRA_WARNINGS_AS_ERRORS)
  target_compile_options(qira_options INTERFACE -Werror)
endif()
if(QIRA_SANITIZE)
  target_compile_options(qira_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                -fno-sanitize-recover=undefined)
  target_link_options(qira_options INTERFACE -fsanitize=address,undefined)
endif()

# GCC 12 at -O2 and above reports out-of-bounds and overlapping memcpy inside
# libstdc++'s string and small-vector code (known false positives). The Debug
# build keeps both warnings, so real faults are still reported there.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(qira_options INTERFACE
                         $<$<NOT:$<CONFIG:Debug>>:-Wno-restrict -Wno-array-bounds -Wno-stringop-overflow>)
endif()
