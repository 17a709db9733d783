# SPDX-License-Identifier: GPL-3.0-or-later
# The history on and off in the real viewer, single view and 4 x 4 wall, and
# the time from a seek to the frame painted; Qt runs offscreen, so it needs the GUI.
if(NOT QUILLON_GUI)
    return()
endif()
quillon_add_bench(history SOURCES ${CMAKE_CURRENT_LIST_DIR}/HistoryBench.cpp
    LIBS quillon_app_qt)
target_compile_definitions(bench_history PRIVATE
    QUILLON_DVRSIM_PATH="$<TARGET_FILE:quillon-dvrsim>")
add_dependencies(bench_history quillon-dvrsim)
