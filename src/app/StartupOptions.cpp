#include "app/StartupOptions.h"

#include "directory/DvrConnectInfo.h"
#include "app/CWallSwitcher.h"
#include "directory/DvrAddress.h"
#include "directory/DvrDirectory.h"
#include "directory/DvrEntryRules.h"
#include "directory/StoredPasswords.h"
#include "directory/UserName.h"
#include "platform/SilentMessageBox.h"

#include <QAction>
#include <QCommandLineParser>

#include <algorithm>
#include <iterator>
#include <memory>
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

bool ParseStartupOptions(const QStringList& arguments, StartupOptions& options, QString& error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Quillon: live pictures from your DVRs."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption add(QStringLiteral("add-dvr"),
                                 QStringLiteral("Add a DVR to the directory unless one of that "
                                                "name exists: Name,Address,Port,Channel[,User,"
                                                "Password], the channel counted from 0."),
                                 QStringLiteral("line"));
    const QCommandLineOption connect(
        QStringLiteral("connect"),
        QStringLiteral("Connect at once to the directory's DVR of this name; it must have "
                       "a saved user and password."),
        QStringLiteral("name"));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Once pictures show, save the window as this PNG file and quit."),
        QStringLiteral("file"));
    const QCommandLineOption size(QStringLiteral("size"),
                                  QStringLiteral("The window's size, for example 240x320."),
                                  QStringLiteral("WxH"));
    const QCommandLineOption ptz(QStringLiteral("ptz"),
                                 QStringLiteral("Show the PTZ panels once connected."));
    const QCommandLineOption layout(
        QStringLiteral("layout"),
        QStringLiteral("Start on this layout: 1 (the single view), 2x2, 3x3 or 4x4, which "
                       "show the channels of the DVR of --connect, or the name of a wall "
                       "kept by Edit Wall...."),
        QStringLiteral("layout"));
    parser.addOptions({add, connect, screenshot, size, ptz, layout});
    if (!parser.parse(arguments))
    {
        error = parser.errorText();
        return false;
    }
    if (parser.isSet(QStringLiteral("help")))
    {
        parser.showHelp(0);
    }
    if (parser.isSet(QStringLiteral("help-all")))
    {
        parser.process(arguments); // prints the help with Qt's own options, and exits
    }
    if (parser.isSet(QStringLiteral("version")))
    {
        parser.showVersion();
    }
    if (!parser.positionalArguments().isEmpty())
    {
        error = QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first());
        return false;
    }
    options.addEntryLine = parser.value(add);
    options.connectName = parser.value(connect);
    options.screenshotFile = parser.value(screenshot);
    options.showPTZ = parser.isSet(ptz);
    if (parser.isSet(layout))
    {
        const QString value = parser.value(layout);
        if (const auto columns = CWallSwitcher::ParseLayout(value))
        {
            options.layoutColumns = *columns;
        }
        else if (value.trimmed().isEmpty())
        {
            error = QStringLiteral("--layout: expected 1, 2x2, 3x3, 4x4 or a wall's name");
            return false;
        }
        else
        {
            options.wallName = value;
        }
    }
    if (parser.isSet(size))
    {
        const QStringList parts = parser.value(size).split(QLatin1Char('x'));
        bool widthOk = false;
        bool heightOk = false;
        const int width = parts.size() == 2 ? parts[0].toInt(&widthOk) : 0;
        const int height = parts.size() == 2 ? parts[1].toInt(&heightOk) : 0;
        if (!widthOk || !heightOk || width < 100 || height < 100 || width > 10000 || height > 10000)
        {
            error = QStringLiteral("--size wants WxH, each from 100 to 10000: %1")
                        .arg(parser.value(size));
            return false;
        }
        options.windowSize = QSize(width, height);
    }
    return true;
}

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

void TriggerOnceEnabled(QAction& item)
{
    if (item.isEnabled())
    {
        item.trigger();
        return;
    }
    // Queued, so it runs after the update that enabled the item, not inside it.
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(
        &item, &QAction::enabledChanged, &item,
        [&item, connection]
        {
            if (item.isEnabled())
            {
                QObject::disconnect(*connection);
                item.trigger();
            }
        },
        Qt::QueuedConnection);
}
