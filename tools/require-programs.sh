#!/usr/bin/env bash
# Checks that every program named is on the PATH (a name with a slash: that
# file is executable); if any is not, prints one line naming each with the
# Debian package that provides it and exits 2.
#
#   tools/require-programs.sh PROGRAM...
set -uo pipefail

declare -A package_of=(
  [cmake]=cmake [ctest]=cmake [make]=make [g++]=g++ [clang++]=clang
  [x86_64-w64-mingw32-gcc-posix]=gcc-mingw-w64-x86-64-posix
  [x86_64-w64-mingw32-g++-posix]=g++-mingw-w64-x86-64-posix
  [x86_64-w64-mingw32-windres]=binutils-mingw-w64-x86-64
  [wine]=wine [wineboot]=wine [wineserver]=wine
  [llvm-lipo-14]=llvm-14 [llvm-strip-14]=llvm-14 [llvm-ar-14]=llvm-14 [llvm-ranlib-14]=llvm-14
  [llvm-install-name-tool-14]=llvm-14
  [node]=nodejs [npm]=npm
  [Xvfb]=xvfb [xvfb-run]=xvfb [xauth]=xauth [xdotool]=xdotool [xinput]=xinput
  [rsvg-convert]=librsvg2-bin [chromium]=chromium
  [sway]=sway [wayland-scanner]=libwayland-bin [pkg-config]=pkg-config [useradd]=passwd
  [dbus-daemon]=dbus-daemon [gdbus]=libglib2.0-bin [xdg-desktop-portal]=xdg-desktop-portal
  [python3]=python3
  [aarch64-linux-gnu-gcc]=gcc-aarch64-linux-gnu [aarch64-linux-gnu-g++]=g++-aarch64-linux-gnu
  [qemu-aarch64-static]=qemu-user-static
)

missing=()
for program in "$@"; do
  package="${package_of[${program##*/}]:-}"
  if [ -z "$package" ]; then
    echo "$0: no Debian package known for $program" >&2
    exit 2
  fi
  command -v "$program" >/dev/null 2>&1 || missing+=("$program (Debian package $package)")
done
if ((${#missing[@]})); then
  line=$(printf ', %s' "${missing[@]}")
  echo "missing ${line:2}" >&2
  exit 2
fi
