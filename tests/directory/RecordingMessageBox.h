#pragma once

#include "platform/MessageBox.h"

#include <deque>
#include <string>
#include <vector>

// Records every box the core asks for and answers from a queue (Ok, or No for
// a question, when the queue is empty).
class RecordingMessageBox final : public IMessageBox
{
public:
    MessageBoxAnswer Show(const std::u16string& text, const std::u16string&, MessageBoxIcon,
                          MessageBoxButtons buttons) override
    {
        texts.push_back(text);
        if (!answers.empty())
        {
            const auto answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return buttons == MessageBoxButtons::YesNo ? MessageBoxAnswer::No : MessageBoxAnswer::Ok;
    }

    std::vector<std::u16string> texts;
    std::deque<MessageBoxAnswer> answers;
};
