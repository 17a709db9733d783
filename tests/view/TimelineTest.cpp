// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/CFrameHistory.h"
#include "history/CHistoryBudget.h"
#include "support/QtTestApplication.h"
#include "view/CTimeline.h"

#include <QAccessible>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace
{
const std::chrono::steady_clock::time_point kStart{std::chrono::hours(5)};
// 2026-12-09 14:00:00 in the test's own time zone.
const QDateTime kStartDate(QDate(2026, 12, 9), QTime(14, 0, 0));

// A picture with its timeline over a camera's last 5 minutes, at 5 frames/s.
class TimelineTest : public ::testing::Test
{
protected:
    TimelineTest()
        : m_lookBack(CLookBack::Clock{[this] { return m_now; }, [this] { return WallNow(); }})
    {
        TestApplication();
        for (auto at = 0ms; at < 300s; at += 200ms)
        {
            const uint8_t bytes[8] = {0xff, 0xd8};
            HistoryFrameInfo info;
            info.arrived = kStart + at;
            m_history.Store(bytes, sizeof(bytes), info);
        }
        m_now = kStart + 300s;
        m_lookBack.SetHistories({&m_history});
        m_parent.resize(400, 300);
        m_pTimeline = new CTimeline(m_lookBack, m_parent);
        m_lookBack.onChanged = [this] { m_pTimeline->Refresh(); };
        m_pTimeline->Refresh();
        m_parent.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&m_parent));
    }

    std::chrono::system_clock::time_point WallNow() const
    {
        return std::chrono::system_clock::time_point(
            std::chrono::milliseconds(kStartDate.toMSecsSinceEpoch()) + (m_now - kStart));
    }

    int TrackY() const { return 10; }

    std::chrono::steady_clock::time_point m_now;
    CHistoryBudget m_budget{16 << 20};
    CFrameHistory m_history{m_budget};
    CLookBack m_lookBack;
    QWidget m_parent;
    CTimeline* m_pTimeline; // a child of the parent
};
} // namespace

TEST_F(TimelineTest, ShowsNearTheBottomEdgeAfterATapAndWhileLookingBack)
{
    EXPECT_FALSE(m_pTimeline->isVisible());
    QTest::mouseMove(&m_parent, QPoint(200, 100));
    EXPECT_FALSE(m_pTimeline->isVisible());
    QTest::mouseMove(&m_parent, QPoint(200, 290));
    EXPECT_TRUE(m_pTimeline->isVisible());
    EXPECT_EQ(m_pTimeline->geometry(), QRect(0, 300 - CTimeline::kHeight, 400, CTimeline::kHeight));
    QTest::mouseMove(&m_parent, QPoint(200, 100));
    EXPECT_FALSE(m_pTimeline->isVisible());
    // A click is the mouse's, which has the bottom edge; a finger's tap shows it.
    QTest::mouseClick(&m_parent, Qt::LeftButton, {}, QPoint(200, 100));
    EXPECT_FALSE(m_pTimeline->isVisible());
    static QPointingDevice* const touch = QTest::createTouchDevice();
    QTest::touchEvent(&m_parent, touch).press(0, QPoint(200, 100));
    QTest::touchEvent(&m_parent, touch).release(0, QPoint(200, 100));
    EXPECT_TRUE(m_pTimeline->isVisible());

    m_parent.resize(500, 200);
    EXPECT_EQ(m_pTimeline->geometry(), QRect(0, 200 - CTimeline::kHeight, 500, CTimeline::kHeight));
    m_lookBack.TogglePause();
    QTest::mouseMove(&m_parent, QPoint(200, 50));
    EXPECT_TRUE(m_pTimeline->isVisible());
    EXPECT_TRUE(m_pTimeline->GetLiveButton().styleSheet().contains("#707070"));
    QTest::mouseClick(&m_pTimeline->GetLiveButton(), Qt::LeftButton);
    EXPECT_TRUE(m_lookBack.IsLive());
    EXPECT_TRUE(m_pTimeline->GetLiveButton().styleSheet().contains("#d01c1c"));
}

// The span is the five minutes kept, not thirty; a click and a drag show those moments.
TEST_F(TimelineTest, AClickOrADragSeeksAlongTheRealSpanKept)
{
    QTest::mouseMove(&m_parent, QPoint(200, 290));
    const int left = m_pTimeline->PositionOf(kStart);
    const int right = m_pTimeline->PositionOf(m_now);
    EXPECT_EQ(left, 8);
    EXPECT_EQ(m_pTimeline->TimeAt(left), kStart);
    EXPECT_EQ(m_pTimeline->TimeAt(right), m_now);
    EXPECT_LT(right, m_pTimeline->GetLiveButton().geometry().left());
    const int middle = m_pTimeline->PositionOf(kStart + 150s);
    EXPECT_NEAR(middle, (left + right) / 2, 1);

    QTest::mouseClick(m_pTimeline, Qt::LeftButton, {}, QPoint(middle, TrackY()));
    EXPECT_EQ(m_lookBack.GetState(), CLookBack::State::Paused);
    const auto seconds = [](auto d) { return std::chrono::duration<double>(d).count(); };
    // One pixel of the track is about a second of these five minutes.
    EXPECT_NEAR(seconds(m_lookBack.GetMoment() - kStart), 150, 1.5);
    const auto frame = m_lookBack.FrameOf(0);
    ASSERT_TRUE(frame);
    EXPECT_LE(frame->arrived, m_lookBack.GetMoment());
    EXPECT_GT(frame->arrived + 200ms, m_lookBack.GetMoment());

    QTest::mousePress(m_pTimeline, Qt::LeftButton, {}, QPoint(middle, TrackY()));
    QTest::mouseMove(m_pTimeline, QPoint(left + (right - left) / 4, TrackY()));
    EXPECT_NEAR(seconds(m_lookBack.GetMoment() - kStart), 75, 1.5);
    QTest::mouseMove(m_pTimeline, QPoint(right + 20, TrackY()));
    QTest::mouseRelease(m_pTimeline, Qt::LeftButton, {}, QPoint(right + 20, TrackY()));
    EXPECT_TRUE(m_lookBack.IsLive());
}

TEST_F(TimelineTest, ScreenReadersHearTheMomentShown)
{
    m_lookBack.Seek(kStart + 183s);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(m_pTimeline);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::Slider);
    EXPECT_EQ(accessible->text(QAccessible::Name), QString("Timeline"));
    EXPECT_EQ(accessible->text(QAccessible::Value), QString("14:03:03"));
    m_lookBack.GoLive();
    EXPECT_EQ(accessible->text(QAccessible::Value), QString("14:05:00"));
}
