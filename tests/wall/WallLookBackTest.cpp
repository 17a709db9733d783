// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ViewerFixture.h"

#include "view/CLookBackControl.h"
#include "view/CTimeline.h"
#include "wall/CWallSwitcher.h"

using namespace std::chrono_literals;

namespace
{
class WallLookBackTest : public ViewerFixture
{
protected:
    void StartWall()
    {
        WatchTwoByTwoWall();
        // Every camera has kept a second of its frames.
        ASSERT_TRUE(ProcessEventsUntil(
            [&]
            {
                for (int i = 0; i < 4; ++i)
                {
                    const auto span = History(i).GetSpan();
                    if (!span || span->frames < 25)
                    {
                        return false;
                    }
                }
                return true;
            },
            10000));
    }

    CCameraWall& Wall() { return m_app->GetWallSwitcher()->GetWall(); }
    CLookBackControl& LookBack() { return Wall().GetLookBack(); }
    CPictureDisplay& Display(int i)
    {
        return Wall().GetTile(i).GetPictureConnection().GetDisplay();
    }
    CFrameHistory& History(int i) { return Display(i).GetHistory(); }

    // Every tile paints a frame of the moment: the last one each had by then.
    void ExpectEveryTileAt(CLookBack::SteadyTime moment)
    {
        for (int i = 0; i < 4; ++i)
        {
            const auto shown = Display(i).GetShownPast();
            const auto expected = History(i).FindAt(moment);
            ASSERT_TRUE(expected) << i;
            // A camera without video paints the logo for its frames.
            ASSERT_TRUE(shown || expected->videoLoss) << i;
            if (shown)
            {
                EXPECT_EQ(shown->sequence, expected->sequence) << i;
            }
            EXPECT_EQ(LookBack().GetShownFrame(static_cast<size_t>(i))->sequence,
                      expected->sequence)
                << i;
        }
    }
};
} // namespace

// Space holds the whole wall at one moment, the wall's timeline moves it for every
// tile, a double click opens a camera at that moment, and End is live again.
TEST_F(WallLookBackTest, EveryTileShowsItsFrameOfTheSameMoment)
{
    StartWall();
    QTest::keyClick(&Wall(), Qt::Key_Space);
    ASSERT_EQ(LookBack().GetLookBack().GetState(), CLookBack::State::Paused);
    EXPECT_EQ(Item(ID_LOOKBACK_PAUSE).text(), "Play");
    ExpectEveryTileAt(LookBack().GetLookBack().GetMoment());
    EXPECT_FALSE(Wall().IsAnyTileLive());

    CTimeline& timeline = LookBack().GetTimeline();
    ASSERT_TRUE(timeline.isVisible());
    EXPECT_EQ(timeline.geometry().bottom(), Wall().height() - 1);
    EXPECT_EQ(timeline.width(), Wall().width());
    CLookBack::SteadyTime latestStart{};
    for (int i = 0; i < 4; ++i)
    {
        latestStart = std::max(latestStart, History(i).GetSpan()->first);
    }
    const int x = timeline.PositionOf(latestStart + 500ms);
    QTest::mousePress(&timeline, Qt::LeftButton, {}, QPoint(x, 10));
    QTest::mouseMove(&timeline, QPoint(x + 3, 10));
    QTest::mouseRelease(&timeline, Qt::LeftButton, {}, QPoint(x + 3, 10));
    ExpectEveryTileAt(LookBack().GetLookBack().GetMoment());

    // Before the latest camera's first frame, that one has nothing to show and says so.
    LookBack().GetLookBack().Seek(latestStart - 1ms);
    std::vector<size_t> without;
    for (int i = 0; i < 4; ++i)
    {
        if (!History(i).FindAt(latestStart - 1ms))
        {
            without.push_back(static_cast<size_t>(i));
            EXPECT_TRUE(LookBack().PastText(static_cast<size_t>(i)).startsWith("No picture at "));
            EXPECT_TRUE(Wall().GetTile(i).IsLive() == false);
        }
    }
    ASSERT_FALSE(without.empty());
    const CDecodePool& pictures = Wall().GetPictures();
    // Its tile shows no picture, not the last live one, and having painted that,
    // is not repainted at every tick.
    for (const size_t i : without)
    {
        EXPECT_TRUE(ProcessEventsUntil(
            [&]
            {
                return pictures.GetSerial(i) == 0 &&
                       Wall().GetTile(static_cast<int>(i)).GetPaintedSerial() == 0;
            }))
            << i;
    }

    LookBack().GetLookBack().Seek(latestStart + 300ms);
    // While paused no live frame is handed over: the workers place the frame of the
    // new moment, and the tile paints it.
    for (const size_t i : without)
    {
        EXPECT_TRUE(ProcessEventsUntil(
            [&]
            {
                const uint64_t serial = pictures.GetSerial(i);
                return serial != 0 &&
                       Wall().GetTile(static_cast<int>(i)).GetPaintedSerial() == serial;
            }))
            << i;
    }
    const CLookBack::SteadyTime moment = LookBack().GetLookBack().GetMoment();
    const auto tileFrame = LookBack().GetShownFrame(1);
    ASSERT_TRUE(tileFrame);
    // The camera's history goes with it: the single view shows the tile's frame.
    QTest::mouseDClick(&Wall().GetTile(1), Qt::LeftButton, {}, QPoint(40, 40));
    ASSERT_TRUE(m_app->GetWallSwitcher()->IsTileOpen());
    const CLookBack& single = View().GetLookBack().GetLookBack();
    EXPECT_EQ(single.GetState(), CLookBack::State::Paused);
    EXPECT_EQ(single.GetMoment(), moment);
    const auto viewFrame = View().GetClient().GetPictureDisplay().GetShownPast();
    ASSERT_TRUE(viewFrame);
    EXPECT_EQ(viewFrame->sequence, tileFrame->sequence);
    QTest::keyClick(&View(), Qt::Key_Escape);
    ASSERT_FALSE(m_app->GetWallSwitcher()->IsTileOpen());

    QTest::keyClick(&Wall(), Qt::Key_End);
    EXPECT_TRUE(LookBack().GetLookBack().IsLive());
    EXPECT_TRUE(ProcessEventsUntil([&] { return Wall().IsAnyTileLive(); }));
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_FALSE(Display(i).IsShowingPast()) << i;
    }
}
