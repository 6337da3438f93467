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
