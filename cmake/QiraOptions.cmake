# Compiler settings shared by every target of the project.
add_library(qira_options INTERFACE)
# The version, set once in project(), and the installed data folder reach
# every program through one generated header.
include(GNUInstallDirs)
file(RELATIVE_PATH QIRA_DATA_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_DATADIR}/qira)
set(QIRA_MODULES_DIR ${CMAKE_INSTALL_LIBDIR}/qira)
file(RELATIVE_PATH QIRA_MODULES_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_LIBDIR}/qira)
configure_file(${CMAKE_CURRENT_LIST_DIR}/qira_build.h.in
               ${CMAKE_BINARY_DIR}/generated/qira_build.h @ONLY)
target_include_directories(qira_options INTERFACE ${CMAKE_BINARY_DIR}/generated)
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
