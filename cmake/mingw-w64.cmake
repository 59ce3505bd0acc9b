# Cross-builds for 64-bit Windows with Debian's mingw-w64 (the -posix
# compilers, for std::thread), linked statically so that the programs need no
# DLLs of the toolchain. Programs built here run under wine when wine is
# installed: CTest starts the tests through it.
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KAVRO_MINGW x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${KAVRO_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KAVRO_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${KAVRO_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KAVRO_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

find_program(KAVRO_WINE NAMES wine wine64)
if(KAVRO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KAVRO_WINE})
endif()
