# Renders the plugin's images from the SVG drawings in bundle/icons-src.
#
#   cmake -DOUT_DIR=<plugin folder> [-DSOURCE_DIR=<repo>] [-DRSVG=<rsvg-convert>]
#         -P bundle/make-icons.cmake
#
# Writes into OUT_DIR:
#   icons/<name>_<id><word>.png   144x144, every icon of icons.json in every palette colour
#   icons/<name>_held_<id><word>.png  the same icon while a toggle key holds its button
#                                 down: drawn from <name>_held.svg when there is one,
#                                 otherwise the icon with colour and dark ground swapped
#   images/<image>.png, @2x.png   plugin, category, action list and key state images
#   pi/icons-data.js              icons.json as a script, so the settings page offers
#                                 exactly the files rendered here
# Needs rsvg-convert (Debian package librsvg2-bin).

cmake_minimum_required(VERSION 3.19) # string(JSON)

if(NOT DEFINED SOURCE_DIR OR SOURCE_DIR STREQUAL "")
  get_filename_component(SOURCE_DIR "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
endif()
if(NOT DEFINED OUT_DIR OR OUT_DIR STREQUAL "")
  message(FATAL_ERROR "make-icons: OUT_DIR is required")
endif()
if(NOT DEFINED RSVG OR RSVG STREQUAL "")
  find_program(RSVG rsvg-convert)
endif()
if(NOT RSVG)
  message(FATAL_ERROR "make-icons: rsvg-convert not found (apt-get install librsvg2-bin)")
endif()

set(src "${SOURCE_DIR}/bundle/icons-src")
set(work "${OUT_DIR}/.icons-work")
file(MAKE_DIRECTORY "${OUT_DIR}/icons" "${OUT_DIR}/images" "${OUT_DIR}/pi" "${work}")

function(render svg png width height)
  execute_process(
    COMMAND "${RSVG}" --width=${width} --height=${height} --keep-aspect-ratio
            --output "${png}" "${svg}"
    RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "make-icons: rsvg-convert failed on ${svg}: ${err}")
  endif()
endfunction()

# Renders the drawings named in `bases` (work/<base>.svg -> icons/<base>.png).
# execute_process starts all its COMMANDs at once (as a pipeline, whose pipes
# rsvg-convert leaves unused), so a batch keeps both cores busy.
function(render_icons bases)
  set(commands "")
  foreach(base IN LISTS bases)
    list(APPEND commands COMMAND "${RSVG}" --width=144 --height=144 --keep-aspect-ratio
                         --output "${OUT_DIR}/icons/${base}.png" "${work}/${base}.svg")
  endforeach()
  execute_process(${commands} RESULTS_VARIABLE results ERROR_VARIABLE err)
  foreach(rc IN LISTS results)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "make-icons: rsvg-convert failed on one of ${bases}: ${err}")
    endif()
  endforeach()
endfunction()

# Drawings paint with @COLOR@ on a #111111 ground; the held look without a
# drawing of its own swaps the two.
set(dark "#111111")
function(held_template name out)
  if(EXISTS "${src}/${name}_held.svg")
    file(READ "${src}/${name}_held.svg" svg)
  else()
    file(READ "${src}/${name}.svg" svg)
    string(REPLACE "@COLOR@" "@DARK@" svg "${svg}")
    string(REPLACE "${dark}" "@COLOR@" svg "${svg}")
  endif()
  file(WRITE "${out}" "${svg}")
endfunction()

file(READ "${src}/icons.json" data)
string(JSON n_colours LENGTH "${data}" palette)
string(JSON n_icons LENGTH "${data}" icons)
math(EXPR last_colour "${n_colours} - 1")
math(EXPR last_icon "${n_icons} - 1")

# Read by configure_file as the @DARK@ placeholder of derived held drawings.
set(DARK "${dark}")
set(count 0)
foreach(i RANGE ${last_icon})
  string(JSON name GET "${data}" icons ${i} name)
  if(NOT EXISTS "${src}/${name}.svg")
    message(FATAL_ERROR "make-icons: no drawing ${src}/${name}.svg for icon '${name}'")
  endif()
  if(name MATCHES "_held$")
    message(FATAL_ERROR "make-icons: icon name '${name}' would clash with a held variant")
  endif()
  held_template("${name}" "${work}/${name}_held.template.svg")
  set(bases "")
  foreach(c RANGE ${last_colour})
    string(JSON id GET "${data}" palette ${c} id)
    string(JSON word GET "${data}" palette ${c} word)
    # Read by configure_file as the @COLOR@ placeholder of the drawing.
    string(JSON COLOR GET "${data}" palette ${c} hex)
    configure_file("${src}/${name}.svg" "${work}/${name}_${id}${word}.svg" @ONLY)
    configure_file("${work}/${name}_held.template.svg" "${work}/${name}_held_${id}${word}.svg" @ONLY)
    list(APPEND bases "${name}_${id}${word}" "${name}_held_${id}${word}")
  endforeach()
  render_icons("${bases}")
  list(LENGTH bases n)
  math(EXPR count "${count} + ${n}")
endforeach()

# name, then 1x width and height; the host looks for a @2x file at twice the size
# beside each image. The dial's: its action-list icon, its icon on the dial and
# the background of its touch strip.
set(images action:20:20 category:28:28 key:72:72 plugin:256:256 dial-action:20:20 dial:72:72 dial-strip:200:100)
foreach(entry IN LISTS images)
  string(REPLACE ":" ";" entry "${entry}")
  list(GET entry 0 image)
  list(GET entry 1 width)
  list(GET entry 2 height)
  math(EXPR width2 "${width} * 2")
  math(EXPR height2 "${height} * 2")
  render("${src}/images/${image}.svg" "${OUT_DIR}/images/${image}.png" ${width} ${height})
  render("${src}/images/${image}.svg" "${OUT_DIR}/images/${image}@2x.png" ${width2} ${height2})
endforeach()

file(WRITE "${OUT_DIR}/pi/icons-data.js"
  "// Generated from bundle/icons-src/icons.json by make-icons.cmake.\n"
  "window.DECKMOUSE_ICONS = ${data};\n")

file(REMOVE_RECURSE "${work}")
list(LENGTH images n_images)
message(STATUS "make-icons: ${count} key icons and ${n_images} images in ${OUT_DIR}")
