// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion/CLumaSampler.h"

#include "decode/CJpegDecoder.h"
#include "platform/SilentMessageBox.h"
#include "support/TestJpegEncoder.h"

#include "MotionScenes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

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
// frame's DC alone. A camera handed from one to the other must see the same scene, or
// the hand-over itself would be motion.
TEST(LumaSamplerTest, ADecodedPictureAtEveryScaleGivesTheGridTheFramesOwnBytesGive)
{
    std::vector<std::pair<std::string, std::vector<uint8_t>>> frames;
    frames.emplace_back("walking", motion_scenes::ReadWalkingFrame(7));
    std::ifstream file(QUILLON_TESTDATA_DIR "/jpeg/testorig.jpg", std::ios::binary);
    frames.emplace_back("testorig", std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {}));
    for (const auto& [width, height] : {std::pair{704, 480}, std::pair{1280, 720}})
    {
        TestJpegSpec spec;
        spec.width = width;
        spec.height = height;
        spec.quality = 75;
        frames.emplace_back("busy " + std::to_string(width),
                            EncodeTestJpeg(spec, PatternSample));
    }
    SilentMessageBox silent;
    CJpegDecoder decoder(silent);
    CLumaSampler sampler;
    CLumaSampler reduced;
    for (const auto& [name, jpeg] : frames)
    {
        ASSERT_TRUE(sampler.Sample(jpeg.data(), jpeg.size())) << name;
        const std::vector<uint8_t> reference(sampler.GetLuma(),
                                             sampler.GetLuma() +
                                                 sampler.GetWidth() * sampler.GetHeight());
        for (const int scale : {1, 2, 4, 8})
        {
            SCOPED_TRACE(name + " at 1/" + std::to_string(scale));
            // The first decode, at full size, tells the source's size.
            decoder.SetCoverSize(scale == 1 ? 0 : decoder.GetSourceWidth() / scale,
                                 scale == 1 ? 0 : decoder.GetSourceHeight() / scale);
            ASSERT_TRUE(decoder.Decode(jpeg.data(), jpeg.size()));
            ASSERT_EQ(decoder.GetWidth(), (decoder.GetSourceWidth() + scale - 1) / scale);
            if (scale == 1)
            {
                // A full-size picture may have been de-interlaced: its blocks are not the DC.
                EXPECT_FALSE(reduced.Reduce(decoder.GetBits(), decoder.GetWidth(),
                                            decoder.GetHeight(), decoder.GetStride(),
                                            decoder.GetSourceWidth(), decoder.GetSourceHeight()));
                continue;
            }
            ASSERT_TRUE(reduced.Reduce(decoder.GetBits(), decoder.GetWidth(), decoder.GetHeight(),
                                       decoder.GetStride(), decoder.GetSourceWidth(),
                                       decoder.GetSourceHeight()));
            ASSERT_EQ(reduced.GetWidth(), sampler.GetWidth());
            ASSERT_EQ(reduced.GetHeight(), sampler.GetHeight());
            double total = 0;
            int largest = 0;
            for (size_t i = 0; i < reference.size(); ++i)
            {
                const int difference = std::abs(reduced.GetLuma()[i] - reference[i]);
                total += difference;
                largest = std::max(largest, difference);
            }
            EXPECT_LE(total / static_cast<double>(reference.size()), 0.2);
            EXPECT_LE(largest, 12);
        }
    }
    // A size no scale of the source gives is no picture of it.
    EXPECT_FALSE(reduced.Reduce(decoder.GetBits(), decoder.GetWidth() + 1, decoder.GetHeight(),
                                decoder.GetStride() + 4, decoder.GetSourceWidth(),
                                decoder.GetSourceHeight()));
    EXPECT_EQ(reduced.GetWidth(), 0);
}
