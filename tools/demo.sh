#!/usr/bin/env bash
# Builds deckmouse and runs the demo: the plugin installed from its bundle,
# driven by the host simulator on a virtual display, key by key.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup-debian.sh

cmake --preset linux >/dev/null
cmake --build --preset linux --target deckmouse deckmouse_x11_recorder
npm ci --prefix tools/host-sim --no-audit --no-fund --loglevel=error
node tools/host-sim/demo.js --linux build/linux/deckmouse --out build/demo
