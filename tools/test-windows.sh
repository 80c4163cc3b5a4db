#!/usr/bin/env bash
# ./test --windows: the Windows build (the portable libraries, the COM host,
# the registry settings, the version resource) cross-built with mingw-w64
# into build-windows/, and its tests (the portable tests and tests/windows)
# run under Wine, in a Wine prefix of their own (build-windows/wine).
# Arguments go to ctest.
set -euo pipefail
PENNAROC_ROOT=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/common.sh
source "$PENNAROC_ROOT/tools/common.sh"

# PENNAROC_WINDOWS_BUILD_DIR names another build folder (its prefix inside it).
builddir=${PENNAROC_WINDOWS_BUILD_DIR:-$PENNAROC_ROOT/build-windows}
install_missing "" cmake ninja-build xvfb xauth
install_missing --no-install-recommends "${PENNAROC_WINDOWS_PACKAGES[@]}"

# A private prefix, made ready once; no window.
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$builddir"
use_wine_prefix "$builddir/wine"
# Whatever the tests leave running in the prefix ends with them.
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT

if [ ! -f "$builddir/CMakeCache.txt" ]; then
  cmake -S "$PENNAROC_ROOT" -B "$builddir" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_TOOLCHAIN_FILE="$PENNAROC_ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$wine64" >/dev/null
else
  cmake -S "$PENNAROC_ROOT" -B "$builddir" >/dev/null
fi
cmake --build "$builddir" -j"${PENNAROC_BUILD_JOBS:-$(nproc)}"
# Wine now and then never answers the first start of a COM server in a new
# prefix (the server is not started, or answers nothing); a test that fails
# runs once more before it counts as failed.
ctest --test-dir "$builddir" --output-on-failure --repeat until-pass:2 "$@"
