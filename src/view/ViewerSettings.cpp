// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/ViewerSettings.h"

#include <QStandardPaths>

std::unique_ptr<QSettings> OpenViewerSettings(const std::filesystem::path& settingsFile)
{
    QString path = QString::fromStdString(settingsFile.string());
    if (path.isEmpty())
        path = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
               QStringLiteral("/quillon/quillon.conf");
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}
