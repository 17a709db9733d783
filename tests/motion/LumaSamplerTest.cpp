// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion/CLumaSampler.h"

#include "MotionScenes.h"

#include <gtest/gtest.h>

#include <turbojpeg.h>

#include <cstdlib>

TEST(LumaSamplerTest, EachSampleIsTheBrightnessOfItsEightByEightBlock)
{
    const std::vector<uint8_t> jpeg = motion_scenes::ReadWalkingFrame(0);
    CLumaSampler sampler;
    ASSERT_TRUE(sampler.Sample(jpeg.data(), jpeg.size()));
    ASSERT_EQ(sampler.GetWidth(), 768 / 8);
    ASSERT_EQ(sampler.GetHeight(), 576 / 8);

    // The full picture's grey, averaged over each block, is what the DC says.
    std::vector<uint8_t> grey(768 * 576);
    tjhandle handle = tjInitDecompress();
    ASSERT_EQ(tjDecompress2(handle, jpeg.data(), jpeg.size(), grey.data(), 768, 768, 576, TJPF_GRAY,
                            TJFLAG_ACCURATEDCT),
              0);
    tjDestroy(handle);
    int worst = 0;
    for (int by = 0; by < sampler.GetHeight(); ++by)
    {
        for (int bx = 0; bx < sampler.GetWidth(); ++bx)
        {
            int sum = 0;
            for (int y = 0; y < 8; ++y)
            {
                for (int x = 0; x < 8; ++x)
                {
                    sum += grey[(by * 8 + y) * 768 + bx * 8 + x];
                }
            }
            const int sample = sampler.GetLuma()[by * sampler.GetWidth() + bx];
            worst = std::max(worst, std::abs(sample - (sum + 32) / 64));
        }
    }
    // Clipping of single pixels at black and white moves a block's mean a little.
    EXPECT_LE(worst, 3);
}

TEST(LumaSamplerTest, DamagedTruncatedAndOversizedJpegsAreRefused)
{
    const std::vector<uint8_t> jpeg = motion_scenes::ReadWalkingFrame(1);
    CLumaSampler sampler;
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
    EXPECT_EQ(sampler.GetWidth(), 96);
}
