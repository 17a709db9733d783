# `make package`: one Debian package with the viewer, the simulator, the icons
# and the desktop entry under /usr; the dependencies come from the shared
# libraries the two programs link (dpkg-shlibdeps, from dpkg-dev).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
# The version the program reports with --version and in its About box.
set(CPACK_PACKAGE_VERSION 1.6)
set(CPACK_PACKAGE_VENDOR "Quillon")
set(CPACK_PACKAGE_CONTACT "Quillon developers <quillon@localhost>")
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
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quillon.invalid/")
# Native Wayland on phones; without it Qt goes through XWayland.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-wayland")

include(CPack)
