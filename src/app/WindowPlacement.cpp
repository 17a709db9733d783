#include "app/WindowPlacement.h"

#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>

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

void RestoreWindowPlacement(QMainWindow& window, QSettings& settings)
{
    // restoreGeometry keeps a window from another screen layout on this one.
    if (window.restoreGeometry(settings.value(kGeometryKey).toByteArray()))
    {
        return;
    }
    const QSize wanted = kFirstViewSize + QSize(0, window.menuBar()->sizeHint().height());
    window.setGeometry(FirstStartGeometry(window.screen()->availableGeometry(), wanted));
}

void SaveWindowPlacement(const QMainWindow& window, QSettings& settings)
{
    settings.setValue(kGeometryKey, window.saveGeometry());
    settings.sync();
}
