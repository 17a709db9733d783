# SPDX-License-Identifier: GPL-3.0-or-later
quillon_add_bench(client SOURCES ${CMAKE_CURRENT_LIST_DIR}/ClientBench.cpp
    LIBS quillon_client quillon_dvrsim_lib quillon_jpeg_encoder PkgConfig::TURBOJPEG)
