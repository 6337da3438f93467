# `cmake --install` in the layout of a Linux desktop program, and the Debian
# package made by `cpack -G DEB` (see scripts/package):
#   bin/                           the programs
#   lib/<multiarch>/qira/          the client's sound module
#   share/qira/client/Res/         the client's own pictures, sounds and pages
#   share/qira/{ResMj,UserRes,res} the pictures shared with other games; items.txt
#   share/doc/qira/                README, operating, the protocol, the rules, the handbook
#   share/man/man1/                one page per program, from its --help
#   share/applications, share/metainfo, share/icons/hicolor
#   lib/systemd/system/qira-server.service and qira-server@.service, etc/qira/server.conf

# Instrumented fuzzing builds are never installed.
if(QIRA_BUILD_FUZZ)
  return()
endif()

# The programs that are installed, each with a manual page made from its
# --help and --version; one more program is one more line.
set(QIRA_PROGRAMS
  "qira-client|the Qira Mahjong table client"
  "qira-launch|start a game of Qira Mahjong"
  "qira-server|the Qira Mahjong room server with computer players"
  "qira-analyze|win, ready and claim analysis of mahjong positions"
  "qira-replay|step through a logged hand of Qira Mahjong on the table"
  "qira-review|review a logged hand of Qira Mahjong beside the strongest computer player")

set(QIRA_APP_ID io.github.qiramahjong.Qira)
set(QIRA_RELEASE_DATE 2026-12-08)
set(QIRA_DATA_DIR ${CMAKE_INSTALL_DATADIR}/qira)
# The documentation folder is named after the package, not the CMake project.
set(QIRA_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/qira)
set(QIRA_GAME_DIR ${CMAKE_BINARY_DIR}/game)
set(QIRA_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(packaging_out ${CMAKE_BINARY_DIR}/packaging)
# Debian's systemd looks for units below /lib.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(QIRA_UNIT_DIR /lib/systemd/system)
else()
  set(QIRA_UNIT_DIR ${CMAKE_INSTALL_PREFIX}/lib/systemd/system)
endif()
set(QIRA_CONFIG_FILE ${CMAKE_INSTALL_FULL_SYSCONFDIR}/qira/server.conf)

# Everything that is installed, so that a package build needs no other target
# (scripts/package builds only this one).
add_custom_target(qira-install-files)

find_program(QIRA_HELP2MAN help2man)
find_program(QIRA_GZIP gzip)

# qira_install_program(NAME DESCRIPTION): the program in bin/ and its manual page.
function(qira_install_program name description)
  if(NOT TARGET ${name})
    return()
  endif()
  install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Resolve every symbol at start so the relocation table can be read-only.
  target_link_options(${name} PRIVATE -Wl,-z,relro,-z,now)
  add_dependencies(qira-install-files ${name})
  if(NOT QIRA_HELP2MAN OR NOT QIRA_GZIP)
    message(STATUS "help2man or gzip missing: no manual page for ${name}")
    return()
  endif()
  set(page ${packaging_out}/man/${name}.1)
  add_custom_command(
    OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${packaging_out}/man
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            ${QIRA_HELP2MAN} --no-info --no-discard-stderr --section=1
            "--name=${description}" --output=${page} $<TARGET_FILE:${name}>
    COMMAND ${QIRA_GZIP} -9nf ${page}
    DEPENDS ${name}
    COMMENT "Writing the manual page of ${name}"
    VERBATIM)
  add_custom_target(${name}-man ALL DEPENDS ${page}.gz)
  add_dependencies(qira-install-files ${name}-man)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

foreach(entry ${QIRA_PROGRAMS})
  string(REPLACE "|" ";" fields "${entry}")
  list(GET fields 0 name)
  list(GET fields 1 description)
  qira_install_program(${name} "${description}")
endforeach()

if(NOT TARGET qira-client)
  return()
endif()

# The client's sound module, loaded when the first sound plays.
install(TARGETS qira_wave_output LIBRARY DESTINATION ${QIRA_MODULES_DIR})
add_dependencies(qira-install-files qira_wave_output)

# The generated artwork and sounds, and the pages and item catalogue beside them.
install(DIRECTORY ${QIRA_RUNTIME_DIR}/Res DESTINATION ${QIRA_DATA_DIR}/client)
install(DIRECTORY ${QIRA_GAME_DIR}/ResMj ${QIRA_GAME_DIR}/UserRes ${QIRA_GAME_DIR}/res
        DESTINATION ${QIRA_DATA_DIR})
install(FILES ${QIRA_RUNTIME_DIR}/items.txt DESTINATION ${QIRA_DATA_DIR})
install(DIRECTORY ${QIRA_RUNTIME_DIR}/web DESTINATION ${QIRA_DATA_DIR})
install(FILES ${QIRA_PACKAGING_DIR}/screenshots/main-window.png
        DESTINATION ${QIRA_DATA_DIR}/screenshots)

install(FILES README.md docs/operating.md docs/protocol.md docs/rules.md docs/hand-log.md docs/help.html
              ${QIRA_PACKAGING_DIR}/copyright
        DESTINATION ${QIRA_DOC_DIR})

# The desktop entry, the AppStream description and the icons.
configure_file(${QIRA_PACKAGING_DIR}/qira.desktop.in ${packaging_out}/${QIRA_APP_ID}.desktop @ONLY)
configure_file(${QIRA_PACKAGING_DIR}/qira.metainfo.xml.in
               ${packaging_out}/${QIRA_APP_ID}.metainfo.xml @ONLY)
install(FILES ${packaging_out}/${QIRA_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging_out}/${QIRA_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
if(TARGET qira-artgen)
  set(icon_stamp ${packaging_out}/icons.stamp)
  add_custom_command(
    OUTPUT ${icon_stamp}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            XDG_RUNTIME_DIR=${CMAKE_BINARY_DIR}/tools/artgen/runtime
            $<TARGET_FILE:qira-artgen> --icons ${packaging_out}/icons ${QIRA_APP_ID}
    COMMAND ${CMAKE_COMMAND} -E touch ${icon_stamp}
    DEPENDS qira-artgen
    COMMENT "Drawing the desktop icons"
    VERBATIM)
  add_custom_target(qira-icons ALL DEPENDS ${icon_stamp})
  add_dependencies(qira-install-files qira-icons)
  install(DIRECTORY ${packaging_out}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
endif()

# The room server as a system service, and its configuration file.
configure_file(${QIRA_PACKAGING_DIR}/qira-server.service.in ${packaging_out}/qira-server.service
               @ONLY)
install(FILES ${packaging_out}/qira-server.service DESTINATION ${QIRA_UNIT_DIR})
# One of several processes sharing a PostgreSQL database: qira-server@NAME
# reads etc/qira/server-NAME.conf.
configure_file(${QIRA_PACKAGING_DIR}/qira-server@.service.in ${packaging_out}/qira-server@.service
               @ONLY)
install(FILES ${packaging_out}/qira-server@.service DESTINATION ${QIRA_UNIT_DIR})
install(FILES ${QIRA_PACKAGING_DIR}/server.conf DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/qira)

include(${CMAKE_CURRENT_LIST_DIR}/QiraPackage.cmake)
