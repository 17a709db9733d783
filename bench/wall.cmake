# SPDX-License-Identifier: GPL-3.0-or-later
# The 4 x 4 wall in the real viewer against TurboJPEG's bare decode of the same
# frames, full size and at the tiles' scale; Qt runs offscreen, so it needs the GUI.
if(NOT QUILLON_GUI)
    return()
endif()
quillon_add_bench(wall SOURCES ${CMAKE_CURRENT_LIST_DIR}/WallBench.cpp
    LIBS quillon_app_qt quillon_dvrsim_lib quillon_jpeg_encoder PkgConfig::TURBOJPEG)
target_compile_definitions(bench_wall PRIVATE
    QUILLON_DVRSIM_PATH="$<TARGET_FILE:quillon-dvrsim>")
add_dependencies(bench_wall quillon-dvrsim)
