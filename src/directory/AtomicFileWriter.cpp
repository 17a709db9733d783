// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/AtomicFileWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

AtomicFileWriter::AtomicFileWriter()
    : m_write([](int fd, const void* data, size_t size) { return ::write(fd, data, size); })
{
}

AtomicFileWriter::AtomicFileWriter(WriteFunction write) : m_write(std::move(write)) {}

bool AtomicFileWriter::WriteAll(int fd, std::string_view bytes) const
{
    while (!bytes.empty())
    {
        const ssize_t n = m_write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
        {
            continue;
        }
        if (n <= 0)
        {
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool AtomicFileWriter::Replace(const std::filesystem::path& file, std::string_view bytes) const
{
    std::string temp = file.string() + ".XXXXXX";
    // mkstemp creates the file with mode 0600, which is what a file of passwords wants.
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
    {
        return false;
    }
    bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), file.c_str()) == 0;
    if (!ok)
    {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself survive a power loss; the data is already whole either way.
    const auto folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (folderFd >= 0)
    {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return true;
}
