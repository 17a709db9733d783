// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>

// What the viewer reads of a frame besides its JPEG, and when it arrived.
struct HistoryFrameInfo
{
    // Assigned when stored: counts up within a history and is never reused, so
    // a reader can step from frame to frame and tell a dropped one.
    uint64_t sequence = 0;
    // Seeking and spans use the monotonic clock; labels and file names the wall clock.
    std::chrono::steady_clock::time_point arrived;
    std::chrono::system_clock::time_point arrivedClock;
    uint8_t channel = 0;
    uint8_t kind = 0;
    // The channel had lost its video: no JPEG is kept, the logo stands for it.
    bool videoLoss = false;
    uint32_t packetLength = 0;
};
