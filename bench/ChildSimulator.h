// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the benchmarks that watch the real viewer share: quillon-dvrsim in a child
// process (its CPU is not the viewer's), this process's CPU by thread and in all,
// and the GUI thread's events for a while.
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

inline double ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// CPU seconds of each of this process's threads, by name and thread id: the GUI thread, the
// receivers, Qt's pooled threads.
inline std::map<std::string, double> ThreadCpuSeconds()
{
    std::map<std::string, double> byName;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
    {
        std::ifstream commFile(task.path() / "comm");
        std::ifstream schedFile(task.path() / "schedstat");
        std::string name;
        double nanoseconds = 0;
        if (std::getline(commFile, name) && (schedFile >> nanoseconds))
        {
            byName[name + " " + task.path().filename().string()] = nanoseconds * 1e-9;
        }
    }
    return byName;
}

inline void RunEventsFor(double seconds)
{
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), Qt::PreciseTimer, &loop,
                       &QEventLoop::quit);
    loop.exec();
}

struct CpuWatch
{
    double seconds; // of wall time
    double cpu;     // seconds of this process's CPU
};

// Runs the GUI thread's events for a while, and says where this process's CPU
// went meanwhile, each thread's share printed behind the label.
inline CpuWatch WatchCpu(double seconds, const char* label)
{
    const auto threadsBefore = ThreadCpuSeconds();
    const double cpuBefore = ProcessCpuSeconds();
    QElapsedTimer elapsed;
    elapsed.start();
    RunEventsFor(seconds);
    const CpuWatch watch{static_cast<double>(elapsed.nsecsElapsed()) * 1e-9,
                         ProcessCpuSeconds() - cpuBefore};
    // Threads that ended meanwhile are in neither reading.
    for (const auto& [thread, threadCpu] : ThreadCpuSeconds())
    {
        const auto before = threadsBefore.find(thread);
        const double used = threadCpu - (before == threadsBefore.end() ? 0 : before->second);
        if (used >= 0.001)
        {
            std::printf("%s thread %-28s %.3f s CPU in %.1f s\n", label, thread.c_str(), used,
                        watch.seconds);
        }
    }
    return watch;
}

// quillon-dvrsim in a child process; its first line names the port it serves.
class ChildSimulator
{
public:
    ~ChildSimulator()
    {
        if (m_pid > 0)
        {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_output != nullptr)
        {
            std::fclose(m_output);
        }
    }

    // Starts the program with these options (port 0 is added); the port it
    // serves, or 0 when it did not start.
    unsigned Start(std::vector<std::string> options)
    {
        int fds[2];
        if (pipe(fds) != 0)
        {
            return 0;
        }
        options.insert(options.begin(), "quillon-dvrsim");
        options.push_back("--port");
        options.push_back("0");
        m_pid = fork();
        if (m_pid == 0)
        {
            dup2(fds[1], STDOUT_FILENO);
            close(fds[0]);
            close(fds[1]);
            std::vector<char*> argv;
            for (std::string& option : options)
            {
                argv.push_back(option.data());
            }
            argv.push_back(nullptr);
            execv(QUILLON_DVRSIM_PATH, argv.data());
            _exit(127);
        }
        close(fds[1]);
        if (m_pid < 0)
        {
            close(fds[0]);
            return 0;
        }
        m_output = fdopen(fds[0], "r");
        char line[256] = {};
        if (m_output == nullptr || std::fgets(line, sizeof line, m_output) == nullptr)
        {
            return 0;
        }
        // "quillon-dvrsim: serving N channels on http://ADDRESS:PORT/cgi-bin/..."
        const char* path = std::strstr(line, "/cgi-bin");
        const char* colon = path;
        while (colon != nullptr && colon > line && *colon != ':')
        {
            --colon;
        }
        return colon != nullptr && *colon == ':' ? static_cast<unsigned>(std::atoi(colon + 1)) : 0;
    }

    // The child's CPU seconds so far (user and system), or 0 when it cannot be read.
    double CpuSeconds() const
    {
        std::ifstream statFile("/proc/" + std::to_string(m_pid) + "/stat");
        std::string stat;
        std::getline(statFile, stat);
        // The fields after the name, which is in parentheses and may hold spaces.
        const size_t nameEnd = stat.rfind(')');
        if (m_pid <= 0 || nameEnd == std::string::npos)
        {
            return 0;
        }
        std::istringstream fields(stat.substr(nameEnd + 1));
        std::string field;
        double user = 0;
        double system = 0;
        // utime and stime are the 14th and 15th fields; the state is the 3rd.
        for (int i = 3; i < 14; ++i)
        {
            fields >> field;
        }
        fields >> user >> system;
        return (user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
    }

private:
    pid_t m_pid = -1;
    FILE* m_output = nullptr;
};
