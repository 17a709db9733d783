// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/CFrameHistory.h"
#include "history/CHistoryBudget.h"
#include "history/CLookBack.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace
{
const std::chrono::steady_clock::time_point kStart{std::chrono::hours(2)};
const std::chrono::system_clock::time_point kStartClock{std::chrono::hours(400000)};
constexpr auto kFrameInterval = 40ms;

// A camera at 25 frames/s; the test moves the clock the look-back reads.
class LookBackTest : public ::testing::Test
{
protected:
    LookBackTest()
        : m_lookBack(CLookBack::Clock{[this] { return m_now; },
                                      [this] { return kStartClock + (m_now - kStart); }})
    {
        m_lookBack.onChanged = [this] { ++m_changes; };
        m_lookBack.SetHistories({&m_history});
    }

    // Frames every 40 ms from `from` on, as they would arrive, until the clock reads `to`.
    void Arrive(CFrameHistory& history, std::chrono::milliseconds from,
                std::chrono::milliseconds to, std::chrono::milliseconds offset = 0ms)
    {
        for (auto at = from + offset; at < to; at += kFrameInterval)
        {
            Store(history, kStart + at);
        }
        m_now = kStart + to;
    }

    static void Store(CFrameHistory& history, std::chrono::steady_clock::time_point arrived)
    {
        const uint8_t bytes[16] = {0xff, 0xd8};
        HistoryFrameInfo info;
        info.arrived = arrived;
        info.arrivedClock = kStartClock + (arrived - kStart);
        history.Store(bytes, sizeof(bytes), info);
    }

    // How long before the clock's now the frame shown arrived.
    std::chrono::milliseconds Behind(size_t index = 0) const
    {
        const auto frame = m_lookBack.FrameOf(index);
        EXPECT_TRUE(frame);
        return frame ? std::chrono::duration_cast<std::chrono::milliseconds>(m_now - frame->arrived)
                     : -1ms;
    }

    std::chrono::steady_clock::time_point m_now = kStart;
    CHistoryBudget m_budget{64 << 20};
    CFrameHistory m_history{m_budget};
    CLookBack m_lookBack;
    int m_changes = 0;
};
} // namespace

// Pause holds the picture; play follows the frames at the pace they came while they
// keep arriving, and joins live once it catches up with a camera that stopped sending.
TEST_F(LookBackTest, PauseHoldsThePicturePlayFollowsTheFramesAndJoinsLiveOnCatchingUp)
{
    // Nothing kept yet: nothing to hold.
    m_lookBack.TogglePause();
    EXPECT_TRUE(m_lookBack.IsLive());
    Arrive(m_history, 0ms, 20000ms);
    EXPECT_FALSE(m_lookBack.FrameOf(0));
    EXPECT_EQ(m_lookBack.GetMoment(), m_now);

    m_lookBack.TogglePause();
    ASSERT_EQ(m_lookBack.GetState(), CLookBack::State::Paused);
    const uint64_t held = m_lookBack.FrameOf(0)->sequence;
    EXPECT_EQ(held, m_history.GetSpan()->lastSequence);
    Arrive(m_history, 20000ms, 25000ms);
    EXPECT_EQ(m_lookBack.FrameOf(0)->sequence, held);

    m_lookBack.TogglePause();
    ASSERT_EQ(m_lookBack.GetState(), CLookBack::State::Playing);
    Arrive(m_history, 25000ms, 25400ms);
    EXPECT_EQ(m_lookBack.FrameOf(0)->sequence, held + 11);
    m_lookBack.Advance();
    EXPECT_EQ(m_lookBack.GetState(), CLookBack::State::Playing);
    EXPECT_NEAR(Behind().count(), 5000, 40);

    m_lookBack.TogglePause();
    m_now += 3s;
    EXPECT_EQ(m_lookBack.FrameOf(0)->sequence, held + 11);
    m_lookBack.GoLive();
    EXPECT_FALSE(m_lookBack.FrameOf(0));

    // The newest frame arrived at 25.36 s; play from 24 s reaches it 1.36 s later.
    m_lookBack.Seek(kStart + 24000ms);
    m_lookBack.TogglePause();
    m_now += 1000ms;
    m_lookBack.Advance();
    EXPECT_EQ(m_lookBack.GetState(), CLookBack::State::Playing);
    m_now += 1000ms;
    m_lookBack.Advance();
    EXPECT_TRUE(m_lookBack.IsLive());
    // Set live, paused, played, paused, live; then paused by the seek, played, live.
    EXPECT_EQ(m_changes, 8);
}

