// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

// When one camera showed motion, kept beside its frame history for the marks on a
// timeline and for jumps between motion moments. The receiver thread notes, the GUI
// thread reads; the lock is this camera's alone.
class CMotionIntervals
{
public:
    using Clock = std::chrono::steady_clock;
    struct Interval
    {
        Clock::time_point first; // the first frame with motion
        Clock::time_point last;  // the last one
        bool operator==(const Interval&) const = default;
    };
    // Motion this close after the last one continues its interval.
    static constexpr std::chrono::seconds kJoinGap{2};
    // Oldest dropped first past this, so a camera never trimmed stays bounded.
    static constexpr size_t kMostIntervals = 4096;

    // A frame that showed motion; frames come in order of arrival.
    void Note(Clock::time_point arrived);
    // Forget what began before `oldest`, as the history drops its frames.
    void DropBefore(Clock::time_point oldest);
    void Clear();
    // Takes over `from`'s intervals, leaving it none: a camera that moves to another
    // connection keeps the marks of the frames it takes along.
    void TakeFrom(CMotionIntervals& from);

    // Intervals that overlap [from, to], oldest first.
    std::vector<Interval> Between(Clock::time_point from, Clock::time_point to) const;
    // The first moment of the first interval that begins after `when`.
    std::optional<Clock::time_point> NextAfter(Clock::time_point when) const;
    // The first moment of the last interval that begins before `when`: from inside an
    // interval, its own start.
    std::optional<Clock::time_point> PreviousBefore(Clock::time_point when) const;

private:
    mutable std::mutex m_lock;
    std::deque<Interval> m_intervals; // guarded by m_lock
};
