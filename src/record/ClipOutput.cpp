// SPDX-License-Identifier: GPL-3.0-or-later
#include "record/ClipOutput.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>

namespace
{
class CFileOutput : public IClipOutput
{
public:
    explicit CFileOutput(int fd) : m_fd(fd) {}
    ~CFileOutput() override
    {
        if (m_fd >= 0)
        {
            ::close(m_fd);
        }
    }

    int Write(const uint8_t* data, size_t length) override
    {
        while (length > 0)
        {
            const ssize_t written = ::write(m_fd, data, length);
            if (written < 0)
            {
                if (errno == EINTR)
                {
                    continue;
                }
                return errno;
            }
            data += written;
            length -= static_cast<size_t>(written);
        }
        return 0;
    }

    int SeekTo(uint64_t offset) override
    {
        return ::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET) < 0 ? errno : 0;
    }

    int Truncate(uint64_t size) override
    {
        if (::ftruncate(m_fd, static_cast<off_t>(size)) != 0)
        {
            return errno;
        }
        return SeekTo(size);
    }

    int Close() override
    {
        int error = ::fdatasync(m_fd) == 0 ? 0 : errno;
        // EINVAL: a file system that keeps nothing to sync (a pipe, some FUSE mounts).
        if (error == EINVAL)
        {
            error = 0;
        }
        if (::close(m_fd) != 0 && error == 0)
        {
            error = errno;
        }
        m_fd = -1;
        return error;
    }

private:
    int m_fd;
};
} // namespace

std::unique_ptr<IClipOutput> CFileStorage::Open(const std::filesystem::path& file, Create how,
                                                int& error)
{
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (how == Create::New ? O_EXCL : O_TRUNC);
    const int fd = ::open(file.c_str(), flags, 0644);
    if (fd < 0)
    {
        error = errno;
        return nullptr;
    }
    error = 0;
    return std::make_unique<CFileOutput>(fd);
}

std::optional<uint64_t> CFileStorage::FreeBytes(const std::filesystem::path& folder)
{
    struct statvfs info
    {
    };
    if (::statvfs(folder.c_str(), &info) != 0)
    {
        return std::nullopt;
    }
    return static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
}

IClipStorage& FileStorage()
{
    static CFileStorage storage;
    return storage;
}
