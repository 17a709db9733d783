# SPDX-License-Identifier: GPL-3.0-or-later
quillon_add_bench(dvrsim SOURCES ${CMAKE_CURRENT_LIST_DIR}/DvrSimBench.cpp LIBS quillon_dvrsim_lib)
