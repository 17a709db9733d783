// SPDX-License-Identifier: GPL-3.0-or-later
#include "WallMotionFixture.h"

#include "view/CLookBackControl.h"
#include "view/CTimeline.h"
#include "view/ViewerSettings.h"
#include "wall/CMotionWatch.h"
#include "wall/CWallSwitcher.h"

#include <QContextMenuEvent>
#include <QMenu>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The still scene on every tile, then people walking on CH-01: only its tile gets the red
// frame, the timeline marks where its walking frames are, Next Motion goes to the first
// of them, and a tile's right click sets its own camera's sensitivity.
TEST_F(WallMotionTest, OnlyTheWalkingTileLightsUpAndTheTimelineAndNextMotionFindItsFrames)
{
    StartWall(0);
    const Clock::time_point walkingFrom = Clock::now();
    m_dvr->SetReplayChannels(1);
    ASSERT_TRUE(ProcessEventsUntil([&] { return Picture(0).IsMotionShown(); }, 10000));
    ASSERT_TRUE(ProcessEventsUntil(
        [&]
        {
            const auto found = Marks(0).Between(walkingFrom, Clock::now());
            return !found.empty() && found.back().last - found.front().first >= 2s;
        },
        10000));
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(HasRedFrame(i), i == 0) << i;
        EXPECT_EQ(Picture(i).IsMotionShown(), i == 0) << i;
    }
    for (int i = 1; i < 4; ++i)
    {
        EXPECT_TRUE(Marks(i).Between(Clock::time_point(), Clock::now()).empty()) << i;
    }
    // The wall's workers decode the frames to show them; the motion was looked for in
    // those pictures, not by reading every frame a second time.
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_GT(Display(i).GetMotion().GetDecodedLooks(), 2u) << i;
    }

    // A right click on CH-02's tile: Motion Sensitivity > High, for that camera alone.
    // The event the window system turns a right click into.
    CWallTile& yard = Wall().GetTile(1);
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(40, 40),
                                 yard.mapToGlobal(QPoint(40, 40)));
    QApplication::sendEvent(&yard, &rightClick);
    QMenu& menu = m_app->GetMotionWatch()->GetTileMenu();
    ASSERT_TRUE(ProcessEventsUntil([&] { return menu.isVisible(); }));
    EXPECT_EQ(Wall().GetSelected(), 1);
    QAction* sensitivity = menu.actions().value(0);
    ASSERT_TRUE(sensitivity != nullptr && sensitivity->menu() != nullptr);
    EXPECT_EQ(sensitivity->text(), "Motion Sensitivity");
    QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.actionGeometry(sensitivity).center());
    QMenu& levels = *sensitivity->menu();
    ASSERT_TRUE(ProcessEventsUntil([&] { return levels.isVisible(); }));
    EXPECT_TRUE(levels.actions().value(1)->isChecked()) << "Medium until set";
    QTest::mouseClick(&levels, Qt::LeftButton, {},
                      levels.actionGeometry(levels.actions().value(2)).center());
    EXPECT_TRUE(Item(ID_MOTION_SENSITIVITY_FIRST + 2).isChecked());
    EXPECT_EQ(Display(1).GetMotion().GetSensitivity(), MotionSensitivity::High);
    EXPECT_EQ(Display(0).GetMotion().GetSensitivity(), MotionSensitivity::Medium);
    {
        const auto settings = OpenViewerSettings(SettingsFile());
        EXPECT_EQ(GetMotionSensitivity(*settings, u"Gate", 1), MotionSensitivity::High);
        EXPECT_EQ(GetMotionSensitivity(*settings, u"Gate", 0), MotionSensitivity::Medium);
    }
    QTest::mouseClick(&Wall().GetTile(0), Qt::LeftButton, {}, QPoint(40, 40));
    EXPECT_TRUE(
        ProcessEventsUntil([&] { return Item(ID_MOTION_SENSITIVITY_FIRST + 1).isChecked(); }));

    // Paused, the timeline shows the walking camera's motion where its frames are, red,
    // and nothing before the walking began.
    // The menu's popup has taken the window's activation away and given it back.
    Frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));
    QTest::keyClick(&Wall(), Qt::Key_Space);
    CTimeline& timeline = LookBack().GetTimeline();
    ASSERT_TRUE(timeline.isVisible());
    const std::vector<CTimeline::Mark> marks = timeline.GetMotionMarks();
    ASSERT_FALSE(marks.empty());
    EXPECT_LT(marks.front().from - walkingFrom, 1500ms) << "motion within a second of walking";
    for (const CTimeline::Mark& mark : marks)
    {
        EXPECT_GE(mark.from, walkingFrom);
        EXPECT_TRUE(Display(0).GetHistory().FindAt(mark.from)->arrived == mark.from)
            << "a mark starts at a kept frame";
    }
    const QImage bar = timeline.grab().toImage();
    const CTimeline::Mark& longest = *std::max_element(marks.begin(), marks.end(),
                                                       [](const auto& a, const auto& b)
                                                       { return a.to - a.from < b.to - b.from; });
    EXPECT_TRUE(IsMotionRed(
        bar.pixel(timeline.PositionOf(longest.from + (longest.to - longest.from) / 2), 10)));
    EXPECT_FALSE(IsMotionRed(bar.pixel(timeline.PositionOf(walkingFrom - 500ms), 10)));

    // From a moment of the still scene, Shift+L goes to the first frame with motion;
    // there is none before it, and from live Shift+J goes to the last motion's start.
    const int still = timeline.PositionOf(walkingFrom - 500ms);
    QTest::mouseClick(&timeline, Qt::LeftButton, {}, QPoint(still, 10));
    ASSERT_LT(LookBack().GetLookBack().GetMoment(), walkingFrom);
    QTest::keyClick(&Wall(), Qt::Key_L, Qt::ShiftModifier);
    EXPECT_EQ(LookBack().GetLookBack().GetMoment(), marks.front().from);
    ASSERT_TRUE(LookBack().GetShownFrame(0));
    EXPECT_EQ(LookBack().GetShownFrame(0)->arrived, marks.front().from);
    QTest::keyClick(&Wall(), Qt::Key_J, Qt::ShiftModifier);
    EXPECT_EQ(LookBack().GetLookBack().GetMoment(), marks.front().from);
    QTest::keyClick(&Wall(), Qt::Key_End);
    ASSERT_TRUE(LookBack().GetLookBack().IsLive());
    QTest::keyClick(&Wall(), Qt::Key_J, Qt::ShiftModifier);
    EXPECT_EQ(LookBack().GetLookBack().GetMoment(), Marks(0).PreviousBefore(Clock::now()));
}

