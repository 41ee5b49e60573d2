# Cross-build for Linux on ARM64 with Debian's cross toolchain
# (crossbuild-essential-arm64) and the :arm64 development packages that
# Debian's multiarch installs beside the amd64 ones, under
# /usr/lib/aarch64-linux-gnu. The tests run under qemu-aarch64-static,
# called directly with that library root, so no binfmt registration is needed.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# Multiarch keeps both architectures under one root; the compiler's library
# architecture (aarch64-linux-gnu) picks the ARM64 libraries in it.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# Debian has no cross pkg-config wrapper for arm64 in bookworm's pkg-config:
# point the build machine's at the ARM64 .pc files (and the shared ones).
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig")

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/qemu-aarch64.sh)
