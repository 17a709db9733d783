// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/MessagePump.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

// How often a GUI thread that waits for another thread dispatches its events.
constexpr std::chrono::milliseconds kDispatchInterval{10};

// The GUI thread's wait for another thread: until done() holds or the deadline
// passes, with the GUI's pending events dispatched between short waits so that
// it keeps painting. Without a pump it simply waits. done() is read under lock.
template <class Done>
bool WaitDispatching(IMessagePump* pump, std::unique_lock<std::mutex>& lock,
                     std::condition_variable& changed,
                     std::chrono::steady_clock::time_point deadline, Done done)
{
    using Clock = std::chrono::steady_clock;
    while (!done())
    {
        const auto now = Clock::now();
        if (now >= deadline)
        {
            return false;
        }
        if (pump == nullptr)
        {
            if (deadline == Clock::time_point::max())
            {
                changed.wait(lock, done);
            }
            else
            {
                changed.wait_until(lock, deadline, done);
            }
            continue;
        }
        lock.unlock();
        pump->DispatchPending();
        lock.lock();
        changed.wait_until(lock, std::min(deadline, Clock::now() + kDispatchInterval), done);
    }
    return true;
}
