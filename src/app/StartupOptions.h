// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

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

    // --add-dvr alone adds and ends: no window, so no display is needed.
    bool AddsOnly() const;
};

// False with `error` set when the arguments cannot be used; --help and
// --version print and exit inside.
bool ParseStartupOptions(const QStringList& arguments, StartupOptions& options, QString& error);

// One line from `fd`, its line break dropped; on a terminal it is not echoed
// (a prompt goes to stderr), from a pipe it is read as it comes. False at the
// end of the input before any line.
bool ReadPasswordLine(int fd, std::u16string& password);

// Triggers the item once, as soon as it is enabled: --ptz waits for the first
// connection to enable PTZ Control.
void TriggerOnceEnabled(QAction& item);
