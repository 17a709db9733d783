// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/ViewerSettings.h"

#include <QStandardPaths>

#include <algorithm>
#include <iterator>

namespace
{
const QString kLookBackMemoryKey = QStringLiteral("LookBack/MemoryMB");
} // namespace

std::unique_ptr<QSettings> OpenViewerSettings(const std::filesystem::path& settingsFile)
{
    QString path = QString::fromStdString(settingsFile.string());
    if (path.isEmpty())
        path = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
               QStringLiteral("/quillon/quillon.conf");
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

size_t LoadLookBackMemory(const QSettings& settings)
{
    bool number = false;
    const qulonglong megabytes = settings.value(kLookBackMemoryKey).toULongLong(&number);
    const size_t bytes = static_cast<size_t>(megabytes) << 20;
    const bool known = number && megabytes < (qulonglong{1} << 20) &&
                       std::find(std::begin(kLookBackMemoryChoices),
                                 std::end(kLookBackMemoryChoices),
                                 bytes) != std::end(kLookBackMemoryChoices);
    return known ? bytes : kDefaultLookBackMemory;
}

void SaveLookBackMemory(QSettings& settings, size_t bytes)
{
    settings.setValue(kLookBackMemoryKey, qulonglong{bytes >> 20});
}
