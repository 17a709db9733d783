// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DvrSimSettings.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class SimulatorState;

// The response body of one admitted login: the login reply, then frame packets of
// the client's current channel at the configured rate, with the configured faults.
// Read runs on the connection's own server thread and may block until the next frame.
class DvrStream
{
public:
    static constexpr long kEndOfStream = -1; // the stream is over: logout, stop, client gone
    static constexpr long kAbort = -2;       // close the connection at once
    // Frame data before the JPEG: the frame number (big-endian), then zeros.
    static constexpr size_t kDataPrefix = 8;

    DvrStream(SimulatorState& state, uint8_t clientId, std::function<bool()> clientGone);
    ~DvrStream();

    DvrStream(const DvrStream&) = delete;
    DvrStream& operator=(const DvrStream&) = delete;

    // Copies up to max bytes of the body into out; returns the count, or one of the
    // negative values above.
    long Read(uint8_t* out, size_t max);

    uint8_t GetClientId() const { return m_clientId; }

private:
    enum class Phase
    {
        LoginReply,
        FirstFrame,
        Frames,
    };

    long Refill();
    void QueueLoginReply(const DvrSimSettings& settings);
    void QueueFrame(const DvrSimSettings& settings, unsigned channel);
    // Valid until the next call, while settings lives.
    const std::vector<uint8_t>& FrameJpeg(const DvrSimSettings& settings, unsigned channel);

    SimulatorState& m_state;
    const uint8_t m_clientId;
    const std::function<bool()> m_clientGone;
    // Faults of the connection's start are fixed when the login is admitted.
    const DvrMisbehaviour m_loginFaults;
    Phase m_phase = Phase::LoginReply;
    std::vector<uint8_t> m_pending;
    size_t m_sent = 0;
    size_t m_pieces = 0;
    size_t m_bodyBytes = 0; // written so far, for the cut-off fault
    uint32_t m_frameNumber = 0;
    // The frame whose packet is pending, 0 for none: its last byte written is noted.
    uint32_t m_pendingFrame = 0;
    // Pre-encoded pictures, each with the size and video state it was made for.
    struct Encoded
    {
        std::vector<uint8_t> jpeg;
        PictureSize size;
        bool lost = false;
    };
    std::array<Encoded, DvrSimSettings::kMaxChannels> m_encoded;
    std::vector<uint8_t> m_rendered; // a picture drawn for this frame alone
    std::vector<uint8_t> m_faulty;   // a frame's JPEG spoilt on purpose
    size_t m_replayed = 0;
    std::chrono::steady_clock::time_point m_due;
};
