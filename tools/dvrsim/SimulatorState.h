// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CameraBank.h"
#include "DvrSimSettings.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class FormFields;

// What the server threads share: settings, logged-in clients, cameras and the
// request log. Every member is guarded by m_mutex; m_changed wakes the streams
// when a client's channel or state changes and on stop.
class SimulatorState
{
public:
    struct Admission
    {
        uint8_t clientId = 0;  // 1 to 255 when admitted
        uint8_t errorCode = 0; // the error packet's code when refused
        unsigned channel = 0;
    };

    struct StreamTurn
    {
        bool go = false; // false: the stream must end
        unsigned channel = 0;
    };

    explicit SimulatorState(DvrSimSettings settings);

    DvrSimSettings Settings() const;
    void UpdateSettings(const std::function<void(DvrSimSettings&)>& change);
    CameraState Camera(unsigned channel) const;

    // Checks a login query and, if it passes, registers a client for the stream.
    Admission Admit(const FormFields& query);
    void Release(uint8_t clientId);
    size_t ActiveClients() const;
    bool WaitForActiveClients(size_t count, std::chrono::milliseconds timeout) const;

    // Applies a command body; returns what happened, for the log.
    std::string ApplyCommand(const FormFields& body);

    // Blocks until due, waking early to end the stream on logout or stop, or when
    // clientGone (polled a few times a second) says the peer has left.
    StreamTurn WaitForTurn(uint8_t clientId, std::chrono::steady_clock::time_point due,
                           const std::function<bool()>& clientGone);

    void SetObserver(std::function<void(const DvrRequestRecord&)> observer);
    // Frame numbers count from 1 in each stream; the time is when the frame's
    // last byte was handed to the server to write.
    using FrameSentObserver = std::function<void(uint8_t clientId, uint32_t frameNumber,
                                                 std::chrono::steady_clock::time_point sentAt)>;
    void SetFrameSentObserver(FrameSentObserver observer);
    void NoteFrameSent(uint8_t clientId, uint32_t frameNumber);
    void Log(DvrRequestRecord record);
    std::vector<DvrRequestRecord> Requests() const;
    bool WaitForRequests(size_t count, std::chrono::milliseconds timeout) const;
    std::optional<DvrRequestRecord> WaitForRequest(
        const std::function<bool(const DvrRequestRecord&)>& match,
        std::chrono::milliseconds timeout) const;

    void BeginStop();
    void Reset(); // after a stop, before the next start

private:
    struct Client
    {
        unsigned channel = 0;
        bool ended = false;
    };

    uint8_t NextFreeId() const;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    DvrSimSettings m_settings;
    CameraBank m_cameras;
    std::map<uint8_t, Client> m_clients;
    uint8_t m_lastId = 0;
    bool m_stopping = false;
    std::vector<DvrRequestRecord> m_log;
    std::function<void(const DvrRequestRecord&)> m_observer;
    // Swapped whole under m_mutex and called outside it.
    std::shared_ptr<const FrameSentObserver> m_frameSentObserver;
};
