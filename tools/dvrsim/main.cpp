// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"
#include "DvrSimulator.h"

#include <csignal>
#include <cstdio>
#include <mutex>
#include <string>

#include <semaphore.h>

namespace
{
// Only async-signal-safe work in the handler: wake the main thread.
sem_t g_stopRequested;

void OnSignal(int)
{
    sem_post(&g_stopRequested);
}

std::string Printable(const std::string& bytes)
{
    std::string text;
    for (unsigned char c : bytes)
    {
        if (c >= 0x20 && c < 0x7F && c != '\\')
        {
            text += static_cast<char>(c);
        }
        else
        {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            text += escaped;
        }
    }
    return text;
}
} // namespace

int main(int argc, char** argv)
{
    const CommandLine::Result options =
        CommandLine::Parse(std::vector<std::string>(argv + 1, argv + argc));
    if (options.showHelp)
    {
        std::fputs(CommandLine::Usage().c_str(), stdout);
        return 0;
    }
    if (!options.error.empty())
    {
        std::fprintf(stderr, "quillon-dvrsim: %s\n", options.error.c_str());
        return 2;
    }

    DvrSimulator simulator(options.settings);
    std::mutex outputMutex;
    simulator.SetRequestObserver([&](const DvrRequestRecord& r) {
        std::lock_guard lock(outputMutex);
        std::printf("%s %s %s%s%s -> %s\n", r.method.c_str(), Printable(r.target).c_str(),
                    r.version.c_str(), r.body.empty() ? "" : " body ",
                    Printable(r.body).c_str(), r.outcome.c_str());
        std::fflush(stdout);
    });

    sem_init(&g_stopRequested, 0, 0);
    struct sigaction action{};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    if (!simulator.Start())
    {
        std::fprintf(stderr, "quillon-dvrsim: %s\n", simulator.GetLastError().c_str());
        return 1;
    }
    const DvrSimSettings settings = simulator.GetSettings();
    {
        std::lock_guard lock(outputMutex);
        std::printf("quillon-dvrsim: serving %u channels on http://%s:%u/cgi-bin/webapp.cgi\n",
                    settings.channelCount, settings.bindAddress.c_str(), simulator.GetPort());
        std::fflush(stdout);
    }

    while (sem_wait(&g_stopRequested) != 0)
    {
    }
    simulator.Stop();
    {
        std::lock_guard lock(outputMutex);
        std::printf("quillon-dvrsim: stopped\n");
    }
    return 0;
}
