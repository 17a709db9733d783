// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/HistoryFrame.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

class CHistoryBudget;

// One camera's received frames as they came, oldest dropped first: within the
// budget's share and the longest span. The receiver thread is the only one
// that stores; the GUI thread resets and reads, and so may other readers (a
// recorder, a clip being saved). Every member below the lock is guarded by it;
// the bytes of a new frame are copied outside it, so a reader never holds up
// the stream for longer than a look-up.
class CFrameHistory
{
public:
    using Visit = std::function<void(const HistoryFrameInfo&, const uint8_t* jpeg, size_t length)>;

    struct Span
    {
        std::chrono::steady_clock::time_point first;
        std::chrono::steady_clock::time_point last;
        std::chrono::system_clock::time_point firstClock;
        std::chrono::system_clock::time_point lastClock;
        size_t frames = 0;
        size_t bytes = 0;
        uint64_t firstSequence = 0;
        uint64_t lastSequence = 0;
    };

    explicit CFrameHistory(CHistoryBudget& budget,
                           std::chrono::seconds longest = std::chrono::minutes(30));
    ~CFrameHistory();

    CFrameHistory(const CFrameHistory&) = delete;
    CFrameHistory& operator=(const CFrameHistory&) = delete;

    // Receiver thread. Once the share is in use, the buffer of the oldest frame
    // takes the new one: one copy and, at a steady frame size, no allocation.
    // The newest frame is always kept, even when it alone is over the share.
    // mayStore is asked under the lock just before the frame joins, so a
    // receiver superseded by a Reset never adds to the new history. The frame's
    // sequence, or 0 when it was not kept.
    uint64_t Store(const uint8_t* jpeg, size_t length, HistoryFrameInfo info,
                   const std::function<bool()>& mayStore = {});
    // A new history: every frame dropped and the share given back.
    void Reset();
    // This history drops its own frames and takes over all of `from`'s, with
    // their sequences, leaving `from` a new one: a camera that moves to another
    // connection keeps what it has shown. A frame being stored into either meanwhile is dropped.
    void TakeFrom(CFrameHistory& from);

    std::optional<Span> GetSpan() const;
    // The last frame that had arrived by `when`.
    std::optional<HistoryFrameInfo> FindAt(std::chrono::steady_clock::time_point when) const;
    // Nothing once dropped.
    std::optional<HistoryFrameInfo> Find(uint64_t sequence) const;
    bool CopyFrame(uint64_t sequence, std::vector<uint8_t>& jpeg) const;
    // Visit runs under the lock, oldest first: copy what is needed and return.
    size_t ReadAfter(uint64_t after, size_t limit, const Visit& visit) const;
    size_t ReadBetween(std::chrono::steady_clock::time_point from,
                       std::chrono::steady_clock::time_point to, const Visit& visit) const;

private:
    struct Slot
    {
        std::vector<uint8_t> bytes;
        HistoryFrameInfo info;
    };

    const Slot& At(size_t index) const { return m_slots[(m_nFirst + index) % m_slots.size()]; }
    std::vector<uint8_t> DropOldestLocked();
    void TakeBufferLocked(std::vector<uint8_t>& buffer, size_t length,
                          std::chrono::steady_clock::time_point arrived);
    void PushLocked(std::vector<uint8_t>&& bytes, const HistoryFrameInfo& info);
    void SetJoinedLocked(bool joined);
    // The index of the first frame that arrived after `when`.
    size_t UpperBoundLocked(std::chrono::steady_clock::time_point when) const;
    std::optional<size_t> IndexOfLocked(uint64_t sequence) const;

    CHistoryBudget& m_budget;
    const std::chrono::steady_clock::duration m_longest;

    mutable std::mutex m_lock;
    // A ring: m_nCount frames from m_nFirst; it grows by doubling, so a steady
    // history no longer allocates for its slots.
    std::vector<Slot> m_slots;
    size_t m_nFirst = 0;
    size_t m_nCount = 0;
    size_t m_nBytes = 0; // the capacity of the kept buffers
    uint64_t m_nNextSequence = 1;
    // Counts resets, so a frame copied while one happened stays out of the new history.
    uint64_t m_nGeneration = 0;
    bool m_bJoined = false;
};
