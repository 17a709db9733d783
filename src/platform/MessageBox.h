// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

enum class MessageBoxIcon
{
    Exclamation,
    Error,
    Information,
    Question,
};

enum class MessageBoxButtons
{
    Ok,
    YesNo,
};

enum class MessageBoxAnswer
{
    Ok,
    Yes,
    No,
};

// Every message box of the program goes through this one interface, so tests
// see each box and answer it. Callable from any thread: a box asked for off the
// GUI thread is shown there while the caller waits.
class IMessageBox
{
public:
    virtual ~IMessageBox() = default;
    virtual MessageBoxAnswer Show(const std::u16string& text, const std::u16string& caption,
                                  MessageBoxIcon icon, MessageBoxButtons buttons) = 0;
};
