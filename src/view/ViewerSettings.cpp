// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/ViewerSettings.h"

#include "directory/DvrEntry.h"

#include <QStandardPaths>
#include <QUrl>

#include <algorithm>
#include <iterator>

namespace
{
const QString kLookBackMemoryKey = QStringLiteral("LookBack/MemoryMB");

// A name may hold the separators of the file's keys; encoded, no two cameras share a key.
QString MotionSensitivityKey(const std::u16string& entryName, int channel)
{
    return QStringLiteral("MotionSensitivity/") +
           QString::fromLatin1(QUrl::toPercentEncoding(QString::fromStdU16String(entryName))) +
           QLatin1Char('/') + QString::fromStdU16String(ChannelLabel(channel));
}
} // namespace

std::unique_ptr<QSettings> OpenViewerSettings(const std::filesystem::path& settingsFile)
{
    QString path = QString::fromStdString(settingsFile.string());
    if (path.isEmpty())
        path = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
               QStringLiteral("/quillon/quillon.conf");
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

MotionSensitivity GetMotionSensitivity(QSettings& settings, const std::u16string& entryName,
                                       int channel)
{
    const QByteArray name =
        settings.value(MotionSensitivityKey(entryName, channel)).toString().toUtf8();
    return ParseMotionSensitivity(
               std::string_view(name.constData(), static_cast<size_t>(name.size())))
        .value_or(kDefaultMotionSensitivity);
}

void SetMotionSensitivity(QSettings& settings, const std::u16string& entryName, int channel,
                          MotionSensitivity sensitivity)
{
    const std::string_view name = MotionSensitivityName(sensitivity);
    settings.setValue(MotionSensitivityKey(entryName, channel),
                      QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
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
