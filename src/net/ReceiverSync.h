// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <mutex>

// Shared by a client and its receivers, which may outlive it while they end:
// guards the pause count and every receiver's stop, finished, held, waiting and
// delivered flags.
struct ReceiverSync
{
    std::mutex mutex;
    std::condition_variable changed;
};
