# The view's paint against a bare drawImage, and the CPU of watching a stream in
# the real viewer offscreen.
quillon_add_bench(paint SOURCES ${CMAKE_CURRENT_LIST_DIR}/PaintBench.cpp
    LIBS quillon_app_qt quillon_dvrsim_lib quillon_jpeg_encoder)
