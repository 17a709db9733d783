// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DvrSimSettings.h"

#include <array>
#include <optional>
#include <string_view>

// The cameras of all channels and their presets. Not thread-safe: the simulator
// guards it with its own lock.
class CameraBank
{
public:
    static constexpr unsigned kPresetCount = 99;

    // Applies one camera command text ("5S2", "8", "9S12", "9G12"). Returns false,
    // changing nothing, for a text it does not know, a bad channel or an unset preset.
    bool Apply(unsigned channel, std::string_view command);

    CameraState Get(unsigned channel) const;

private:
    std::array<CameraState, DvrSimSettings::kMaxChannels> m_cameras{};
    std::array<std::array<std::optional<CameraState>, kPresetCount>, DvrSimSettings::kMaxChannels>
        m_presets{};
};
