#!/usr/bin/env bash
# ./run --windows: the Windows program as a Windows user gets it. Cross-builds
# Pennaroc.exe and its installer (Release) into build-windows-run/, installs
# it silently into a Wine prefix of the demo's own, starts the test
# automation server there as the demo's ACT! with a few Sales/Opportunity
# records, one of them with an attachment and current, and opens the
# installed Pennaroc.exe on it on your display. The demo ends when you close
# Pennaroc. Without a display it runs on a virtual one (Xvfb), saves a
# screenshot, closes ACT!'s database (Pennaroc ends with it) and ends.
#
#   ./run --windows              the demo
#   ./run --windows --uninstall  removes the demo's prefix, screenshot and build
set -euo pipefail
PENNAROC_ROOT=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/common.sh
source "$PENNAROC_ROOT/tools/common.sh"

data_home=${XDG_DATA_HOME:-$HOME/.local/share}
state=$data_home/Pennaroc
prefix=$state/wine-demo
shot=$state/wine-demo-screenshot.png
# The outermost folder the demo made for its state (a new user's data
# folder, for one), removed again at uninstall when it is empty.
made=$state/wine-demo-made.txt
builddir=$PENNAROC_ROOT/build-windows-run

uninstall() {
  local top=
  [ -f "$made" ] && top=$(cat "$made")
  if [ -d "$prefix" ]; then
    # Whatever still runs in the prefix ends first.
    local server=/usr/lib/wine/wineserver
    [ -x "$server" ] || server=$(command -v wineserver || true)
    [ -z "$server" ] || WINEPREFIX=$prefix "$server" -k >/dev/null 2>&1 || true
    rm -rf "$prefix"
  fi
  rm -f "$shot" "$made"
  rm -rf "$builddir"
  local dir=$state
  if [ -n "$top" ]; then
    while [ "${dir#"$top"}" != "$dir" ] && rmdir "$dir" 2>/dev/null && [ "$dir" != "$top" ]; do dir=${dir%/*}; done
  else
    rmdir "$state" 2>/dev/null || true
  fi
  say "removed the Windows demo: its Wine prefix $prefix, its screenshot and ${builddir#"$PENNAROC_ROOT"/}/"
}

case ${1:-} in
  --uninstall) uninstall; exit 0 ;;
  "") ;;
  *) echo "usage: ./run --windows [--uninstall]" >&2; exit 2 ;;
esac

install_missing "" cmake ninja-build xvfb xauth imagemagick
install_missing --no-install-recommends "${PENNAROC_WINDOWS_PACKAGES[@]}"

# The program, the installer, the test automation server and the demo's
# set-up program, optimised, with one line of progress; the compiler's
# output goes to build.log.
log=$builddir/build.log
mkdir -p "$builddir"
say "building Pennaroc.exe and its installer (Release) in ${builddir#"$PENNAROC_ROOT"/}/ (log: ${log#"$PENNAROC_ROOT"/})"
if ! { { [ -f "$builddir/CMakeCache.txt" ] || cmake -S "$PENNAROC_ROOT" -B "$builddir" -G Ninja \
           -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$PENNAROC_ROOT/cmake/mingw-w64-x86_64.cmake"; } > "$log" 2>&1 \
       && cmake --build "$builddir" -j"${PENNAROC_BUILD_JOBS:-$(nproc)}" --target PennarocSetup ActTestServer PennarocDemoSetup >> "$log" 2>&1; }; then
  tail -n 30 "$log" >&2
  say "the build failed; the whole log is in $log"
  exit 1
fi
# Named after the program's version, which the build read from its version
# information.
version=$(sed -n 's/^PENNAROC_PRODUCT_VERSION:INTERNAL=//p' "$builddir/CMakeCache.txt")
setup=$builddir/bin/PennarocSetup-$version.exe
[ -f "$setup" ] || { say "the build made no installer $setup (is makensis there?)"; exit 1; }
say "built ${setup#"$PENNAROC_ROOT"/} ($(( $(stat -c %s "$setup") / 1024 )) KiB)"

if [ ! -e "$state" ]; then
  top=$state
  while [ ! -e "${top%/*}" ]; do top=${top%/*}; done
  mkdir -p "$state"
  printf '%s\n' "$top" > "$made"
fi
use_wine_prefix "$prefix"

scratch=$(mktemp -d)
xvfb=
cleanup() {
  # Everything the demo started in its prefix ends with it.
  "$wineserver" -k >/dev/null 2>&1 || true
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

# A display of our own when there is none. Wine's programs in the prefix
# share the display of the first one, so it comes before the installer.
headless=0
if [ -z "${DISPLAY:-}" ]; then
  headless=1
  say "no display found: running on a virtual display (Xvfb)"
  # A display number well away from those real desktops take; Xvfb writes
  # it once it accepts connections, and ends at once if it is taken.
  displayfile=$scratch/display
  for n in $(seq 90 189); do
    [ -e "/tmp/.X$n-lock" ] && continue
    : > "$displayfile"
    Xvfb ":$n" -displayfd 5 -screen 0 1024x768x24 -nolisten tcp -noreset 5>"$displayfile" 2>/dev/null &
    xvfb=$!
    for _ in $(seq 100); do
      [ -s "$displayfile" ] && break
      kill -0 "$xvfb" 2>/dev/null || break
      sleep 0.1
    done
    if [ "$(tr -d '\n' < "$displayfile")" = "$n" ] && kill -0 "$xvfb" 2>/dev/null; then
      export DISPLAY=":$n"
      break
    fi
    kill "$xvfb" 2>/dev/null || true
    xvfb=
  done
  [ -n "${DISPLAY:-}" ] || { say "Xvfb could not start"; exit 1; }
fi

# The installer as a Windows user runs it, silently; over an earlier demo's
# install it upgrades in place.
if ! "$wine64" "$setup" /S > "$scratch/setup.out" 2>&1; then
  cat "$scratch/setup.out" >&2
  say "the installer failed"
  exit 1
fi
say "installed with ${setup##*/} /S into C:\\Program Files\\Pennaroc of the Wine prefix $prefix (undo: ./run --windows --uninstall)"
"$wine64" "$builddir/bin/ActTestServer.exe" /RegServer

demo=$builddir/bin/PennarocDemoSetup.exe
if [ "$headless" -eq 0 ]; then
  cat >&2 <<TXT
pennaroc: opening the installed Pennaroc.exe on the demo ACT!'s current record, which
  has an attachment (C:\\users\\Public\\Documents\\Quote.txt): Open it, Remove it, or
  Attach a new file; Options > Integrate with ACT!... places Pennaroc's command.
  The demo ends when you close Pennaroc.
TXT
  "$wine64" "$demo"
  exit 0
fi

# The set-up program says when the main window is shown, and then waits
# for a file of ours (named as Wine names Linux paths) before ACT! closes
# its database.
endflag=$scratch/end
out=$scratch/demo.out
"$wine64" "$demo" --end-when "Z:${endflag//\//\\}" > "$out" 2>&1 &
demo_pid=$!
for _ in $(seq 1200); do
  grep -q "main window is shown" "$out" && break
  kill -0 "$demo_pid" 2>/dev/null || break
  sleep 0.1
done
if ! grep -q "main window is shown" "$out"; then
  cat "$out" >&2
  say "Pennaroc's window did not appear"
  exit 1
fi
sleep 1
import -display "$DISPLAY" -window root "$shot"
say "the installed Pennaroc is open on the virtual display; screenshot: $shot"
say "closing the demo ACT!'s database; Pennaroc ends with it"
: > "$endflag"
status=0
wait "$demo_pid" || status=$?
if [ "$status" -ne 0 ]; then
  cat "$out" >&2
  exit 1
fi
