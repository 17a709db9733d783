// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DvrSimSettings.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// A DVR web server on loopback (or any IPv4 address) for tests, benchmarks and the
// demo. Every connection gets its own server thread, so a stream can run for as long
// as its client stays; Stop ends every stream and waits for all of them.
// All member functions are thread-safe.
//
//   DvrSimulator dvr(settings);          // settings.port 0: a free port
//   if (!dvr.Start()) { dvr.GetLastError(); }
//   dvr.GetPort();
//   dvr.SetMisbehaviour(faults);         // takes effect for the next login
//   dvr.WaitForRequests(2, 5s);          // then GetRequests()
//   dvr.WaitForRequest([](auto& r) { return r.method == "POST"; }, 5s);
class DvrSimulator
{
public:
    explicit DvrSimulator(DvrSimSettings settings = {});
    ~DvrSimulator(); // stops the server

    DvrSimulator(const DvrSimulator&) = delete;
    DvrSimulator& operator=(const DvrSimulator&) = delete;

    // Binds and starts serving; false with GetLastError() on bad settings or a busy port.
    bool Start();
    // Ends every stream, closes every connection and waits for the server threads.
    void Stop();
    bool IsRunning() const;
    // The port actually bound (the chosen one when the settings asked for 0).
    uint16_t GetPort() const;
    std::string GetLastError() const;

    DvrSimSettings GetSettings() const;
    // Login faults (close, silence, write sizes) apply to logins that start later;
    // frame faults from the next frame of every stream.
    void SetMisbehaviour(const DvrMisbehaviour& misbehaviour);
    void SetVideoLoss(unsigned channel, bool lost);
    void SetFramesPerSecond(double framesPerSecond);
    // Bit n: channel n plays the replay from the next frame on; the others hold still.
    void SetReplayChannels(uint16_t channels);

    CameraState GetCameraState(unsigned channel) const;
    // Logged-in clients whose stream has not yet ended.
    size_t GetClientCount() const;
    bool WaitForClientCount(size_t count, std::chrono::milliseconds timeout) const;

    // Every complete request so far, oldest first.
    std::vector<DvrRequestRecord> GetRequests() const;
    // True as soon as at least count requests are in the log; false after timeout.
    bool WaitForRequests(size_t count, std::chrono::milliseconds timeout) const;
    // The first logged request that matches, waiting for it up to timeout.
    std::optional<DvrRequestRecord> WaitForRequest(
        const std::function<bool(const DvrRequestRecord&)>& match,
        std::chrono::milliseconds timeout) const;
    // Called on the server thread with every request as it is logged.
    void SetRequestObserver(std::function<void(const DvrRequestRecord&)> observer);
    // Called on a stream's server thread as each frame's last byte goes out,
    // with the frame number the frame data carries (big-endian, first 4 bytes).
    void SetFrameSentObserver(std::function<void(uint8_t clientId, uint32_t frameNumber,
                                                 std::chrono::steady_clock::time_point sentAt)>
                                  observer);

private:
    class Server;
    std::unique_ptr<Server> m_server;
};
