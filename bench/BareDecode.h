// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The best bare decode this machine has: TurboJPEG with one handle reused,
// straight into bottom-up blue-green-red rows padded to 4 bytes.
#include <turbojpeg.h>

#include <cstdint>
#include <vector>

namespace bench
{
class BareDecoder
{
public:
    BareDecoder() : m_handle(tjInitDecompress()) {}
    ~BareDecoder() { tjDestroy(m_handle); }

    BareDecoder(const BareDecoder&) = delete;
    BareDecoder& operator=(const BareDecoder&) = delete;

    // False when TurboJPEG refuses the frame; the size is the frame's own or one of
    // TurboJPEG's scaled sizes of it, which it then decodes at.
    bool Decode(const std::vector<uint8_t>& jpeg, int width, int height, uint8_t* bits)
    {
        return tjDecompress2(m_handle, jpeg.data(), jpeg.size(), bits, width, Stride(width), height,
                             TJPF_BGR, TJFLAG_BOTTOMUP) == 0;
    }

    static int Stride(int width) { return (width * 3 + 3) / 4 * 4; }

private:
    tjhandle m_handle;
};
} // namespace bench
