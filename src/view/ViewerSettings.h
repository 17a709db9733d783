// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSettings>

#include <filesystem>
#include <memory>

// The viewer's own settings, apart from the directory file: the window's geometry,
// the last connection, the check items. One INI file; QSettings replaces it whole on
// every sync, so a crash never leaves half of it.
// An empty path means quillon.conf in the user's configuration folder
// (~/.config/quillon/); tests pass a file of their own.
std::unique_ptr<QSettings> OpenViewerSettings(const std::filesystem::path& settingsFile = {});
