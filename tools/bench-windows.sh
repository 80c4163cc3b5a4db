#!/usr/bin/env bash
# The Windows launch benchmark: a Release cross build in build-windows-release/
# with its own Wine prefix (prepared, and the test server registered, by
# ./test --windows's own steps), then Pennaroc.exe against a bare Win32
# window program on a virtual display. Arguments go to the benchmark (the
# number of runs, 10 by default).
set -euo pipefail
PENNAROC_ROOT=$(cd "$(dirname "$0")/.." && pwd)
builddir=$PENNAROC_ROOT/build-windows-release
wine64=/usr/lib/wine/wine64
[ -x "$wine64" ] || wine64=$(command -v wine64 || true)
if [ ! -f "$builddir/CMakeCache.txt" ] && [ -n "$wine64" ]; then
  cmake -S "$PENNAROC_ROOT" -B "$builddir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$PENNAROC_ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$wine64" >/dev/null
fi
# Installs what is missing, builds, prepares the prefix, registers the test
# server.
PENNAROC_WINDOWS_BUILD_DIR=$builddir "$PENNAROC_ROOT/tools/test-windows.sh" -R WindowsRegisterTestServer >/dev/null
[ -n "$wine64" ] || wine64=$(command -v wine64)
export WINEPREFIX=$builddir/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap '"${wine64%/*}/wineserver" -k >/dev/null 2>&1 || true' EXIT
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$wine64" "$builddir/bin/bench_windows_launch.exe" "$@"
