#!/bin/sh
# Runs an ARM64 program of this build on an x86-64 machine: Debian's
# user-mode emulator, called directly (no binfmt registration), with the root
# under which multiarch keeps the :arm64 loader and libraries. One word for
# CMAKE_CROSSCOMPILING_EMULATOR, as CMake 3.25's test discovery runs an
# emulator given with arguments as one word.
exec qemu-aarch64-static -L / "$@"
