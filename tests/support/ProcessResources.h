// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <dirent.h>

#include <cstddef>
#include <fstream>
#include <string>

// What this process holds, read from /proc/self: a leak of threads, open files
// or memory over many cycles shows as growth here.
struct ProcessResources
{
    size_t threads = 0;
    size_t openFiles = 0;
    size_t residentBytes = 0;
};

inline ProcessResources ReadProcessResources()
{
    ProcessResources resources;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
    {
        if (line.starts_with("Threads:"))
        {
            resources.threads = std::stoul(line.substr(8));
        }
        else if (line.starts_with("VmRSS:"))
        {
            resources.residentBytes = std::stoul(line.substr(6)) * 1024;
        }
    }
    if (DIR* fds = ::opendir("/proc/self/fd"))
    {
        while (const dirent* entry = ::readdir(fds))
        {
            resources.openFiles += entry->d_name[0] != '.' ? 1 : 0;
        }
        ::closedir(fds);
        --resources.openFiles; // the listing's own
    }
    return resources;
}

// Sanitizers keep freed memory in quarantine on purpose; only a plain build
// can bound the resident size.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kResidentSizeIsMeaningful = false;
#else
constexpr bool kResidentSizeIsMeaningful = true;
#endif

// The threads of this process that gave themselves this name.
inline size_t CountThreadsNamed(const std::string& name)
{
    size_t count = 0;
    if (DIR* tasks = ::opendir("/proc/self/task"))
    {
        while (const dirent* entry = ::readdir(tasks))
        {
            std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
            std::string named;
            count += entry->d_name[0] != '.' && std::getline(comm, named) && named == name ? 1 : 0;
        }
        ::closedir(tasks);
    }
    return count;
}
