// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/FileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace
{
std::string ErrorText(int error)
{
    return std::error_code(error, std::generic_category()).message();
}
} // namespace

FileReader::FileReader()
    : m_read([](int fd, void* data, size_t size) { return ::read(fd, data, size); })
{
}

FileReader::FileReader(ReadFunction read) : m_read(std::move(read)) {}

FileReader::Result FileReader::Read(const std::filesystem::path& file, std::string& bytes,
                                    std::string& reason) const
{
    bytes.clear();
    // Non-blocking, so that a FIFO in the file's place cannot hold the program up.
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
    {
        if (errno == ENOENT)
        {
            return Result::Missing;
        }
        reason = ErrorText(errno);
        return Result::Unreadable;
    }
    struct stat info
    {
    };
    Result result = Result::Read;
    if (::fstat(fd, &info) != 0)
    {
        reason = ErrorText(errno);
        result = Result::Unreadable;
    }
    else if (!S_ISREG(info.st_mode))
    {
        reason = S_ISDIR(info.st_mode) ? ErrorText(EISDIR) : "not a regular file";
        result = Result::Unreadable;
    }
    char buffer[16384];
    while (result == Result::Read)
    {
        const ssize_t n = m_read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
        {
            continue;
        }
        if (n < 0)
        {
            reason = ErrorText(errno);
            result = Result::Unreadable;
        }
        else if (n == 0)
        {
            break;
        }
        else
        {
            bytes.append(buffer, static_cast<size_t>(n));
        }
    }
    ::close(fd);
    if (result != Result::Read)
    {
        bytes.clear();
    }
    return result;
}
