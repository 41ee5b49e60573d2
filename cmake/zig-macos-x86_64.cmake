# macOS 11 and later on Intel, cross-built with zig.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZIG_TARGET x86_64-macos.11.0)
include(${CMAKE_CURRENT_LIST_DIR}/zig-macos.cmake)
