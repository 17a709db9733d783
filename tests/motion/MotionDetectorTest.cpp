// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion/CMotionDetector.h"

#include "decode/CJpegDecoder.h"
#include "motion/CLumaSampler.h"
#include "platform/SilentMessageBox.h"

#include "MotionScenes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

using namespace std::chrono_literals;
using Verdict = CMotionDetector::Verdict;
using motion_scenes::MotionWatch;
using motion_scenes::NoisyStill;
using motion_scenes::ReadWalkingFrame;

namespace
{
const CMotionDetector::Clock::time_point kStart{std::chrono::hours(1)};

// Ten minutes of a still camera at high sensitivity, looked at as often as the detector
// looks, as fast as the test runs. light(t) gives the gain and offset at t seconds.
template <typename Light> MotionWatch WatchStill(Light light)
{
    NoisyStill still(ReadWalkingFrame(0));
    CMotionDetector detector;
    detector.SetSensitivity(MotionSensitivity::High);
    MotionWatch run;
    for (auto at = 0ms; at < 10min; at += CMotionDetector::kLookInterval)
    {
        const auto [gain, offset] = light(std::chrono::duration<float>(at).count());
        const std::vector<uint8_t> jpeg = still.Frame(gain, offset);
        run.Count(detector.OnFrame(jpeg.data(), jpeg.size(), kStart + at), at,
                  detector.IsMotion(kStart + at));
    }
    return run;
}
} // namespace

TEST(MotionDetectorTest, PeopleWalkingAreMotionFromTheFirstSecondAndInEverySecond)
{
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < motion_scenes::kWalkingFrames; ++i)
    {
        frames.push_back(ReadWalkingFrame(i));
        ASSERT_FALSE(frames.back().empty()) << i;
    }
    for (const MotionSensitivity sensitivity :
         {MotionSensitivity::Low, MotionSensitivity::Medium, MotionSensitivity::High})
    {
        SCOPED_TRACE(MotionSensitivityName(sensitivity));
        CMotionDetector detector;
        detector.SetSensitivity(sensitivity);
        MotionWatch run;
        for (int i = 0; i < motion_scenes::kWalkingFrames; ++i)
        {
            const auto since = i * 1000ms / motion_scenes::kWalkingFramesPerSecond;
            run.Count(detector.OnFrame(frames[i].data(), frames[i].size(), kStart + since), since);
        }
        // Ten frames a second, of which the detector reads one every look interval.
        const int looked = static_cast<int>(3s / CMotionDetector::kLookInterval);
        EXPECT_EQ(run.verdicts[Verdict::Skipped], motion_scenes::kWalkingFrames - looked);
        EXPECT_EQ(run.verdicts[Verdict::Learning], 1);
        ASSERT_TRUE(run.firstMotion);
        EXPECT_LT(*run.firstMotion, 1s);
        const long seconds = motion_scenes::kWalkingFrames / motion_scenes::kWalkingFramesPerSecond;
        EXPECT_GE(static_cast<double>(run.secondsWithMotion.size()), 0.95 * seconds);
        EXPECT_TRUE(detector.IsMotion(kStart + 3s));
        EXPECT_FALSE(detector.IsMotion(detector.GetMotionUntil()));
        EXPECT_FALSE(detector.GetIntervals().Between(kStart, kStart + 3s).empty());
    }
}

// Each ten-minute scene is a test of its own, so that a sanitizer build's run of one stays
// well inside a test's time.
TEST(MotionDetectorTest, AStillCameraWithSensorNoiseShowsNoMotionInTenMinutes)
{
    MotionWatch run = WatchStill([](float) { return std::pair{1.0f, 0.0f}; });
    EXPECT_EQ(run.verdicts.at(Verdict::Learning), 1);
    EXPECT_EQ(run.verdicts.count(Verdict::Motion), 0u);
    EXPECT_EQ(run.verdicts.count(Verdict::WholePicture), 0u);
    EXPECT_FALSE(run.shownAsMotion);
}

