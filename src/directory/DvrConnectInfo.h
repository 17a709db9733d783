// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "directory/DvrEntry.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

// The one DVR connection in use, copied whole between the view, the client, the
// command requests and the information dialog; it holds no pointers.
struct DvrConnectInfo
{
    char16_t Name[51];
    char16_t Address[51];
    uint16_t Port;
    char16_t User[10];
    char16_t Password[kMaxPasswordChars + 1];
    uint32_t ChannelMask;
};

// The index as an unsigned byte n gives bit n, or no bit when n >= 32.
uint32_t ChannelMaskFromIndex(int channelIndex);

// Decimal text as the handset read it: leading blanks, an optional sign, the
// digits up to the first other character, 0 without digits; held in the int range.
int ParseDecimal(std::u16string_view text);

// The low 16 bits of the port text's number.
uint16_t PortFromText(std::u16string_view portText);

// Values longer than a field are cut to fit, terminator included.
DvrConnectInfo MakeConnectInfo(std::u16string_view name, std::u16string_view address,
                               std::u16string_view portText, int channelIndex,
                               std::u16string_view user, std::u16string_view password);

// The text of a terminated fixed-width field.
template <size_t N> std::u16string FieldText(const char16_t (&field)[N])
{
    return std::u16string(field, std::find(field, field + N, u'\0'));
}
