// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "directory/DvrRowList.h"
#include "directory/PasswordStore.h"

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Saved logins kept in a password store instead of the directory file. A row
// whose login is in the store is written as "Name,Address,Port,Channel": a line
// every reader of the file reads, as an entry without a saved login. A login is
// always in the file, in the store, or in both; never in neither.

// The store's key of a row: its line without the login.
std::u16string StoredPasswordKey(const DvrRow& row);

// Every row's key, in the rows' order.
std::vector<std::u16string> StoredPasswordKeys(const DvrRowList& rows);

// Rows without a login take theirs from the store. False when the store fails;
// the rows read before the failure keep what they took.
bool FillFromStore(DvrRowList& rows, IPasswordStore& store, std::u16string& error);

// What the store held under the keys a move wrote (nothing where it had no item),
// so that a failure after the move can put the store back as it was.
using StoreSnapshot = std::vector<std::pair<std::u16string, std::optional<std::u16string>>>;

// Writes back or removes what `before` names. False, with `error` extended,
// when the store refuses that too.
bool RestoreStore(const StoreSnapshot& before, IPasswordStore& store, std::u16string& error);

// Every row's login goes into the store and out of the row; `before`, when
// given, receives what the store held under the keys written. False when the
// store refuses: the rows are untouched and the store is put back as it was.
bool MoveIntoStore(DvrRowList& rows, IPasswordStore& store, std::u16string& error,
                   StoreSnapshot* before = nullptr);

// The directory file's logins into the store, the file rewritten without them;
// on any failure the file and the store stay as they were.
bool MoveFileLoginsIntoStore(const std::filesystem::path& file, IPasswordStore& store,
                             std::u16string& error);

// The store's logins back into the directory file, then every row's key out of
// the store; on a failure before the file is written, both stay as they were.
bool MoveFileLoginsOutOfStore(const std::filesystem::path& file, IPasswordStore& store,
                              std::u16string& error);
