// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion/CLumaSampler.h"

#include "decode/CJpegDecoder.h"
#include "platform/SilentMessageBox.h"
#include "support/TestJpegEncoder.h"

#include "MotionScenes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

TEST(LumaSamplerTest, DamagedTruncatedAndOversizedJpegsAreRefusedAndTheNextFrameIsRead)
{
    const std::vector<uint8_t> jpeg = motion_scenes::ReadWalkingFrame(1);
    CLumaSampler sampler;
    ASSERT_TRUE(sampler.Sample(jpeg.data(), jpeg.size()));
    EXPECT_EQ(sampler.GetWidth(), 768 / 8);
    EXPECT_EQ(sampler.GetHeight(), 576 / 8);
    EXPECT_FALSE(sampler.Sample(jpeg.data(), jpeg.size() / 2));
    EXPECT_EQ(sampler.GetWidth(), 0);
    EXPECT_FALSE(sampler.Sample(jpeg.data(), 2));
    EXPECT_FALSE(sampler.Sample(nullptr, 0));

    // A picture that declares 65535 x 65535 pixels is refused before anything is made.
    std::vector<uint8_t> huge = motion_scenes::EncodeGrey(std::vector<uint8_t>(64, 50), 8, 8);
    ASSERT_FALSE(huge.empty());
    size_t sof = 2;
    while (sof + 9 < huge.size() && !(huge[sof] == 0xff && huge[sof + 1] == 0xc0))
    {
        ++sof;
    }
    ASSERT_LT(sof + 9, huge.size());
    EXPECT_TRUE(sampler.Sample(huge.data(), huge.size()));
    for (size_t i = sof + 5; i < sof + 9; ++i)
    {
        huge[i] = 0xff;
    }
    EXPECT_FALSE(sampler.Sample(huge.data(), huge.size()));

    // The sampler goes on with the next good frame.
    EXPECT_TRUE(sampler.Sample(jpeg.data(), jpeg.size()));
    EXPECT_EQ(sampler.GetWidth(), 768 / 8);
}

// A wall's worker looks at the picture it decoded to show; the receiver reads the
// frame's DC alone. Both must see the same scene in the same cells.
TEST(LumaSamplerTest, ADecodedPictureAtEveryScaleGivesTheGridTheFramesOwnBytesGive)
{
    TestJpegSpec busy;
    busy.width = 704;
    busy.height = 480;
    busy.quality = 75;
    SilentMessageBox silent;
    CJpegDecoder decoder(silent);
    CLumaSampler sampler;
    CLumaSampler reduced;
    for (const bool camera : {true, false})
    {
        const std::vector<uint8_t> jpeg =
            camera ? motion_scenes::ReadWalkingFrame(7) : EncodeTestJpeg(busy, PatternSample);
        ASSERT_TRUE(sampler.Sample(jpeg.data(), jpeg.size()));
        for (const int scale : {1, 2, 4, 8})
        {
            SCOPED_TRACE(scale);
            decoder.SetCoverSize(scale == 1 ? 0 : decoder.GetSourceWidth() / scale,
                                 scale == 1 ? 0 : decoder.GetSourceHeight() / scale);
            ASSERT_TRUE(decoder.Decode(jpeg.data(), jpeg.size()));
            ASSERT_TRUE(reduced.Reduce(decoder.GetBits(), decoder.GetWidth(), decoder.GetHeight(),
                                       decoder.GetStride(), decoder.GetSourceWidth(),
                                       decoder.GetSourceHeight()));
            ASSERT_EQ(reduced.GetWidth(), sampler.GetWidth());
            ASSERT_EQ(reduced.GetHeight(), sampler.GetHeight());
            int total = 0;
            int largest = 0;
            for (int i = 0; i < sampler.GetWidth() * sampler.GetHeight(); ++i)
            {
                const int difference = std::abs(reduced.GetLuma()[i] - sampler.GetLuma()[i]);
                total += difference;
                largest = std::max(largest, difference);
            }
            const int cells = sampler.GetWidth() * sampler.GetHeight();
            // At full size the pictures were de-interlaced: each block is one field's rows
            // and their averages. A camera's scene keeps its brightness to about a grey
            // level; the busy pattern's fields differ by design.
            if (scale > 1 || camera)
            {
                EXPECT_LE(total, scale > 1 ? cells / 5 : cells);
                EXPECT_LE(largest, scale > 1 ? 12 : 24);
            }
        }
    }
    // A size no scale of the source gives is no picture of it.
    EXPECT_FALSE(reduced.Reduce(decoder.GetBits(), decoder.GetWidth() + 1, decoder.GetHeight(),
                                decoder.GetStride() + 4, decoder.GetSourceWidth(),
                                decoder.GetSourceHeight()));
}
