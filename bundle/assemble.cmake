# Lays out the installable plugin folder and, on request, the installer package.
#
#   cmake -DOUT_DIR=<dir>
#         [-DSOURCE_DIR=<repo>]                 default: the folder above this script
#         [-DWINDOWS_EXE=<deckmouse.exe>]        empty or absent: no bin/deckmouse.exe
#         [-DLINUX_EXE=<deckmouse>]              empty or absent: no bin/deckmouse
#         [-DLINUX_AARCH64_EXE=<deckmouse>]      the ARM64 build; empty or absent: no bin/deckmouse-aarch64
#         [-DMACOS_EXE=<deckmouse-macos>]        empty or absent: no bin/deckmouse-macos
#         [-DPACKAGE=<file.streamDeckPlugin>]    also write the zip package
#         -P bundle/assemble.cmake
#
# Result: <OUT_DIR>/org.deckmouse.sdPlugin/ holding manifest.json, manifest.linux.json,
# the eight language files, bin/, pi/, icons/ and images/. The folder is rebuilt from
# scratch each time. Every package entry sits under org.deckmouse.sdPlugin/, as the
# host's installer expects. Needs rsvg-convert (librsvg2-bin) for the images.

cmake_minimum_required(VERSION 3.21) # file(COPY_FILE)

set(PLUGIN_FOLDER "org.deckmouse.sdPlugin")
set(LANGUAGES en de es fr ja ko zh_CN zh_TW)

if(NOT DEFINED SOURCE_DIR OR SOURCE_DIR STREQUAL "")
  get_filename_component(SOURCE_DIR "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
endif()
if(NOT DEFINED OUT_DIR OR OUT_DIR STREQUAL "")
  message(FATAL_ERROR "assemble: OUT_DIR is required")
endif()
get_filename_component(OUT_DIR "${OUT_DIR}" ABSOLUTE)
set(bundle_src "${SOURCE_DIR}/bundle")
set(plugin "${OUT_DIR}/${PLUGIN_FOLDER}")

file(REMOVE_RECURSE "${plugin}")
file(MAKE_DIRECTORY "${plugin}/bin" "${plugin}/pi")

file(COPY "${bundle_src}/manifest.json" "${bundle_src}/manifest.linux.json"
     DESTINATION "${plugin}")
foreach(lang IN LISTS LANGUAGES)
  file(COPY "${bundle_src}/lang/${lang}.json" DESTINATION "${plugin}")
endforeach()
file(COPY "${bundle_src}/pi/" DESTINATION "${plugin}/pi")

# Executables keep their mode bits; the Linux and macOS hosts need theirs
# executable, and the zip keeps the bits.
function(place_exe from name)
  if(from STREQUAL "")
    return()
  endif()
  if(NOT EXISTS "${from}")
    message(FATAL_ERROR "assemble: executable not found: ${from}")
  endif()
  file(COPY_FILE "${from}" "${plugin}/bin/${name}")
  file(CHMOD "${plugin}/bin/${name}" PERMISSIONS
       OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endfunction()
if(DEFINED WINDOWS_EXE)
  place_exe("${WINDOWS_EXE}" deckmouse.exe)
endif()
if(DEFINED LINUX_EXE)
  place_exe("${LINUX_EXE}" deckmouse)
endif()
if(DEFINED LINUX_AARCH64_EXE)
  place_exe("${LINUX_AARCH64_EXE}" deckmouse-aarch64)
endif()
if(DEFINED MACOS_EXE)
  place_exe("${MACOS_EXE}" deckmouse-macos)
endif()

execute_process(
  COMMAND "${CMAKE_COMMAND}" -DSOURCE_DIR=${SOURCE_DIR} -DOUT_DIR=${plugin}
          -P "${bundle_src}/make-icons.cmake"
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "assemble: icon generation failed")
endif()

if(DEFINED PACKAGE AND NOT PACKAGE STREQUAL "")
  get_filename_component(PACKAGE "${PACKAGE}" ABSOLUTE)
  get_filename_component(package_dir "${PACKAGE}" DIRECTORY)
  file(MAKE_DIRECTORY "${package_dir}")
  file(REMOVE "${PACKAGE}")
  # Run from OUT_DIR and name only the folder, so entries start with it.
  execute_process(
    COMMAND "${CMAKE_COMMAND}" -E tar cf "${PACKAGE}" --format=zip "${PLUGIN_FOLDER}"
    WORKING_DIRECTORY "${OUT_DIR}"
    RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "assemble: writing ${PACKAGE} failed")
  endif()
  message(STATUS "assemble: package ${PACKAGE}")
endif()

message(STATUS "assemble: plugin folder ${plugin}")
