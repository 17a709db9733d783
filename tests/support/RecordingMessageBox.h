// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/MessageBox.h"

#include <deque>
#include <mutex>
#include <string>
#include <vector>

// Records every box it is asked to show, from any thread, and answers from a
// queue: Ok, or No for a question, when the queue is empty.
class RecordingMessageBox : public IMessageBox
{
public:
    struct Box
    {
        std::u16string text;
        std::u16string caption;
        MessageBoxIcon icon;
        MessageBoxButtons buttons;
    };

    MessageBoxAnswer Show(const std::u16string& text, const std::u16string& caption,
                          MessageBoxIcon icon, MessageBoxButtons buttons) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_boxes.push_back({text, caption, icon, buttons});
        if (!m_answers.empty())
        {
            const auto answer = m_answers.front();
            m_answers.pop_front();
            return answer;
        }
        return buttons == MessageBoxButtons::YesNo ? MessageBoxAnswer::No : MessageBoxAnswer::Ok;
    }

    std::vector<Box> Boxes()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_boxes;
    }

    std::vector<std::u16string> Texts()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<std::u16string> texts;
        for (const auto& box : m_boxes)
        {
            texts.push_back(box.text);
        }
        return texts;
    }

    void Clear()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_boxes.clear();
    }

    void QueueAnswer(MessageBoxAnswer answer)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_answers.push_back(answer);
    }

private:
    std::mutex m_mutex;
    std::vector<Box> m_boxes;
    std::deque<MessageBoxAnswer> m_answers;
};
