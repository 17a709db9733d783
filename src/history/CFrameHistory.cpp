// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/CFrameHistory.h"

#include "history/CHistoryBudget.h"

#include <algorithm>
#include <new>
#include <utility>

CFrameHistory::CFrameHistory(CHistoryBudget& budget, std::chrono::seconds longest)
    : m_budget(budget), m_longest(longest)
{
}

CFrameHistory::~CFrameHistory()
{
    Reset();
}

uint64_t CFrameHistory::Store(const uint8_t* jpeg, size_t length, HistoryFrameInfo info,
                              const std::function<bool()>& mayStore)
{
    std::vector<uint8_t> buffer;
    uint64_t generation = 0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        generation = m_nGeneration;
        if (m_nCount > 0)
        {
            // Readers search by arrival, so the times never go backwards.
            info.arrived = std::max(info.arrived, At(m_nCount - 1).info.arrived);
        }
        TakeBufferLocked(buffer, length, info.arrived);
    }
    try
    {
        buffer.assign(jpeg, jpeg + length);
    }
    catch (const std::bad_alloc&)
    {
        return 0;
    }
    std::lock_guard<std::mutex> lock(m_lock);
    if (generation != m_nGeneration || (mayStore && !mayStore()))
    {
        return 0;
    }
    info.sequence = m_nNextSequence++;
    PushLocked(std::move(buffer), info);
    return info.sequence;
}

// Frames past the longest span go first, then the oldest until the new frame
// fits the share; the first dropped buffer big enough is kept for it.
void CFrameHistory::TakeBufferLocked(std::vector<uint8_t>& buffer, size_t length,
                                     std::chrono::steady_clock::time_point arrived)
{
    const size_t share = m_budget.GetShare();
    auto keep = [&](std::vector<uint8_t>&& dropped) {
        if (buffer.capacity() < length && dropped.capacity() >= length)
        {
            buffer = std::move(dropped);
        }
    };
    while (m_nCount > 0 && arrived - At(0).info.arrived > m_longest)
    {
        keep(DropOldestLocked());
    }
    while (m_nCount > 0 && m_nBytes + std::max(length, buffer.capacity()) > share)
    {
        keep(DropOldestLocked());
    }
}

std::vector<uint8_t> CFrameHistory::DropOldestLocked()
{
    std::vector<uint8_t> bytes = std::move(m_slots[m_nFirst].bytes);
    m_nFirst = (m_nFirst + 1) % m_slots.size();
    --m_nCount;
    m_nBytes -= bytes.capacity();
    m_budget.Remove(bytes.capacity());
    return bytes;
}

void CFrameHistory::PushLocked(std::vector<uint8_t>&& bytes, const HistoryFrameInfo& info)
{
    if (m_nCount == m_slots.size())
    {
        std::vector<Slot> grown(std::max<size_t>(m_slots.size() * 2, 64));
        for (size_t i = 0; i < m_nCount; ++i)
        {
            grown[i] = std::move(m_slots[(m_nFirst + i) % m_slots.size()]);
        }
        m_slots = std::move(grown);
        m_nFirst = 0;
    }
    Slot& slot = m_slots[(m_nFirst + m_nCount) % m_slots.size()];
    m_nBytes += bytes.capacity();
    m_budget.Add(bytes.capacity());
    slot.bytes = std::move(bytes);
    slot.info = info;
    ++m_nCount;
    SetJoinedLocked(true);
}

void CFrameHistory::Reset()
{
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_nGeneration;
    while (m_nCount > 0)
    {
        DropOldestLocked();
    }
    m_slots.clear();
    m_nFirst = 0;
    SetJoinedLocked(false);
}

