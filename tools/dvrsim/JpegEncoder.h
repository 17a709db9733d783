#pragma once

#include "RgbImage.h"

#include <cstdint>
#include <vector>

class JpegEncoder
{
public:
    // A baseline JPEG of the picture; empty if libjpeg refused it.
    static std::vector<uint8_t> Encode(const RgbImage& image, int quality);
};
