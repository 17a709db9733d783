// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A frame's brightness at 1/8 of its size: at that scale libjpeg-turbo keeps only
// each 8 x 8 block's DC coefficient and, asked for grey, never touches the colour,
// so a look costs little more than reading the entropy-coded bytes.
class CLumaSampler
{
public:
    CLumaSampler();
    ~CLumaSampler();

    CLumaSampler(const CLumaSampler&) = delete;
    CLumaSampler& operator=(const CLumaSampler&) = delete;

    // False for bytes the library refuses or warns about, and for pictures over the
    // decoder's limits; the previous sample is then gone. The bytes are not kept.
    bool Sample(const uint8_t* jpeg, size_t length);
    // The same grid from a picture decoded already at 1/1, 1/2, 1/4 or 1/8 of the
    // source's size (blue-green-red, rows bottom-up): each cell the mean brightness of
    // the pixels its block became, a fraction of a grey level from the block's DC when
    // scaled. A full-size picture may have been de-interlaced, one field standing for
    // both, which moves a camera's cells by about a grey level: the same each time, so
    // its looks compare with one another. A decoder that shows the frame anyway pays no
    // second read of its entropy-coded bytes. False for any other size (CanReduce).
    static bool CanReduce(int width, int height, int sourceWidth, int sourceHeight);
    bool Reduce(const uint8_t* bottomUpBgr, int width, int height, size_t stride, int sourceWidth,
                int sourceHeight);

    int GetWidth() const { return m_nWidth; }
    int GetHeight() const { return m_nHeight; }
    // Rows top-down, GetWidth() bytes each.
    const uint8_t* GetLuma() const { return m_luma.data(); }

private:
    bool Read(const uint8_t* jpeg, size_t length);

    void* m_handle;
    int m_nWidth = 0;
    int m_nHeight = 0;
    std::vector<uint8_t> m_luma;
    std::vector<uint64_t> m_sums;
};
