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

wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
[ -x "$wine64" ] || { wine64=$(command -v wine64 || true); wineserver=$(command -v wineserver || true); }
[ -n "$wine64" ] || { say "Wine's 64-bit loader (wine64) is missing"; exit 1; }

# A private prefix, no window, no debug chatter, and no offer to install
# Mono or Gecko, which nothing here needs.
export WINEPREFIX=$builddir/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$builddir"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  say "preparing the Wine prefix ${WINEPREFIX#"$PENNAROC_ROOT"/}/"
  "$wine64" wineboot -i >/dev/null 2>&1
  # wineboot returns while the prefix's services still finish setting it up;
  # a COM server started meanwhile may never be answered. Wait until every
  # process of the prefix has ended.
  "$wineserver" -w
  # Debian's Wine looks for its own fonts among the system's; the prefix
  # gets them where Windows keeps fonts, so that the windows are drawn in
  # the face they were laid out for.
  ln -sf /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  # Without a window manager (a virtual display), Wine waits for one each
  # time a window is hidden; unmanaged windows need none.
  "$wine64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  "$wineserver" -w
fi
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
