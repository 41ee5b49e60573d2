# macOS 11 and later on Apple silicon, cross-built with zig. The linker signs
# the executable ad hoc, as Apple silicon requires.
set(CMAKE_SYSTEM_PROCESSOR arm64)
set(ZIG_TARGET aarch64-macos.11.0)
include(${CMAKE_CURRENT_LIST_DIR}/zig-macos.cmake)
