// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/CFrameStatistics.h"

#include <algorithm>

void CFrameStatistics::OnFrame(uint32_t payloadBytes, Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_ring[m_next] = {now, payloadBytes};
    m_next = (m_next + 1) % kCapacity;
    m_count = m_count < kCapacity ? m_count + 1 : kCapacity;
}

// The rate is the spacing of the frames of the last few seconds: a frame every
// 2 s reads 0.5, not 1 and 0 by turns. A wait for the next frame longer than
// that spacing counts as an interval in progress, so a stalled stream reads low.
CFrameStatistics::Rates CFrameStatistics::Read(Clock::time_point now) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    Rates rates;
    if (m_count == 0)
    {
        return rates;
    }
    const Entry& newest = m_ring[(m_next + kCapacity - 1) % kCapacity];
    rates.sinceLastFrame = now - newest.time;

    const Clock::time_point windowStart = now - kWindow;
    size_t frames = 0;
    uint64_t bytes = 0; // of every frame after the oldest counted: one per interval
    Clock::time_point oldest = newest.time;
    for (size_t i = 1; i <= m_count; ++i)
    {
        const Entry& entry = m_ring[(m_next + kCapacity - i) % kCapacity];
        if (entry.time <= windowStart)
        {
            break;
        }
        if (frames > 0)
        {
            bytes += m_ring[(m_next + kCapacity - i + 1) % kCapacity].bytes;
        }
        ++frames;
        oldest = entry.time;
    }
    if (frames < 2)
    {
        return rates;
    }
    const size_t intervals = frames - 1;
    const Clock::duration span =
        std::max(newest.time - oldest, (now - newest.time) * static_cast<int64_t>(intervals));
    const double seconds = std::chrono::duration<double>(span).count();
    if (seconds > 0)
    {
        rates.framesPerSecond = intervals / seconds;
        rates.kilobitsPerSecond = bytes * 8.0 / 1000.0 / seconds;
    }
    return rates;
}

void CFrameStatistics::Reset()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_next = 0;
    m_count = 0;
}
