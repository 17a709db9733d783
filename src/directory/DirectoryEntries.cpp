// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/DirectoryEntries.h"

#include "directory/DvrConnectInfo.h"
#include "directory/DvrDirectory.h"
#include "directory/DvrEntryRules.h"
#include "directory/StoredPasswords.h"
#include "platform/SilentMessageBox.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace
{
QString Quoted(const std::u16string& text)
{
    return QStringLiteral("\"%1\"").arg(QString::fromStdU16String(text));
}

const DvrRow* FindRow(const DvrRowList& rows, const std::u16string& name)
{
    const auto it =
        std::find_if(rows.Rows.begin(), rows.Rows.end(),
                     [&](const DvrRow& row) { return row.Columns[kColumnName] == name; });
    return it == rows.Rows.end() ? nullptr : &*it;
}

// A password is named, never shown: messages go to terminals and logs.
QString Told(DvrEntryField field, const std::u16string& value)
{
    return field == DvrEntryField::Password
               ? QStringLiteral("the password")
               : QStringLiteral("the %1 %2").arg(FieldName(field), Quoted(value));
}

QString RefusalOf(DvrEntryField field, const std::u16string& value)
{
    if (value.empty())
    {
        return QStringLiteral("the %1 is empty").arg(FieldName(field));
    }
    if (field == DvrEntryField::Channel)
    {
        return QStringLiteral("the channel %1 is not a number from 0 to 15").arg(Quoted(value));
    }
    return Told(field, value) + QStringLiteral(" is not one that Add DVR takes");
}

// Every comma splits, so an empty field is told rather than skipped; the entry
// then meets the rules of Add DVR. Five fields leave the password to be read.
std::optional<DvrEntry> ParseCommandLineEntry(const std::u16string& line, QString& error)
{
    std::vector<std::u16string> fields;
    for (size_t start = 0;;)
    {
        const size_t comma = line.find(u',', start);
        fields.push_back(line.substr(start, comma - start));
        if (comma == std::u16string::npos)
        {
            break;
        }
        start = comma + 1;
    }
    if (fields.size() < 4 || fields.size() > 6)
    {
        error = QStringLiteral("not Name,Address,Port,Channel[,User[,Password]]: %1 fields")
                    .arg(fields.size());
        return std::nullopt;
    }
    constexpr DvrEntryField kOrder[] = {DvrEntryField::Name, DvrEntryField::Address,
                                        DvrEntryField::Port, DvrEntryField::Channel,
                                        DvrEntryField::User, DvrEntryField::Password};
    for (size_t i = 0; i < fields.size(); ++i)
    {
        // Quotes for the shell belong around the whole line, not in a field.
        if (fields[i].size() >= 2 && fields[i].front() == u'"' && fields[i].back() == u'"')
        {
            error = Told(kOrder[i], fields[i].substr(1, fields[i].size() - 2)) +
                    QStringLiteral(" is in quotes; quote the whole line instead");
            return std::nullopt;
        }
        // The file cannot keep an empty user or password: its reader skips empty fields.
        if (i >= 4 && fields[i].empty())
        {
            error = RefusalOf(kOrder[i], fields[i]);
            return std::nullopt;
        }
    }
    fields.resize(6);
    const std::u16string& channel = fields[3];
    const bool channelIsNumber = !channel.empty() && channel.size() <= 2 &&
                                 std::all_of(channel.begin(), channel.end(),
                                             [](char16_t c) { return c >= u'0' && c <= u'9'; });
    const DvrEntry entry{fields[0], fields[1],
                         fields[2], channelIsNumber ? ParseDecimal(channel) : -1,
                         fields[4], fields[5]};
    if (const DvrEntryField refused = FindRefusedField(entry); refused != DvrEntryField::None)
    {
        const auto at = std::find(std::begin(kOrder), std::end(kOrder), refused) - kOrder;
        error = RefusalOf(refused, fields[at]);
        return std::nullopt;
    }
    return entry;
}

bool ReadPassword(DvrEntry& entry, const PasswordReader& readPassword, QString& error)
{
    if (!readPassword || !readPassword(entry.Password))
    {
        error = QStringLiteral("no password came on standard input for the user %1")
                    .arg(Quoted(entry.User));
        return false;
    }
    if (entry.Password.empty() || FindRefusedField(entry) != DvrEntryField::None)
    {
        error = RefusalOf(DvrEntryField::Password, entry.Password);
        return false;
    }
    return true;
}
// The directory's rows; false with `error` set when the file is there but cannot be read.
bool LoadReadable(DvrRowList& rows, const std::filesystem::path& file, QString& error)
{
    SilentMessageBox messages;
    LoadDirectory(rows, file, messages);
    error = QString::fromStdU16String(rows.ReadFailure);
    return rows.ReadFailure.empty();
}
} // namespace

