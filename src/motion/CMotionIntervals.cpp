// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion/CMotionIntervals.h"

#include <algorithm>
#include <utility>

void CMotionIntervals::Note(Clock::time_point arrived)
{
    std::lock_guard lock(m_lock);
    if (!m_intervals.empty() && arrived >= m_intervals.back().last &&
        arrived - m_intervals.back().last <= kJoinGap)
    {
        m_intervals.back().last = arrived;
        return;
    }
    if (!m_intervals.empty() && arrived < m_intervals.back().last)
    {
        return;
    }
    m_intervals.push_back({arrived, arrived});
    if (m_intervals.size() > kMostIntervals)
    {
        m_intervals.pop_front();
    }
}

void CMotionIntervals::DropBefore(Clock::time_point oldest)
{
    std::lock_guard lock(m_lock);
    while (!m_intervals.empty() && m_intervals.front().first < oldest)
    {
        m_intervals.pop_front();
    }
}

void CMotionIntervals::Clear()
{
    std::lock_guard lock(m_lock);
    m_intervals.clear();
}

void CMotionIntervals::TakeFrom(CMotionIntervals& from)
{
    if (&from == this)
    {
        return;
    }
    std::scoped_lock lock(m_lock, from.m_lock);
    m_intervals = std::move(from.m_intervals);
    from.m_intervals.clear();
}

std::vector<CMotionIntervals::Interval> CMotionIntervals::Between(Clock::time_point from,
                                                                  Clock::time_point to) const
{
    std::lock_guard lock(m_lock);
    std::vector<Interval> found;
    for (const Interval& interval : m_intervals)
    {
        if (interval.last >= from && interval.first <= to)
        {
            found.push_back(interval);
        }
    }
    return found;
}

std::optional<CMotionIntervals::Clock::time_point>
CMotionIntervals::NextAfter(Clock::time_point when) const
{
    std::lock_guard lock(m_lock);
    const auto next = std::upper_bound(m_intervals.begin(), m_intervals.end(), when,
                                       [](Clock::time_point t, const Interval& interval)
                                       { return t < interval.first; });
    if (next == m_intervals.end())
    {
        return std::nullopt;
    }
    return next->first;
}

std::optional<CMotionIntervals::Clock::time_point>
CMotionIntervals::PreviousBefore(Clock::time_point when) const
{
    std::lock_guard lock(m_lock);
    const auto after = std::lower_bound(m_intervals.begin(), m_intervals.end(), when,
                                        [](const Interval& interval, Clock::time_point t)
                                        { return interval.first < t; });
    if (after == m_intervals.begin())
    {
        return std::nullopt;
    }
    return std::prev(after)->first;
}
