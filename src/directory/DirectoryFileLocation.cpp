// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/DirectoryFileLocation.h"

#include "directory/DvrDirectory.h"

#include <QStandardPaths>

std::filesystem::path DirectoryFileLocation()
{
    const QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return GetDirectoryFilePath(std::filesystem::path(dataFolder.toStdString()));
}
