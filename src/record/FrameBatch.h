// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/CFrameHistory.h"

#include <chrono>
#include <cstdint>
#include <vector>

// A few frames copied out of a history at a time, into buffers kept from one
// batch to the next, so the history's lock is held for a copy and no allocation.
class CFrameBatch
{
public:
    struct Frame
    {
        HistoryFrameInfo info;
        std::vector<uint8_t> jpeg;
    };

    // The frames stored after `after`, oldest first, at most `limit`.
    size_t ReadAfter(const CFrameHistory& history, uint64_t after, size_t limit);
    size_t Size() const { return m_count; }
    const Frame& operator[](size_t index) const { return m_frames[index]; }

private:
    std::vector<Frame> m_frames;
    size_t m_count = 0;
};

// The sequence to read after so that the first frame read is the first to arrive
// at or after `from`.
uint64_t SequenceBefore(const CFrameHistory& history, std::chrono::steady_clock::time_point from);
