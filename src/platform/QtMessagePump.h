// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/MessagePump.h"

#include <functional>

// The GUI thread's events while it waits for the receiver or a command: paints,
// timers and posted calls go on, the user's input waits, so no second command
// can start inside the first.
class QtMessagePump final : public IMessagePump
{
public:
    void DispatchPending() override;
    void Post(std::function<void()> task) override;
};
