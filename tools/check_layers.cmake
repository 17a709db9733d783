# SPDX-License-Identifier: GPL-3.0-or-later
# cmake -DSOURCE_DIR=<repository> -P tools/check_layers.cmake (run by ctest as `layers`)
#
# The folders of src/ from the bottom up. A folder may include its own headers
# and those of folders to its left, never one to its right: a lower layer reaches
# a higher one only through an interface it owns.
# history (every camera's received frames) needs the protocol's frame header and
# nothing above it; record writes what history keeps; motion reads what decode
# makes. All three sit below display, so that the picture display and the
# client can keep their frames in the history and feed the detector. view holds
# what the single view and the wall's tiles share; the wall reaches the
# program's view and menu through view's interfaces.
set(LAYERS res platform directory protocol history record decode motion display net ptz view wall app)

if(NOT SOURCE_DIR)
    message(FATAL_ERROR "usage: cmake -DSOURCE_DIR=<repository> -P check_layers.cmake")
endif()

set(failures "")
set(include_line "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\"")

function(quoted_includes file out)
    file(STRINGS ${file} lines REGEX "${include_line}")
    set(paths "")
    foreach(line IN LISTS lines)
        string(REGEX REPLACE "${include_line}.*" "\\1" path "${line}")
        list(APPEND paths ${path})
    endforeach()
    set(${out} ${paths} PARENT_SCOPE)
endfunction()

# src/: every include goes down the order.
file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}/src ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.cpp)
foreach(file IN LISTS sources)
    string(REGEX MATCH "^[^/]+" folder ${file})
    list(FIND LAYERS ${folder} own)
    if(own EQUAL -1)
        list(APPEND failures "src/${file}: folder ${folder} has no place in the layer order")
        continue()
    endif()
    quoted_includes(${SOURCE_DIR}/src/${file} paths)
    foreach(path IN LISTS paths)
        if(NOT path MATCHES "^([^/]+)/")
            continue()
        endif()
        set(target ${CMAKE_MATCH_1})
        list(FIND LAYERS ${target} level)
        if(level EQUAL -1)
            list(APPEND failures "src/${file}: includes \"${path}\", outside the layers")
        elseif(level GREATER own)
            list(APPEND failures "src/${file}: ${folder} includes \"${path}\" from ${target}, a higher layer")
        endif()
    endforeach()
endforeach()

# Tests, fuzzers and benchmarks share helpers through tests/support only.
file(GLOB_RECURSE test_files RELATIVE ${SOURCE_DIR}
    ${SOURCE_DIR}/tests/*.h ${SOURCE_DIR}/tests/*.cpp
    ${SOURCE_DIR}/fuzz/*.h ${SOURCE_DIR}/fuzz/*.cpp
    ${SOURCE_DIR}/bench/*.h ${SOURCE_DIR}/bench/*.cpp)
foreach(file IN LISTS test_files)
    quoted_includes(${SOURCE_DIR}/${file} paths)
    foreach(path IN LISTS paths)
        if(path MATCHES "^([^/]+)/" AND NOT CMAKE_MATCH_1 STREQUAL "support"
           AND EXISTS ${SOURCE_DIR}/tests/${path})
            list(APPEND failures "${file}: includes \"${path}\" from another test folder")
        endif()
    endforeach()
endforeach()

list(JOIN LAYERS " < " order)
if(failures)
    list(JOIN failures "\n" text)
    message(FATAL_ERROR "Layer order ${order}:\n${text}")
endif()
message(STATUS "Every include goes down the layers: ${order}")
