# The decoder against TurboJPEG's bare decode of the simulator's scene and of
# the decoder tests' busy pattern; the test JPEG encoder is compiled in directly,
# so the benchmark builds with the tests switched off too.
quillon_add_bench(decode
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/JpegDecoderBench.cpp
            ${CMAKE_SOURCE_DIR}/tests/decode/TestJpegEncoder.cpp
    LIBS quillon_decode quillon_dvrsim_lib quillon_jpeg_encoder PkgConfig::TURBOJPEG)
target_include_directories(bench_decode PRIVATE ${CMAKE_SOURCE_DIR}/tests/decode)
