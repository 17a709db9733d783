// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/MessageBox.h"

#include <deque>
#include <mutex>
#include <string>
#include <vector>

struct MessageBoxRequest
{
    std::u16string text;
    std::u16string caption;
    MessageBoxIcon icon;
    MessageBoxButtons buttons;
};

// While one of these lives, every box asked of QtMessageBox, from any thread,
// is recorded here and answered from the queued answers instead of being shown.
// With no answer queued a box gets Ok, or No for a Yes/No question.
class MessageBoxSeam
{
public:
    MessageBoxSeam();
    ~MessageBoxSeam();
    MessageBoxSeam(const MessageBoxSeam&) = delete;
    MessageBoxSeam& operator=(const MessageBoxSeam&) = delete;

    void QueueAnswer(MessageBoxAnswer answer);
    std::vector<MessageBoxRequest> Shown() const;
    std::vector<std::u16string> ShownTexts() const;
    void Clear();

    // The installed seam's answer, or false when no seam is installed.
    static bool Answer(const MessageBoxRequest& request, MessageBoxAnswer& answer);

private:
    mutable std::mutex m_mutex; // guards the two fields below; boxes may come from any thread
    std::vector<MessageBoxRequest> m_shown;
    std::deque<MessageBoxAnswer> m_answers;
};
