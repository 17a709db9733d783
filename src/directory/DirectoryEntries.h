// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "directory/DvrEntry.h"
#include "directory/PasswordStore.h"

#include <QString>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

enum class AddEntryResult
{
    Added,
    NameTaken, // an entry of that name exists and is kept as it is
    Refused,
};

// Reads the password of a line that ends with its user; false when none comes.
using PasswordReader = std::function<bool(std::u16string& password)>;

// Adds the entry of one directory line ("Name,Address,Port,Channel[,User[,Password]]")
// unless an entry of that name exists; a line that ends with its user takes the
// password from `readPassword`. With `passwords`, the login goes there and the
// line keeps none. Refused, with `error` naming the field and never holding a
// password, on what Add DVR would refuse, a store that refuses, or a directory
// that cannot be saved: then the file and the store are as they were.
AddEntryResult AddDirectoryEntry(const std::filesystem::path& file, const std::u16string& line,
                                 QString& error, IPasswordStore* passwords = nullptr,
                                 const PasswordReader& readPassword = {});

// The entry of that name, if it carries a saved user and password (in the file,
// or in `passwords` when given).
std::optional<DvrEntry> FindDirectoryEntry(const std::filesystem::path& file,
                                           const std::u16string& name, QString& error,
                                           IPasswordStore* passwords = nullptr);
