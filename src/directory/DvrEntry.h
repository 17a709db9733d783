// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// The longest password the dialogs take, which the connection record also holds.
constexpr int kMaxPasswordChars = 6;

// One DVR of the directory, in the order of its fields on disk.
struct DvrEntry
{
    std::u16string Name;
    std::u16string Address;
    std::u16string Port; // kept as typed; converted only when connecting
    int Channel = 0;     // 0-based; shown to the user as Channel + 1
    std::u16string User;
    std::u16string Password;
};

// The channel as the dialogs show it: "CH-01" for index 0.
std::u16string ChannelLabel(int channelIndex);
