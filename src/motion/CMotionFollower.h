// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <vector>

// Which camera of a wall to show alone while following motion: the first to show
// motion opens; the wall comes back once the camera on view has shown none for a
// while; motion on another camera takes its place only after the one on view has
// had its time. GUI thread, asked on each of the wall's ticks.
class CMotionFollower
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kBackAfter{10};
    static constexpr std::chrono::seconds kShownAtLeast{5};

    // motion[i]: camera i shows motion now. The camera to show alone, or nothing for
    // the wall.
    std::optional<size_t> Decide(const std::vector<bool>& motion, Clock::time_point now);
    std::optional<size_t> GetShown() const { return m_shown; }
    // Follow Motion turned off, or the user chose what to watch: the wall, unfollowed.
    void Stop() { m_shown.reset(); }

private:
    std::optional<size_t> m_shown;
    Clock::time_point m_shownSince;
    Clock::time_point m_lastMotion;
};