// Follow Motion opens the walking camera alone, with its mark, and takes the wall back
// ten seconds by the wall's clock after its motion ends; the tour holds on a camera
// while it shows motion; the covered tiles go on keeping their frames.
TEST_F(WallMotionTest, FollowMotionOpensTheWalkingCameraAndComesBackAndTheTourWaitsOnIt)
{
    StartWall(1);
    EXPECT_FALSE(Item(ID_FOLLOW_MOTION).isChecked());
    Item(ID_FOLLOW_MOTION).trigger();
    EXPECT_TRUE(OpenViewerSettings(SettingsFile())->value("motion/follow").toBool());
    ASSERT_TRUE(ProcessEventsUntil([&] { return Switcher().GetOpenTile() == 0; }, 10000));
    ASSERT_TRUE(ProcessEventsUntil(
        [&] { return View().GetPictureConnection().IsMotionShown() && View().IsPictureLive(); },
        10000));
    const QImage view = View().grab().toImage();
    EXPECT_TRUE(IsMotionRed(view.pixel(view.width() - 1 - 8 - 6, 8 + 6)));
    EXPECT_FALSE(IsMotionRed(view.pixel(8 + 6, 8 + 6)));
    const size_t covered = Display(1).GetHistory().GetSpan()->frames;
    EXPECT_TRUE(ProcessEventsUntil(
        [&] { return Display(1).GetHistory().GetSpan()->frames >= covered + 5; }));

    // The walking stops: no more frames. Its hold over, the camera stays on view until
    // ten seconds have passed without motion.
    DvrMisbehaviour quiet;
    quiet.pauseFrames = true;
    m_dvr->SetMisbehaviour(quiet);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !View().GetPictureConnection().IsMotionShown(); }));
    m_clockAhead += 8s;
    m_app->GetMotionWatch()->Look();
    EXPECT_EQ(Switcher().GetOpenTile(), 0);
    m_clockAhead += 3s;
    m_app->GetMotionWatch()->Look();
    EXPECT_FALSE(Switcher().IsTileOpen());
    EXPECT_EQ(Switcher().GetColumns(), 2);

    // Follow Motion off, the walking again: the tour holds on it for steps on end, and
    // moves on once it is still.
    Item(ID_FOLLOW_MOTION).trigger();
    m_dvr->SetMisbehaviour({});
    ASSERT_TRUE(ProcessEventsUntil([&] { return Picture(0).IsMotionShown(); }, 10000));
    Wall().Select(0);
    Item(ID_LAYOUT_TOUR).trigger();
    ASSERT_EQ(Switcher().GetOpenTile(), 0);
    EXPECT_FALSE(ProcessEventsUntil([&] { return Switcher().GetOpenTile() != 0; }, 1500));
    EXPECT_TRUE(View().GetClient().GetPictureDisplay().GetMotion().IsMotion(Clock::now()));
    m_dvr->SetMisbehaviour(quiet);
    EXPECT_TRUE(ProcessEventsUntil([&] { return Switcher().GetOpenTile() == 1; }, 6000));
}
