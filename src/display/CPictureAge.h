// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "display/CFrameStatistics.h"

#include <chrono>
#include <functional>
#include <optional>

// Whether the picture on screen is older than a live stream allows. A frozen
// picture must never pass for a live one; the watchdog alone still decides
// when the connection is lost.
class CPictureAge
{
public:
    using Clock = CFrameStatistics::Clock;
    static constexpr std::chrono::seconds kFrozenAfter{3};

    explicit CPictureAge(std::function<Clock::time_point()> now = [] { return Clock::now(); });

    // Whole seconds since the last frame once that is kFrozenAfter or more;
    // nothing while frames come, or before the first one.
    std::optional<std::chrono::seconds> FrozenFor(const CFrameStatistics& statistics) const;

private:
    std::function<Clock::time_point()> m_now;
};
