// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>

// Reads a file whole, without exceptions, and tells a file that is not there
// from one that is there but cannot be read: only the first may be written anew.
class FileReader
{
public:
    enum class Result
    {
        Read,
        Missing,
        Unreadable,
    };

    // Same contract as ::read; tests pass one that fails as a failing disk does.
    using ReadFunction = std::function<ssize_t(int fd, void* data, size_t size)>;

    FileReader();
    explicit FileReader(ReadFunction read);

    // On Unreadable, `reason` says why in the system's words ("Permission denied").
    Result Read(const std::filesystem::path& file, std::string& bytes, std::string& reason) const;

private:
    ReadFunction m_read;
};
