// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/MessageBox.h"

// Answers every box at once without showing it: for the command line, which
// speaks in its own words, and for fuzzers and benchmarks, which have no one to ask.
class SilentMessageBox final : public IMessageBox
{
public:
    MessageBoxAnswer Show(const std::u16string&, const std::u16string&, MessageBoxIcon,
                          MessageBoxButtons) override
    {
        return MessageBoxAnswer::Ok;
    }
};
