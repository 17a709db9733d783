#pragma once

#include "directory/FileReader.h"
#include "support/TempFolder.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <string>

// Every path under a folder with its kind and, for a plain file, its bytes:
// what a file that must not be written over is compared by.
inline std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder)
{
    std::map<std::string, std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    {
        const auto type = entry.symlink_status().type();
        entries[entry.path().string()] =
            std::to_string(static_cast<int>(type)) + ":" +
            (type == std::filesystem::file_type::regular ? ReadBytes(entry.path()) : std::string());
    }
    return entries;
}

// Reads a few bytes, then fails as a dying disk does.
inline FileReader FailingDisk()
{
    return FileReader(
        [calls = 0](int fd, void* data, size_t size) mutable -> ssize_t
        {
            if (++calls > 1)
            {
                errno = EIO;
                return -1;
            }
            return ::read(fd, data, std::min<size_t>(size, 8));
        });
}
