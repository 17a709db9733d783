# SPDX-License-Identifier: GPL-3.0-or-later
# `make package`: one Debian package with the viewer, the simulator, the icons
# and the desktop entry under /usr; the dependencies come from the shared
# libraries the two programs link (dpkg-shlibdeps, from dpkg-dev).
include(GNUInstallDirs)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
# The version the program reports with --version and in its About box.
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quillon")
set(CPACK_PACKAGE_CONTACT "${QUILLON_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUILLON_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for networked digital video recorders")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillon watches the cameras of networked DVRs live, switches among up to 16\n"
    "channels and moves the camera (pan, tilt, zoom, focus, presets). The package\n"
    "also holds quillon-dvrsim, a DVR simulator for trying the viewer out.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # quillon_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${QUILLON_HOMEPAGE}")
# Native Wayland on phones; without it Qt goes through XWayland.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-wayland")

# What Debian asks of every package: the machine-readable copyright, the changelog
# and a manual page per program, compressed without a time stamp so builds repeat.
set(QUILLON_DEBIAN_DOC ${CMAKE_BINARY_DIR}/debian-doc)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/copyright.in ${QUILLON_DEBIAN_DOC}/copyright @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${QUILLON_DEBIAN_DOC}/changelog @ONLY)
execute_process(COMMAND gzip -9 -n -c ${QUILLON_DEBIAN_DOC}/changelog
                OUTPUT_FILE ${QUILLON_DEBIAN_DOC}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${QUILLON_DEBIAN_DOC}/copyright ${QUILLON_DEBIAN_DOC}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillon)
foreach(page quillon quillon-dvrsim)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/${page}.1.in ${QUILLON_DEBIAN_DOC}/${page}.1 @ONLY)
    execute_process(COMMAND gzip -9 -n -c ${QUILLON_DEBIAN_DOC}/${page}.1
                    OUTPUT_FILE ${QUILLON_DEBIAN_DOC}/${page}.1.gz COMMAND_ERROR_IS_FATAL ANY)
    install(FILES ${QUILLON_DEBIAN_DOC}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

include(CPack)
