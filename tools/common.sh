# Shared by ./run and ./test: installs what is missing, configures and builds.
# shellcheck shell=bash

# The Debian packages the build, the tests and the demo need.
PENNAROC_PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libsqlite3-dev libfontconfig-dev
  dbus dbus-x11 xvfb xauth xdotool x11-utils imagemagick xdg-utils
  desktop-file-utils shared-mime-info libfile-mimeinfo-perl
  fonts-urw-base35 qt6-translations-l10n
)
# What only the tests need besides: the Debian package's build and checks.
PENNAROC_TEST_PACKAGES=(
  dpkg-dev file lintian appstream librsvg2-bin man-db
)
# What ./test --windows needs: the mingw-w64 cross compiler (its posix-thread
# flavour, for std::thread and std::mutex), windres, and Wine's 64-bit loader
# to run the test programs, with Wine's own fonts (MS Sans Serif, which the
# windows are laid out for), and NSIS (makensis) for the installer. These
# are installed without their recommended packages: the tests need no sound,
# and their windows go to a virtual display.
PENNAROC_WINDOWS_PACKAGES=(
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 fonts-wine nsis
)
# Recommended packages are installed too: the tests were written against a
# desktop with them (the xcb platform's helpers, fonts), and leaving them out
# would make window sizes and text metrics differ.

say() { printf 'pennaroc: %s\n' "$*" >&2; }

ensure_packages() {
  install_missing "" "${PENNAROC_PACKAGES[@]}" "$@"
}

# install_missing APT_OPTION PACKAGE...: installs those not installed yet,
# with one extra apt-get option (or none when it is empty).
install_missing() {
  local option=$1; shift
  local missing=() pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  say "installing Debian packages: ${missing[*]}"
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { say "sudo is needed to install packages; install them as root: ${missing[*]}"; exit 1; }
    sudo=(sudo)
  fi
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq ${option:+"$option"} "${missing[@]}" >/dev/null
}

# build_programs DIR: an optimised build of the two programs alone (no tests,
# no benchmarks) in DIR, with one line of progress; the compiler's output
# goes to DIR/build.log, and its end is shown when the build fails.
build_programs() {
  local dir=$1 log=$1/build.log
  mkdir -p "$dir"
  say "building Pennaroc and act-standin (Release) in ${dir#"$PENNAROC_ROOT"/}/ (log: ${log#"$PENNAROC_ROOT"/})"
  if { [ -f "$dir/CMakeCache.txt" ] || cmake -S "$PENNAROC_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
         -DBUILD_TESTING=OFF -DPENNAROC_BENCHMARKS=OFF; } > "$log" 2>&1 \
     && cmake --build "$dir" -j"$(nproc)" >> "$log" 2>&1; then
    return 0
  fi
  tail -n 30 "$log" >&2
  say "the build failed; the whole log is in $log"
  exit 1
}

# build_tree DIR [cmake options...]: configures (once) and builds DIR.
build_tree() {
  local dir=$1; shift
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$PENNAROC_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug "$@" >/dev/null
  else
    cmake -S "$PENNAROC_ROOT" -B "$dir" "$@" >/dev/null
  fi
  cmake --build "$dir" -j"$(nproc)"
}

# use_wine_prefix PREFIX: Wine's 64-bit loader and server as $wine64 and
# $wineserver, and PREFIX as the Wine prefix of every Wine command that
# follows: no debug chatter, no offer to install Mono or Gecko, which nothing
# here needs, and no entries in the user's own Linux menus for the prefix's
# Start-menu shortcuts (winemenubuilder). A new prefix is made ready first.
use_wine_prefix() {
  wine64=/usr/lib/wine/wine64
  wineserver=/usr/lib/wine/wineserver
  [ -x "$wine64" ] || { wine64=$(command -v wine64 || true); wineserver=$(command -v wineserver || true); }
  [ -n "$wine64" ] || { say "Wine's 64-bit loader (wine64) is missing"; exit 1; }
  export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
  [ -f "$WINEPREFIX/system.reg" ] && return 0
  say "preparing the Wine prefix ${WINEPREFIX#"$PENNAROC_ROOT"/}/"
  mkdir -p "$WINEPREFIX"
  # Made without a display: no window is needed for it.
  env -u DISPLAY -u WAYLAND_DISPLAY "$wine64" wineboot -i >/dev/null 2>&1
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
  env -u DISPLAY -u WAYLAND_DISPLAY "$wine64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  "$wineserver" -w
}
