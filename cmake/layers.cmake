# Checks that every unit under ROOT/src includes only its own layer and the layers below it
# (the table of ARCHITECTURE.md). cmake -DROOT=<tree> -P layers.cmake; fails naming each
# include that points upward.

cmake_minimum_required(VERSION 3.25)

if(NOT ROOT)
    message(FATAL_ERROR "layers.cmake: ROOT not set")
endif()

# Folders and their layers, the more specific first.
set(folders src/platform/core src/platform/gdi src/platform/midi src/platform/audio
            src/platform/window src/platform/menus src/platform/forms src/devices/ui src/song
            src/devices src/gui src/app src/editors src/main.cpp)
set(layers core gdi midi audio window menus forms windows engine engine toolkit windows windows
           program)

# What each layer may include besides itself.
set(below_core "")
set(below_gdi core)
set(below_midi core)
set(below_audio core)
set(below_window core gdi)
set(below_menus core gdi window)
set(below_forms core gdi window menus)
set(below_engine core midi audio gdi)
set(below_toolkit core midi audio gdi window menus forms engine)
set(below_windows core midi audio gdi window menus forms engine toolkit)
set(below_program core midi audio gdi window menus forms engine toolkit windows)

# The layer of a path relative to ROOT, or "" outside the layers.
function(layer_of path out)
    set(layer "")
    foreach(f l IN ZIP_LISTS folders layers)
        if(path STREQUAL f OR path MATCHES "^${f}/")
            set(layer ${l})
            break()
        endif()
    endforeach()
    set(${out} "${layer}" PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE units RELATIVE ${ROOT} ${ROOT}/src/*.h ${ROOT}/src/*.cpp)
list(LENGTH units count)
if(count EQUAL 0)
    message(FATAL_ERROR "layers.cmake: no sources under ${ROOT}/src")
endif()

set(faults 0)
foreach(unit ${units})
    layer_of(${unit} from)
    if(NOT from)
        continue()
    endif()
    get_filename_component(dir ${unit} DIRECTORY)
    file(STRINGS ${ROOT}/${unit} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line ${lines})
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" inc "${line}")
        # A quoted include is found beside the unit first, then under src/.
        if(inc MATCHES "^\\.\\.?/" OR EXISTS ${ROOT}/${dir}/${inc})
            cmake_path(SET target NORMALIZE "${dir}/${inc}")
        else()
            set(target "src/${inc}")
        endif()
        layer_of(${target} to)
        if(NOT to OR to STREQUAL from OR to IN_LIST below_${from})
            continue()
        endif()
        message("${unit} includes ${inc}: the ${from} layer may not use the ${to} layer")
        math(EXPR faults "${faults} + 1")
    endforeach()
endforeach()

if(faults GREATER 0)
    message(FATAL_ERROR "${faults} include(s) point from a lower layer to a higher one")
endif()
message("${count} units include only their own layer and those below it")
