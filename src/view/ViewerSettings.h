// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "motion/MotionSensitivity.h"

#include <QSettings>

#include <filesystem>
#include <memory>
#include <string>

// The viewer's own settings, apart from the directory file: the window's geometry,
// the last connection, the check items. One INI file; QSettings replaces it whole on
// every sync, so a crash never leaves half of it.
// An empty path means quillon.conf in the user's configuration folder
// (~/.config/quillon/); tests pass a file of their own.
std::unique_ptr<QSettings> OpenViewerSettings(const std::filesystem::path& settingsFile = {});

// The motion sensitivity of one camera: a directory entry, by its name, and a channel
// (0-based). A camera never set, or set in the file to a word not known, is at the default.
MotionSensitivity GetMotionSensitivity(QSettings& settings, const std::u16string& entryName,
                                       int channel);
void SetMotionSensitivity(QSettings& settings, const std::u16string& entryName, int channel,
                          MotionSensitivity sensitivity);
