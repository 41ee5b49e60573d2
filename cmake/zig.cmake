# What every zig cross-build shares: zig's clang as the C and C++ compiler
# (tools/zig, installed by npm from its lock file) for the target that the
# including file names in ZIG_TARGET, and LLVM 14's archiver.
get_filename_component(ZIG_TOOLS_DIR "${CMAKE_CURRENT_LIST_DIR}/../tools/zig" ABSOLUTE)
set(CMAKE_C_COMPILER "${ZIG_TOOLS_DIR}/zig-cc")
set(CMAKE_CXX_COMPILER "${ZIG_TOOLS_DIR}/zig-c++")
set(CMAKE_C_COMPILER_TARGET ${ZIG_TARGET})
set(CMAKE_CXX_COMPILER_TARGET ${ZIG_TARGET})
set(CMAKE_AR llvm-ar-14 CACHE FILEPATH "")
set(CMAKE_RANLIB llvm-ranlib-14 CACHE FILEPATH "")

