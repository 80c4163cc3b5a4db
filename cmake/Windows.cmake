# The Windows build, included by the top-level CMakeLists.txt.
#
# The host adapter is chosen here: on Windows the program reaches ACT!
# through COM (host/com, wrapped for Qt by host/com/qt), where the Linux
# build uses the D-Bus client (host/dbus).
#
# With Qt for Windows found (CMAKE_PREFIX_PATH naming its folder), this builds
# the whole program, Pennaroc.exe, with that adapter, the registry settings
# and the version resource. Without Qt, as in the cross build under Debian
# (Qt for Windows is not packaged there), it builds the parts that need no
# Qt: the COM host core, the registry settings and the version resource, and
# the test programs in tests/windows, which CTest runs under Wine.
enable_language(RC)
add_compile_definitions(UNICODE _UNICODE NOMINMAX)

find_package(Qt6 6.4 QUIET COMPONENTS Core Gui Widgets Test)

if(Qt6_FOUND)
  message(STATUS "Windows build with Qt ${Qt6_VERSION}: the whole program, over the COM adapter")
  # The stand-in ACT! and the Debian package are Linux's own.
  foreach(subsystem host platform resources settings about integrate app)
    add_subdirectory(${subsystem})
  endforeach()
else()
  set(CMAKE_AUTOMOC OFF)
  message(STATUS "Windows build without Qt: the COM host core, the registry settings, the version resource and their tests")
  add_subdirectory(host/com)
  add_subdirectory(settings/registry)
endif()

include(CTest)
if(BUILD_TESTING)
  add_subdirectory(tests/windows)
endif()
