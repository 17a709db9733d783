// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The built-in layouts by the names the command line and the settings use:
// "1" for the single view, "2x2", "3x3", "4x4" for the grids.
std::u16string GridLayoutName(int columns);
// Their columns; nothing for any other text, which may then name a wall.
std::optional<int> ParseGridLayout(std::u16string_view text);
