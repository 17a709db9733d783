// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

// While it lives, no file of this process grows past `limit` bytes: a write
// beyond it fails part-way as on a full file system (EFBIG instead of ENOSPC).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit small{limit, m_old.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

// Makes a folder read-only for the calling thread, even when tests run as root:
// the folder loses its write bits and the thread the capability that overrides them.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(std::filesystem::path folder) : m_folder(std::move(folder))
    {
        ::chmod(m_folder.c_str(), 0555);
        if (::syscall(SYS_capget, &m_header, m_caps) == 0)
        {
            __user_cap_data_struct lowered[2] = {m_caps[0], m_caps[1]};
            lowered[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
            m_lowered = ::syscall(SYS_capset, &m_header, lowered) == 0;
        }
    }
    ~ReadOnlyFolder()
    {
        if (m_lowered)
        {
            ::syscall(SYS_capset, &m_header, m_caps);
        }
        ::chmod(m_folder.c_str(), 0700);
    }

private:
    std::filesystem::path m_folder;
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_caps[2]{};
    bool m_lowered = false;
};

// While it lives, `file` is another user's with mode 0600, and the calling thread
// lacks the capabilities that would let root read it anyway: what a run under
// sudo leaves behind. Where the file cannot change hands, it loses every mode bit.
class FileOfAnotherUser
{
public:
    explicit FileOfAnotherUser(std::filesystem::path file) : m_file(std::move(file))
    {
        constexpr uid_t kNobody = 65534;
        const bool given = ::chown(m_file.c_str(), kNobody, kNobody) == 0;
        ::chmod(m_file.c_str(), given ? 0600 : 0);
        if (::syscall(SYS_capget, &m_header, m_caps) == 0)
        {
            __user_cap_data_struct lowered[2] = {m_caps[0], m_caps[1]};
            lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
            m_lowered = ::syscall(SYS_capset, &m_header, lowered) == 0;
        }
    }
    ~FileOfAnotherUser()
    {
        if (m_lowered)
        {
            ::syscall(SYS_capset, &m_header, m_caps);
        }
        if (::chown(m_file.c_str(), ::geteuid(), ::getegid()) == 0)
        {
            ::chmod(m_file.c_str(), 0600);
        }
    }

private:
    std::filesystem::path m_file;
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_caps[2]{};
    bool m_lowered = false;
};
