#include "display/CFrameStatistics.h"

void CFrameStatistics::OnFrame(uint32_t payloadBytes, Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_ring[m_next] = {now, payloadBytes};
    m_next = (m_next + 1) % kCapacity;
    m_count = m_count < kCapacity ? m_count + 1 : kCapacity;
}

// Frames within the last second, divided by the second: a stream younger than
// that reads low at first. A ring too small for the window divides by what it holds.
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
    uint64_t bytes = 0;
    Clock::time_point oldestCounted = now;
    for (size_t i = 1; i <= m_count; ++i)
    {
        const Entry& entry = m_ring[(m_next + kCapacity - i) % kCapacity];
        if (entry.time <= windowStart)
        {
            break;
        }
        ++frames;
        bytes += entry.bytes;
        oldestCounted = entry.time;
    }
    Clock::duration span = kWindow;
    if (frames == m_count && m_count == kCapacity)
    {
        span = now - oldestCounted;
    }
    const double seconds = std::chrono::duration<double>(span).count();
    if (frames > 0 && seconds > 0)
    {
        rates.framesPerSecond = frames / seconds;
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
