// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PictureSnapshot.h"

#include "directory/DvrEntry.h"
#include "display/CPictureDisplay.h"

#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>
#include <QStringList>

QImage CommittedPicture(CPictureDisplay& display)
{
    QImage picture;
    display.PaintCommitted(
        [&](const CJpegDecoder& decoded, const PictureRect&)
        {
            // Row 0 is the bottom of the picture; mirrored() copies while the lock holds.
            const QImage rows(decoded.GetBits(), decoded.GetWidth(), decoded.GetHeight(),
                              static_cast<qsizetype>(decoded.GetStride()), QImage::Format_BGR888);
            picture = rows.mirrored(false, true);
        });
    return picture;
}

QDateTime ShownPictureTime(const CPictureDisplay& display)
{
    const std::optional<HistoryFrameInfo> past = display.GetShownPast();
    if (!past)
    {
        return QDateTime::currentDateTime();
    }
    return QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(
            past->arrivedClock.time_since_epoch())
            .count());
}

QString SnapshotFileName(const QString& dvrName, int channel, const QDateTime& when)
{
    QString name;
    for (const QChar c : dvrName.trimmed())
    {
        const bool unsafe =
            c.unicode() < 0x20 || c == QChar(0x7f) || QStringLiteral("/\\:*?\"<>|").contains(c);
        name += unsafe ? QChar('_') : c;
    }
    // A name of dots alone would be this folder or the one above.
    if (name.isEmpty() || name.count(QChar('.')) == name.size())
    {
        name = QStringLiteral("DVR");
    }
    return name + QChar('_') + QString::fromStdU16String(ChannelLabel(channel)) + QChar('_') +
           when.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")) + QStringLiteral(".png");
}

QString WithPictureSuffix(const QString& path, const QString& suffix)
{
    static const QStringList known{QStringLiteral("png"), QStringLiteral("jpg"),
                                   QStringLiteral("jpeg")};
    if (known.contains(QFileInfo(path).suffix().toLower()))
    {
        return path;
    }
    return path + QChar('.') + suffix;
}

bool SavePicture(const QImage& picture, const QString& path, QString& error)
{
    if (picture.isNull())
    {
        error = QStringLiteral("There is no picture on screen.");
        return false;
    }
    const QString suffix = QFileInfo(path).suffix().toLower();
    const QByteArray format =
        (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg")) ? "JPEG" : "PNG";
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
    {
        error = file.errorString();
        return false;
    }
    QImageWriter writer(&file, format);
    if (format == "JPEG")
    {
        writer.setQuality(95);
    }
    if (!writer.write(picture))
    {
        error = writer.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
    {
        error = file.errorString();
        return false;
    }
    return true;
}
