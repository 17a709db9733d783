// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/CFrameHistory.h"
#include "record/CClipWriter.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

struct RecorderSettings
{
    // Taken from the history when recording starts.
    std::chrono::milliseconds preRoll{10000};
    // Below this, recording stops with its file complete rather than running the disk full.
    uint64_t minimumFreeBytes = 1000ull * 1000 * 1000;
    std::chrono::milliseconds spaceCheckEvery{1000};
    // The history is read at least this often when no Notify comes.
    std::chrono::milliseconds wakeEvery{100};
    // A camera silent this long has its last cluster closed and on disk.
    std::chrono::milliseconds flushWhenSilent{1000};
};

// Records one camera: from a little before Start on, following its history as frames
// are stored, into files named after the DVR, channel and first frame. A new history
// (another channel, a reconnect) closes the file and the next frame starts another.
// Each file is written under its own name from the first byte: a program that is
// killed leaves it there, playable up to its last second; Stop completes it (length
// and index for seeking). A full disk or a failed write stops the recording with the
// file so far complete up to its last whole cluster. The history must outlive the
// recording. Start and Stop come from its owner's thread, Notify from any (the receiver's).
class CRecorder
{
public:
    struct Status
    {
        bool recording = false;
        std::chrono::milliseconds elapsed{0}; // since Start
        std::filesystem::path file;           // being written, or the last one
        uint64_t bytes = 0;                   // of that file
        size_t frames = 0;                    // in that file
        size_t files = 0;                     // made since Start
        std::u16string stopReason;            // why it stopped by itself; empty after Stop
    };

    CRecorder(const CFrameHistory& history, std::filesystem::path folder, std::u16string dvrName,
              IClipStorage& storage = FileStorage(), RecorderSettings settings = {});
    ~CRecorder(); // Stop
    CRecorder(const CRecorder&) = delete;
    CRecorder& operator=(const CRecorder&) = delete;

    // False, with the reason in the status, when the disk is too full to start.
    bool Start();
    // Writes what was stored before the call, completes the file and waits for the thread.
    void Stop();
    // A frame was stored: the recorder reads it now instead of at its next wake-up.
    void Notify();
    Status GetStatus() const;
    // Runs on the recorder's thread after each batch of frames written and once when it
    // stops (recording false, stopReason set when it stopped by itself). Set before Start;
    // it hands over to the GUI thread and never calls Start or Stop itself.
    void SetObserver(std::function<void(const Status&)> observer);

private:
    void Run();
    std::u16string Follow(uint64_t& after, bool& flushed);
    bool OpenFile(const HistoryFrameInfo& first, std::u16string& reason);
    void Publish(bool recording);

    const CFrameHistory& m_history;
    const std::filesystem::path m_folder;
    const std::u16string m_dvrName;
    IClipStorage& m_storage;
    const RecorderSettings m_settings;
    std::function<void(const Status&)> m_observer;

    // The recorder's thread alone uses these while it runs.
    CClipWriter m_writer;
    int m_fileChannel = -1;
    uint64_t m_lastSequence = 0;
    std::chrono::steady_clock::time_point m_lastFrameAt;
    std::chrono::steady_clock::time_point m_spaceCheckedAt;
    size_t m_files = 0;

    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    std::atomic<std::chrono::steady_clock::rep> m_stopAt{0}; // frames after it are not taken
    std::mutex m_wakeMutex; // guards m_notified, signalled through m_wake
    std::condition_variable m_wake;
    bool m_notified = false;

    mutable std::mutex m_statusMutex; // guards m_status and m_startedAt
    Status m_status;
    std::chrono::steady_clock::time_point m_startedAt;
};

// "REC 00:03:12 · 41 MB": the mark over a picture being recorded.
std::u16string FormatRecordingMark(std::chrono::milliseconds elapsed, uint64_t bytes);
