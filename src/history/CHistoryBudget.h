// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstddef>

// The memory the program gives to looking back, shared equally among the
// histories that hold frames, so that cameras of a wall keep about the same
// span. Receivers of every camera read it at once: atomics only.
class CHistoryBudget
{
public:
    static constexpr size_t kDefaultTotal = size_t{512} << 20;

    explicit CHistoryBudget(size_t totalBytes = kDefaultTotal) : m_nTotal(totalBytes) {}

    CHistoryBudget(const CHistoryBudget&) = delete;
    CHistoryBudget& operator=(const CHistoryBudget&) = delete;

    // A smaller total takes effect at each history's next frame.
    void SetTotal(size_t totalBytes) { m_nTotal = totalBytes; }
    size_t GetTotal() const { return m_nTotal; }
    // What one history may keep.
    size_t GetShare() const;
    // The bytes all histories hold, counted as the buffers they keep.
    size_t GetUsed() const { return m_nUsed; }
    size_t GetHistoryCount() const { return m_nHistories; }

private:
    friend class CFrameHistory;
    void Join() { ++m_nHistories; }
    void Leave() { --m_nHistories; }
    void Add(size_t bytes) { m_nUsed += bytes; }
    void Remove(size_t bytes) { m_nUsed -= bytes; }

    std::atomic<size_t> m_nTotal;
    std::atomic<size_t> m_nHistories{0};
    std::atomic<size_t> m_nUsed{0};
};
