// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>

// IPList.db beside the program when its folder is writable by the user alone,
// else in the user's data folder for this application.
std::filesystem::path DirectoryFileLocation();