TEST(MotionDetectorTest, DuskAndExposureStepsOfAStillCameraAreNoMotion)
{
    // The light falls to about half and comes back over the ten minutes. The camera's
    // exposure jumps far up, with a deeper black, from minute 2 to 4; from 0:30 to 1:30
    // it steps by a few levels, the bright cells up and the dark ones down.
    MotionWatch run = WatchStill(
        [](float t)
        {
            const float dusk = 1.0f - 0.45f * std::sin(std::numbers::pi_v<float> * t / 600);
            if (t >= 120 && t < 240)
            {
                return std::pair{dusk * 1.5f, -12.0f};
            }
            if (t >= 30 && t < 90)
            {
                return std::pair{dusk * 1.035f, -3.5f};
            }
            return std::pair{dusk, 0.0f};
        });
    EXPECT_EQ(run.verdicts.count(Verdict::Motion), 0u);
    EXPECT_FALSE(run.shownAsMotion);
    // The big steps are the whole picture's change, taken over at once.
    EXPECT_GE(run.verdicts[Verdict::WholePicture], 2);
}

namespace
{
// A grey picture of 96 x 72, the 1/8 sample of a 768 x 576 frame: 3 x 3 pixels a cell.
struct Picture
{
    static constexpr int kWidth = 96;
    static constexpr int kHeight = 72;
    std::vector<uint8_t> luma = std::vector<uint8_t>(kWidth * kHeight, 100);

    void Fill(int left, int top, int width, int height, uint8_t level)
    {
        for (int y = top; y < top + height; ++y)
        {
            std::fill_n(luma.begin() + y * kWidth + left, width, level);
        }
    }
    Verdict Show(CMotionDetector& detector, CMotionDetector::Clock::time_point at) const
    {
        return detector.OnLuma(luma.data(), kWidth, kHeight, kWidth, at);
    }
};
} // namespace

TEST(MotionDetectorTest, TheSensitivityDecidesHowSmallAndFaintAChangeIsMotion)
{
    struct Case
    {
        MotionSensitivity sensitivity;
        int cells;     // the moving thing's width in cells, one cell high
        uint8_t level; // against a background of 100
        bool motion;
    };
    const Case cases[] = {
        {MotionSensitivity::High, 2, 104, true},    {MotionSensitivity::High, 1, 130, false},
        {MotionSensitivity::Medium, 2, 130, false}, {MotionSensitivity::Medium, 3, 106, true},
        {MotionSensitivity::Medium, 3, 103, false}, {MotionSensitivity::Low, 3, 130, false},
        {MotionSensitivity::Low, 5, 108, true},     {MotionSensitivity::Low, 5, 105, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << MotionSensitivityName(c.sensitivity) << " " << c.cells
                                        << " cells at " << int(c.level));
        CMotionDetector detector;
        detector.SetSensitivity(c.sensitivity);
        Picture picture;
        EXPECT_EQ(picture.Show(detector, kStart), Verdict::Learning);
        EXPECT_EQ(picture.Show(detector, kStart + 200ms), Verdict::Still);
        picture.Fill(30, 30, 3 * c.cells, 3, c.level);
        EXPECT_EQ(picture.Show(detector, kStart + 400ms),
                  c.motion ? Verdict::Motion : Verdict::Still);
        EXPECT_EQ(detector.IsMotion(kStart + 400ms + CMotionDetector::kHold - 1ms), c.motion);
        EXPECT_FALSE(detector.IsMotion(kStart + 400ms + CMotionDetector::kHold));
    }
}

