// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/PictureScaler.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace
{
// The 16.16 source position of the first target pixel's centre, and the step.
struct Mapping
{
    int64_t first;
    int64_t step;
};

Mapping MapAxis(int32_t firstTarget, double targetStart, double targetLength, double sourceStart,
                double sourceLength)
{
    const double scale = sourceLength / targetLength;
    const auto step = static_cast<int64_t>(65536 * scale);
    const auto first =
        static_cast<int64_t>(std::floor(sourceStart * 65536)) +
        static_cast<int64_t>(std::ceil((firstTarget + 0.5 - targetStart) * scale * 65536)) - 1;
    return {first, step};
}

// A raster painter covers the pixels whose centres fall inside: edges round half up.
int32_t CoveredEdge(double x)
{
    return static_cast<int32_t>(std::floor(x + 0.5));
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

#if defined(__x86_64__)
// Four neighbouring target pixels whose source pixels lie within 16 bytes of
// the first: one load and one byte shuffle place all four.
struct ColumnGroup
{
    uint32_t first; // byte offset of the first pixel's source in its row
    uint8_t shuffle[16];
};

constexpr size_t kGroupPixels = 4;
constexpr uint8_t kZeroByte = 0x80;

// Groups for the columns from start while they fit; the column after the last.
// rowBytes bounds the 16-byte loads to the picture's own row.
size_t MakeGroups(const std::vector<uint32_t>& columns, size_t start, size_t rowBytes,
                  std::vector<ColumnGroup>& groups)
{
    groups.clear();
    size_t i = start;
    for (; i + kGroupPixels <= columns.size(); i += kGroupPixels)
    {
        ColumnGroup group{columns[i], {}};
        if (group.first + sizeof group.shuffle > rowBytes ||
            columns[i + kGroupPixels - 1] - group.first + 3 > sizeof group.shuffle)
        {
            break;
        }
        for (size_t k = 0; k < kGroupPixels; ++k)
        {
            const auto at = static_cast<uint8_t>(columns[i + k] - group.first);
            group.shuffle[k * 4] = at;
            group.shuffle[k * 4 + 1] = static_cast<uint8_t>(at + 1);
            group.shuffle[k * 4 + 2] = static_cast<uint8_t>(at + 2);
            group.shuffle[k * 4 + 3] = kZeroByte;
        }
        groups.push_back(group);
    }
    return i;
}

// out is 16-byte aligned. The stores stay in the cache: a window's raster of up to
// a few million pixels fits in the last level, where the screen's copy finds it,
// and stores past the cache were measured to cost twice as much here.
__attribute__((target("ssse3"))) void PlaceGroupsSsse3(const uint8_t* in, uint32_t* out,
                                                       const ColumnGroup* groups, size_t count)
{
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (size_t g = 0; g < count; ++g)
    {
        const __m128i source =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + groups[g].first));
        const __m128i order = _mm_loadu_si128(reinterpret_cast<const __m128i*>(groups[g].shuffle));
        _mm_store_si128(reinterpret_cast<__m128i*>(out + g * kGroupPixels),
                        _mm_or_si128(_mm_shuffle_epi8(source, order), opaque));
    }
}

bool CanShuffle()
{
    static const bool can = __builtin_cpu_supports("ssse3");
    return can;
}
#endif
} // namespace

PictureRect CoveredPixels(const ExactRect& target)
{
    return {CoveredEdge(target.left), CoveredEdge(target.top), CoveredEdge(target.right),
            CoveredEdge(target.bottom)};
}

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
    ScalePictureNearestExact(picture, raster,
                             ExactRect{static_cast<double>(target.left),
                                       static_cast<double>(target.top),
                                       static_cast<double>(target.right),
                                       static_cast<double>(target.bottom)},
                             clip, source);
}

void ScalePictureNearestExact(const BottomUpBgr& picture, const XrgbRaster& raster,
                              const ExactRect& target, const PictureRect& clip,
                              const PictureSource& source)
{
    const double targetWidth = target.right - target.left;
    const double targetHeight = target.bottom - target.top;
    if (picture.bits == nullptr || picture.width <= 0 || picture.height <= 0 ||
        !(targetWidth > 0) || !(targetHeight > 0) || !(source.width > 0) || !(source.height > 0))
    {
        return;
    }
    const PictureRect covered = CoveredPixels(target);
    const int32_t left = std::max({covered.left, clip.left, 0});
    const int32_t top = std::max({covered.top, clip.top, 0});
    const int32_t right = std::min({covered.right, clip.right, raster.width});
    const int32_t bottom = std::min({covered.bottom, clip.bottom, raster.height});
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
    // A picture shown at about its size or larger: four pixels a shuffle, from
    // the first column whose place is aligned in every row.
    bool shuffled = false;
#if defined(__x86_64__)
    thread_local std::vector<ColumnGroup> groups;
    groups.clear();
    size_t firstGrouped = 0;
    size_t grouped = 0;
    const auto firstOut = reinterpret_cast<uintptr_t>(raster.pixels + left);
    if (CanShuffle() && raster.stride % 16 == 0 && firstOut % sizeof(uint32_t) == 0)
    {
        firstGrouped = (16 - firstOut % 16) % 16 / sizeof(uint32_t);
        grouped = MakeGroups(columns, firstGrouped, static_cast<size_t>(picture.width) * 3, groups);
        shuffled = !groups.empty();
    }
#endif
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
#if defined(__x86_64__)
        if (shuffled)
        {
            for (; i < firstGrouped; ++i)
            {
                out[i] = i < wide ? OpaqueFromFour(in + columns[i]) : Opaque(in + columns[i]);
            }
            PlaceGroupsSsse3(in, out + firstGrouped, groups.data(), groups.size());
            i = grouped;
        }
#endif
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
