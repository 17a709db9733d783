// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "net/CCGIRequest.h"

#include <chrono>
#include <vector>

class IMessagePump;

// The logouts of many connections that end at once (a wall's tiles): each POST
// goes out as its connection ends, and the caller then waits for all of them
// together, so a DVR that does not answer costs one bounded wait, not one per
// connection. GUI thread only.
class CLogoutBatch
{
public:
    explicit CLogoutBatch(IMessagePump* messagePump);
    // Whatever is still out is abandoned; its worker ends by itself.
    ~CLogoutBatch();

    CLogoutBatch(const CLogoutBatch&) = delete;
    CLogoutBatch& operator=(const CLogoutBatch&) = delete;

    void Add(const DvrCommand& logout);
    // Dispatching while it waits; false when some logout had not ended by then.
    bool WaitUntil(std::chrono::steady_clock::time_point deadline);

private:
    IMessagePump* m_pMessagePump;
    std::vector<CCGIRequest::Pending> m_pending;
};
