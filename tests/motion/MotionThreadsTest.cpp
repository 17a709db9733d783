// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion/CMotionDetector.h"

#include "MotionScenes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace std::chrono_literals;

// The receiver looks at frames while the GUI thread reads the result, changes the
// sensitivity and switches the channel: nothing the two share is left unguarded.
TEST(MotionThreadsTest, TheGuiThreadReadsAndSteersWhileTheReceiverLooks)
{
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < motion_scenes::kWalkingFrames; ++i)
    {
        frames.push_back(motion_scenes::ReadWalkingFrame(i));
    }
    const CMotionDetector::Clock::time_point start{std::chrono::hours(1)};
    const int looks = 60;
    CMotionDetector detector;
    std::atomic<int> looked{0};
    std::thread receiver(
        [&]
        {
            for (int i = 0; i < looks; ++i)
            {
                const std::vector<uint8_t>& jpeg = frames[static_cast<size_t>(i) % frames.size()];
                detector.OnFrame(jpeg.data(), jpeg.size(),
                                 start + i * CMotionDetector::kLookInterval);
                looked.store(i + 1);
            }
        });
    bool restarted = false;
    for (int round = 0; looked.load() < looks; ++round)
    {
        const auto now = start + looked.load() * CMotionDetector::kLookInterval;
        detector.IsMotion(now);
        detector.GetIntervals().Between(start, now);
        detector.GetIntervals().NextAfter(start);
        detector.SetSensitivity(round % 2 ? MotionSensitivity::High : MotionSensitivity::Medium);
        // Early enough that the rest of the walk is motion again.
        if (!restarted && looked.load() < looks / 2)
        {
            detector.Restart();
            restarted = true;
        }
        std::this_thread::yield();
    }
    receiver.join();
    // The walking went on to the end, so motion stands at its last look.
    EXPECT_TRUE(detector.IsMotion(start + (looks - 1) * CMotionDetector::kLookInterval));
    EXPECT_TRUE(detector.GetIntervals().NextAfter(start - 1s));
}
