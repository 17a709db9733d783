#pragma once

#include "directory/DvrEntry.h"
#include "directory/PasswordStore.h"

#include <QString>

#include <filesystem>
#include <optional>
#include <string>

// Adds the entry of one directory line ("Name,Address,Port,Channel[,User,Password]")
// unless an entry of that name exists. False with `error` set, naming the field,
// on a line that Add DVR would refuse, or on a directory that cannot be saved.
bool AddDirectoryEntry(const std::filesystem::path& file, const std::u16string& line,
                       QString& error);

// The entry of that name, if it carries a saved user and password (in the file,
// or in `passwords` when given).
std::optional<DvrEntry> FindDirectoryEntry(const std::filesystem::path& file,
                                           const std::u16string& name, QString& error,
                                           IPasswordStore* passwords = nullptr);
