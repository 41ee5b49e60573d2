#!/usr/bin/env bash
# Builds deckmouse and runs every test: the Linux build's unit, connection
# and X11 tests, the Windows build's unit tests under Wine, then the unit
# tests under AddressSanitizer with UndefinedBehaviorSanitizer and under
# ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup-debian.sh

for preset in linux windows asan tsan; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
