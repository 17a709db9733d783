// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The fields of a device-independent bitmap's information header, in their
// classic order and widths; a decoded picture carries one for its painter.
struct BitmapInfoHeader
{
    uint32_t biSize = 0;
    int32_t biWidth = 0;
    int32_t biHeight = 0;
    uint16_t biPlanes = 0;
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};
