// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/DvrEntry.h"

#include <algorithm>
#include <cstdio>

std::u16string ChannelLabel(int channelIndex)
{
    char text[16];
    const int length = std::snprintf(text, sizeof text, "CH-%02d", channelIndex + 1);
    return std::u16string(text, text + std::clamp(length, 0, int{sizeof text} - 1));
}
