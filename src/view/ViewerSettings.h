// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "motion/MotionSensitivity.h"

#include <QSettings>

#include <cstddef>
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
// Look-Back Memory: the choices of its pop-up in the order of its items, and the
// one kept; a value that is not one of them reads as the default.
inline constexpr size_t kLookBackMemoryChoices[] = {size_t{128} << 20, size_t{256} << 20,
                                                   size_t{512} << 20, size_t{1} << 30,
                                                   size_t{2} << 30};
inline constexpr size_t kDefaultLookBackMemory = size_t{512} << 20;
size_t LoadLookBackMemory(const QSettings& settings);
void SaveLookBackMemory(QSettings& settings, size_t bytes);
