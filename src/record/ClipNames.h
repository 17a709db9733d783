// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

// "Gate_CH-03_2026-12-07_21-04-05.mkv": the DVR's name with what a file name cannot
// hold replaced, the channel (0-based index, shown from CH-01) and `start` in local time.
std::string ClipFileName(std::u16string_view dvrName, int channel,
                         std::chrono::system_clock::time_point start);

// The user's videos folder: XDG_VIDEOS_DIR from `configHome`/user-dirs.dirs, else
// `home`/Videos; with "Quillon" below it.
std::filesystem::path ClipFolderIn(const std::filesystem::path& home,
                                   const std::filesystem::path& configHome);
// The same for this user ($HOME, $XDG_CONFIG_HOME), made when missing. Nothing,
// with `error` set, when it cannot be made.
std::filesystem::path MakeClipFolder(std::u16string& error);

// `name` in `folder`, or with "_2", "_3" ... before its suffix when taken.
std::filesystem::path UnusedClipPath(const std::filesystem::path& folder, const std::string& name);
