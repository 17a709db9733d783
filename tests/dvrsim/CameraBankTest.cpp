// SPDX-License-Identifier: GPL-3.0-or-later
#include "CameraBank.h"

#include <gtest/gtest.h>

namespace
{
CameraState State(int pan, int tilt, int zoom, int focus)
{
    return CameraState{pan, tilt, zoom, focus};
}

TEST(CameraBankTest, MovesZoomAndFocusStepWithTheSpeed)
{
    struct Case
    {
        const char* command;
        CameraState expected;
    };
    const Case cases[] = {
        {"4S0", State(5, 0, 10, 50)},   {"4S3", State(20, 0, 10, 50)},
        {"5S1", State(350, 0, 10, 50)}, {"6S2", State(0, 15, 10, 50)},
        {"7S0", State(0, -5, 10, 50)},  {"0S3", State(0, 0, 18, 50)},
        {"1S3", State(0, 0, 10, 50)},   // already fully out
        {"2S1", State(0, 0, 10, 56)},   {"3S3", State(0, 0, 10, 38)},
        {"8", State(0, 0, 10, 50)},
    };
    for (const Case& c : cases)
    {
        CameraBank bank;
        EXPECT_TRUE(bank.Apply(3, c.command)) << c.command;
        EXPECT_EQ(bank.Get(3), c.expected) << c.command;
        EXPECT_EQ(bank.Get(2), CameraState{}) << c.command;
    }
}

TEST(CameraBankTest, MovementStopsAtTheLimits)
{
    CameraBank bank;
    for (int i = 0; i < 50; ++i)
    {
        bank.Apply(0, "6S3");
        bank.Apply(0, "0S3");
        bank.Apply(0, "2S3");
    }
    EXPECT_EQ(bank.Get(0), State(0, 60, 100, 99));
}

TEST(CameraBankTest, PresetsAreKeptPerChannelAndRecalled)
{
    CameraBank bank;
    bank.Apply(1, "4S3");
    EXPECT_TRUE(bank.Apply(1, "9S99"));
    bank.Apply(1, "6S3");
    EXPECT_FALSE(bank.Apply(2, "9G99")) << "channel 2 has no preset 99";
    EXPECT_TRUE(bank.Apply(1, "9G99"));
    EXPECT_EQ(bank.Get(1), State(20, 0, 10, 50));
}

TEST(CameraBankTest, UnknownTextsChangeNothing)
{
    for (const char* command :
         {"", "4", "4S", "4S4", "4G1", "4S12", "8S1", "9S0", "9S100", "9G01", "9X5", "9G1", "A",
          "5s2", "9S"})
    {
        CameraBank bank;
        EXPECT_FALSE(bank.Apply(0, command)) << command;
        EXPECT_EQ(bank.Get(0), CameraState{}) << command;
    }
    CameraBank bank;
    EXPECT_FALSE(bank.Apply(16, "4S1"));
}
} // namespace
