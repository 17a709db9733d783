# SPDX-License-Identifier: GPL-3.0-or-later
# The 4 x 4 wall in the real viewer against TurboJPEG's bare decode of the same
# frames at the tiles' scale, for three frame sizes and two screen scales; Qt runs
# offscreen, so it needs the GUI.
if(NOT QUILLON_GUI)
    return()
endif()
quillon_add_bench(wall SOURCES ${CMAKE_CURRENT_LIST_DIR}/WallBench.cpp
    LIBS quillon_app_qt quillon_testsupport PkgConfig::TURBOJPEG)
target_compile_definitions(bench_wall PRIVATE
    QUILLON_DVRSIM_PATH="$<TARGET_FILE:quillon-dvrsim>")
add_dependencies(bench_wall quillon-dvrsim)
