# The Debian package: `cpack -G DEB` in a build folder configured with
# CMAKE_INSTALL_PREFIX=/usr (scripts/package does both). The libraries it
# needs are found by dpkg-shlibdeps; the rest are named here.
set(QIRA_MAINTAINER "The Qira Mahjong developers <qira@qiramahjong.github.io>")
set(QIRA_CHANGELOG_DATE "Tue, 08 Dec 2026 00:00:00 +0000")

# Debian wants a compressed changelog and the copyright file in the doc folder.
configure_file(${QIRA_PACKAGING_DIR}/changelog.Debian.in ${packaging_out}/changelog.Debian @ONLY)
add_custom_command(
  OUTPUT ${packaging_out}/changelog.Debian.gz
  COMMAND ${QIRA_GZIP} -9nkf ${packaging_out}/changelog.Debian
  DEPENDS ${packaging_out}/changelog.Debian
  VERBATIM)
add_custom_target(qira-changelog ALL DEPENDS ${packaging_out}/changelog.Debian.gz)
add_dependencies(qira-install-files qira-changelog)
install(FILES ${packaging_out}/changelog.Debian.gz DESTINATION ${QIRA_DOC_DIR})

install(FILES ${QIRA_PACKAGING_DIR}/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME qira)

# Files below /etc are the administrator's: upgrades keep their changes.
file(WRITE ${packaging_out}/conffiles "${QIRA_CONFIG_FILE}\n")

execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE QIRA_DEB_ARCH
                OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT QIRA_DEB_ARCH)
  set(QIRA_DEB_ARCH amd64)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qira)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_PACKAGE_VENDOR "The Qira Mahjong developers")
set(CPACK_PACKAGE_CONTACT "${QIRA_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "networked four-player mahjong with computer players")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME qira-${PROJECT_VERSION}-${QIRA_DEB_ARCH}.deb)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${QIRA_DEB_ARCH})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QIRA_MAINTAINER}")
# The section "games" is for programs in /usr/games; these are in /usr/bin.
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://qiramahjong.github.io/)
# CPack puts the summary first and turns the blank line into " .".
set(CPACK_PACKAGE_DESCRIPTION
    "Qira Mahjong is a four-player mahjong table for the Linux desktop:
qira-launch starts a local room server and seats the player with three
computer players; qira-client joins a room server on the network.

qira-server is the room server: many tables, computer players of three
strengths for empty chairs, statistics in SQLite. It can run as the
system service qira-server.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${packaging_out}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
