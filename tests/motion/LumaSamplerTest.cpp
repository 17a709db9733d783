// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion/CLumaSampler.h"

#include "MotionScenes.h"

#include <gtest/gtest.h>

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
