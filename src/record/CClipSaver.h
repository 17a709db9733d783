// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/CFrameHistory.h"
#include "record/CClipWriter.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// Saves the frames of a history between two moments to a clip, on a thread of its
// own, a few frames copied at a time so the receiver that stores them is never
// held. A cancelled or failed save leaves neither the clip nor its ".part".
class CClipSaver
{
public:
    struct Request
    {
        std::filesystem::path file;
        ClipIdentity identity;
        std::chrono::steady_clock::time_point from;
        std::chrono::steady_clock::time_point to;
        // The caller asked the user: an existing file of that name is replaced.
        bool overwrite = false;
    };

    enum class State
    {
        Idle,
        Saving,
        Saved,
        Failed,
        Cancelled,
    };

    explicit CClipSaver(IClipStorage& storage = FileStorage());
    ~CClipSaver(); // cancels a save under way and waits for its thread
    CClipSaver(const CClipSaver&) = delete;
    CClipSaver& operator=(const CClipSaver&) = delete;

    // Starts the save; `finished` runs on the saver's thread once it has ended (so it hands
    // over to the GUI thread and never starts or ends a save itself). False,
    // with the reason in GetError, when a save is under way or the file cannot be made.
    // The history must outlive the save.
    bool Start(const CFrameHistory& history, Request request, std::function<void()> finished = {});
    void Cancel();
    // True once the save has ended and its `finished` has returned, waiting at most `bound`.
    bool Wait(std::chrono::milliseconds bound);

    State GetState() const;
    // 0 to 1: how far through the span the frames written have come.
    double GetProgress() const;
    size_t GetFrames() const;
    std::u16string GetError() const;

private:
    void Run(const CFrameHistory& history, Request request, std::function<void()> finished);
    State Save(const CFrameHistory& history, const Request& request);

    CClipWriter m_writer; // the saver's thread alone uses it while Saving
    std::thread m_thread;
    std::atomic<bool> m_cancel{false};
    std::atomic<double> m_progress{0};
    std::atomic<size_t> m_frames{0};
    mutable std::mutex m_mutex; // guards the three below, m_ended signalled through m_endedChanged
    std::condition_variable m_endedChanged;
    State m_state = State::Idle;
    std::u16string m_error;
    bool m_ended = true;
};
