// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RgbImage.h"

#include <string_view>

// A 5 x 7 pixel font of digits, capital letters and a few signs, so that the test
// picture needs no font files. Other characters draw as blanks.
class BitmapFont
{
public:
    static constexpr int kGlyphWidth = 5;
    static constexpr int kGlyphHeight = 7;
    static constexpr int kAdvance = 6;

    static bool HasGlyph(char c);
    // Draws text with its top left corner at x, y, each font pixel scale x scale.
    static void Draw(RgbImage& image, int x, int y, std::string_view text, int scale, Rgb colour);
    static int TextWidth(std::string_view text, int scale)
    {
        return static_cast<int>(text.size()) * kAdvance * scale;
    }
};
