// SPDX-License-Identifier: GPL-3.0-or-later
// Any payload may arrive in a frame packet: the header rules, the picture
// offset and the decoder behind them must drop what they cannot use, never
// read outside the payload, and keep the committed picture whole.
#include "display/CPictureDisplay.h"
#include "platform/MessageBox.h"
#include "platform/SilentMessageBox.h"
#include "protocol/CFrameHeader.h"
#include "support/FakePictureWindow.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{
uint32_t Read32(const uint8_t* bytes)
{
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (uint32_t{bytes[3]} << 24);
}

// Bytes that begin with the header's magic are the payload as they stand; other
// bytes: the first 13 choose a valid header's fields and the rest is the picture,
// so that mutations of the picture are not all lost to an invalid header.
constexpr size_t kFieldBytes = 13;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FakePictureWindow window;
    static SilentMessageBox boxes;
    std::vector<uint8_t> payload;
    if (size >= kFieldBytes && !(data[0] == 'U' && data[1] == 'M'))
    {
        const size_t pictureLength = size - kFieldBytes;
        FrameHeaderFields fields;
        fields.kind = data[1];
        fields.displaySelector = data[2] & 3;
        fields.channel = data[3] & 0x1F;
        fields.videoLossMask = static_cast<uint16_t>(data[4] | (data[5] << 8));
        // Offset skew: 0 puts the picture right after the header, as a DVR does.
        const uint32_t skew = Read32(data + 6);
        fields.imageLength = static_cast<uint32_t>(pictureLength);
        fields.dataLength = static_cast<uint32_t>(pictureLength) + skew;
        payload.resize(CFrameHeader::kSize + pictureLength);
        WriteFrameHeader(payload.data(), fields);
        std::memcpy(payload.data() + CFrameHeader::kSize, data + kFieldBytes, pictureLength);
    }
    else
    {
        payload.assign(data, data + size);
    }
    // Exactly the payload's bytes are readable: ASan catches a read past them.
    std::vector<uint8_t> exact(payload);
    exact.shrink_to_fit();

    CPictureDisplay display(window, boxes);
    display.OnFramePacket(exact.data(), static_cast<uint32_t>(exact.size()));
    display.PaintCommitted(
        [](const CJpegDecoder& picture, const PictureRect& placement)
        {
            // Touch every committed byte: a short buffer shows up under ASan.
            const size_t bytes = size_t{picture.GetStride()} * picture.GetHeight();
            volatile uint8_t sum = 0;
            for (size_t i = 0; i < bytes; i += 61)
            {
                sum = sum + picture.GetBits()[i];
            }
            if (bytes > 0)
            {
                sum = sum + picture.GetBits()[bytes - 1];
            }
            if (placement.top > placement.bottom || placement.left > placement.right)
            {
                std::abort();
            }
        });
    return 0;
}
