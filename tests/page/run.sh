#!/usr/bin/env bash
# Installs the test dependencies and runs the bundle, manifest, package and settings-page tests.
#   bash tests/page/run.sh
#   bash tests/page/run.sh --package <file>.streamDeckPlugin [<folder>.sdPlugin]
#       only the package test, on that package (and the folder it was made from)
# Optional: WINDOWS_EXE / LINUX_EXE / LINUX_AARCH64_EXE / MACOS_EXE name real executables to
# lay out in the bundle under test (stand-in files are used otherwise; a real MACOS_EXE is
# inspected too); CHROMIUM overrides /usr/bin/chromium.
# With a real LINUX_EXE the page is also run against that plugin on a private Xvfb
# (plugin.test.mjs; needs xvfb and xdotool, and the input recorder from
# tools/ beside LINUX_EXE or DECKMOUSE_RECORDER for the wheel case).
set -euo pipefail
caller=$(pwd)
cd "$(dirname "$0")"
here=$(pwd)
repo=$(cd ../.. && pwd)

"$repo/tools/require-programs.sh" node npm cmake rsvg-convert "${CHROMIUM:-/usr/bin/chromium}"

# playwright-core never fetches a browser; the variable only guards against
# a dependency that might try.
export PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1
if [[ -f package-lock.json ]]; then
  npm ci --no-audit --no-fund --loglevel=error
else
  npm install --no-audit --no-fund --loglevel=error
fi
# The host simulator that plays the host for the page and the plugin together.
npm ci --prefix "$repo/tools/host-sim" --no-audit --no-fund --loglevel=error

if [[ "${1:-}" == --package ]]; then
  DECKMOUSE_PACKAGE=$(cd "$caller" && realpath "$2")
  export DECKMOUSE_PACKAGE
  # The folder the package was made from, checked too when named.
  if [[ -n "${3:-}" ]]; then DECKMOUSE_PLUGIN_DIR=$(cd "$caller" && realpath "$3"); export DECKMOUSE_PLUGIN_DIR; fi
  exec "$repo/tools/run-node-tests.sh" 300 package.test.mjs
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/deckmouse-page-tests.XXXXXX")
trap 'rm -rf "$work"' EXIT

win=${WINDOWS_EXE:-}
lin=${LINUX_EXE:-}
arm=${LINUX_AARCH64_EXE:-}
mac=${MACOS_EXE:-}
if [[ -z "$win" ]]; then win="$work/deckmouse.exe"; printf 'stand-in' >"$win"; fi
if [[ -z "$lin" ]]; then lin="$work/deckmouse"; printf '#!/bin/sh\n' >"$lin"; fi
if [[ -z "$arm" ]]; then arm="$work/deckmouse-aarch64"; printf '#!/bin/sh\n' >"$arm"; fi
if [[ -z "$mac" ]]; then mac="$work/deckmouse-macos"; printf 'stand-in' >"$mac"; fi

cmake -DSOURCE_DIR="$repo" -DOUT_DIR="$work/out" -DWINDOWS_EXE="$win" -DLINUX_EXE="$lin" -DLINUX_AARCH64_EXE="$arm" \
      -DMACOS_EXE="$mac" \
      -P "$repo/bundle/assemble.cmake" >/dev/null
export DECKMOUSE_PLUGIN_DIR="$work/out/org.deckmouse.sdPlugin"
node "$here/lib/manifest-check.mjs" "$DECKMOUSE_PLUGIN_DIR"
if [[ -n "${MACOS_EXE:-}" ]]; then
  node "$here/lib/macho-check.mjs" "$DECKMOUSE_PLUGIN_DIR/bin/deckmouse-macos"
fi

# One file at a time: the machine has two cores and Chromium wants one of them.
"$repo/tools/run-node-tests.sh" 300 logic.test.mjs manifest.test.mjs macho.test.mjs bundle.test.mjs package.test.mjs \
  page.test.mjs dial-page.test.mjs

if [[ -n "${LINUX_EXE:-}" && -f "$LINUX_EXE" && -x "$LINUX_EXE" ]]; then
  "$repo/tools/require-programs.sh" Xvfb xdotool
  "$repo/tools/run-node-tests.sh" 300 plugin.test.mjs
else
  echo "run.sh: skipping plugin.test.mjs (the page against the running plugin): set LINUX_EXE to a built deckmouse"
fi
