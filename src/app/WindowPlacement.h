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

// Size, position and full-screen state of the last run, or the first start's
// placement; before the window is shown.
void RestoreWindowPlacement(QMainWindow& window, QSettings& settings);
void SaveWindowPlacement(const QMainWindow& window, QSettings& settings);
