// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "directory/DvrEntry.h"

constexpr int kMaxNameChars = 50;
constexpr int kMaxAddressChars = 50;
constexpr int kMaxPortChars = 5;
constexpr int kChannelCount = 16;

// The fields of a directory entry, as Add DVR shows them.
enum class DvrEntryField
{
    None,
    Name,
    Address,
    Port,
    Channel,
    User,
    Password
};

// The first field of a new entry that Add DVR refuses, or None. Name, address and
// port are filled; what the file stores holds no comma or line break; the address
// is a host only; a port number fits a port; the channel is one of the sixteen;
// the user name keeps its characters; no field is longer than its box takes.
DvrEntryField FindRefusedField(const DvrEntry& entry);

// "name", "address", ...: how a message names the field.
const char* FieldName(DvrEntryField field);
