// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A screen's scale is fixed when Qt starts, so a benchmark measures another one
// in a child of itself: the same program with QT_SCALE_FACTOR set and --ratio=N
// first, its output passed through and its lines kept for the summary.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace bench
{
// The ratio asked for by --ratio=N (then taken out of the arguments), or 1; its
// scale is set for Qt, which must not have started yet.
inline int TakeRatioOption(int& argc, char** argv)
{
    int ratio = 1;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strncmp(argv[i], "--ratio=", 8) == 0)
        {
            ratio = std::max(1, std::atoi(argv[i] + 8));
            for (int j = i; j + 1 < argc; ++j)
            {
                argv[j] = argv[j + 1];
            }
            --argc;
            break;
        }
    }
    if (ratio != 1)
    {
        setenv("QT_SCALE_FACTOR", std::to_string(ratio).c_str(), 1);
    }
    return ratio;
}

// Runs this program again at the ratio with the same arguments; every line of its
// output is printed as it comes and returned.
inline std::vector<std::string> RunAtRatio(int ratio, int argc, char** argv)
{
    std::array<char, 4096> self{};
    const ssize_t length = readlink("/proc/self/exe", self.data(), self.size() - 1);
    if (length <= 0)
    {
        return {};
    }
    std::string command = "QT_SCALE_FACTOR=" + std::to_string(ratio) + " '" +
                          std::string(self.data(), static_cast<size_t>(length)) +
                          "' --ratio=" + std::to_string(ratio);
    for (int i = 1; i < argc; ++i)
    {
        command += " '" + std::string(argv[i]) + "'";
    }
    std::fflush(stdout);
    std::vector<std::string> lines;
    FILE* child = popen(command.c_str(), "r");
    if (child == nullptr)
    {
        return lines;
    }
    std::array<char, 1024> line{};
    while (std::fgets(line.data(), static_cast<int>(line.size()), child) != nullptr)
    {
        std::fputs(line.data(), stdout);
        lines.emplace_back(line.data());
    }
    pclose(child);
    return lines;
}
} // namespace bench
