// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/DvrAddress.h"

#include <arpa/inet.h>

#include <string>

namespace
{
constexpr size_t kMaxHostName = 253;
constexpr size_t kMaxLabel = 63;

bool IsAsciiAlnum(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

bool ToAscii(std::u16string_view text, std::string& ascii)
{
    ascii.clear();
    for (char16_t c : text)
    {
        if (c == 0 || c > 0x7E)
        {
            return false;
        }
        ascii.push_back(static_cast<char>(c));
    }
    return true;
}

// Letters, digits and inner hyphens, 1 to 63 characters a label.
bool IsHostName(std::u16string_view name)
{
    if (name.empty() || name.size() > kMaxHostName)
    {
        return false;
    }
    size_t labelStart = 0;
    for (size_t i = 0; i <= name.size(); ++i)
    {
        if (i < name.size() && name[i] != u'.')
        {
            if (!IsAsciiAlnum(name[i]) && name[i] != u'-')
            {
                return false;
            }
            continue;
        }
        const std::u16string_view label = name.substr(labelStart, i - labelStart);
        if (label.empty() || label.size() > kMaxLabel || label.front() == u'-' ||
            label.back() == u'-')
        {
            return false;
        }
        labelStart = i + 1;
    }
    return true;
}
} // namespace

bool IsDvrHostAddress(std::u16string_view address)
{
    std::string ascii;
    if (!ToAscii(address, ascii))
    {
        return false;
    }
    unsigned char binary[16];
    if (ascii.size() > 2 && ascii.front() == '[' && ascii.back() == ']')
    {
        return inet_pton(AF_INET6, ascii.substr(1, ascii.size() - 2).c_str(), binary) == 1;
    }
    return inet_pton(AF_INET, ascii.c_str(), binary) == 1 || IsHostName(address);
}
