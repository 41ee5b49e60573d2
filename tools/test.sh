#!/usr/bin/env bash
# Builds deckmouse and runs every test:
#   - the Linux build: unit, connection and X11 tests, the settings page in
#     headless Chromium;
#   - the Windows build: unit tests under Wine;
#   - the plugin package, laid out and checked;
#   - the unit tests under AddressSanitizer with UndefinedBehaviorSanitizer,
#     and under ThreadSanitizer;
#   - the end-to-end scenarios of both builds against the host simulator, on
#     Xvfb, the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup-debian.sh

# Wine keeps its Windows folder in a prefix; making one takes a while, so it
# is made once and reused.
export WINEPREFIX="${WINEPREFIX:-$PWD/build/wineprefix}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi

for preset in linux windows asan tsan; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
  if [ "$preset" = windows ]; then
    echo "== package"
    cmake --build --preset linux --target plugin_package
  fi
done

echo "== end to end"
DECKMOUSE_WINEPREFIX="$WINEPREFIX" tools/host-sim/run-e2e.sh \
  --linux "$PWD/build/linux/deckmouse" --windows "$PWD/build/windows/deckmouse.exe"
