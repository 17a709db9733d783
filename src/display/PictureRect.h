// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// Where the picture is painted, in the picture window's client coordinates.
struct PictureRect
{
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// Landscape fills the client area; portrait keeps the picture's aspect ratio
// across the full width, centred (a 704 x 240 field counting twice its height).
// Before the first picture (a width of 0) the whole area.
PictureRect PlacePicture(int32_t clientWidth, int32_t clientHeight, int32_t pictureWidth,
                         int32_t pictureHeight);
