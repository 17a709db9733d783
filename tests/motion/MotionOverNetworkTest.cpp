// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion/CMotionDetector.h"

#include "CommandLine.h"
#include "DvrSimulator.h"
#include "MotionScenes.h"
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

// The committed picture's brightness, top-down, encoded again: until the receiver hands
// the detector each stored frame, this is the received frame as the detector reads one.
std::vector<uint8_t> CommittedAsGreyJpeg(CDVRClient& client)
{
    std::vector<uint8_t> jpeg;
    client.GetPictureDisplay().PaintCommitted(
        [&](const CJpegDecoder& decoder, const PictureRect&)
        {
            const int width = decoder.GetWidth();
            const int height = decoder.GetHeight();
            std::vector<uint8_t> grey(static_cast<size_t>(width) * static_cast<size_t>(height));
            for (int y = 0; y < height; ++y)
            {
                const uint8_t* row =
                    decoder.GetBits() + static_cast<size_t>(height - 1 - y) * decoder.GetStride();
                for (int x = 0; x < width; ++x)
                {
                    const uint8_t* bgr = row + 3 * x;
                    grey[static_cast<size_t>(y * width + x)] =
                        static_cast<uint8_t>((29 * bgr[0] + 150 * bgr[1] + 77 * bgr[2]) >> 8);
                }
            }
            jpeg = motion_scenes::EncodeGrey(grey, width, height);
        });
    return jpeg;
}
} // namespace

// The real scene served by the simulator's --replay at its own 10 frames a second, read
// by the client over loopback, and looked at on the receiver thread as frames arrive
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
    CDVRClient client(gui, window, boxes, gui, cursor);
    CMotionDetector detector;
    std::mutex lock;
    std::optional<CMotionDetector::Clock::time_point> start;
    motion_scenes::MotionWatch watch;
    int frames = 0;
    window.onRepaint = [&]
    {
        const auto arrived = CMotionDetector::Clock::now();
        const std::vector<uint8_t> jpeg = CommittedAsGreyJpeg(client);
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
