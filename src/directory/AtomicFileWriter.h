// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string_view>

// Replaces a file's contents as one step: the bytes go to a new file beside it,
// which is flushed and then renamed over the old one, so a crash or a full disk
// leaves either the old file or the new one, never half of either. The new file
// is readable and writable by its owner only.
class AtomicFileWriter
{
public:
    // Same contract as ::write; tests pass one that fails part-way.
    using WriteFunction = std::function<ssize_t(int fd, const void* data, size_t size)>;

    AtomicFileWriter();
    explicit AtomicFileWriter(WriteFunction write);

    bool Replace(const std::filesystem::path& file, std::string_view bytes) const;

private:
    bool WriteAll(int fd, std::string_view bytes) const;

    WriteFunction m_write;
};
