// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RgbImage.h"

#include <cstdint>
#include <vector>

// Makes JPEGs with libjpeg's compressor: the simulator's frames, and the test
// pictures of the decoder's tests and benchmarks.
class JpegEncoder
{
public:
    struct Options
    {
        // 1 grey, 3 RGB (stored as YCbCr), 4 CMYK.
        int components = 3;
        int quality = 90;
        bool progressive = false;
    };

    // samples: top-down rows of width x components bytes, no padding. Empty if
    // libjpeg refused the picture.
    static std::vector<uint8_t> Encode(const uint8_t* samples, unsigned width, unsigned height,
                                       const Options& options);
    // A baseline JPEG of the picture.
    static std::vector<uint8_t> Encode(const RgbImage& image, int quality);
};
