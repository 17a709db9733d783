// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "net/CDVRClient.h"

#include <chrono>
#include <functional>

class CHistoryBudget;

// What every tile of a wall shares; tests shorten the waits.
struct WallSettings
{
    DvrClientTimeouts timeouts;
    std::chrono::milliseconds firstRetry{2000};
    std::chrono::milliseconds longestRetry{60000};
    std::chrono::milliseconds tourStep{10000};
    // How long the tiles that end together wait for their logouts, all of them at once.
    std::chrono::milliseconds logoutWait{3000};
    // The clock Follow Motion and the notifications of motion time their waits by.
    std::function<std::chrono::steady_clock::time_point()> now = []
    { return std::chrono::steady_clock::now(); };
    // Off only to measure what scaling saves.
    bool scaledDecoding = true;
    // The program's memory for looking back, shared with the single view; null keeps no history.
    CHistoryBudget* historyBudget = nullptr;
};
