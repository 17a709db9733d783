// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/PictureScaler.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
constexpr uint32_t kUntouched = 0x12345678;

// A 3 x 2 picture, stride padded to 12 bytes, every pixel's bytes distinct.
struct SmallPicture
{
    SmallPicture()
    {
        for (size_t i = 0; i < bytes.size(); ++i)
        {
            bytes[i] = static_cast<uint8_t>(0x10 + i);
        }
    }
    // The expected 0xFFRRGGBB of column x, row y counted from the top.
    uint32_t At(int x, int y) const
    {
        const uint8_t* bgr = bytes.data() + (1 - y) * 12 + x * 3;
        return 0xFF000000u | (uint32_t{bgr[2]} << 16) | (uint32_t{bgr[1]} << 8) | bgr[0];
    }
    BottomUpBgr View() const { return {bytes.data(), 3, 2, 12}; }

    std::vector<uint8_t> bytes = std::vector<uint8_t>(24);
};

struct Raster
{
    Raster(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w) * h, kUntouched) {}
    XrgbRaster View() { return {pixels.data(), width, height, static_cast<size_t>(width) * 4}; }
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }

    int width;
    int height;
    std::vector<uint32_t> pixels;
};
} // namespace

TEST(PictureScaler, DoubledPictureIsUprightOpaqueAndStaysInItsPlace)
{
    const SmallPicture picture;
    Raster raster(8, 6);
    ScalePictureNearest(picture.View(), raster.View(), {1, 1, 7, 5}, {0, 0, 8, 6});
    for (int y = 0; y < 6; ++y)
    {
        for (int x = 0; x < 8; ++x)
        {
            const bool inside = x >= 1 && x < 7 && y >= 1 && y < 5;
            EXPECT_EQ(raster.At(x, y), inside ? picture.At((x - 1) / 2, (y - 1) / 2) : kUntouched)
                << "at " << x << "," << y;
        }
    }
}

TEST(PictureScaler, WritesOnlyInsideTheClipAndTheRaster)
{
    const SmallPicture picture;
    Raster whole(6, 4);
    ScalePictureNearest(picture.View(), whole.View(), {0, 0, 6, 4}, {0, 0, 6, 4});
    Raster clipped(6, 4);
    // The target reaches past the raster: nothing may be written outside it.
    ScalePictureNearest(picture.View(), clipped.View(), {0, 0, 6, 8}, {2, 1, 5, 40});
    Raster shifted(6, 4);
    ScalePictureNearest(picture.View(), shifted.View(), {0, 0, 6, 4}, {2, 1, 5, 3});
    for (int y = 0; y < 4; ++y)
    {
        for (int x = 0; x < 6; ++x)
        {
            const bool inside = x >= 2 && x < 5 && y >= 1 && y < 3;
            EXPECT_EQ(shifted.At(x, y), inside ? whole.At(x, y) : kUntouched)
                << "at " << x << "," << y;
            EXPECT_EQ(clipped.At(x, y) != kUntouched, x >= 2 && x < 5 && y >= 1);
        }
    }
}

TEST(PictureScaler, ASourcePartFillsTheTargetByNearestNeighbour)
{
    const SmallPicture picture;
    // The right two columns of the top row, four times enlarged, into the raster's middle.
    Raster raster(10, 6);
    ScalePictureNearest(picture.View(), raster.View(), {1, 1, 9, 5}, {0, 0, 10, 6},
                        PictureSource{1, 0, 2, 1});
    // Half a pixel in, twice enlarged: target centres fall on 0.75, 1.25, 1.75 and 2.25.
    Raster fraction(4, 1);
    ScalePictureNearest(picture.View(), fraction.View(), {0, 0, 4, 1}, {0, 0, 4, 1},
                        PictureSource{0.5, 1, 2, 1});
    for (int y = 0; y < 6; ++y)
    {
        for (int x = 0; x < 10; ++x)
        {
            const bool inside = x >= 1 && x < 9 && y >= 1 && y < 5;
            EXPECT_EQ(raster.At(x, y), inside ? picture.At(1 + (x - 1) / 4, 0) : kUntouched)
                << "at " << x << "," << y;
        }
    }
    for (int x = 0; x < 4; ++x)
    {
        EXPECT_EQ(fraction.At(x, 0), picture.At((x + 1) / 2, 1)) << "at " << x;
    }
}

// Rows of a raster whose stride is a multiple of 16 bytes are placed four pixels
// a shuffle, the others one pixel at a time: both must give the same pixels, at
// every alignment of the target, shrunk (a wall's tile), enlarged and zoomed.
TEST(PictureScaler, PlacingFourPixelsAtOnceGivesThePixelsOfOneAtATime)
{
    struct Case
    {
        int width, height;
        PictureRect target;
        PictureSource source;
    };
    const Case cases[] = {
        {352, 240, {0, 18, 319, 192}, {0, 0, 352, 240}},     // a 4 x 4 tile of 1280 x 720
        {352, 240, {3, 1, 321, 175}, {0, 0, 352, 240}},      // the same, not aligned
        {400, 100, {1, 0, 301, 100}, {0, 0, 400, 100}},      // the widest step grouped
        {301, 50, {2, 0, 502, 90}, {0, 0, 301, 50}},         // enlarged, last column near
        {352, 240, {5, 2, 305, 202}, {33.5, 17.25, 88, 60}}, // a zoom's part
        {704, 480, {1, 0, 320, 174}, {0, 0, 704, 480}},      // too far apart to group
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message()
                     << c.width << "x" << c.height << " into " << c.target.right - c.target.left);
        const uint32_t stride = (static_cast<uint32_t>(c.width) * 3 + 3) & ~3u;
        // Exactly the picture's bytes, so that no read may reach past them.
        std::vector<uint8_t> bytes(static_cast<size_t>(stride) * c.height);
        uint32_t seed = 12345;
        for (uint8_t& b : bytes)
        {
            seed = seed * 1103515245u + 12345u;
            b = static_cast<uint8_t>(seed >> 16);
        }
        const BottomUpBgr picture{bytes.data(), c.width, c.height, stride};
        Raster aligned(512, 210);   // 2048-byte rows
        Raster unaligned(513, 210); // 2052-byte rows
        ScalePictureNearest(picture, aligned.View(), c.target, {0, 0, 512, 210}, c.source);
        ScalePictureNearest(picture, unaligned.View(), c.target, {0, 0, 512, 210}, c.source);
        int differences = 0;
        for (int y = 0; y < 210; ++y)
        {
            for (int x = 0; x < 512; ++x)
            {
                differences += aligned.At(x, y) != unaligned.At(x, y);
            }
        }
        EXPECT_EQ(differences, 0);
        EXPECT_EQ(aligned.At(c.target.left, c.target.top) >> 24, 0xFFu);
    }
}
