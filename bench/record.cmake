# SPDX-License-Identifier: GPL-3.0-or-later
# A saved clip against a plain write of its bytes, and sixteen recorders' CPU.
quillon_add_bench(record SOURCES ${CMAKE_CURRENT_LIST_DIR}/RecordBench.cpp
    LIBS quillon_record quillon_history quillon_dvrsim_lib quillon_jpeg_encoder)
