// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QImage>
#include <QString>

class CPictureDisplay;

// The committed picture as the DVR sent it: its own size, top-down rows, the
// same pixels. Null while there is no picture; copied under the display's lock.
QImage CommittedPicture(CPictureDisplay& display);

// When the picture on screen arrived: a frame of the past has its own time; a live one is now.
QDateTime ShownPictureTime(const CPictureDisplay& display);

// "<DVR name>_CH-03_2026-12-07_21-04-05.png": the name made safe for a file name.
QString SnapshotFileName(const QString& dvrName, int channel, const QDateTime& when);

// The path as chosen, with ".<suffix>" added unless it names a PNG or JPEG file already.
QString WithPictureSuffix(const QString& path, const QString& suffix);

// Writes the picture as PNG, or JPEG for a .jpg/.jpeg name, all at once: a
// failed write leaves no file behind and an earlier file of that name whole.
// On failure `error` says why.
bool SavePicture(const QImage& picture, const QString& path, QString& error);
