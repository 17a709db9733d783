# The decoder against TurboJPEG's bare decode of the simulator's own frames.
quillon_add_bench(decode
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/JpegDecoderBench.cpp
    LIBS quillon_decode quillon_dvrsim_lib quillon_jpeg_encoder PkgConfig::TURBOJPEG)
