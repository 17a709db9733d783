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

bool MoveIntoStore(DvrRowList& rows, IPasswordStore& store, std::u16string& error)
{
    // Keys that were not in the store before: a refusal takes them out again.
    std::vector<std::u16string> added;
    for (const DvrRow& row : rows.Rows)
    {
        if (!HasLogin(row))
        {
            continue;
        }
        const std::u16string key = StoredPasswordKey(row);
        std::u16string old;
        const auto before = store.Read(key, old, error);
        if (before == IPasswordStore::ReadResult::Failed || !store.Write(key, Secret(row), error))
        {
            Forget(added, store);
            return false;
        }
        if (before == IPasswordStore::ReadResult::Missing)
        {
            added.push_back(key);
        }
    }
    for (DvrRow& row : rows.Rows)
    {
        row.Columns[kColumnUser].clear();
        row.Password.clear();
    }
    return true;
}

bool MoveFileLoginsIntoStore(const std::filesystem::path& file, IPasswordStore& store,
                             std::u16string& error)
{
    SilentMessageBox messages;
    DvrRowList rows;
    LoadDirectory(rows, file, messages);
    DvrRowList before = rows;
    if (!MoveIntoStore(rows, store, error))
    {
        return false;
    }
    if (!SaveDirectory(rows, file))
    {
        error = rows.ReadFailure.empty() ? u"the directory file could not be written"
                                         : rows.ReadFailure;
        std::vector<std::u16string> keys;
        for (const DvrRow& row : before.Rows)
        {
            if (HasLogin(row))
            {
                keys.push_back(StoredPasswordKey(row));
            }
        }
        Forget(keys, store);
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
    std::vector<std::u16string> keys;
    for (const DvrRow& row : rows.Rows)
    {
        if (!HasLogin(row))
        {
            keys.push_back(StoredPasswordKey(row));
        }
    }
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
