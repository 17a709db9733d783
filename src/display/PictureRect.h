// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// Where the picture is painted, in the picture window's client coordinates.
struct PictureRect
{
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};
