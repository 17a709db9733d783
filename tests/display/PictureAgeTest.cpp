// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/CPictureAge.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

// Frames come at the times the test gives, and the age is read at the test's clock.
TEST(PictureAgeTest, APictureIsFrozenFromThreeSecondsWithoutAFrameUntilTheNext)
{
    const CPictureAge::Clock::time_point start{};
    auto now = start;
    const CPictureAge age([&] { return now; });
    CFrameStatistics statistics;
    EXPECT_FALSE(age.FrozenFor(statistics));

    statistics.OnFrame(1000, start);
    struct Case
    {
        std::chrono::milliseconds after;
        std::optional<std::chrono::seconds> frozen;
    };
    const Case cases[] = {
        {0ms, std::nullopt}, {2999ms, std::nullopt}, {3000ms, 3s}, {12999ms, 12s}, {3600s, 3600s}};
    for (const Case& c : cases)
    {
        now = start + c.after;
        EXPECT_EQ(age.FrozenFor(statistics), c.frozen) << c.after.count();
    }
    statistics.OnFrame(1000, now);
    EXPECT_FALSE(age.FrozenFor(statistics));
    statistics.Reset();
    now += 10s;
    EXPECT_FALSE(age.FrozenFor(statistics));
}
