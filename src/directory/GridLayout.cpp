// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/GridLayout.h"

namespace
{
constexpr int kLargestGrid = 4;
}

std::u16string GridLayoutName(int columns)
{
    if (columns == 1)
    {
        return u"1";
    }
    const char16_t digit = static_cast<char16_t>(u'0' + columns);
    return {digit, u'x', digit};
}

std::optional<int> ParseGridLayout(std::u16string_view text)
{
    for (int columns = 1; columns <= kLargestGrid; ++columns)
    {
        if (text == GridLayoutName(columns))
        {
            return columns;
        }
    }
    return std::nullopt;
}
