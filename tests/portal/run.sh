#!/usr/bin/env bash
# Runs the portal tests of one kind on a session bus of their own:
#   real    Debian's xdg-desktop-portal over the recording backend
#   plugin  the same, with the plugin itself as the portal's client
#   absent  a bus on which nothing offers a remote desktop
#   kept    the recording remote desktop playing a portal that keeps grants
#
#   tests/portal/run.sh real|plugin|absent|kept TEST-BINARY
set -euo pipefail
mode=$1 binary=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
pids=()
finish() {
  local status=$?
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  if [ "$status" -ne 0 ]; then
    for log in "$work"/*.log; do [ -s "$log" ] && { echo "== $log"; tail -n 40 "$log"; }; done
  fi
  rm -rf "$work"
}
trap finish EXIT

# The first line a started program writes, within 10 s.
first_line() {
  local fifo=$1 line
  exec {reader}<"$fifo"
  if ! read -r -t 10 -u "$reader" line; then
    echo "$0: nothing from $fifo in 10 s" >&2
    exit 1
  fi
  exec {reader}<&-
  printf '%s' "$line"
}

mkfifo "$work/bus.out" "$work/backend.out"
dbus-daemon --config-file="$here/session-bus.conf" --address="unix:dir=$work" --nofork \
  --print-address=1 >"$work/bus.out" 2>"$work/bus.log" &
pids+=($!)
DBUS_SESSION_BUS_ADDRESS=$(first_line "$work/bus.out")
export DBUS_SESSION_BUS_ADDRESS
# The portal, the backend and the plugin keep their files in the run's folder.
export HOME="$work/home" XDG_STATE_HOME="$work/state" XDG_DATA_HOME="$work/data"
export DECKMOUSE_PORTAL_RECORD="$work/calls.jsonl" DECKMOUSE_PORTAL_ANSWERS="$work/answers.json"
mkdir -p "$HOME"

start_backend() {
  /usr/bin/python3 "$here/remote_desktop_backend.py" --record "$DECKMOUSE_PORTAL_RECORD" \
    --answers "$DECKMOUSE_PORTAL_ANSWERS" "$@" >"$work/backend.out" 2>"$work/backend.log" &
  pids+=($!)
  [ "$(first_line "$work/backend.out")" = ready ]
}

case "$mode" in
  real|plugin)
    start_backend
    mkdir "$work/portals"
    cp "$here/deckmousetest.portal" "$work/portals/"
    XDG_CURRENT_DESKTOP=deckmousetest XDG_DESKTOP_PORTAL_DIR="$work/portals" \
      /usr/libexec/xdg-desktop-portal >"$work/portal.log" 2>&1 &
    pids+=($!)
    gdbus wait --session --timeout 10 org.freedesktop.portal.Desktop
    filter='RealPortal*'
    [ "$mode" = plugin ] && filter='PortalPlugin*'
    ;;
  absent) filter='NoPortal*' ;;
  kept)
    start_backend --frontend --version 2
    filter='KeptGrant*'
    ;;
  *) echo "$0: unknown kind $mode" >&2; exit 2 ;;
esac

"$binary" --gtest_filter="$filter"
