// SPDX-License-Identifier: GPL-3.0-or-later
#include "record/CRecorder.h"

#include "platform/TextCodec.h"
#include "record/ClipNames.h"
#include "record/FrameBatch.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace
{
constexpr size_t kFramesPerCopy = 8;
using Clock = std::chrono::steady_clock;
} // namespace

CRecorder::CRecorder(const CFrameHistory& history, std::filesystem::path folder,
                     std::u16string dvrName, IClipStorage& storage, RecorderSettings settings)
    : m_history(history), m_folder(std::move(folder)), m_dvrName(std::move(dvrName)),
      m_storage(storage), m_settings(settings), m_writer(storage)
{
}

CRecorder::~CRecorder()
{
    Stop();
}

void CRecorder::SetObserver(std::function<void(const Status&)> observer)
{
    m_observer = std::move(observer);
}

bool CRecorder::Start()
{
    if (m_thread.joinable())
    {
        if (GetStatus().recording)
        {
            return false;
        }
        // It stopped by itself: its thread has ended or is about to.
        m_thread.join();
    }
    const std::optional<uint64_t> free = m_storage.FreeBytes(m_folder);
    {
        std::lock_guard lock(m_statusMutex);
        m_status = Status{};
        if (free && *free < m_settings.minimumFreeBytes)
        {
            m_status.stopReason = LoadString(IDS_RECORD_DISK_LOW);
            return false;
        }
        m_startedAt = Clock::now();
        m_status.recording = true;
    }
    m_stopping = false;
    m_notified = false;
    m_files = 0;
    m_fileChannel = -1;
    m_spaceCheckedAt = m_lastFrameAt = Clock::now();
    m_thread = std::thread(&CRecorder::Run, this);
    return true;
}

void CRecorder::Stop()
{
    if (!m_thread.joinable())
    {
        return;
    }
    {
        std::lock_guard lock(m_wakeMutex);
        m_stopAt = Clock::now().time_since_epoch().count();
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void CRecorder::Notify()
{
    {
        std::lock_guard lock(m_wakeMutex);
        m_notified = true;
    }
    m_wake.notify_all();
}

CRecorder::Status CRecorder::GetStatus() const
{
    std::lock_guard lock(m_statusMutex);
    Status status = m_status;
    if (status.recording)
    {
        status.elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_startedAt);
    }
    return status;
}

void CRecorder::Run()
{
    Clock::time_point startedAt;
    {
        std::lock_guard lock(m_statusMutex);
        startedAt = m_startedAt;
    }
    uint64_t after = SequenceBefore(m_history, startedAt - m_settings.preRoll);
    bool flushed = true;
    std::u16string reason;
    std::unique_lock lock(m_wakeMutex);
    while (reason.empty())
    {
        const bool stopping = m_stopping;
        lock.unlock();
        reason = Follow(after, flushed);
        lock.lock();
        if (stopping)
        {
            break;
        }
        m_wake.wait_for(lock, m_settings.wakeEvery, [this] { return m_stopping || m_notified; });
        m_notified = false;
    }
    lock.unlock();
    if (m_writer.IsOpen() && !m_writer.Finish() && reason.empty())
    {
        reason = m_writer.GetError();
    }
    {
        std::lock_guard status(m_statusMutex);
        m_status.stopReason = reason;
        m_status.elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_startedAt);
    }
    Publish(false);
}

// Writes every frame stored after `after`; the reason when recording must stop.
std::u16string CRecorder::Follow(uint64_t& after, bool& flushed)
{
    CFrameBatch batch;
    const bool stopping = m_stopping;
    const Clock::time_point stopAt{Clock::duration(m_stopAt.load())};
    while (batch.ReadAfter(m_history, after, kFramesPerCopy) > 0)
    {
        // Numbers go on across a reset: the frame written last being gone tells it.
        const bool reset = m_writer.IsOpen() && !m_history.Find(m_lastSequence);
        for (size_t i = 0; i < batch.Size(); ++i)
        {
            const CFrameBatch::Frame& frame = batch[i];
            if (stopping && frame.info.arrived > stopAt)
            {
                return {};
            }
            after = frame.info.sequence;
            const bool newHistory = (i == 0 && reset) ||
                                    frame.info.sequence != m_lastSequence + 1 ||
                                    frame.info.channel != m_fileChannel;
            m_lastSequence = frame.info.sequence;
            if (m_writer.IsOpen() && newHistory && !m_writer.Finish())
            {
                return m_writer.GetError();
            }
            std::u16string reason;
            if (!m_writer.IsOpen() && !OpenFile(frame.info, reason))
            {
                return reason;
            }
            if (!m_writer.Write(frame.info, frame.jpeg.data(), frame.jpeg.size()))
            {
                return m_writer.GetError();
            }
            m_lastFrameAt = Clock::now();
            flushed = false;
        }
        Publish(true);
        if (Clock::now() - m_spaceCheckedAt >= m_settings.spaceCheckEvery)
        {
            m_spaceCheckedAt = Clock::now();
            const std::optional<uint64_t> free = m_storage.FreeBytes(m_folder);
            if (free && *free < m_settings.minimumFreeBytes)
            {
                return LoadString(IDS_RECORD_DISK_LOW);
            }
        }
    }
    if (!flushed && m_writer.IsOpen() && Clock::now() - m_lastFrameAt >= m_settings.flushWhenSilent)
    {
        flushed = true;
        if (!m_writer.Flush())
        {
            return m_writer.GetError();
        }
    }
    return {};
}

bool CRecorder::OpenFile(const HistoryFrameInfo& first, std::u16string& reason)
{
    const std::filesystem::path file =
        UnusedClipPath(m_folder, ClipFileName(m_dvrName, first.channel, first.arrivedClock));
    if (!m_writer.Open(file, ClipIdentity{m_dvrName, first.channel},
                       CClipWriter::Naming::FinalName))
    {
        reason = m_writer.GetError();
        return false;
    }
    m_fileChannel = first.channel;
    ++m_files;
    return true;
}

void CRecorder::Publish(bool recording)
{
    Status status;
    {
        std::lock_guard lock(m_statusMutex);
        m_status.recording = recording;
        m_status.file = m_writer.GetFile();
        m_status.bytes = m_writer.GetBytes();
        m_status.frames = m_writer.GetFrames();
        m_status.files = m_files;
        status = m_status;
    }
    if (m_observer)
    {
        m_observer(status);
    }
}

std::u16string FormatRecordingMark(std::chrono::milliseconds elapsed, uint64_t bytes)
{
    const long long seconds = std::max<long long>(0, elapsed.count() / 1000);
    char text[64];
    const double megabytes = static_cast<double>(bytes) / 1e6;
    const int length =
        megabytes < 1000
            ? std::snprintf(text, sizeof text, "REC %02lld:%02lld:%02lld \u00b7 %.0f MB",
                            seconds / 3600, seconds / 60 % 60, seconds % 60, std::floor(megabytes))
            : std::snprintf(text, sizeof text, "REC %02lld:%02lld:%02lld \u00b7 %.1f GB",
                            seconds / 3600, seconds / 60 % 60, seconds % 60,
                            std::floor(megabytes / 100) / 10);
    return FromUtf8(std::string_view(text, static_cast<size_t>(std::max(length, 0))));
}
