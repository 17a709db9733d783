// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>

// What the stream has delivered lately: frames committed and their payload
// bytes, each with its time. The receiver adds one entry per frame into a fixed
// ring (no allocation); the GUI thread reads the rates from the last frames.
class CFrameStatistics
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kWindow{5000};
    static constexpr size_t kCapacity = 512;

    struct Rates
    {
        double framesPerSecond = 0;
        double kilobitsPerSecond = 0;
        // Nothing until the first frame since the last Reset.
        std::optional<Clock::duration> sinceLastFrame;
    };

    void OnFrame(uint32_t payloadBytes, Clock::time_point now = Clock::now());
    Rates Read(Clock::time_point now = Clock::now()) const;
    void Reset();

private:
    struct Entry
    {
        Clock::time_point time;
        uint32_t bytes = 0;
    };

    mutable std::mutex m_lock;
    std::array<Entry, kCapacity> m_ring{};
    size_t m_next = 0;  // where the next entry goes
    size_t m_count = 0; // valid entries, at most kCapacity
};
