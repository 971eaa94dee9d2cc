# Every library comes from Debian's -dev packages (scripts/setup installs them).
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libavutil libswresample)
pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
pkg_check_modules(TINYXML2 REQUIRED IMPORTED_TARGET tinyxml2)
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2)
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
pkg_check_modules(PNG REQUIRED IMPORTED_TARGET libpng)
find_package(JPEG REQUIRED)
# LIRC remotes: read when liblirc-client is there at build time (Debian's liblirc-dev).
pkg_check_modules(LIRC IMPORTED_TARGET lirc)
if(NOT LIRC_FOUND)
  message(STATUS "liblirc-client not found: built without LIRC remotes")
endif()
# Remote buttons of kernel input devices: read when libevdev is there at build
# time (Debian's libevdev-dev).
pkg_check_modules(EVDEV IMPORTED_TARGET libevdev)
if(NOT EVDEV_FOUND)
  message(STATUS "libevdev not found: built without the remote buttons of kernel devices")
endif()

if(QUENDREL_TESTS)
  find_package(GTest REQUIRED)
endif()
if(QUENDREL_BENCH)
  find_package(benchmark REQUIRED)
endif()
