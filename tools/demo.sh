#!/usr/bin/env bash
# Builds deckmouse and plays a short host session against it, printing what
# each step did.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup-debian.sh

cmake --preset linux >/dev/null
cmake --build --preset linux --target deckmouse deckmouse_recording deckmouse_scripted_session
build/linux/tests/deckmouse_scripted_session build/linux/tests/deckmouse_recording
