#!/usr/bin/env bash
# Runs the end-to-end scenarios against every plugin build that exists, on a
# private Xvfb, the Windows build under Wine with a prefix made for this run.
#
#   tools/host-sim/run-e2e.sh [--linux <exe>] [--windows <exe>] [--emulator <command>] [--scenarios <names>]
#
# --emulator runs the Linux build through that command (words, e.g.
# "qemu-aarch64-static -L /" for the ARM64 build on an x86-64 machine);
# --scenarios runs only those files of test/ (e.g. "commands dial"), and
# --windows "" leaves the Windows build out.
# Defaults: build/linux/deckmouse and build/windows/deckmouse.exe, with the
# recorders in tools/ beside each. The environment may name them instead:
# DECKMOUSE_LINUX_PLUGIN, DECKMOUSE_WINDOWS_PLUGIN, DECKMOUSE_LINUX_RECORDER,
# DECKMOUSE_WINDOWS_RECORDER, DECKMOUSE_WAYLAND_RECORDER (the Linux build's
# scenarios on headless sway). DECKMOUSE_WINEPREFIX keeps a prefix across runs.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"

linux_plugin="${DECKMOUSE_LINUX_PLUGIN:-$repo/build/linux/deckmouse}"
windows_plugin="${DECKMOUSE_WINDOWS_PLUGIN:-$repo/build/windows/deckmouse.exe}"
emulator=""
scenarios=""
while (($#)); do
  case "$1" in
    --linux) linux_plugin="$2"; shift 2 ;;
    --windows) windows_plugin="$2"; shift 2 ;;
    --emulator) emulator="$2"; shift 2 ;;
    --scenarios) scenarios="$2"; shift 2 ;;
    *) echo "usage: $0 [--linux <exe>] [--windows <exe>] [--emulator <command>] [--scenarios <names>]" >&2; exit 2 ;;
  esac
done
linux_recorder="${DECKMOUSE_LINUX_RECORDER:-$(dirname "$linux_plugin")/tools/deckmouse_x11_recorder}"
wayland_recorder="${DECKMOUSE_WAYLAND_RECORDER:-$(dirname "$linux_plugin")/tools/deckmouse_wayland_recorder}"
windows_recorder="${DECKMOUSE_WINDOWS_RECORDER:-$(dirname "$windows_plugin")/tools/deckmouse_input_recorder.exe}"

"$repo/tools/require-programs.sh" node npm Xvfb xdotool xinput sway
[ -z "$emulator" ] || "$repo/tools/require-programs.sh" "${emulator%% *}"
cd "$here"
files=()
if [ -n "$scenarios" ]; then
  for name in $scenarios; do
    [ -f "$here/test/$name.test.js" ] || { echo "$0: no scenario file test/$name.test.js" >&2; exit 2; }
    files+=("test/$name.test.js")
  done
else
  files=(test/*.test.js)
fi
npm ci --no-audit --no-fund --loglevel=error

scratch="$(mktemp -d)"
xvfb_pid=""
prefix=""
cleanup() {
  if [ -n "$prefix" ]; then
    WINEPREFIX="$prefix" timeout 30 wineserver -k 2>/dev/null || true
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT

# A display of our own, whatever DISPLAY says: the scenarios click and move
# the pointer. Xvfb writes its display number to the descriptor once ready.
Xvfb -displayfd 3 -screen 0 1365x767x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 1 100); do
  [ -s "$scratch/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { cat "$scratch/xvfb.log" >&2; exit 1; }
  sleep 0.1
done
[ -s "$scratch/display" ] || { echo "Xvfb did not start within 10 s" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$scratch/display")"
# The X11 scenarios must not find a Wayland session of the caller's; the
# Wayland ones start a headless sway of their own.
unset WAYLAND_DISPLAY
echo "== display $DISPLAY"

status=0
ran=0
suite() {
  local name="$1"
  shift
  echo "== $name build"
  if env "$@" "$repo/tools/run-node-tests.sh" 600 "${files[@]}"; then
    echo "== $name build: passed"
  else
    echo "== $name build: FAILED"
    status=1
  fi
  ran=$((ran + 1))
}

if [ -x "$linux_plugin" ]; then
  suite "linux${emulator:+ (through ${emulator%% *})}" DECKMOUSE_PLUGIN="$linux_plugin" DECKMOUSE_RECORDER="$linux_recorder" DECKMOUSE_WINE=0 \
    DECKMOUSE_WAYLAND_RECORDER="$wayland_recorder" DECKMOUSE_EMULATOR="$emulator"
else
  echo "== linux build: skipped, no executable at $linux_plugin"
fi

if [ -f "$windows_plugin" ]; then
  if ! "$repo/tools/require-programs.sh" wine wineboot wineserver; then
    echo "== windows build: FAILED"
    status=1
  else
    prefix="${DECKMOUSE_WINEPREFIX:-$scratch/wineprefix}"
    export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    "$repo/tools/wine-prefix.sh" "$prefix"
    suite windows DECKMOUSE_PLUGIN="$windows_plugin" DECKMOUSE_RECORDER="$windows_recorder" DECKMOUSE_WINE=1
  fi
else
  echo "== windows build: skipped, no executable at $windows_plugin"
fi

if ((ran == 0)); then
  echo "no plugin build found: nothing was tested" >&2
  exit 1
fi
exit "$status"
