#pragma once

#include <algorithm>
#include <chrono>

// How long a tile waits before it tries a lost connection again: the first
// wait, then twice the last, up to the longest; a login starts over.
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
