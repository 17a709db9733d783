// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/CLogoutBatch.h"

#include <utility>

CLogoutBatch::CLogoutBatch(IMessagePump* messagePump) : m_pMessagePump(messagePump) {}

CLogoutBatch::~CLogoutBatch()
{
    WaitUntil(std::chrono::steady_clock::now());
}

void CLogoutBatch::Add(const DvrCommand& logout)
{
    CCGIRequest::Pending pending;
    if (CCGIRequest::Start(logout, pending))
    {
        m_pending.push_back(std::move(pending));
    }
}

bool CLogoutBatch::WaitUntil(std::chrono::steady_clock::time_point deadline)
{
    bool allEnded = true;
    for (CCGIRequest::Pending& pending : std::exchange(m_pending, {}))
    {
        allEnded = CCGIRequest::Finish(pending, deadline, m_pMessagePump) && allEnded;
    }
    return allEnded;
}