void CFrameHistory::TakeFrom(CFrameHistory& from)
{
    if (&from == this)
    {
        return;
    }
    std::scoped_lock lock(m_lock, from.m_lock);
    ++m_nGeneration;
    ++from.m_nGeneration;
    while (m_nCount > 0)
    {
        DropOldestLocked();
    }
    // The bytes move to this history's budget, which may be another.
    from.m_budget.Remove(from.m_nBytes);
    m_budget.Add(from.m_nBytes);
    m_slots = std::move(from.m_slots);
    m_nFirst = std::exchange(from.m_nFirst, 0);
    m_nCount = std::exchange(from.m_nCount, 0);
    m_nBytes = std::exchange(from.m_nBytes, 0);
    m_nNextSequence = from.m_nNextSequence;
    from.m_slots.clear();
    SetJoinedLocked(m_nCount > 0);
    from.SetJoinedLocked(false);
}

// Only a history that holds frames takes a share.
void CFrameHistory::SetJoinedLocked(bool joined)
{
    if (joined == m_bJoined)
    {
        return;
    }
    m_bJoined = joined;
    if (joined)
    {
        m_budget.Join();
    }
    else
    {
        m_budget.Leave();
    }
}

std::optional<CFrameHistory::Span> CFrameHistory::GetSpan() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_nCount == 0)
    {
        return std::nullopt;
    }
    const HistoryFrameInfo& first = At(0).info;
    const HistoryFrameInfo& last = At(m_nCount - 1).info;
    return Span{first.arrived,      last.arrived, first.arrivedClock, last.arrivedClock,
                m_nCount,           m_nBytes,     first.sequence,     last.sequence};
}

size_t CFrameHistory::UpperBoundLocked(std::chrono::steady_clock::time_point when) const
{
    size_t low = 0;
    size_t high = m_nCount;
    while (low < high)
    {
        const size_t middle = low + (high - low) / 2;
        if (At(middle).info.arrived <= when)
        {
            low = middle + 1;
        }
        else
        {
            high = middle;
        }
    }
    return low;
}

std::optional<size_t> CFrameHistory::IndexOfLocked(uint64_t sequence) const
{
    if (m_nCount == 0 || sequence < At(0).info.sequence)
    {
        return std::nullopt;
    }
    // Sequences are consecutive within a history.
    const uint64_t index = sequence - At(0).info.sequence;
    if (index >= m_nCount)
    {
        return std::nullopt;
    }
    return static_cast<size_t>(index);
}

std::optional<HistoryFrameInfo> CFrameHistory::FindAt(std::chrono::steady_clock::time_point when) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    const size_t after = UpperBoundLocked(when);
    if (after == 0)
    {
        return std::nullopt;
    }
    return At(after - 1).info;
}

std::optional<HistoryFrameInfo> CFrameHistory::Find(uint64_t sequence) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    const std::optional<size_t> index = IndexOfLocked(sequence);
    if (!index)
    {
        return std::nullopt;
    }
    return At(*index).info;
}

bool CFrameHistory::CopyFrame(uint64_t sequence, std::vector<uint8_t>& jpeg) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    const std::optional<size_t> index = IndexOfLocked(sequence);
    if (!index)
    {
        return false;
    }
    const std::vector<uint8_t>& bytes = At(*index).bytes;
    jpeg.assign(bytes.begin(), bytes.end());
    return true;
}

size_t CFrameHistory::ReadAfter(uint64_t after, size_t limit, const Visit& visit) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_nCount == 0)
    {
        return 0;
    }
    const uint64_t oldest = At(0).info.sequence;
    size_t index = after < oldest ? 0 : static_cast<size_t>(after - oldest + 1);
    size_t visited = 0;
    for (; index < m_nCount && visited < limit; ++index, ++visited)
    {
        const Slot& slot = At(index);
        visit(slot.info, slot.bytes.data(), slot.bytes.size());
    }
    return visited;
}

size_t CFrameHistory::ReadBetween(std::chrono::steady_clock::time_point from,
                                  std::chrono::steady_clock::time_point to, const Visit& visit) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    size_t visited = 0;
    for (size_t index = UpperBoundLocked(from - std::chrono::nanoseconds(1));
         index < m_nCount && At(index).info.arrived <= to; ++index, ++visited)
    {
        const Slot& slot = At(index);
        visit(slot.info, slot.bytes.data(), slot.bytes.size());
    }
    return visited;
}
