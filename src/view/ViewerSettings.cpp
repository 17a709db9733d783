// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/ViewerSettings.h"

#include "directory/DvrEntry.h"

#include <QStandardPaths>
#include <QUrl>

namespace
{
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
