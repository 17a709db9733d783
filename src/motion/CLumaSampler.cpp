// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion/CLumaSampler.h"

#include "decode/CJpegDecoder.h"

#include <turbojpeg.h>

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
