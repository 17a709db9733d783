// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/ViewerFixture.h"

#include "view/CLookBackControl.h"
#include "wall/CWallSwitcher.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

inline constexpr int kWalkingFrames = 30;

// The real scene of tests/data/motion, people walking, at its own ten frames a second.
inline std::shared_ptr<const std::vector<std::vector<uint8_t>>> WalkingFrames()
{
    auto frames = std::make_shared<std::vector<std::vector<uint8_t>>>();
    for (int i = 0; i < kWalkingFrames; ++i)
    {
        char name[32];
        std::snprintf(name, sizeof name, "/motion/walking-%02d.jpg", i);
        std::ifstream in(std::string(QUILLON_TESTDATA_DIR) + name, std::ios::binary);
        frames->emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return frames;
}

inline bool IsMotionRed(QRgb pixel)
{
    return qRed(pixel) > 200 && qGreen(pixel) < 60 && qBlue(pixel) < 60;
}

class WallMotionTest : public ViewerFixture
{
protected:
    using Clock = std::chrono::steady_clock;

    // A 2 x 2 wall of one DVR whose channels replay the scene: those in `walking` play it,
    // the others hold its first frame, a still scene of the same camera. Without a bus
    // address the viewer finds no session bus, as on the machines that run the tests.
    void StartWall(uint16_t walking, const QString& busAddress = {})
    {
        DvrSimSettings dvr;
        dvr.channelCount = 4;
        dvr.framesPerSecond = 10;
        dvr.frameSource.replay = WalkingFrames();
        dvr.frameSource.replayChannels = walking;
        StartDvr(dvr);
        AppSettings settings;
        settings.wall.tourStep = std::chrono::milliseconds(300);
        settings.wall.now = [this] { return Clock::now() + m_clockAhead; };
        settings.sessionBusAddress = busAddress;
        WatchTwoByTwoWall(settings);
        ASSERT_TRUE(ProcessEventsUntil(
            [&]
            {
                for (int i = 0; i < 4; ++i)
                {
                    const auto span = Display(i).GetHistory().GetSpan();
                    if (!span || span->frames < 10 || Wall().GetTile(i).GetPaintedPictures() == 0)
                    {
                        return false;
                    }
                }
                return true;
            },
            10000));
    }

    CWallSwitcher& Switcher() { return *m_app->GetWallSwitcher(); }
    CCameraWall& Wall() { return Switcher().GetWall(); }
    CLookBackControl& LookBack() { return Wall().GetLookBack(); }
    CPictureConnection& Picture(int i) { return Wall().GetTile(i).GetPictureConnection(); }
    CPictureDisplay& Display(int i) { return Picture(i).GetDisplay(); }
    const CMotionIntervals& Marks(int i) { return Display(i).GetMotion().GetIntervals(); }

    // The tile as the user sees it: a red frame on all four sides.
    bool HasRedFrame(int i)
    {
        const QImage image = Wall().grab(Wall().GetTile(i).geometry()).toImage();
        const int w = image.width();
        const int h = image.height();
        return IsMotionRed(image.pixel(1, h / 2)) && IsMotionRed(image.pixel(w - 2, h / 2)) &&
               IsMotionRed(image.pixel(w / 2, 1)) && IsMotionRed(image.pixel(w / 2, h - 2));
    }

    Clock::duration m_clockAhead{};
};
