#include "display/PictureScaler.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

namespace
{
// The 16.16 source position of the first target pixel's centre, and the step.
struct Mapping
{
    int64_t first;
    int64_t step;
};

Mapping MapAxis(int32_t firstTarget, int32_t targetStart, int32_t targetLength,
                double sourceStart, double sourceLength)
{
    const double scale = sourceLength / targetLength;
    const auto step = static_cast<int64_t>(65536 * scale);
    const auto first = static_cast<int64_t>(std::floor(sourceStart * 65536)) +
                       static_cast<int64_t>(
                           std::ceil((firstTarget + 0.5 - targetStart) * scale * 65536)) -
                       1;
    return {first, step};
}

uint32_t Opaque(const uint8_t* bgr)
{
    return 0xFF000000u | (uint32_t{bgr[2]} << 16) | (uint32_t{bgr[1]} << 8) | bgr[0];
}

// Blue, green, red and the next byte in one load; the next byte becomes the opaque alpha.
uint32_t OpaqueFromFour(const uint8_t* bgr)
{
    uint32_t pixel;
    std::memcpy(&pixel, bgr, sizeof pixel);
    if constexpr (std::endian::native == std::endian::big)
    {
        pixel = __builtin_bswap32(pixel);
    }
    return pixel | 0xFF000000u;
}
} // namespace

void ScalePictureNearest(const BottomUpBgr& picture, const XrgbRaster& raster,
                         const PictureRect& target, const PictureRect& clip)
{
    ScalePictureNearest(picture, raster, target, clip,
                        PictureSource{0, 0, static_cast<double>(picture.width),
                                      static_cast<double>(picture.height)});
}

void ScalePictureNearest(const BottomUpBgr& picture, const XrgbRaster& raster,
                         const PictureRect& target, const PictureRect& clip,
                         const PictureSource& source)
{
    const int32_t targetWidth = target.right - target.left;
    const int32_t targetHeight = target.bottom - target.top;
    if (picture.bits == nullptr || picture.width <= 0 || picture.height <= 0 || targetWidth <= 0 ||
        targetHeight <= 0 || !(source.width > 0) || !(source.height > 0))
    {
        return;
    }
    const int32_t left = std::max({target.left, clip.left, 0});
    const int32_t top = std::max({target.top, clip.top, 0});
    const int32_t right = std::min({target.right, clip.right, raster.width});
    const int32_t bottom = std::min({target.bottom, clip.bottom, raster.height});
    if (left >= right || top >= bottom)
    {
        return;
    }
    // Byte offsets of each column's source pixel, worked out once per paint.
    thread_local std::vector<uint32_t> columns;
    columns.resize(static_cast<size_t>(right - left));
    const Mapping across = MapAxis(left, target.left, targetWidth, source.left, source.width);
    int64_t x = across.first;
    for (uint32_t& column : columns)
    {
        column = static_cast<uint32_t>(std::clamp<int64_t>(x >> 16, 0, picture.width - 1) * 3);
        x += across.step;
    }
    // Only the picture's last column may not be read four bytes at a time.
    const uint32_t lastColumn = static_cast<uint32_t>(picture.width - 1) * 3;
    const size_t wide = static_cast<size_t>(
        std::lower_bound(columns.begin(), columns.end(), lastColumn) - columns.begin());
    const Mapping down = MapAxis(top, target.top, targetHeight, source.top, source.height);
    int64_t y = down.first;
    const uint32_t* previousOut = nullptr;
    int32_t previousSource = -1;
    for (int32_t row = top; row < bottom; ++row, y += down.step)
    {
        const auto source =
            static_cast<int32_t>(std::clamp<int64_t>(y >> 16, 0, picture.height - 1));
        uint32_t* out = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(raster.pixels) +
                                                    static_cast<size_t>(row) * raster.stride) +
                        left;
        if (source == previousSource)
        {
            // Enlarged: the row above came from the same picture row.
            std::copy_n(previousOut, columns.size(), out);
            continue;
        }
        const uint8_t* in =
            picture.bits + static_cast<size_t>(picture.height - 1 - source) * picture.stride;
        size_t i = 0;
        for (; i < wide; ++i)
        {
            out[i] = OpaqueFromFour(in + columns[i]);
        }
        for (; i < columns.size(); ++i)
        {
            out[i] = Opaque(in + columns[i]);
        }
        previousOut = out;
        previousSource = source;
    }
}
