// SPDX-License-Identifier: GPL-3.0-or-later
#include "record/CClipSaver.h"

#include "record/FrameBatch.h"

#include <algorithm>

namespace
{
constexpr size_t kFramesPerCopy = 8;
}

CClipSaver::CClipSaver(IClipStorage& storage) : m_writer(storage) {}

CClipSaver::~CClipSaver()
{
    Cancel();
    if (m_thread.joinable())
    {
        m_thread.join();
    }
}

bool CClipSaver::Start(const CFrameHistory& history, Request request,
                       std::function<void()> finished)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_state == State::Saving)
        {
            return false;
        }
    }
    if (m_thread.joinable())
    {
        m_thread.join();
    }
    m_cancel = false;
    m_progress = 0;
    m_frames = 0;
    // Opened here, so a folder that cannot be written or a name taken is told at once.
    const bool opened = m_writer.Open(request.file, request.identity,
                                      CClipWriter::Naming::PartThenRename, request.overwrite);
    std::lock_guard lock(m_mutex);
    if (!opened)
    {
        m_state = State::Failed;
        m_error = m_writer.GetError();
        return false;
    }
    m_state = State::Saving;
    m_error.clear();
    m_ended = false;
    m_thread = std::thread(&CClipSaver::Run, this, std::cref(history), std::move(request),
                           std::move(finished));
    return true;
}

void CClipSaver::Run(const CFrameHistory& history, Request request, std::function<void()> finished)
{
    const State state = Save(history, request);
    {
        std::lock_guard lock(m_mutex);
        m_state = state;
        m_error = state == State::Failed ? m_writer.GetError() : std::u16string();
    }
    // The callback reads the outcome, and Wait returns only after it.
    if (finished)
    {
        finished();
    }
    std::lock_guard lock(m_mutex);
    m_ended = true;
    m_endedChanged.notify_all();
}

CClipSaver::State CClipSaver::Save(const CFrameHistory& history, const Request& request)
{
    const double span = std::max<double>(1, (request.to - request.from).count());
    uint64_t after = SequenceBefore(history, request.from);
    CFrameBatch batch;
    while (!m_cancel && batch.ReadAfter(history, after, kFramesPerCopy) > 0)
    {
        for (size_t i = 0; i < batch.Size(); ++i)
        {
            const CFrameBatch::Frame& frame = batch[i];
            if (m_cancel || frame.info.arrived > request.to)
            {
                break;
            }
            after = frame.info.sequence;
            if (!m_writer.Write(frame.info, frame.jpeg.data(), frame.jpeg.size()))
            {
                return State::Failed;
            }
            m_frames = m_writer.GetFrames();
            m_progress = std::clamp((frame.info.arrived - request.from).count() / span, 0.0, 1.0);
        }
        if (batch[batch.Size() - 1].info.arrived > request.to)
        {
            break;
        }
    }
    if (m_cancel)
    {
        m_writer.Abort();
        return State::Cancelled;
    }
    if (!m_writer.Finish())
    {
        return State::Failed;
    }
    m_progress = 1;
    return State::Saved;
}

void CClipSaver::Cancel()
{
    m_cancel = true;
}

bool CClipSaver::Wait(std::chrono::milliseconds bound)
{
    std::unique_lock lock(m_mutex);
    return m_endedChanged.wait_for(lock, bound, [this] { return m_ended; });
}

CClipSaver::State CClipSaver::GetState() const
{
    std::lock_guard lock(m_mutex);
    return m_state;
}

double CClipSaver::GetProgress() const
{
    return m_progress;
}

size_t CClipSaver::GetFrames() const
{
    return m_frames;
}

std::u16string CClipSaver::GetError() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}
