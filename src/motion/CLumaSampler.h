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
};
