// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "directory/DvrConnectInfo.h"
#include "protocol/DvrCommand.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class IMessagePump;

// The client's command POSTs, and the notifications held back while a command
// waits for its request: a box opened inside that wait would hold the user's
// next request back. GUI thread only.
class CCommandSender
{
public:
    CCommandSender(IMessagePump& messagePump, std::chrono::milliseconds wait);

    void Send(const DvrConnectInfo& connection, uint32_t clientId, uint32_t operationCode,
              const std::u16string& text);
    static DvrCommand MakeCommand(const DvrConnectInfo& connection, uint32_t clientId,
                                  uint32_t operationCode, const std::u16string& text);

    // A command's wait, nested or not; the held notifications go out at the last End.
    void Begin() { ++m_nDepth; }
    void End();
    bool IsWaiting() const { return m_nDepth > 0; }
    // Kept until the last End, then posted to run after the command's caller returns.
    void Hold(std::function<void()> delivery);

private:
    IMessagePump& m_messagePump;
    const std::chrono::milliseconds m_wait;
    int m_nDepth = 0;
    std::vector<std::function<void()>> m_held;
};
