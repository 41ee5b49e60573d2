#!/usr/bin/env bash
# Installs what building and testing deckmouse needs on Debian, once.
set -euo pipefail

packages=(
  cmake g++ make pkg-config clang libclang-rt-14-dev
  libwebsocketpp-dev libasio-dev nlohmann-json3-dev libgtest-dev
  libx11-dev libxtst-dev libxi-dev libxrandr-dev xvfb xauth xinput xdotool
  g++-mingw-w64-x86-64-posix wine
  llvm-14
  librsvg2-bin chromium
  libwayland-dev libwayland-bin wayland-protocols sway libxkbcommon-dev
  libsystemd-dev dbus-daemon libglib2.0-bin xdg-desktop-portal python3-dbus python3-gi
  # Linux on ARM64: the cross toolchain, the ARM64 builds of every library the
  # Linux build links (multiarch: beside the amd64 ones, same versions), and
  # the user-mode emulator that runs the ARM64 tests.
  crossbuild-essential-arm64 qemu-user-static
  libx11-dev:arm64 libxtst-dev:arm64 libxrandr-dev:arm64 libwayland-dev:arm64 libsystemd-dev:arm64
  libxkbcommon-dev:arm64
  libstdc++6:arm64
)
# Node.js with npm may come from another source than Debian; Debian's own
# packages stand in where there is none.
command -v npm >/dev/null 2>&1 || packages+=(nodejs npm)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  # The :arm64 packages come from the same Debian archive once dpkg knows the
  # architecture; apt fetches its package lists on the update that follows.
  dpkg --print-foreign-architectures | grep -qx arm64 || $sudo dpkg --add-architecture arm64
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The zig compiler of the macOS builds (and of the zig-linux unit tests), from
# npm at the version its lock file pins; npm ls fails where it is missing or
# another version.
zig_dir="$(cd "$(dirname "$0")" && pwd)/zig"
npm ls --prefix "$zig_dir" >/dev/null 2>&1 ||
  npm ci --prefix "$zig_dir" --no-audit --no-fund --loglevel=error
