// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// How little a change may be and still count as motion.
enum class MotionSensitivity : uint8_t
{
    Low,
    Medium,
    High,
};

constexpr MotionSensitivity kDefaultMotionSensitivity = MotionSensitivity::Medium;

// "Low", "Medium", "High": the menu's words and the settings file's.
std::string_view MotionSensitivityName(MotionSensitivity sensitivity);
// Nothing for any other text.
std::optional<MotionSensitivity> ParseMotionSensitivity(std::string_view name);
