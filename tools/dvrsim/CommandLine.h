// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DvrSimSettings.h"

#include <string>
#include <vector>

// The options of quillon-dvrsim. Channels are numbered on the command line as on
// screen, 1 for CH-01.
class CommandLine
{
public:
    struct Result
    {
        DvrSimSettings settings;
        bool showHelp = false;
        std::string error; // not empty: the options were not usable
    };

    static Result Parse(const std::vector<std::string>& args);
    static std::string Usage();
};
