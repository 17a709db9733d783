// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/StoredPasswords.h"

#include "directory/DvrDirectory.h"
#include "platform/SilentMessageBox.h"

namespace
{
// Users and passwords never hold a comma (the file could not keep them), so a
// comma parts them in the stored secret.
std::u16string Secret(const DvrRow& row)
{
    return row.Columns[kColumnUser] + u',' + row.Password;
}

bool HasLogin(const DvrRow& row)
{
    return !row.Columns[kColumnUser].empty();
}

void Forget(std::vector<std::u16string>& keys, IPasswordStore& store)
{
    std::u16string ignored;
    for (const std::u16string& key : keys)
    {
        store.Remove(key, ignored);
    }
}
} // namespace

std::u16string StoredPasswordKey(const DvrRow& row)
{
    DvrRow bare = row;
    bare.Columns[kColumnUser].clear();
    return FormatEntryLine(bare);
}

std::vector<std::u16string> StoredPasswordKeys(const DvrRowList& rows)
{
    std::vector<std::u16string> keys;
    for (const DvrRow& row : rows.Rows)
    {
        keys.push_back(StoredPasswordKey(row));
    }
    return keys;
}

bool FillFromStore(DvrRowList& rows, IPasswordStore& store, std::u16string& error)
{
    for (DvrRow& row : rows.Rows)
    {
        if (HasLogin(row))
        {
            continue;
        }
        std::u16string secret;
        switch (store.Read(StoredPasswordKey(row), secret, error))
        {
        case IPasswordStore::ReadResult::Failed:
            return false;
        case IPasswordStore::ReadResult::Missing:
            break;
        case IPasswordStore::ReadResult::Found:
            if (const size_t comma = secret.find(u','); comma != std::u16string::npos && comma > 0)
            {
                row.Columns[kColumnUser] = secret.substr(0, comma);
                row.Password = secret.substr(comma + 1);
            }
            break;
        }
    }
    return true;
}

bool RestoreStore(const StoreSnapshot& before, IPasswordStore& store, std::u16string& error)
{
    bool restored = true;
    std::u16string failure;
    for (auto it = before.rbegin(); it != before.rend(); ++it)
    {
        restored &= it->second ? store.Write(it->first, *it->second, failure)
                               : store.Remove(it->first, failure);
    }
    if (!restored)
    {
        error += u"\nThe keyring could not be put back as it was: " + failure;
    }
    return restored;
}

bool MoveIntoStore(DvrRowList& rows, IPasswordStore& store, std::u16string& error,
                   StoreSnapshot* before)
{
    StoreSnapshot written;
    for (const DvrRow& row : rows.Rows)
    {
        if (!HasLogin(row))
        {
            continue;
        }
        const std::u16string key = StoredPasswordKey(row);
        std::u16string old;
        const auto found = store.Read(key, old, error);
        if (found == IPasswordStore::ReadResult::Found && old == Secret(row))
        {
            continue; // already there: nothing to write, nothing to undo
        }
        if (found == IPasswordStore::ReadResult::Failed)
        {
            RestoreStore(written, store, error);
            return false;
        }
        if (!store.Write(key, Secret(row), error))
        {
            RestoreStore(written, store, error);
            return false;
        }
        written.emplace_back(key, found == IPasswordStore::ReadResult::Found
                                      ? std::optional<std::u16string>(old)
                                      : std::nullopt);
    }
    for (DvrRow& row : rows.Rows)
    {
        row.Columns[kColumnUser].clear();
        row.Password.clear();
    }
    if (before != nullptr)
    {
        *before = std::move(written);
    }
    return true;
}

bool MoveFileLoginsIntoStore(const std::filesystem::path& file, IPasswordStore& store,
                             std::u16string& error)
{
    SilentMessageBox messages;
    DvrRowList rows;
    LoadDirectory(rows, file, messages);
    StoreSnapshot before;
    if (!MoveIntoStore(rows, store, error, &before))
    {
        return false;
    }
    if (!SaveDirectory(rows, file))
    {
        error = rows.ReadFailure.empty() ? u"the directory file could not be written"
                                         : rows.ReadFailure;
        RestoreStore(before, store, error);
        return false;
    }
    return true;
}

bool MoveFileLoginsOutOfStore(const std::filesystem::path& file, IPasswordStore& store,
                              std::u16string& error)
{
    SilentMessageBox messages;
    DvrRowList rows;
    LoadDirectory(rows, file, messages);
    // Every row's key: a copy left by a save the keyring refused half-way goes too.
    std::vector<std::u16string> keys = StoredPasswordKeys(rows);
    if (!FillFromStore(rows, store, error))
    {
        return false;
    }
    if (!SaveDirectory(rows, file))
    {
        error = rows.ReadFailure.empty() ? u"the directory file could not be written"
                                         : rows.ReadFailure;
        return false;
    }
    // Copies left behind by a failed removal lose nothing: the file has them now.
    Forget(keys, store);
    return true;
}
