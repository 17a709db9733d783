// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/HistoryFrame.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class CFrameHistory;

// What the look-back reads the time from; tests set it. The monotonic clock
// seeks, the wall clock labels.
struct LookBackClock
{
    std::function<std::chrono::steady_clock::time_point()> steady = [] {
        return std::chrono::steady_clock::now();
    };
    std::function<std::chrono::system_clock::time_point()> wall = [] {
        return std::chrono::system_clock::now();
    };
};

// The moment shown from one camera's history, or from a whole wall's, whose
// cameras share one moment by arrival time: live, or a moment of the past that
// holds (paused) or moves on at the pace the frames came (playing). GUI thread
// only; the histories it reads guard themselves against their receivers.
class CLookBack
{
public:
    using SteadyTime = std::chrono::steady_clock::time_point;
    using ClockTime = std::chrono::system_clock::time_point;

    using Clock = LookBackClock;

    enum class State
    {
        Live,
        Paused,
        Playing,
    };

    struct Span
    {
        SteadyTime first; // the oldest frame any history keeps
        SteadyTime last;  // now
    };

    static constexpr std::chrono::seconds kJump{10};

    explicit CLookBack(Clock clock = {});
    void SetClock(Clock clock) { m_clock = std::move(clock); }

    // In tile order; a null history is a tile without a camera. Back to live.
    void SetHistories(std::vector<const CFrameHistory*> histories);
    size_t GetHistoryCount() const { return m_histories.size(); }
    // The history Previous Frame and Next Frame step through: the wall's selected tile.
    void SetSelected(size_t index);

    State GetState() const { return m_state; }
    bool IsLive() const { return m_state == State::Live; }
    // Now while live.
    SteadyTime GetMoment() const;
    ClockTime ClockOf(SteadyTime when) const;
    SteadyTime Now() const { return m_clock.steady(); }
    std::optional<Span> GetSpan() const;

    void GoLive();
    // Where another look-back is, paused or playing: a wall's moment in the single view.
    void Follow(const CLookBack& other);
    // Pause while live or playing, Play while paused.
    void TogglePause();
    void Back();
    // Past now is live.
    void Forward();
    // Exactly one frame of the selected history, and paused there; false when
    // there is none that way.
    bool StepFrame(bool forward);
    // The last frame that had arrived by `when` is shown; at or past now, live.
    void Seek(SteadyTime when);
    // Playing that has caught up with the newest frames joins live; GUI tick.
    void Advance();

    // The frame a history shows while looking back: nothing while live, for a
    // tile without a camera, or when no frame had arrived by the moment.
    std::optional<HistoryFrameInfo> FrameOf(size_t index) const;

    // After every change of state or moment.
    std::function<void()> onChanged;

private:
    void MoveTo(SteadyTime moment, State state, std::optional<uint64_t> stepped = std::nullopt);
    bool CaughtUp(SteadyTime moment) const;
    void Changed();

    Clock m_clock;
    std::vector<const CFrameHistory*> m_histories;
    size_t m_nSelected = 0;
    State m_state = State::Live;
    // Paused: the moment; playing: the moment play started from, at m_playStart.
    SteadyTime m_moment;
    SteadyTime m_playStart;
    // A frame stepped to is shown exactly, even beside another of the same arrival time.
    std::optional<uint64_t> m_stepped;
};
