#pragma once

#include <string>

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
