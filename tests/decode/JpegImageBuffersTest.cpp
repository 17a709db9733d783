// SPDX-License-Identifier: GPL-3.0-or-later
#include "decode/JpegImageBuffers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>

// A wall's tiles share one decoder and paint in turn, each at its own size: a
// size decoded before must find its buffer again, with no new (zeroed) one.
TEST(JpegImageBuffersTest, PicturesOfManySizesInTurnKeepABufferEach)
{
    JpegImageBuffers buffers;
    constexpr std::array<size_t, 4> kSizes = {1056 * 240, 528 * 120, 2112 * 480, 264 * 60};
    for (int round = 0; round < 3; ++round)
    {
        for (size_t i = 0; i < kSizes.size(); ++i)
        {
            uint8_t* bits = buffers.PreparePending(kSizes[i]);
            ASSERT_NE(bits, nullptr);
            const auto mark = static_cast<uint8_t>(1 + i);
            if (round == 0)
            {
                EXPECT_TRUE(std::all_of(bits, bits + kSizes[i], [](uint8_t b) { return b == 0; }))
                    << "a new buffer starts zero-filled";
            }
            else
            {
                EXPECT_EQ(bits[0], mark) << "size " << kSizes[i] << " was given a new buffer";
                EXPECT_EQ(bits[kSizes[i] - 1], mark);
            }
            bits[0] = mark;
            bits[kSizes[i] - 1] = mark;
            buffers.CommitPending();
            EXPECT_EQ(buffers.GetPadded(), bits) << "the committed picture is the one decoded";
        }
    }
}
