// SPDX-License-Identifier: GPL-3.0-or-later
// Sizes a JPEG may declare that no DVR picture has: dropped before anything is
// allocated, without a box, and the previous picture stays.
#include "decode/CJpegDecoder.h"

#include "support/RecordingMessageBox.h"
#include "support/TestJpegEncoder.h"

#include <gtest/gtest.h>

namespace
{
// Rewrites the frame header's height and width, keeping the data of the small picture.
std::vector<uint8_t> Declaring(std::vector<uint8_t> jpeg, uint16_t width, uint16_t height)
{
    for (size_t i = 0; i + 9 <= jpeg.size(); ++i)
    {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0)
        {
            jpeg[i + 5] = static_cast<uint8_t>(height >> 8);
            jpeg[i + 6] = static_cast<uint8_t>(height);
            jpeg[i + 7] = static_cast<uint8_t>(width >> 8);
            jpeg[i + 8] = static_cast<uint8_t>(width);
            break;
        }
    }
    return jpeg;
}
} // namespace

// Found by fault injection: past 65500 pixels the library itself refused the
// header and its message box opened for every such frame.
TEST(JpegFaultTest, DeclaredSizesBeyondTheLibrarysLimitAreDroppedWithoutABox)
{
    RecordingMessageBox boxes;
    CJpegDecoder decoder(boxes);
    const auto small = EncodeTestJpeg({16, 8, 3, false, 80}, PatternSample);
    ASSERT_TRUE(decoder.Decode(small.data(), small.size()));
    for (const auto& [width, height] :
         {std::pair{65535, 65535}, std::pair{65501, 8}, std::pair{16, 65535}, std::pair{8000, 8}})
    {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        const auto huge = Declaring(small, width, height);
        EXPECT_FALSE(decoder.Decode(huge.data(), huge.size()));
        EXPECT_EQ(decoder.GetWidth(), 16);
        EXPECT_EQ(decoder.GetHeight(), 8);
    }
    EXPECT_TRUE(boxes.Boxes().empty());
}
