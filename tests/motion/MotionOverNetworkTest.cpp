// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion/CMotionDetector.h"

#include "CommandLine.h"
#include "DvrSimulator.h"
#include "MotionScenes.h"
#include "history/CHistoryBudget.h"
#include "net/CDVRClient.h"
#include "platform/BusyCursor.h"
#include "platform/TextCodec.h"
#include "support/FakePictureWindow.h"
#include "support/GuiThreadFake.h"
#include "support/RecordingMessageBox.h"

#include <gtest/gtest.h>

#include <mutex>

using namespace std::chrono_literals;

namespace
{
class NoBusyCursor : public IBusyCursor
{
public:
    void Begin() override {}
    void End() override {}
};
} // namespace

// The real scene served by the simulator's --replay at its own 10 frames a second, read
// by the client over loopback, and each frame the receiver stores looked at on its thread
// while the GUI thread reads and steers the detector.
TEST(MotionOverNetworkTest, PeopleWalkingInAReplayedStreamAreMotionWithinTheFirstSecond)
{
    std::vector<std::string> args = {"--fps", "10", "--channels", "1"};
    for (int i = 0; i < motion_scenes::kWalkingFrames; ++i)
    {
        args.insert(args.end(), {"--replay", motion_scenes::WalkingFramePath(i)});
    }
    CommandLine::Result options = CommandLine::Parse(args);
    ASSERT_TRUE(options.error.empty()) << options.error;
    DvrSimulator dvr(options.settings);
    ASSERT_TRUE(dvr.Start()) << dvr.GetLastError();

    GuiThreadFake gui;
    FakePictureWindow window;
    RecordingMessageBox boxes;
    NoBusyCursor cursor;
    CHistoryBudget budget(64 << 20);
    CDVRClient client(gui, window, boxes, gui, cursor, {}, &budget);
    CMotionDetector detector;
    std::mutex lock;
    std::optional<CMotionDetector::Clock::time_point> start;
    motion_scenes::MotionWatch watch;
    int frames = 0;
    window.onRepaint = [&]
    {
        const auto arrived = CMotionDetector::Clock::now();
        const CFrameHistory& history = client.GetPictureDisplay().GetHistory();
        const auto stored = history.GetSpan();
        std::vector<uint8_t> jpeg;
        EXPECT_TRUE(stored && history.CopyFrame(stored->lastSequence, jpeg));
        const auto verdict = detector.OnFrame(jpeg.data(), jpeg.size(), arrived);
        {
            std::lock_guard guard(lock);
            start = start.value_or(arrived);
            ++frames;
            watch.Count(verdict, arrived - *start);
        }
        gui.Poke();
    };
    client.Start(MakeConnectInfo(u"Sim", u"127.0.0.1", FromAscii(std::to_string(dvr.GetPort())), 0,
                                 u"ADMIN", u"1234"));
    // Meanwhile the GUI thread reads the result and sets the sensitivity, as a tile would.
    bool high = false;
    ASSERT_TRUE(gui.WaitFor(
        [&](const auto&)
        {
            const auto now = CMotionDetector::Clock::now();
            detector.IsMotion(now);
            detector.GetIntervals().Between(now - 1min, now);
            detector.SetSensitivity((high = !high) ? MotionSensitivity::High
                                                   : MotionSensitivity::Medium);
            std::lock_guard guard(lock);
            return frames >= motion_scenes::kWalkingFrames;
        },
        30s));
    client.Disconnect();

    std::lock_guard guard(lock);
    ASSERT_TRUE(watch.firstMotion);
    EXPECT_LT(*watch.firstMotion, 1s);
    // The stream's first three seconds, each with motion.
    const std::set<long>& seconds = watch.secondsWithMotion;
    EXPECT_EQ(seconds.count(0) + seconds.count(1) + seconds.count(2), 3u);
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_FALSE(detector.GetIntervals().Between(*start, *start + 3s).empty());
}
