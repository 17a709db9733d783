quillon_add_bench(decode
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/JpegDecoderBench.cpp
    LIBS quillon_decode quillon_jpeg_testkit)
