// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <chrono>

// How long a connection waits before it is tried again: the first
// wait, then twice the last, up to the longest; a login starts over. The
// receiver spaces its new logins so, and a wall tile its retries.
class CRetryBackoff
{
public:
    CRetryBackoff(std::chrono::milliseconds first, std::chrono::milliseconds longest)
        : m_first(first), m_longest(longest), m_next(first)
    {
    }

    std::chrono::milliseconds Next()
    {
        const auto wait = m_next;
        m_next = std::min(m_next * 2, m_longest);
        return wait;
    }

    void Reset() { m_next = m_first; }

private:
    std::chrono::milliseconds m_first;
    std::chrono::milliseconds m_longest;
    std::chrono::milliseconds m_next;
};
