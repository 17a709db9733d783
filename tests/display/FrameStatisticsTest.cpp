// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/CFrameStatistics.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace std::chrono_literals;

TEST(FrameStatisticsTest, RatesFromTheSpacingOfTheLastFrames)
{
    using Clock = CFrameStatistics::Clock;
    CFrameStatistics statistics;
    const Clock::time_point t0{};
    EXPECT_FALSE(statistics.Read(t0).sinceLastFrame);
    for (int i = 0; i < 30; ++i) // 30 frames of 1000 bytes, 50 ms apart
    {
        statistics.OnFrame(1000, t0 + i * 50ms);
    }
    const auto rates = statistics.Read(t0 + 1500ms);
    EXPECT_DOUBLE_EQ(rates.framesPerSecond, 20);
    EXPECT_DOUBLE_EQ(rates.kilobitsPerSecond, 160);
    EXPECT_EQ(*rates.sinceLastFrame, 50ms);
    EXPECT_LT(statistics.Read(t0 + 3s).framesPerSecond, 1); // a stalled stream reads low
    EXPECT_EQ(statistics.Read(t0 + 7s).framesPerSecond, 0);

    // Slow and fast streams read their rate whenever they are read.
    for (const double fps : {0.5, 1.5, 25.0})
    {
        statistics.Reset();
        const auto interval = std::chrono::duration_cast<Clock::duration>(1s / fps);
        // Read from the second frame on, between frames as well as at them.
        for (auto next = t0 + 20s, now = next + interval; now < t0 + 40s; now += 37ms)
        {
            for (; next <= now; next += interval)
            {
                statistics.OnFrame(500, next);
            }
            EXPECT_NEAR(statistics.Read(now).framesPerSecond, fps, fps / 10) << fps;
        }
    }

    // More frames in a second than the ring holds: the rate is over what it holds.
    statistics.Reset();
    for (size_t i = 0; i < 2 * CFrameStatistics::kCapacity; ++i)
    {
        statistics.OnFrame(0, t0 + 10s + i * 1ms);
    }
    EXPECT_NEAR(statistics.Read(t0 + 10s + 1024ms).framesPerSecond, 1000, 5);
    statistics.Reset();
    EXPECT_FALSE(statistics.Read(t0 + 11s).sinceLastFrame);
}
