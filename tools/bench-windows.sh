#!/usr/bin/env bash
# The Windows launch benchmark: a Release cross build of Pennaroc.exe, the
# test automation server and the benchmark's programs in
# build-windows-release/, with a Wine prefix of its own, then Pennaroc.exe
# against a bare Win32 window program on a virtual display. Arguments go to
# the benchmark (the number of runs, 10 by default).
set -euo pipefail
PENNAROC_ROOT=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/common.sh
source "$PENNAROC_ROOT/tools/common.sh"

builddir=$PENNAROC_ROOT/build-windows-release
install_missing "" cmake ninja-build xvfb xauth
install_missing --no-install-recommends "${PENNAROC_WINDOWS_PACKAGES[@]}"
unset DISPLAY WAYLAND_DISPLAY
use_wine_prefix "$builddir/wine"
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT
if [ ! -f "$builddir/CMakeCache.txt" ]; then
  cmake -S "$PENNAROC_ROOT" -B "$builddir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$PENNAROC_ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$wine64" >/dev/null
fi
cmake --build "$builddir" --target bench_windows_launch -j"$(nproc)"
"$wine64" "$builddir/bin/ActTestServer.exe" /RegServer
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$wine64" "$builddir/bin/bench_windows_launch.exe" "$@"
