// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/CCommandSender.h"

#include "net/CCGIRequest.h"
#include "platform/MessagePump.h"
#include "protocol/DvrCommand.h"
#include "protocol/Protocol.h"

#include <algorithm>
#include <cstring>
#include <utility>

CCommandSender::CCommandSender(IMessagePump& messagePump, std::chrono::milliseconds wait)
    : m_messagePump(messagePump), m_wait(wait)
{
}

DvrCommand CCommandSender::MakeCommand(const DvrConnectInfo& connection, uint32_t clientId,
                                       uint32_t operationCode, const std::u16string& text)
{
    DvrCommand command;
    std::memset(&command, 0, sizeof command);
    command.connection = connection;
    command.clientId = clientId;
    command.mode = kCommandMode;
    command.operationCode = operationCode;
    std::copy_n(text.begin(), std::min<size_t>(text.size(), 5), command.commandText);
    return command;
}

void CCommandSender::Send(const DvrConnectInfo& connection, uint32_t clientId,
                          uint32_t operationCode, const std::u16string& text)
{
    CCGIRequest(m_wait, &m_messagePump)
        .Execute(MakeCommand(connection, clientId, operationCode, text));
}

// Posted again rather than delivered here: the command's caller is still on the stack.
void CCommandSender::End()
{
    if (--m_nDepth > 0)
    {
        return;
    }
    for (std::function<void()>& delivery : std::exchange(m_held, {}))
    {
        m_messagePump.Post(std::move(delivery));
    }
}

void CCommandSender::Hold(std::function<void()> delivery)
{
    m_held.push_back(std::move(delivery));
}
