#!/usr/bin/env bash
# Makes the Wine prefix PREFIX unless it exists already. Making one takes a
# while, so callers keep it across runs.
#
#   tools/wine-prefix.sh PREFIX
set -euo pipefail
prefix="$1"
[ -f "$prefix/system.reg" ] && exit 0

# Mono and Gecko would otherwise prompt for an install on a new prefix.
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$(dirname "$prefix")"
echo "== creating the Wine prefix $prefix"
started=$SECONDS
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
# wineboot returns before the prefix is written out completely.
if ! timeout 300 wineboot -i >"$log" 2>&1 || ! timeout 120 wineserver -w >>"$log" 2>&1; then
  cat "$log" >&2
  echo "could not create the Wine prefix $prefix" >&2
  exit 1
fi
echo "== Wine prefix ready after $((SECONDS - started)) s"