AddEntryResult AddDirectoryEntry(const std::filesystem::path& file, const std::u16string& line,
                                 QString& error, IPasswordStore* passwords,
                                 const PasswordReader& readPassword)
{
    std::optional<DvrEntry> entry = ParseCommandLineEntry(line, error);
    if (!entry)
    {
        return AddEntryResult::Refused;
    }
    DvrRowList rows;
    // Before any password is asked for or kept: nothing will be saved to that file.
    if (!LoadReadable(rows, file, error))
    {
        return AddEntryResult::Refused;
    }
    if (FindRow(rows, entry->Name) != nullptr)
    {
        error = QStringLiteral("the directory has a DVR named %1 already; it is kept as it is")
                    .arg(Quoted(entry->Name));
        return AddEntryResult::NameTaken;
    }
    // Asked only now, so that a line refused or a name taken costs no typing.
    if (!entry->User.empty() && entry->Password.empty() &&
        !ReadPassword(*entry, readPassword, error))
    {
        return AddEntryResult::Refused;
    }
    SilentMessageBox messages;
    if (!AddEntry(rows, *entry, messages))
    {
        error = QStringLiteral("the directory has this DVR under another name");
        return AddEntryResult::Refused;
    }
    StoreSnapshot before;
    if (passwords != nullptr)
    {
        DvrRowList added;
        added.Rows.push_back(rows.Rows.back());
        std::u16string failure;
        if (!MoveIntoStore(added, *passwords, failure, &before))
        {
            error = QStringLiteral("the login could not be kept in the keyring, so nothing was "
                                   "added: %1")
                        .arg(QString::fromStdU16String(failure));
            return AddEntryResult::Refused;
        }
        rows.Rows.back() = added.Rows.back();
    }
    if (!SaveDirectory(rows, file))
    {
        error = QStringLiteral("the directory could not be saved: %1")
                    .arg(QString::fromStdString(file.string()));
        std::u16string failure;
        if (passwords != nullptr && !RestoreStore(before, *passwords, failure))
        {
            error += QString::fromStdU16String(failure);
        }
        return AddEntryResult::Refused;
    }
    return AddEntryResult::Added;
}

std::optional<DvrEntry> FindDirectoryEntry(const std::filesystem::path& file,
                                           const std::u16string& name, QString& error,
                                           IPasswordStore* passwords)
{
    DvrRowList rows;
    if (!LoadReadable(rows, file, error))
    {
        return std::nullopt;
    }
    std::u16string failure;
    if (passwords != nullptr && !FillFromStore(rows, *passwords, failure))
    {
        error = QString::fromStdU16String(failure);
        return std::nullopt;
    }
    const DvrRow* row = FindRow(rows, name);
    if (row == nullptr)
    {
        error = QStringLiteral("no DVR named %1 in %2")
                    .arg(Quoted(name), QString::fromStdString(file.string()));
        return std::nullopt;
    }
    if (row->Columns[kColumnUser].empty())
    {
        error = QStringLiteral("the DVR %1 has no saved user and password; connect to it "
                               "from Menu > Connect")
                    .arg(Quoted(name));
        return std::nullopt;
    }
    return DvrEntry{row->Columns[kColumnName], row->Columns[kColumnAddress],
                    row->Columns[kColumnPort], RowChannel(*row),
                    row->Columns[kColumnUser], row->Password};
}
