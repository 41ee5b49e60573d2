#!/usr/bin/env bash
# Builds deckmouse and runs every test:
#   - the macOS builds, cross-built with zig: both slices joined into the
#     universal executable, and the unit tests as a runner for a Mac; the
#     unit tests built for Linux with the same compiler and libc++, and run;
#   - the Linux build: unit, connection and X11 tests, the desktop portal
#     path against Debian's xdg-desktop-portal on a private session bus, the
#     settings page in headless Chromium;
#   - the Linux build for ARM64, cross-built: unit tests and the X11
#     end-to-end scenarios under qemu-aarch64-static;
#   - the Windows build: unit tests under Wine;
#   - the plugin package, laid out and checked, the vendor's validator included;
#   - the unit tests under AddressSanitizer with UndefinedBehaviorSanitizer,
#     and under ThreadSanitizer;
#   - the libFuzzer targets, each for a bounded time on its seed corpus;
#   - the end-to-end scenarios of both builds against the host simulator, on
#     Xvfb, the Windows build under Wine; the Linux build's also on headless
#     sway, through the virtual pointer.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup-debian.sh
# Everything called below, by this script, the builds, ctest and the
# end-to-end run, so that a missing program stops the run at once by name.
tools/require-programs.sh cmake ctest make g++ clang++ \
  x86_64-w64-mingw32-gcc-posix x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-windres \
  llvm-lipo-14 llvm-strip-14 llvm-ar-14 llvm-ranlib-14 llvm-install-name-tool-14 \
  wine wineboot wineserver node npm Xvfb xvfb-run xauth xdotool rsvg-convert chromium \
  pkg-config wayland-scanner sway useradd aarch64-linux-gnu-g++ qemu-aarch64-static \
  dbus-daemon gdbus /usr/libexec/xdg-desktop-portal /usr/bin/python3

# Wine keeps its Windows folder in a prefix, made once and reused.
export WINEPREFIX="${WINEPREFIX:-$PWD/build/wineprefix}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
tools/wine-prefix.sh "$WINEPREFIX"

# First, so that the package and its test below hold the real macOS executable.
started=$SECONDS
for preset in zig-linux macos-x86_64 macos-arm64; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
cmake --build --preset macos-arm64 --target deckmouse_universal
ctest --preset zig-linux
echo "== macOS and zig: $((SECONDS - started)) s"

for preset in linux linux-aarch64 windows asan tsan fuzz; do
  echo "== $preset"
  started=$SECONDS
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
  echo "== $preset: $((SECONDS - started)) s"
  if [ "$preset" = windows ]; then
    echo "== package"
    cmake --build --preset linux --target plugin_package
    bash tests/page/run.sh --package build/linux/org.deckmouse.streamDeckPlugin build/linux/bundle/org.deckmouse.sdPlugin
    node tests/page/lib/macho-check.mjs build/linux/bundle/org.deckmouse.sdPlugin/bin/deckmouse-macos
  fi
done

echo "== end to end"
DECKMOUSE_WINEPREFIX="$WINEPREFIX" tools/host-sim/run-e2e.sh \
  --linux "$PWD/build/linux/deckmouse" --windows "$PWD/build/windows/deckmouse.exe"

# The ARM64 build's X11 scenarios, emulated, against the native recorder;
# not the timing one, which would time the emulator, nor the Wayland one.
echo "== end to end, Linux on ARM64 under emulation"
started=$SECONDS
DECKMOUSE_LINUX_RECORDER="$PWD/build/linux/tools/deckmouse_x11_recorder" tools/host-sim/run-e2e.sh \
  --linux "$PWD/build/linux-aarch64/deckmouse" --windows "" --emulator "qemu-aarch64-static -L /" \
  --scenarios "commands connection cursor dial hostile-host icons modifiers new-commands picker"
echo "== end to end, Linux on ARM64: $((SECONDS - started)) s"