// Ten seconds back and forward, a seek and a frame step, each from live and paused; a
// moment at or past now is live.
TEST_F(LookBackTest, JumpsSeeksAndFrameStepsMoveThroughTheKeptFramesAndPastNowIsLive)
{
    EXPECT_FALSE(m_lookBack.StepFrame(false));
    Arrive(m_history, 0ms, 30000ms);
    m_lookBack.Back();
    EXPECT_EQ(m_lookBack.GetState(), CLookBack::State::Playing);
    EXPECT_NEAR(Behind().count(), 10000, 40);
    m_lookBack.TogglePause();
    m_lookBack.Back();
    EXPECT_EQ(m_lookBack.GetState(), CLookBack::State::Paused);
    EXPECT_NEAR(Behind().count(), 20000, 40);
    m_lookBack.Forward();
    EXPECT_NEAR(Behind().count(), 10000, 40);
    // Never before the oldest frame kept.
    for (int i = 0; i < 3; ++i)
    {
        m_lookBack.Back();
    }
    EXPECT_EQ(m_lookBack.FrameOf(0)->sequence, m_history.GetSpan()->firstSequence);
    for (int i = 0; i < 3; ++i)
    {
        m_lookBack.Forward();
    }
    EXPECT_TRUE(m_lookBack.IsLive());
    m_lookBack.Forward();
    EXPECT_TRUE(m_lookBack.IsLive());

    // The seek shows the last frame that had arrived by then.
    m_lookBack.Seek(kStart + 4030ms);
    EXPECT_EQ(m_lookBack.GetState(), CLookBack::State::Paused);
    EXPECT_EQ(m_lookBack.FrameOf(0)->arrived, kStart + 4000ms);
    EXPECT_EQ(m_lookBack.ClockOf(m_lookBack.GetMoment()), kStartClock + 4030ms);
    const auto span = m_lookBack.GetSpan();
    ASSERT_TRUE(span);
    EXPECT_EQ(span->first, kStart);
    EXPECT_EQ(span->last, m_now);
    m_lookBack.TogglePause();
    m_lookBack.Seek(kStart + 2000ms);
    EXPECT_EQ(m_lookBack.GetState(), CLookBack::State::Playing);
    m_lookBack.Seek(m_now);
    EXPECT_TRUE(m_lookBack.IsLive());

    // A step moves exactly one frame, also beside two stamped at the same moment, as a
    // late receiver may store them.
    Store(m_history, m_now);
    Store(m_history, m_now);
    m_now += 100ms;
    const uint64_t newest = m_history.GetSpan()->lastSequence;
    EXPECT_FALSE(m_lookBack.StepFrame(true));
    EXPECT_TRUE(m_lookBack.IsLive());
    ASSERT_TRUE(m_lookBack.StepFrame(false));
    EXPECT_EQ(m_lookBack.GetState(), CLookBack::State::Paused);
    EXPECT_EQ(m_lookBack.FrameOf(0)->sequence, newest - 1);
    ASSERT_TRUE(m_lookBack.StepFrame(false));
    EXPECT_EQ(m_lookBack.FrameOf(0)->sequence, newest - 2);
    ASSERT_TRUE(m_lookBack.StepFrame(true));
    ASSERT_TRUE(m_lookBack.StepFrame(true));
    EXPECT_EQ(m_lookBack.FrameOf(0)->sequence, newest);
    EXPECT_FALSE(m_lookBack.StepFrame(true));
    // From a moment before anything was kept, the next frame is the oldest.
    m_lookBack.Seek(kStart - 1s);
    EXPECT_FALSE(m_lookBack.FrameOf(0));
    EXPECT_FALSE(m_lookBack.StepFrame(false));
    ASSERT_TRUE(m_lookBack.StepFrame(true));
    EXPECT_EQ(m_lookBack.FrameOf(0)->sequence, m_history.GetSpan()->firstSequence);
}

// A wall: every camera shows its own frame of one moment, nothing where it had none yet.
TEST_F(LookBackTest, EveryCameraOfAWallShowsItsFrameOfTheSameMoment)
{
    CFrameHistory late(m_budget);
    CFrameHistory other(m_budget);
    m_lookBack.SetHistories({&m_history, nullptr, &other, &late});
    Arrive(other, 0ms, 20000ms, 17ms);
    Arrive(late, 15000ms, 20000ms, 5ms);
    Arrive(m_history, 0ms, 20000ms);
    m_lookBack.SetSelected(2);
    ASSERT_TRUE(m_lookBack.StepFrame(false));
    EXPECT_EQ(m_lookBack.FrameOf(2)->sequence, other.GetSpan()->lastSequence - 1);
    m_lookBack.Seek(kStart + 12345ms);
    for (const size_t index : {0u, 2u})
    {
        const auto frame = m_lookBack.FrameOf(index);
        ASSERT_TRUE(frame);
        EXPECT_LE(frame->arrived, kStart + 12345ms);
        EXPECT_GT(frame->arrived + kFrameInterval, kStart + 12345ms);
    }
    EXPECT_FALSE(m_lookBack.FrameOf(1));
    EXPECT_FALSE(m_lookBack.FrameOf(3));
    m_lookBack.Seek(kStart + 16000ms);
    EXPECT_TRUE(m_lookBack.FrameOf(3));
    // A tile opened in the single view goes on from the wall's moment.
    CLookBack single(CLookBack::Clock{[this] { return m_now; }, {}});
    single.SetHistories({&other});
    single.Follow(m_lookBack);
    EXPECT_EQ(single.GetState(), CLookBack::State::Paused);
    EXPECT_EQ(single.FrameOf(0)->sequence, m_lookBack.FrameOf(2)->sequence);
    // A new set of cameras is live.
    m_lookBack.SetHistories({&late});
    EXPECT_TRUE(m_lookBack.IsLive());
    EXPECT_EQ(m_lookBack.GetSpan()->first, kStart + 15005ms);
}
