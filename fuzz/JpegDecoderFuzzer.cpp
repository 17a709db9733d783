// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes may arrive as a frame's picture: the decoder must fail cleanly and
// keep its previous picture whole.
#include "decode/CJpegDecoder.h"
#include "platform/MessageBox.h"
#include "platform/SilentMessageBox.h"

#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static SilentMessageBox boxes;
    CJpegDecoder decoder(boxes);
    if (!decoder.Decode(data, size) || !decoder.HasPicture())
    {
        return 0;
    }
    const size_t bytes = size_t{decoder.GetStride()} * static_cast<size_t>(decoder.GetHeight());
    const std::vector<uint8_t> before(decoder.GetBits(), decoder.GetBits() + bytes);
    // A second, damaged copy must not disturb the picture of the first.
    std::vector<uint8_t> damaged(data, data + size / 2);
    if (!decoder.Decode(damaged.data(), damaged.size()) &&
        std::memcmp(before.data(), decoder.GetBits(), bytes) != 0)
    {
        std::abort();
    }
    return 0;
}
