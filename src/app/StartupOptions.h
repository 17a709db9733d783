#pragma once

#include "directory/DvrEntry.h"
#include "directory/PasswordStore.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <optional>
#include <string>

class QAction;

// The command line: what a person or the demo may ask for at start-up.
struct StartupOptions
{
    QString addEntryLine;   // --add-dvr: a directory line to add when no entry has its name
    QString connectName;    // --connect: the directory entry to connect to at once
    QString screenshotFile; // --screenshot: save the window once pictures show, then quit
    QSize windowSize;       // --size WxH
    bool showPTZ = false;   // --ptz: the PTZ panels come up with the first connection
    int layoutColumns = 0;  // --layout 1|2x2|3x3|4x4 as columns; 0 when not given
    QString wallName;       // --layout NAME: a wall kept by Edit Wall...
};

// False with `error` set when the arguments cannot be used; --help and
// --version print and exit inside.
bool ParseStartupOptions(const QStringList& arguments, StartupOptions& options, QString& error);

// Adds the entry of one directory line ("Name,Address,Port,Channel[,User,Password]")
// unless an entry of that name exists. False with `error` set, naming the field,
// on a line that Add DVR would refuse, or on a directory that cannot be saved.
bool AddDirectoryEntry(const std::filesystem::path& file, const std::u16string& line,
                       QString& error);

// The entry of that name, if it carries a saved user and password (in the file,
// or in `passwords` when given).
std::optional<DvrEntry> FindDirectoryEntry(const std::filesystem::path& file,
                                           const std::u16string& name, QString& error,
                                           IPasswordStore* passwords = nullptr);

// Triggers the item once, as soon as it is enabled: --ptz waits for the first
// connection to enable PTZ Control.
void TriggerOnceEnabled(QAction& item);
