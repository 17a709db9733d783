# SPDX-License-Identifier: GPL-3.0-or-later
# The view's paint against a bare drawImage, and the CPU of watching a stream in
# the real viewer; both run Qt offscreen, so they need the GUI.
if(NOT QUILLON_GUI)
    return()
endif()
quillon_add_bench(paint SOURCES ${CMAKE_CURRENT_LIST_DIR}/PaintBench.cpp
    LIBS quillon_app_qt quillon_dvrsim_lib quillon_jpeg_encoder)
quillon_add_bench(viewer_cpu SOURCES ${CMAKE_CURRENT_LIST_DIR}/ViewerCpuBench.cpp
    LIBS quillon_app_qt)
target_compile_definitions(bench_viewer_cpu PRIVATE
    QUILLON_DVRSIM_PATH="$<TARGET_FILE:quillon-dvrsim>")
add_dependencies(bench_viewer_cpu quillon-dvrsim)
