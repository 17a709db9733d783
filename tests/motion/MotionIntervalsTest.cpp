// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion/CMotionIntervals.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using Interval = CMotionIntervals::Interval;

namespace
{
const CMotionIntervals::Clock::time_point t0{std::chrono::hours(5)};
}

TEST(MotionIntervalsTest, FramesWithMotionJoinIntoIntervalsThatTheTimelineAndTheJumpsRead)
{
    CMotionIntervals intervals;
    EXPECT_FALSE(intervals.NextAfter(t0));
    EXPECT_FALSE(intervals.PreviousBefore(t0 + 1h));
    // 10-13 s, with a gap of exactly the join gap; 20 s alone; 30-31 s.
    for (const auto at : {10s, 11s, 13s, 20s, 30s, 31s})
    {
        intervals.Note(t0 + at);
    }
    // A late note from before the last interval's end changes nothing.
    intervals.Note(t0 + 25s);
    const std::vector<Interval> all = {
        {t0 + 10s, t0 + 13s}, {t0 + 20s, t0 + 20s}, {t0 + 30s, t0 + 31s}};
    EXPECT_EQ(intervals.Between(t0, t0 + 1min), all);
    EXPECT_EQ(intervals.Between(t0 + 13s, t0 + 20s), (std::vector<Interval>{all[0], all[1]}));
    EXPECT_EQ(intervals.Between(t0 + 14s, t0 + 19s), std::vector<Interval>{});

    // Next from anywhere goes to the next start; previous from inside an interval to
    // its own start, from a start to the one before.
    EXPECT_EQ(intervals.NextAfter(t0), t0 + 10s);
    EXPECT_EQ(intervals.NextAfter(t0 + 10s), t0 + 20s);
    EXPECT_EQ(intervals.NextAfter(t0 + 25s), t0 + 30s);
    EXPECT_FALSE(intervals.NextAfter(t0 + 30s));
    EXPECT_EQ(intervals.PreviousBefore(t0 + 1min), t0 + 30s);
    EXPECT_EQ(intervals.PreviousBefore(t0 + 30s), t0 + 20s);
    EXPECT_EQ(intervals.PreviousBefore(t0 + 12s), t0 + 10s);
    EXPECT_FALSE(intervals.PreviousBefore(t0 + 10s));

    // What the history dropped goes too; a camera never trimmed keeps its newest.
    intervals.DropBefore(t0 + 15s);
    EXPECT_EQ(intervals.Between(t0, t0 + 1min), (std::vector<Interval>{all[1], all[2]}));
    intervals.Clear();
    EXPECT_FALSE(intervals.NextAfter(t0));
    const size_t noted = CMotionIntervals::kMostIntervals + 10;
    for (size_t i = 0; i < noted; ++i)
    {
        intervals.Note(t0 + i * 10s);
    }
    const std::vector<Interval> kept = intervals.Between(t0, t0 + noted * 10s);
    ASSERT_EQ(kept.size(), CMotionIntervals::kMostIntervals);
    EXPECT_EQ(kept.front().first, t0 + 10 * 10s);
    EXPECT_EQ(kept.back().first, t0 + (noted - 1) * 10s);
}
