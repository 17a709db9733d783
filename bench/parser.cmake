# SPDX-License-Identifier: GPL-3.0-or-later
quillon_add_bench(packet_parser SOURCES ${CMAKE_CURRENT_LIST_DIR}/PacketParserBench.cpp
    LIBS quillon_protocol quillon_dvrsim_lib quillon_jpeg_encoder)
