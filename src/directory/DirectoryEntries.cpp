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

// Every comma splits, so an empty field is told rather than skipped; the entry
// then meets the rules of Add DVR.
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
    if (fields.size() != 4 && fields.size() != 6)
    {
        error =
            QStringLiteral("not Name,Address,Port,Channel[,User,Password]: %1").arg(Quoted(line));
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
            error =
                QStringLiteral("the %1 %2 is in quotes; quote the whole line instead")
                    .arg(FieldName(kOrder[i]), Quoted(fields[i].substr(1, fields[i].size() - 2)));
            return std::nullopt;
        }
    }
    const std::u16string& channel = fields[3];
    const bool channelIsNumber = !channel.empty() && channel.size() <= 2 &&
                                 std::all_of(channel.begin(), channel.end(),
                                             [](char16_t c) { return c >= u'0' && c <= u'9'; });
    const bool withUser = fields.size() == 6;
    const DvrEntry entry{fields[0],
                         fields[1],
                         fields[2],
                         channelIsNumber ? ParseDecimal(channel) : -1,
                         withUser ? fields[4] : std::u16string(),
                         withUser ? fields[5] : std::u16string()};
    if (const DvrEntryField refused = FindRefusedField(entry); refused != DvrEntryField::None)
    {
        const auto at = std::find(std::begin(kOrder), std::end(kOrder), refused) - kOrder;
        if (fields[at].empty())
        {
            error = QStringLiteral("the %1 is empty: %2").arg(FieldName(refused), Quoted(line));
        }
        else if (refused == DvrEntryField::Channel)
        {
            error = QStringLiteral("the channel %1 is not a number from 0 to 15")
                        .arg(Quoted(fields[at]));
        }
        else
        {
            error = QStringLiteral("the %1 %2 is not one that Add DVR takes")
                        .arg(FieldName(refused), Quoted(fields[at]));
        }
        return std::nullopt;
    }
    return entry;
}
} // namespace

bool AddDirectoryEntry(const std::filesystem::path& file, const std::u16string& line,
                       QString& error)
{
    const std::optional<DvrEntry> entry = ParseCommandLineEntry(line, error);
    if (!entry)
    {
        return false;
    }
    SilentMessageBox messages;
    DvrRowList rows;
    LoadDirectory(rows, file, messages);
    if (FindRow(rows, entry->Name) != nullptr)
    {
        return true;
    }
    if (!AddEntry(rows, *entry, messages))
    {
        error = QStringLiteral("the directory has this DVR under another name");
        return false;
    }
    if (!SaveDirectory(rows, file))
    {
        error = QStringLiteral("the directory could not be saved: %1")
                    .arg(QString::fromStdString(file.string()));
        return false;
    }
    return true;
}

std::optional<DvrEntry> FindDirectoryEntry(const std::filesystem::path& file,
                                           const std::u16string& name, QString& error,
                                           IPasswordStore* passwords)
{
    SilentMessageBox messages;
    DvrRowList rows;
    LoadDirectory(rows, file, messages);
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
