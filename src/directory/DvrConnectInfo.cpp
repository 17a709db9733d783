// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/DvrConnectInfo.h"

#include <algorithm>
#include <cstring>

namespace
{
template <size_t N> void CopyField(char16_t (&field)[N], std::u16string_view text)
{
    const size_t n = std::min(text.size(), N - 1);
    std::fill(std::begin(field), std::end(field), u'\0');
    std::copy_n(text.begin(), n, field);
}

bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}
} // namespace

uint32_t ChannelMaskFromIndex(int channelIndex)
{
    const auto n = static_cast<uint8_t>(channelIndex);
    return n < 32 ? (1u << n) : 0u;
}

int ParseDecimal(std::u16string_view text)
{
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
    {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
    {
        negative = text[i] == u'-';
        ++i;
    }
    // Saturate like the handset's 32-bit conversion, so a long run of digits
    // cannot overflow.
    int64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
    {
        value = std::min<int64_t>(value * 10 + (text[i] - u'0'), int64_t{INT32_MAX} + 1);
    }
    value = negative ? -value : value;
    return static_cast<int>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

uint16_t PortFromText(std::u16string_view portText)
{
    return static_cast<uint16_t>(static_cast<uint32_t>(ParseDecimal(portText)) & 0xFFFF);
}

DvrConnectInfo MakeConnectInfo(std::u16string_view name, std::u16string_view address,
                               std::u16string_view portText, int channelIndex,
                               std::u16string_view user, std::u16string_view password)
{
    DvrConnectInfo info;
    std::memset(&info, 0, sizeof info);
    CopyField(info.Name, name);
    CopyField(info.Address, address);
    info.Port = PortFromText(portText);
    std::u16string underscored(user);
    std::replace(underscored.begin(), underscored.end(), u' ', u'_');
    CopyField(info.User, underscored);
    CopyField(info.Password, password);
    info.ChannelMask = ChannelMaskFromIndex(channelIndex);
    return info;
}
