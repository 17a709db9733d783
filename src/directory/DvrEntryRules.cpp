// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/DvrEntryRules.h"

#include "directory/DvrAddress.h"
#include "directory/DvrConnectInfo.h"
#include "directory/UserName.h"

#include <algorithm>

namespace
{
// A comma or a line break would split the entry's line in the directory file.
bool FitsOneFileField(const std::u16string& text, size_t maxChars)
{
    return text.size() <= maxChars && text.find_first_of(u",\r\n") == std::u16string::npos;
}

// Letters are a port of 0, as typed; a number past the last port would wrap to another.
bool IsUsablePort(const std::u16string& port)
{
    const int number = ParseDecimal(port);
    return !port.empty() && FitsOneFileField(port, kMaxPortChars) && number >= 0 &&
           number <= 0xFFFF;
}
} // namespace

DvrEntryField FindRefusedField(const DvrEntry& entry)
{
    if (entry.Name.empty() || !FitsOneFileField(entry.Name, kMaxNameChars))
    {
        return DvrEntryField::Name;
    }
    if (entry.Address.size() > kMaxAddressChars || !IsDvrHostAddress(entry.Address))
    {
        return DvrEntryField::Address;
    }
    if (!IsUsablePort(entry.Port))
    {
        return DvrEntryField::Port;
    }
    if (entry.Channel < 0 || entry.Channel >= kChannelCount)
    {
        return DvrEntryField::Channel;
    }
    if (entry.User.size() > kMaxUserChars ||
        !std::all_of(entry.User.begin(), entry.User.end(), IsUserNameChar))
    {
        return DvrEntryField::User;
    }
    if (!FitsOneFileField(entry.Password, kMaxPasswordChars))
    {
        return DvrEntryField::Password;
    }
    return DvrEntryField::None;
}

const char* FieldName(DvrEntryField field)
{
    switch (field)
    {
    case DvrEntryField::Name:
        return "name";
    case DvrEntryField::Address:
        return "address";
    case DvrEntryField::Port:
        return "port";
    case DvrEntryField::Channel:
        return "channel";
    case DvrEntryField::User:
        return "user";
    case DvrEntryField::Password:
        return "password";
    case DvrEntryField::None:
        break;
    }
    return "";
}
