// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A picture as djpeg writes it: 24-bit rows, bottom-up, blue-green-red.
struct ReferencePicture
{
    int32_t width = 0;
    int32_t height = 0;
    size_t stride = 0;
    std::vector<uint8_t> bits;
};

// Runs `djpeg -bmp` on the file, with `-scale 1/denominator` above 1; false when
// djpeg fails or writes no 24-bit BMP.
bool DecodeWithDjpeg(const std::string& path, ReferencePicture& picture, int denominator = 1);
// What djpeg reports on its error stream for the file, without its "djpeg: " prefix.
std::string DjpegErrorMessage(const std::string& path);
// Runs `djpeg -pnm` on a greyscale file: top-down samples, one byte per pixel.
bool DecodeGreyWithDjpeg(const std::string& path, ReferencePicture& picture);

// The straightforward de-interlacing, row by row in memory order.
void ReferenceDeinterlace(ReferencePicture& picture);
