// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "display/PictureRect.h"

#include <cstddef>
#include <cstdint>

// A committed picture as the decoder leaves it: blue-green-red, row 0 at the bottom.
struct BottomUpBgr
{
    const uint8_t* bits;
    int32_t width;
    int32_t height;
    uint32_t stride;
};

// A 32-bit 0xAARRGGBB raster, row 0 at the top: what a window's backing store holds.
struct XrgbRaster
{
    uint32_t* pixels;
    int32_t width;
    int32_t height;
    size_t stride; // bytes
};

// The part of a picture that is shown, in picture pixels counted from its top-left
// corner; fractions allowed, so a zoom keeps the point under the pointer.
struct PictureSource
{
    double left = 0, top = 0, width = 0, height = 0;
};

// A target that may begin and end between pixels, as a window's rectangle does
// on a screen of fractional scale, in raster pixels.
struct ExactRect
{
    double left = 0, top = 0, right = 0, bottom = 0;
};

// The raster pixels a target between pixels covers: those whose centres fall inside.
PictureRect CoveredPixels(const ExactRect& target);

// Scales the picture into target (raster coordinates), upright and opaque,
// by nearest neighbour, writing only the pixels inside clip. Samples are
// picked at pixel centres in 16.16 fixed point, as raster painters commonly do,
// so a bare painter drawing the converted picture gives the same pixels.
void ScalePictureNearest(const BottomUpBgr& picture, const XrgbRaster& raster,
                         const PictureRect& target, const PictureRect& clip);
// The same for the part source of the picture (a zoom): source fills target.
void ScalePictureNearest(const BottomUpBgr& picture, const XrgbRaster& raster,
                         const PictureRect& target, const PictureRect& clip,
                         const PictureSource& source);
// The same for a target between pixels: the pixels whose centres it covers are
// written, rounded as a raster painter rounds a rectangle's edges.
void ScalePictureNearestExact(const BottomUpBgr& picture, const XrgbRaster& raster,
                              const ExactRect& target, const PictureRect& clip,
                              const PictureSource& source);
