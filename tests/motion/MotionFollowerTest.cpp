// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion/CMotionFollower.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(MotionFollowerTest, MotionOpensItsCameraOthersWaitTheirTurnAndTheWallComesBack)
{
    CMotionFollower follower;
    CMotionFollower::Clock::time_point now{std::chrono::hours(3)};
    const auto tick = [&](std::chrono::milliseconds step, std::vector<bool> motion)
    {
        now += step;
        return follower.Decide(motion, now);
    };
    EXPECT_EQ(tick(0s, {false, false, false, false}), std::nullopt);
    // Motion on two tiles at once: the first in the wall's order.
    EXPECT_EQ(tick(1s, {false, true, false, true}), 1u);
    // The other waits until the one on view has had five seconds.
    EXPECT_EQ(tick(4900ms, {false, true, false, true}), 1u);
    EXPECT_EQ(tick(100ms, {false, true, false, true}), 3u);
    // Then back to the first, going round the wall.
    EXPECT_EQ(tick(5s, {false, true, false, true}), 1u);
    // The motion ends everywhere: the camera stays ten seconds after its last motion.
    EXPECT_EQ(tick(1s, {false, false, false, false}), 1u);
    EXPECT_EQ(tick(8900ms, {false, false, false, false}), 1u);
    EXPECT_EQ(tick(100ms, {false, false, false, false}), std::nullopt);
    EXPECT_EQ(follower.GetShown(), std::nullopt);

    // Motion that returns on view keeps the camera; stopping goes back to the wall.
    EXPECT_EQ(tick(1s, {true, false, false, false}), 0u);
    EXPECT_EQ(tick(9s, {true, false, false, false}), 0u);
    EXPECT_EQ(tick(9s, {false, false, false, false}), 0u);
    follower.Stop();
    EXPECT_EQ(follower.GetShown(), std::nullopt);
    // A wall that shrank under the camera on view shows the wall.
    EXPECT_EQ(tick(1s, {false, false, false, false, false, true}), 5u);
    EXPECT_EQ(tick(1s, {false, false}), std::nullopt);
}
