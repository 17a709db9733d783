// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CKeyringSwitch.h"
#include "app/CMainFrame.h"
#include "app/CZentrelApp.h"
#include "app/CZentrelView.h"
#include "app/StartupOptions.h"
#include "directory/DirectoryEntries.h"
#include "directory/DirectoryFileLocation.h"
#include "directory/QtKeychainStore.h"
#include "res/ResourceIds.h"
#include "res/Version.h"
#include "wall/CWallSwitcher.h"

#include <QAction>

#include <QApplication>
#include <QTimer>

#include <cstdio>

#include <unistd.h>

namespace
{
void Complain(const QString& text)
{
    std::fprintf(stderr, "quillon: %s\n", qPrintable(text));
}

// Waits for pictures on screen, lets a few more arrive, saves the window and quits.
void TakeScreenshotWhenLive(CZentrelApp& app, const QString& file)
{
    constexpr int kPollMs = 100;
    constexpr int kSettleMs = 1500;
    constexpr int kGiveUpMs = 30000;
    auto* poll = new QTimer(app.GetMainFrame());
    auto waited = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, poll,
                     [&app, file, poll, waited]
                     {
                         *waited += kPollMs;
                         const bool live = app.GetView()->GetPaintedPictures() > 0 ||
                                           app.GetWallSwitcher()->GetPaintedPictures() > 0;
                         if (!live && *waited < kGiveUpMs)
                         {
                             return;
                         }
                         poll->stop();
                         QTimer::singleShot(live ? kSettleMs : 0, poll,
                                            [&app, file, live]
                                            {
                                                const bool saved =
                                                    app.GetMainFrame()->grab().save(file, "PNG");
                                                if (!live || !saved)
                                                {
                                                    Complain(!saved ? "could not write " + file
                                                                    : "no picture arrived; saved "
                                                                      "the window as it is");
                                                }
                                                QApplication::exit(live && saved ? 0 : 1);
                                            });
                     });
    poll->start(kPollMs);
}
void SetIdentity()
{
    QCoreApplication::setApplicationName(QStringLiteral("quillon"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLON_VERSION));
}

// --add-dvr: 0 when added or the name is taken (told on stderr), 1 when refused.
int AddFromCommandLine(const QString& line, const std::filesystem::path& directoryFile)
{
    QtKeychainStore keyring;
    QString error;
    const AddEntryResult result = AddDirectoryEntry(
        directoryFile, line.toStdU16String(), error, KeepsPasswordsInKeyring() ? &keyring : nullptr,
        [](std::u16string& password) { return ReadPasswordLine(STDIN_FILENO, password); });
    if (result != AddEntryResult::Added)
    {
        Complain(error);
    }
    return result == AddEntryResult::Refused ? 1 : 0;
}

// --help, --version and --add-dvr alone answer without a display: from a terminal,
// a script or a package check. -1 when the viewer is to run.
int AnswerWithoutDisplay(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
    {
        const QByteArray arg(argv[i]);
        if (i > 0 && (arg == "--help" || arg == "-h" || arg == "--help-all" || arg == "--version" ||
                      arg == "-v"))
        {
            QCoreApplication core(argc, argv);
            SetIdentity();
            StartupOptions options;
            QString error;
            // Prints and exits, unless another argument is wrong.
            ParseStartupOptions(QCoreApplication::arguments(), options, error);
            Complain(error);
            return 2;
        }
        arguments.append(QString::fromLocal8Bit(arg));
    }
    // Arguments this parse refuses may be Qt's own (-platform): the viewer's parse judges them.
    StartupOptions options;
    QString error;
    if (!ParseStartupOptions(arguments, options, error) || !options.AddsOnly())
    {
        return -1;
    }
    QCoreApplication core(argc, argv);
    SetIdentity();
    return AddFromCommandLine(options.addEntryLine, DirectoryFileLocation());
}
} // namespace

int main(int argc, char* argv[])
{
    if (const int answered = AnswerWithoutDisplay(argc, argv); answered >= 0)
    {
        return answered;
    }
    QApplication application(argc, argv);
    SetIdentity();
    QApplication::setApplicationDisplayName(QStringLiteral("Quillon"));
    QApplication::setDesktopFileName(QStringLiteral(QUILLON_APP_ID));

    StartupOptions options;
    QString error;
    if (!ParseStartupOptions(QApplication::arguments(), options, error))
    {
        Complain(error);
        return 2;
    }

    AppSettings settings;
    settings.windowSize = options.windowSize;
    CZentrelApp app(settings);
    if (!options.addEntryLine.isEmpty() &&
        AddFromCommandLine(options.addEntryLine, app.GetDirectoryFile()) != 0)
    {
        return 1;
    }
    if (!app.InitInstance())
    {
        return 1;
    }
    if (!options.wallName.isEmpty())
    {
        if (!app.GetWallSwitcher()->ShowNamedWall(options.wallName.toStdU16String(), error))
        {
            Complain(error);
        }
    }
    else if (!options.connectName.isEmpty())
    {
        if (const auto entry =
                FindDirectoryEntry(app.GetDirectoryFile(), options.connectName.toStdU16String(),
                                   error, app.GetView()->GetPasswordStore()))
        {
            if (options.layoutColumns > 1)
            {
                app.GetWallSwitcher()->ShowWall(options.layoutColumns, *entry);
            }
            else
            {
                app.GetView()->ConnectTo(*entry);
            }
        }
        else
        {
            Complain(error);
        }
    }
    else if (options.layoutColumns > 0)
    {
        app.GetWallSwitcher()->SetLayout(options.layoutColumns);
    }
    else
    {
        app.RestoreLastConnection();
    }
    if (options.showPTZ)
    {
        TriggerOnceEnabled(*app.GetMainFrame()->FindAction(ID_PTZ_CONTROL));
    }
    if (!options.screenshotFile.isEmpty())
    {
        TakeScreenshotWhenLive(app, options.screenshotFile);
    }
    return QApplication::exec();
}
