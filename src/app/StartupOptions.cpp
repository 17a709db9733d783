#include "app/StartupOptions.h"

#include "directory/GridLayout.h"

#include <QAction>
#include <QCommandLineParser>

#include <memory>

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
        if (const auto columns = ParseGridLayout(value.toStdU16String()))
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
