// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

// The GUI thread's event loop as the core sees it.
class IMessagePump
{
public:
    virtual ~IMessagePump() = default;
    // Runs the GUI events already pending (user input excluded), so that the GUI
    // keeps painting while its thread waits.
    virtual void DispatchPending() = 0;
    // Any thread: runs task later on the GUI thread, never inside this call.
    virtual void Post(std::function<void()> task) = 0;
};
