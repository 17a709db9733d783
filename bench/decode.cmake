# SPDX-License-Identifier: GPL-3.0-or-later
# The decoder against TurboJPEG's bare decode of the simulator's scene and of
# the decoder tests' busy pattern, made with the test support's JPEG kit.
quillon_add_bench(decode
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/JpegDecoderBench.cpp
    LIBS quillon_decode quillon_dvrsim_lib quillon_jpeg_encoder quillon_testsupport
         PkgConfig::TURBOJPEG)
