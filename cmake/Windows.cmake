# The Windows build, included by the top-level CMakeLists.txt.
#
# The program's own code is portable (no toolkit); on Windows its host
# interfaces are served over COM (host/com, where the Linux build uses the
# D-Bus client in host/dbus), its setting is kept in the registry
# (settings/registry), and its face is the platform's own (platform/win32,
# app/win32, each added once it is there). The stand-in ACT!, the Debian
# package and the Qt resources are Linux's own.
#
# The portable tests and the Windows tests (tests/windows) build too; cross
# built, CTest runs them under Wine (the toolchain file names Wine as
# CMAKE_CROSSCOMPILING_EMULATOR), in a Wine prefix of their own,
# PENNAROC_WINEPREFIX (build-windows/wine by default), which
# ./test --windows prepares.
enable_language(RC)
add_compile_definitions(UNICODE _UNICODE NOMINMAX)
# The oldest Windows the program supports: Windows 7 (0x0601). The executable
# is 64-bit, and what it imports (the C++ runtime's threads call
# GetTickCount64) needs Windows Vista at least; Windows 7 SP1 is the version
# Wine presents itself as, where every Windows test runs, and the first one
# the manifest (resources/Pennaroc.manifest) declares. With these, the
# system's headers offer nothing newer than Windows 7 without a check.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601)
set(CMAKE_AUTOMOC OFF)

foreach(subsystem host platform settings about integrate app)
  add_subdirectory(${subsystem})
endforeach()
# The installer (NSIS), which the tests in tests/windows/installer use too.
add_subdirectory(packaging/windows)

include(CTest)
if(BUILD_TESTING)
  set(PENNAROC_WINEPREFIX ${CMAKE_BINARY_DIR}/wine CACHE PATH "The Wine prefix the tests run in")
  # No window, no debug chatter, and no offer to install Mono or Gecko.
  set(PENNAROC_WINE_TEST_ENVIRONMENT
    WINEPREFIX=${PENNAROC_WINEPREFIX}
    WINEDEBUG=-all
    "WINEDLLOVERRIDES=mscoree,mshtml="
    DISPLAY=)
  set(PENNAROC_PORTABLE_TEST_ENVIRONMENT ${PENNAROC_WINE_TEST_ENVIRONMENT})
  add_subdirectory(tests)
  # The Windows benchmark measures Pennaroc.exe against the test server.
  if(PENNAROC_BENCHMARKS)
    add_subdirectory(bench/windows)
  endif()
endif()
