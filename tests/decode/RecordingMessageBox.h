#pragma once

#include "platform/MessageBox.h"

#include <mutex>
#include <string>
#include <vector>

// Records every box it is asked to show and answers OK.
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
        return MessageBoxAnswer::Ok;
    }

    std::vector<Box> Boxes()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_boxes;
    }

private:
    std::mutex m_mutex;
    std::vector<Box> m_boxes;
};
