// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/WindowPlacement.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QRegion>
#include <QScreen>
#include <QSettings>

#include <algorithm>

namespace
{
const QString kGeometryKey = QStringLiteral("window/geometry");
} // namespace

QRect FirstStartGeometry(const QRect& available, const QSize& wanted)
{
    if (available.width() < wanted.width() || available.height() < wanted.height())
    {
        return available;
    }
    QRect placed(QPoint(0, 0), wanted);
    placed.moveCenter(available.center());
    return placed;
}

QRect KeepInside(const QRect& placed, const QRect& available)
{
    QRect kept(placed.topLeft(), placed.size().boundedTo(available.size()));
    kept.moveLeft(std::clamp(kept.left(), available.left(), available.right() + 1 - kept.width()));
    kept.moveTop(std::clamp(kept.top(), available.top(), available.bottom() + 1 - kept.height()));
    return kept;
}

// A window across two screens is fine; one with a part on no screen moves onto the one
// it is most on. The frame counts as the window's: its title bar must be reachable.
void KeepWindowOnScreens(QMainWindow& window)
{
    if (window.isFullScreen() || window.isMaximized())
    {
        return;
    }
    const QRect placed = window.frameGeometry();
    QRegion screens;
    QScreen* most = window.screen();
    int mostArea = -1;
    for (QScreen* screen : QGuiApplication::screens())
    {
        const QRect available = screen->availableGeometry();
        screens += available;
        const QRect shared = available.intersected(placed);
        const int area = shared.isEmpty() ? 0 : shared.width() * shared.height();
        if (area > mostArea)
        {
            most = screen;
            mostArea = area;
        }
    }
    if (most == nullptr || QRegion(placed).subtracted(screens).isEmpty())
    {
        return;
    }
    const QRect kept = KeepInside(placed, most->availableGeometry());
    window.resize(window.size() - (placed.size() - kept.size()));
    window.move(kept.topLeft());
}

void RestoreWindowPlacement(QMainWindow& window, QSettings& settings)
{
    if (window.restoreGeometry(settings.value(kGeometryKey).toByteArray()))
    {
        KeepWindowOnScreens(window);
        return;
    }
    const QSize wanted = kFirstViewSize + QSize(0, window.menuBar()->sizeHint().height());
    window.setGeometry(FirstStartGeometry(window.screen()->availableGeometry(), wanted));
}

void ApplyWindowSize(QMainWindow& window, const QSize& size)
{
    window.setWindowState(Qt::WindowNoState);
    window.resize(size);
    KeepWindowOnScreens(window);
}

void SaveWindowPlacement(const QMainWindow& window, QSettings& settings)
{
    settings.setValue(kGeometryKey, window.saveGeometry());
    settings.sync();
}