TEST(MotionDetectorTest, ACameraTurningIsNoMotionAndItsNewViewIsTheBackground)
{
    // The real scene's sample, seen through a window that pans across it.
    NoisyStill still(ReadWalkingFrame(0));
    CLumaSampler sampler;
    const std::vector<uint8_t> jpeg = still.Frame();
    ASSERT_TRUE(sampler.Sample(jpeg.data(), jpeg.size()));
    const int width = 64;
    const int height = 48;
    ASSERT_GE(sampler.GetWidth(), width + 30);
    CMotionDetector detector;
    auto at = kStart;
    const auto look = [&](int left)
    {
        at += CMotionDetector::kLookInterval;
        return detector.OnLuma(sampler.GetLuma() + left, width, height,
                               static_cast<size_t>(sampler.GetWidth()), at);
    };
    EXPECT_EQ(look(0), Verdict::Learning);
    for (int left = 4; left <= 28; left += 4)
    {
        EXPECT_EQ(look(left), Verdict::WholePicture) << left;
    }
    for (int i = 0; i < 10; ++i)
    {
        EXPECT_EQ(look(28), Verdict::Still);
    }
    EXPECT_FALSE(detector.IsMotion(at));
    EXPECT_TRUE(detector.GetIntervals().Between(kStart, at).empty());
}

TEST(MotionDetectorTest, ARestartOrAnotherPictureSizeLearnsTheSceneAnewAndBadFramesChangeNothing)
{
    CMotionDetector detector;
    Picture picture;
    EXPECT_EQ(picture.Show(detector, kStart), Verdict::Learning);
    picture.Fill(30, 30, 12, 12, 160);
    EXPECT_EQ(picture.Show(detector, kStart + 200ms), Verdict::Motion);
    ASSERT_TRUE(detector.IsMotion(kStart + 300ms));

    // The camera moves to another connection and back: its motion and marks go with
    // it, and each detector learns its scene anew.
    CMotionDetector moved;
    moved.TakeFrom(detector);
    EXPECT_TRUE(moved.IsMotion(kStart + 300ms));
    EXPECT_EQ(moved.GetIntervals().NextAfter(kStart - 1s), kStart + 200ms);
    EXPECT_FALSE(detector.IsMotion(kStart + 300ms));
    EXPECT_FALSE(detector.GetIntervals().NextAfter(kStart - 1s));
    EXPECT_EQ(picture.Show(moved, kStart + 250ms), Verdict::Learning);
    detector.TakeFrom(moved);
    ASSERT_TRUE(detector.IsMotion(kStart + 300ms));

    // Another channel on the same tile: the old scene's motion is gone with it.
    detector.Restart();
    EXPECT_FALSE(detector.IsMotion(kStart + 300ms));
    EXPECT_TRUE(detector.GetIntervals().Between(kStart, kStart + 1s).empty());
    Picture other;
    EXPECT_EQ(other.Show(detector, kStart + 400ms), Verdict::Learning);
    EXPECT_EQ(detector.OnLuma(other.luma.data(), 48, 36, Picture::kWidth, kStart + 600ms),
              Verdict::Learning);

    // Frames that cannot be read cost a look and leave the scene as it was.
    const uint8_t junk[] = {0xff, 0xd8, 0xff, 0xe0, 0x00};
    EXPECT_EQ(detector.OnFrame(junk, sizeof junk, kStart + 10s), Verdict::Unreadable);
    EXPECT_EQ(detector.OnFrame(junk, sizeof junk, kStart + 10s + 100ms), Verdict::Skipped);
    EXPECT_EQ(detector.OnLuma(other.luma.data(), 48, 36, 47, kStart + 12s), Verdict::Unreadable);
    EXPECT_EQ(detector.OnLuma(other.luma.data(), 48, 36, Picture::kWidth, kStart + 13s),
              Verdict::Still);
}

namespace
{
// The receiver offers every frame; a wall that shows the camera then offers the
// frame's picture, decoded at the tile's scale (1 for full size), when one is due.
// Counts who looked, by phase.
struct Offers
{
    int scale = 4;
    CMotionDetector detector;
    SilentMessageBox silent;
    CJpegDecoder decoder{silent};
    MotionWatch run;
    int byReceiver[3] = {};
    int decoded[3] = {};

