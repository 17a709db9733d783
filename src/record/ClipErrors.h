// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string>

// What the user reads when writing `file` failed with the errno value `error`:
// a full disk, a folder that cannot be written, a name taken, or the system's reason.
std::u16string ClipErrorText(int error, const std::filesystem::path& file);
