# What both macOS slices share. No Apple SDK: zig brings the C library's
# headers and libSystem's stubs, and the backend opens the frameworks at run
# time, so nothing here names a sysroot or a framework.
include(${CMAKE_CURRENT_LIST_DIR}/zig.cmake)
set(CMAKE_SYSTEM_NAME Darwin)
# GoogleTest's build asks for it, though nothing here is installed.
set(CMAKE_INSTALL_NAME_TOOL llvm-install-name-tool-14)

# Nothing is taken from the build machine's libraries; the header-only
# libraries are copied out of /usr/include by the top CMakeLists.txt.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
