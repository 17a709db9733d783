// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/CPictureAge.h"

CPictureAge::CPictureAge(std::function<Clock::time_point()> now) : m_now(std::move(now)) {}

std::optional<std::chrono::seconds> CPictureAge::FrozenFor(const CFrameStatistics& statistics) const
{
    const auto since = statistics.Read(m_now()).sinceLastFrame;
    if (!since || *since < kFrozenAfter)
    {
        return std::nullopt;
    }
    return std::chrono::floor<std::chrono::seconds>(*since);
}
