// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion/MotionSensitivity.h"

#include <array>

namespace
{
constexpr std::array<std::string_view, 3> kNames = {"Low", "Medium", "High"};
}

std::string_view MotionSensitivityName(MotionSensitivity sensitivity)
{
    return kNames[static_cast<size_t>(sensitivity)];
}

std::optional<MotionSensitivity> ParseMotionSensitivity(std::string_view name)
{
    for (size_t i = 0; i < kNames.size(); ++i)
    {
        if (kNames[i] == name)
        {
            return static_cast<MotionSensitivity>(i);
        }
    }
    return std::nullopt;
}
