// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion/CMotionFollower.h"

std::optional<size_t> CMotionFollower::Decide(const std::vector<bool>& motion,
                                              Clock::time_point now)
{
    if (m_shown && *m_shown >= motion.size())
    {
        m_shown.reset();
    }
    if (m_shown && motion[*m_shown])
    {
        m_lastMotion = now;
    }
    // Another camera's turn comes after the one on view, in the wall's order, so two
    // busy cameras take turns instead of the first keeping the screen.
    const size_t from = m_shown ? *m_shown + 1 : 0;
    std::optional<size_t> other;
    for (size_t step = 0; step < motion.size() && !other; ++step)
    {
        const size_t i = (from + step) % motion.size();
        if (motion[i] && i != m_shown)
        {
            other = i;
        }
    }
    if (other && (!m_shown || now - m_shownSince >= kShownAtLeast))
    {
        m_shown = other;
        m_shownSince = now;
        m_lastMotion = now;
    }
    else if (m_shown && now - m_lastMotion >= kBackAfter)
    {
        m_shown.reset();
    }
    return m_shown;
}
