// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QSize>

class QMainWindow;
class QSettings;

// The view the main window opens with the first time: the common DVR picture.
constexpr QSize kFirstViewSize{704, 480};

// The first start: `wanted` centred on a screen that holds it, else the whole
// available screen (a phone).
QRect FirstStartGeometry(const QRect& available, const QSize& wanted);

// `placed` moved, and shrunk where it must be, so that it lies wholly in `available`.
QRect KeepInside(const QRect& placed, const QRect& available);

// Size, position and full-screen state of the last run, or the first start's
// placement; before the window is shown. A place that is no longer wholly on the
// screens (one was unplugged, or made smaller) moves onto the screen it is most on.
void RestoreWindowPlacement(QMainWindow& window, QSettings& settings);
// --size: that size where the window is, within the screen's available area.
void ApplyWindowSize(QMainWindow& window, const QSize& size);
// Moves, and shrinks where it must, a window that is not wholly on the screens.
// Before it is shown its frame is not known yet: called again once it is.
void KeepWindowOnScreens(QMainWindow& window);
void SaveWindowPlacement(const QMainWindow& window, QSettings& settings);
