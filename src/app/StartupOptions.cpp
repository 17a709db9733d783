// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StartupOptions.h"

#include "directory/GridLayout.h"

#include <QAction>
#include <QCommandLineParser>

#include <csignal>
#include <cstdio>
#include <memory>

#include <termios.h>
#include <unistd.h>

namespace
{
// The terminal's settings while echo is off, so that Ctrl-C does not leave it mute.
struct termios g_echoingTerminal;
int g_mutedFd = -1;

void RestoreEchoAndRaise(int signal)
{
    ::tcsetattr(g_mutedFd, TCSANOW, &g_echoingTerminal);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}
} // namespace

bool ParseStartupOptions(const QStringList& arguments, StartupOptions& options, QString& error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Quillon: live pictures from your DVRs."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption add(
        QStringLiteral("add-dvr"),
        QStringLiteral("Add a DVR to the directory unless one of that name exists: "
                       "Name,Address,Port,Channel[,User[,Password]], the channel counted from "
                       "0. A line ending with the user reads the password from standard "
                       "input (not echoed on a terminal), so it is not seen in the process "
                       "list. Alone, it adds and exits without a window; with other options "
                       "the viewer starts."),
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

bool StartupOptions::AddsOnly() const
{
    return !addEntryLine.isEmpty() && connectName.isEmpty() && screenshotFile.isEmpty() &&
           !windowSize.isValid() && !showPTZ && layoutColumns == 0 && wallName.isEmpty();
}

bool ReadPasswordLine(int fd, std::u16string& password)
{
    const bool terminal = ::isatty(fd) == 1;
    if (terminal && ::tcgetattr(fd, &g_echoingTerminal) == 0)
    {
        struct termios muted = g_echoingTerminal;
        muted.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        g_mutedFd = fd;
        std::signal(SIGINT, RestoreEchoAndRaise);
        std::signal(SIGTERM, RestoreEchoAndRaise);
        std::signal(SIGHUP, RestoreEchoAndRaise);
        std::fputs("Password: ", stderr);
        ::tcsetattr(fd, TCSANOW, &muted);
    }
    QByteArray line;
    char c = 0;
    ssize_t got = 0;
    while ((got = ::read(fd, &c, 1)) == 1 && c != '\n')
    {
        line.append(c);
    }
    if (g_mutedFd == fd)
    {
        ::tcsetattr(fd, TCSANOW, &g_echoingTerminal);
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        std::signal(SIGHUP, SIG_DFL);
        g_mutedFd = -1;
        std::fputs("\n", stderr);
    }
    if (line.endsWith('\r'))
    {
        line.chop(1);
    }
    password = QString::fromUtf8(line).toStdU16String();
    return got == 1 || !line.isEmpty();
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
