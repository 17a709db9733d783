// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

struct Rgb
{
    uint8_t r, g, b;
};

// Top-down, 3 bytes per pixel, rows without padding: what the JPEG encoder takes.
struct RgbImage
{
    unsigned width = 0;
    unsigned height = 0;
    std::vector<uint8_t> pixels;

    RgbImage(unsigned w, unsigned h) : width(w), height(h), pixels(size_t{w} * h * 3) {}

    void Set(int x, int y, Rgb c)
    {
        if (x < 0 || y < 0 || x >= static_cast<int>(width) || y >= static_cast<int>(height))
        {
            return;
        }
        uint8_t* p = &pixels[(static_cast<size_t>(y) * width + static_cast<size_t>(x)) * 3];
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
    }

    // Clipped to the picture.
    void FillRect(int x, int y, int w, int h, Rgb c)
    {
        for (int row = std::max(0, y); row < std::min<int>(y + h, height); ++row)
        {
            for (int col = std::max(0, x); col < std::min<int>(x + w, width); ++col)
            {
                Set(col, row, c);
            }
        }
    }
};
