// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "directory/AtomicFileWriter.h"
#include "directory/DvrEntry.h"
#include "directory/DvrRowList.h"
#include "directory/FileReader.h"
#include "platform/MessageBox.h"

#include <sys/types.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The directory file IPList.db: UTF-16LE without a byte-order mark, one entry a
// line, lines ending in U+000A, "Name,Address,Port,Channel" or
// "Name,Address,Port,Channel,User,Password".

// Beside the program when its folder is writable by `user` alone (owned by
// them, not writable by group or others), else in `fallbackFolder` (the
// user's data folder), which is created when missing: nobody else may replace
// the file of logins. An empty `programFolder` means the running executable's.
std::filesystem::path GetDirectoryFilePath(const std::filesystem::path& fallbackFolder,
                                           const std::filesystem::path& programFolder = {},
                                           uid_t user = ::geteuid());

// Tokens split at ","; empty tokens are dropped; 4 or 6 tokens make an entry.
std::optional<DvrEntry> ParseEntryLine(std::u16string_view line);

// Appends a row unless one has the same address, port text and channel; then
// shows "There is the same dvr connection." and returns false.
bool AddEntry(DvrRowList& rows, const DvrEntry& entry, IMessageBox& messages);

std::u16string FormatEntryLine(const DvrRow& row);

// Appends the file's entries to `rows`. A missing file loads nothing, silently.
// A line repeating an earlier entry is kept in rows.UnreadLines; the first
// empty or malformed line ends the entries, and it and the lines after it are
// kept there too. A file that is there but cannot be read loads nothing, is
// told in a box, and sets rows.ReadFailure to that text.
void LoadDirectory(DvrRowList& rows, const std::filesystem::path& file, IMessageBox& messages,
                   const FileReader& reader = FileReader());

// Rewrites the file from the rows and the unread lines, then empties `rows`.
// On failure the old file stays whole, the rows stay, and false comes back;
// rows loaded from an unreadable file are refused so, with rows.ReadFailure saying why.
bool SaveDirectory(DvrRowList& rows, const std::filesystem::path& file,
                   const AtomicFileWriter& writer = AtomicFileWriter());

// Channel index of a row: its "CH" column as a number, minus 1.
int RowChannel(const DvrRow& row);