    void Offer(const std::vector<uint8_t>& jpeg, bool shown, CMotionDetector::Clock::duration at,
               int phase)
    {
        const Verdict seen = detector.OnFrame(jpeg.data(), jpeg.size(), kStart + at);
        if (seen != Verdict::Skipped)
        {
            ++byReceiver[phase];
            run.Count(seen, at);
        }
        if (shown && detector.WantsDecodedLook(kStart + at))
        {
            decoder.SetCoverSize(scale == 1 ? 0 : 768 / scale, scale == 1 ? 0 : 576 / scale);
            ASSERT_TRUE(decoder.Decode(jpeg.data(), jpeg.size()));
            const Verdict verdict = detector.OnDecoded(
                decoder.GetBits(), decoder.GetWidth(), decoder.GetHeight(), decoder.GetStride(),
                decoder.GetSourceWidth(), decoder.GetSourceHeight(), kStart + at);
            EXPECT_NE(verdict, Verdict::Skipped);
            ++decoded[phase];
            run.Count(verdict, at);
        }
    }
};
} // namespace

// People walking for nine seconds: a wall shows the camera for three, is hidden for
// three (its workers decode nothing) and shown again. Then a still camera, shown and
// hidden every five seconds for two minutes at high sensitivity, where the cells'
// noise falls to nothing: a change of hands compared across would be motion. Tiles
// decode at 1/4, and at full size (de-interlaced) on a screen at twice the pixels.
TEST(MotionDetectorTest, AWallsDecodedPicturesTakeTheLooksOverAndTheReceiverLooksWhenTheyStop)
{
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < motion_scenes::kWalkingFrames; ++i)
    {
        frames.push_back(ReadWalkingFrame(i));
    }
    for (const int scale : {4, 1})
    {
        SCOPED_TRACE(scale);
        Offers walking;
        walking.scale = scale;
        for (int i = 0; i < 3 * motion_scenes::kWalkingFrames; ++i)
        {
            const int phase = i / motion_scenes::kWalkingFrames;
            const size_t frame = static_cast<size_t>(i % motion_scenes::kWalkingFrames);
            walking.Offer(frames[frame], phase != 1,
                          i * 1000ms / motion_scenes::kWalkingFramesPerSecond, phase);
        }
        // The receiver looks at the first frame, before any picture, and at most once
        // before the pictures take over again.
        EXPECT_EQ(walking.byReceiver[0], 1);
        EXPECT_GE(walking.decoded[0], 5);
        EXPECT_EQ(walking.decoded[1], 0);
        EXPECT_GE(walking.byReceiver[1], 4);
        EXPECT_LE(walking.byReceiver[2], 1);
        EXPECT_GE(walking.decoded[2], 5);
        EXPECT_EQ(walking.detector.GetDecodedLooks(),
                  static_cast<uint64_t>(walking.decoded[0] + walking.decoded[2]));
        // Each change of hands learns the scene as the new way sees it: a look without verdict.
        EXPECT_EQ(walking.run.verdicts[Verdict::Learning], 4);
        ASSERT_TRUE(walking.run.firstMotion);
        EXPECT_LT(*walking.run.firstMotion, 1s);
        EXPECT_GE(walking.run.secondsWithMotion.size(), 7u);

        Offers still;
        still.scale = scale;
        still.detector.SetSensitivity(MotionSensitivity::High);
        for (auto at = 0ms; at < 2min; at += 100ms)
        {
            still.Offer(frames[0], (at / 5s) % 2 == 1, at, 0);
        }
        EXPECT_EQ(still.run.verdicts[Verdict::Learning], 24);
        EXPECT_GE(still.run.verdicts[Verdict::Still], 180);
        EXPECT_EQ(still.run.verdicts.count(Verdict::Motion), 0u);
        EXPECT_EQ(still.run.verdicts.count(Verdict::WholePicture), 0u);
    }
}
