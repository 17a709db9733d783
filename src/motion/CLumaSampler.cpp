// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion/CLumaSampler.h"

#include "decode/CJpegDecoder.h"

#include <turbojpeg.h>

#include <algorithm>

CLumaSampler::CLumaSampler() : m_handle(tjInitDecompress()) {}

CLumaSampler::~CLumaSampler()
{
    tjDestroy(m_handle);
}

bool CLumaSampler::Sample(const uint8_t* jpeg, size_t length)
{
    m_nWidth = 0;
    m_nHeight = 0;
    if (!jpeg || length == 0 || length > static_cast<size_t>(UINT32_MAX))
    {
        return false;
    }
    if (!Read(jpeg, length))
    {
        // A header the library gives up on leaves its handle unable to read the next one.
        tjDestroy(m_handle);
        m_handle = tjInitDecompress();
        return false;
    }
    return true;
}

namespace
{
// Pixels a side of an 8 x 8 block became at the scale width x height shows the
// source at; 0 for no scale that reduces it.
int BlockSide(int width, int height, int sourceWidth, int sourceHeight)
{
    if (width <= 0 || height <= 0 || width > sourceWidth)
    {
        return 0;
    }
    for (const int side : {8, 4, 2, 1})
    {
        const tjscalingfactor factor{side, 8};
        if (TJSCALED(sourceWidth, factor) == width && TJSCALED(sourceHeight, factor) == height)
        {
            return side;
        }
    }
    return 0;
}
} // namespace

bool CLumaSampler::CanReduce(int width, int height, int sourceWidth, int sourceHeight)
{
    return BlockSide(width, height, sourceWidth, sourceHeight) != 0;
}

bool CLumaSampler::Reduce(const uint8_t* bottomUpBgr, int width, int height, size_t stride,
                          int sourceWidth, int sourceHeight)
{
    m_nWidth = 0;
    m_nHeight = 0;
    const tjscalingfactor eighth{1, 8};
    const int block = BlockSide(width, height, sourceWidth, sourceHeight);
    if (!bottomUpBgr || block == 0 || stride < static_cast<size_t>(width) * 3)
    {
        return false;
    }
    const int lumaWidth = TJSCALED(sourceWidth, eighth);
    const int lumaHeight = TJSCALED(sourceHeight, eighth);
    m_luma.resize(static_cast<size_t>(lumaWidth) * static_cast<size_t>(lumaHeight));
    // Each cell's blue, green and red summed apart and weighed once, not each pixel's.
    m_sums.assign(static_cast<size_t>(lumaWidth) * 3, 0);
    for (int top = 0; top < height; top += block)
    {
        const int bottom = std::min(top + block, height);
        for (int y = top; y < bottom; ++y)
        {
            const uint8_t* pixel = bottomUpBgr + static_cast<size_t>(height - 1 - y) * stride;
            uint64_t* sums = m_sums.data();
            for (int left = 0; left < width; left += block, sums += 3)
            {
                uint32_t blue = 0;
                uint32_t green = 0;
                uint32_t red = 0;
                for (const uint8_t* end = pixel + std::min(block, width - left) * 3; pixel < end;
                     pixel += 3)
                {
                    blue += pixel[0];
                    green += pixel[1];
                    red += pixel[2];
                }
                sums[0] += blue;
                sums[1] += green;
                sums[2] += red;
            }
        }
        uint8_t* out = m_luma.data() + static_cast<size_t>(top / block) * lumaWidth;
        for (int x = 0; x < lumaWidth; ++x)
        {
            const uint64_t count = static_cast<uint64_t>(bottom - top) *
                                   static_cast<uint64_t>(std::min(block, width - x * block));
            uint64_t* sums = &m_sums[static_cast<size_t>(x) * 3];
            // JFIF's weights in sixteen bits, as the library's own conversion has them.
            const uint64_t weighed = 7471u * sums[0] + 38470u * sums[1] + 19595u * sums[2];
            out[x] = static_cast<uint8_t>((weighed + count * 32768) / (count * 65536));
            sums[0] = sums[1] = sums[2] = 0;
        }
    }
    m_nWidth = lumaWidth;
    m_nHeight = lumaHeight;
    return true;
}

bool CLumaSampler::Read(const uint8_t* jpeg, size_t length)
{
    if (!m_handle)
    {
        return false;
    }
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colourspace = 0;
    if (tjDecompressHeader3(m_handle, jpeg, static_cast<unsigned long>(length), &width, &height,
                            &subsampling, &colourspace) != 0 ||
        width <= 0 || height <= 0 || width > CJpegDecoder::kMaxWidth ||
        height > CJpegDecoder::kMaxHeight)
    {
        return false;
    }
    const tjscalingfactor eighth{1, 8};
    const int scaledWidth = TJSCALED(width, eighth);
    const int scaledHeight = TJSCALED(height, eighth);
    m_luma.resize(static_cast<size_t>(scaledWidth) * static_cast<size_t>(scaledHeight));
    // A warning means damaged data, filled in by the library: not a picture to compare.
    if (tjDecompress2(m_handle, jpeg, static_cast<unsigned long>(length), m_luma.data(),
                      scaledWidth, scaledWidth, scaledHeight, TJPF_GRAY, TJFLAG_STOPONWARNING) != 0)
    {
        return false;
    }
    m_nWidth = scaledWidth;
    m_nHeight = scaledHeight;
    return true;
}
