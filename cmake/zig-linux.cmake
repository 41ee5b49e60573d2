# Linux x86_64 built with zig: the compiler and the libc++ of the macOS
# slices, on a system where their unit tests can run. A cross-build in
# CMake's terms, so that GoogleTest is built from source with that libc++
# and the header-only libraries are copied out of /usr/include. Debian's C
# libraries (X11, Wayland, systemd) link as they are; their headers are
# searched after zig's own C library headers, as a native compiler would.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_LIBRARY_ARCHITECTURE x86_64-linux-gnu)
# Zig builds glibc stubs up to 2.34; Debian 12 runs them.
set(ZIG_TARGET x86_64-linux-gnu.2.34)
include(${CMAKE_CURRENT_LIST_DIR}/zig.cmake)
set(CMAKE_C_FLAGS_INIT "-idirafter /usr/include")
set(CMAKE_CXX_FLAGS_INIT "-idirafter /usr/include")
