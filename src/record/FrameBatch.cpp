// SPDX-License-Identifier: GPL-3.0-or-later
#include "record/FrameBatch.h"

size_t CFrameBatch::ReadAfter(const CFrameHistory& history, uint64_t after, size_t limit)
{
    if (m_frames.size() < limit)
    {
        m_frames.resize(limit);
    }
    m_count = 0;
    history.ReadAfter(after, limit,
                      [this](const HistoryFrameInfo& info, const uint8_t* jpeg, size_t length)
                      {
                          Frame& frame = m_frames[m_count++];
                          frame.info = info;
                          frame.jpeg.assign(jpeg, jpeg + length);
                      });
    return m_count;
}

uint64_t SequenceBefore(const CFrameHistory& history, std::chrono::steady_clock::time_point from)
{
    const std::optional<HistoryFrameInfo> found = history.FindAt(from);
    if (found)
    {
        return found->arrived < from ? found->sequence : found->sequence - 1;
    }
    const std::optional<CFrameHistory::Span> span = history.GetSpan();
    return span ? span->firstSequence - 1 : 0;
}
