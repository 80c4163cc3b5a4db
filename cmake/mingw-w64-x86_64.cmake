# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads), run
# under Wine: cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PENNAROC_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PENNAROC_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PENNAROC_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${PENNAROC_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${PENNAROC_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The test programs run under Wine's 64-bit loader (Debian's wine64 package).
find_program(PENNAROC_WINE64 NAMES wine64 PATHS /usr/lib/wine /usr/lib/x86_64-linux-gnu/wine NO_DEFAULT_PATH)
if(NOT PENNAROC_WINE64)
  find_program(PENNAROC_WINE64 NAMES wine64 wine)
endif()
if(PENNAROC_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PENNAROC_WINE64})
endif()
# Statically linked, the programs need no mingw DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
