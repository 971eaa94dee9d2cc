# cmake --install (scripts/install) and the Debian package (scripts/package):
#   bin/quendrel, bin/quendrel-ecp
#   share/quendrel/images/<skin>/...   the skins drawn at build time
#   share/quendrel/keymap.conf         the default key map
#   share/applications/quendrel.desktop and the icon
# An installed Quendrel finds share/quendrel from its own place (bin/..), so
# any prefix works.
include(GNUInstallDirs)
# scripts/install and scripts/package build what is installed; installing
# never waits for the tests and benchmarks to build.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS quendrel quendrel-ecp RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_BINARY_DIR}/app/images DESTINATION ${CMAKE_INSTALL_DATADIR}/quendrel)
install(FILES ${PROJECT_SOURCE_DIR}/data/keymap.conf DESTINATION ${CMAKE_INSTALL_DATADIR}/quendrel)
install(FILES ${PROJECT_SOURCE_DIR}/data/quendrel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/quendrel.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quendrel)

# Debian package. The shared libraries' packages come from dpkg-shlibdeps;
# the font is looked up by name at run time, so it is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quendrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quendrel")
set(CPACK_PACKAGE_CONTACT "Quendrel developers <quendrel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "full-screen TV music player and remote for SlimServer")
set(CPACK_PACKAGE_DESCRIPTION
  "Quendrel is a full-screen music application for the television, driven from a remote
control or a keyboard: a SlimProto network audio player, a remote control and library
browser for SlimServer over its command line and web interfaces, and an internet-radio
browser with Favorites. It runs on a desktop or, through SDL's KMSDRM driver, on a
TV box without one; LIRC remotes, the kernel's remotes and media keys work through
one key map.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps names the libraries the program links, libevdev2 and
# liblirc-client0 among them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "lirc")
include(CPack)
