# SPDX-License-Identifier: GPL-3.0-or-later
# The motion detector's cost per camera against the wall's own scaled decode of the
# same frames: the real scene of tests/data/motion at 704 x 480.
quillon_add_bench(motion
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/MotionBench.cpp
    LIBS quillon_motion PkgConfig::TURBOJPEG)
